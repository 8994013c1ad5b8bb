// tavimo-export: writes a cell block from the command line, for scripts and
// large jobs. The field texts go through the same reading and the same save
// as in the dialog, so the files are byte for byte those of the dialog.
//
// No setlocale here: the program stays in the "C" locale, and the number
// text never depends on it anyway.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "export/gis_writer.h"
#include "export/save_block.h"
#include "export/save_target.h"
#include "model/block_fields.h"
#include "model/progress.h"
#include "model/read_block.h"
#include "number/text_to_number.h"
#include "tavimo_version.h"
#include "number/number_text.h"
#include "platform/platform.h"

namespace tavimo {
namespace {

constexpr int kExitSaved = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitWrongInput = 2;
constexpr int kExitInterrupted = 130;

constexpr char kUsage[] =
    "Usage: tavimo-export [OPTION]... PATH\n"
    "Writes a cell block to PATH, in the format its extension names (any case):\n"
    "a DXF drawing (.dxf), a CHT file with its RWS companion (.cht), or, where\n"
    "built with GDAL, a GeoPackage (.gpkg), GeoJSON (.geojson) or Shapefile (.shp).\n"
    "\n"
    "  --x TEXT              X of the starting point (default 10)\n"
    "  --y TEXT              Y of the starting point (default 10)\n"
    "  --width-total TEXT    total width of the block (default 50)\n"
    "  --height-total TEXT   total height of the block (default 50)\n"
    "  --width-cell TEXT     width of one cell (default 5)\n"
    "  --height-cell TEXT    height of one cell (default 5)\n"
    "  --angle TEXT          angle in whole degrees, 0 to 90 (default 0)\n"
    "  --clockwise           turn the block clockwise (the default)\n"
    "  --counter-clockwise   turn the block counter-clockwise\n"
    "  --strict              refuse a TEXT with characters that are not read as\n"
    "                        part of its number (\"10,5\" reads as 10)\n"
    "  --no-clobber          refuse to replace an existing file\n"
    "  --srs TEXT            coordinate reference system of a GIS file, as GDAL\n"
    "                        reads it (EPSG:25833, WKT, PROJ); default: unknown\n"
    "  --progress            report progress on standard error\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Each TEXT is read as the dialog reads the same field. A value may also be\n"
    "given as --x=TEXT, which suits texts that begin with \"-\".\n"
    "\n"
    "Exit status: 0 when saved; 1 when the files could not be written (existing\n"
    "files stay as they were); 2 for wrong input, an unknown file type or a\n"
    "refused save (nothing is written); 130 when interrupted by Ctrl-C, SIGTERM\n"
    "or SIGHUP (nothing is written).\n";

struct ValueOption {
  std::string_view name;
  Field field;
};

constexpr ValueOption kValueOptions[] = {
    {"--x", Field::kStartX},
    {"--y", Field::kStartY},
    {"--width-total", Field::kWidthTotal},
    {"--height-total", Field::kHeightTotal},
    {"--width-cell", Field::kWidthCell},
    {"--height-cell", Field::kHeightCell},
    {"--angle", Field::kAngle},
};

// Messages go to standard error, each a line of its own that names the
// program. A message that cannot be written is dropped.
void Say(std::string_view text) {
  std::string line = "tavimo-export: ";
  line += text;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// Lets Ctrl-C and kill cancel the save cleanly (no temporary left behind)
// and prints the percentage done when asked to: one updating line on a
// terminal, a line every few percent into a file or pipe.
class CommandLineProgress : public Progress {
 public:
  CommandLineProgress(bool report, bool terminal) : report_(report), terminal_(terminal) {}
  ~CommandLineProgress() override {
    if (report_ && terminal_ && lastPercent_ >= 0) std::fputc('\n', stderr);
  }

  bool Step(std::uint64_t done, std::uint64_t total) override {
    if (platform::TerminationRequested()) return false;
    if (!report_) return true;
    const int percent =
        total == 0 ? 100 : static_cast<int>(static_cast<long double>(done) * 100 / static_cast<long double>(total));
    const int step = terminal_ ? 1 : 5;
    if (lastPercent_ >= 0 && percent / step == lastPercent_ / step && percent != 100) return true;
    if (percent == lastPercent_) return true;
    lastPercent_ = percent;
    if (terminal_) {
      std::fprintf(stderr, "\rtavimo-export: %3d%%", percent);
    } else {
      std::fprintf(stderr, "tavimo-export: %d%%\n", percent);
    }
    return true;
  }

 private:
  bool report_;
  bool terminal_;
  int lastPercent_ = -1;
};

int UsageError(std::string_view what) {
  Say(what);
  std::fputs("Try 'tavimo-export --help' for more information.\n", stderr);
  return kExitWrongInput;
}

struct Request {
  FieldTexts fields = FieldTexts::Initial();
  bool given[kFieldCount] = {};
  bool report = false;
  bool strict = false;
  bool noClobber = false;
  bool haveSrs = false;
  SaveOptions options;
  std::string path;
};

// Reads the arguments into `request`; an exit status when the program ends here.
std::optional<int> ParseArguments(const std::vector<std::string>& argv, Request& request) {
  const std::size_t argc = argv.size();
  bool optionsDone = false;
  bool havePath = false;
  for (std::size_t i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      if (havePath) return UsageError("more than one PATH given: '" + std::string(arg) + "'");
      request.path = std::string(arg);
      havePath = true;
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const bool inlineValue = equals != std::string_view::npos;

    auto value = [&](std::string_view& out) {
      if (inlineValue) {
        out = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        out = argv[++i];  // taken as it is, even when it begins with "-"
      } else {
        return false;
      }
      return true;
    };

    const ValueOption* valueOption = nullptr;
    for (const ValueOption& option : kValueOptions)
      if (option.name == name) valueOption = &option;
    if (valueOption != nullptr || name == "--srs") {
      std::string_view text;
      if (!value(text)) return UsageError("option needs a value: '" + std::string(name) + "'");
      if (valueOption == nullptr) {
        request.options.srs = std::string(text);
        request.haveSrs = true;
      } else {
        request.fields[valueOption->field] = std::string(text);
        request.given[static_cast<std::size_t>(valueOption->field)] = true;
      }
      continue;
    }

    if (inlineValue) return UsageError("option takes no value: '" + std::string(name) + "'");
    if (arg == "--clockwise") {
      request.fields.clockwise = true;
      request.fields.counterClockwise = false;
    } else if (arg == "--counter-clockwise") {
      request.fields.clockwise = false;
      request.fields.counterClockwise = true;
    } else if (arg == "--progress") {
      request.report = true;
    } else if (arg == "--strict") {
      request.strict = true;
    } else if (arg == "--no-clobber") {
      request.noClobber = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitSaved;
    } else if (arg == "--version") {
      std::printf("tavimo-export %s\n", kTavimoVersion);
      return kExitSaved;
    } else {
      return UsageError("unknown option '" + std::string(arg) + "'");
    }
  }
  if (!havePath) return UsageError("no PATH given");
  return std::nullopt;
}

// Fields whose text holds more than the number read from it: a warning, or
// with --strict a refusal. True when the export may go on.
bool CheckFieldTexts(const Request& request) {
  bool fine = true;
  for (const ValueOption& option : kValueOptions) {
    const std::string& text = request.fields[option.field];
    if (!request.given[static_cast<std::size_t>(option.field)] || !HasUnreadText(text)) continue;
    Say(std::string(option.name) + ": read \"" + text + "\" as " +
        TrimLeadingBlanks(NumberString(TextToNumber(text))));
    fine = fine && !request.strict;
  }
  return fine;
}

int ExitStatusOf(const SaveOutcome& outcome) {
  switch (outcome.kind) {
    case SaveOutcome::Kind::kSaved: return kExitSaved;
    case SaveOutcome::Kind::kCancelled: return kExitInterrupted;
    case SaveOutcome::Kind::kUnknownType:
    case SaveOutcome::Kind::kRefused: return kExitWrongInput;
    case SaveOutcome::Kind::kFailed: break;
  }
  return kExitWriteFailed;
}

int Run(int argc, char** argv) {
  Request request;
  if (const auto status = ParseArguments(platform::ProgramArguments(argc, argv), request)) return *status;
  if (!CheckFieldTexts(request)) return kExitWrongInput;

  const BlockReading reading = ReadBlock(request.fields);
  for (const Notice& notice : reading.notices) Say(notice.text);
  if (!reading.spec) return kExitWrongInput;

  const SaveTarget target = TargetOfPath(request.path);
  const bool gis = IsGisFormat(target.format);
  if (request.haveSrs && !gis) return UsageError("--srs is for GIS files (.gpkg, .geojson, .shp) only");
  if (request.haveSrs && GisAvailable()) {
    if (const auto reason = CheckSrs(request.options.srs)) {
      Say("--srs: " + *reason);
      return kExitWrongInput;
    }
  }
  if (request.noClobber && target.format != SaveFormat::kNone) {
    for (const std::string& file : target.files) {
      if (platform::PathExists(file)) {
        Say(file + " exists; not replaced (--no-clobber)");
        return kExitWrongInput;
      }
    }
  }

  // Ctrl-C and kill cancel the save cleanly: nothing written, nothing left.
  platform::CatchTerminationSignals();
  platform::IgnoreSignalsThatKillWrites();
  CommandLineProgress progress(request.report, platform::StandardErrorIsTerminal());
  const SaveOutcome outcome = SaveBlockTo(target, *reading.spec, &progress, request.options);
  if (const auto notice = NoticeFor(outcome)) Say(notice->text);
  return ExitStatusOf(outcome);
}

}  // namespace
}  // namespace tavimo

int main(int argc, char** argv) {
  // Before anything is opened: no file may take the place of a closed
  // standard descriptor (and receive the progress lines).
  tavimo::platform::EnsureStandardDescriptors();
  tavimo::platform::UseExtendedPrecision();
  const int status = tavimo::Run(argc, argv);
  if (std::fflush(stdout) != 0 && status == 0) return tavimo::kExitWriteFailed;
  return status;
}
