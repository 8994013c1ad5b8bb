#include "export/export_command.h"

#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "export/dxf_writer.h"
#include "export/gis_writer.h"
#include "export/save_block.h"
#include "export/save_target.h"
#include "model/progress.h"
#include "model/read_block.h"
#include "number/number_text.h"
#include "number/text_to_number.h"
#include "platform/platform.h"
#include "tavimo_version.h"

namespace tavimo {
namespace {

// The help, of what this build writes: GeoPackage, Shapefile and clip
// areas only where it is built with GDAL (GisBuiltIn).
std::string Usage(bool gdal) {
  std::string text =
      "Usage: tavimo-export [OPTION]... PATH\n"
      "Writes a cell block to PATH, in the format its extension names (any case):\n"
      "a DXF drawing (.dxf), a CHT file with its RWS companion (.cht), or for GIS\n";
  text += gdal ? "programs a GeoPackage (.gpkg), GeoJSON (.geojson) or Shapefile (.shp).\n"
               : "programs a GeoJSON file (.geojson).\n";
  text +=
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
      "  --decimals            keep the fractions of the angle and the sizes\n"
      "                        (otherwise each is rounded to a whole number)\n"
      "  --baseline X1,Y1,X2,Y2\n"
      "                        start the block at (X1,Y1) with its width axis\n"
      "                        toward (X2,Y2); --x, --y and the angle are not read\n"
      "  --columns N           make the block N cells wide (the total is N cells)\n"
      "  --rows N              make the block N cells high\n"
      "  --extent XMIN,YMIN,XMAX,YMAX\n"
      "                        the smallest block of whole cells that covers this\n"
      "                        extent; --x, --y and the totals are not read\n"
      "  --labels TEMPLATE     label cells from {col}, {row} and {n} (a running\n"
      "                        number), with 03 for zeros in front or A/a for\n"
      "                        letters: \"{col:A}{row}\" gives A1, B1, ... AA1\n"
      "                        (default \"{col}-{row}\"; not for .cht)\n"
      "  --first-column N, --first-row N\n"
      "                        the numbers of the first column and row (default 1)\n"
      "  --corner CORNER       the corner of column 1, row 1, as at angle 0:\n"
      "                        lower-left (the starting point, the default),\n"
      "                        lower-right, upper-left or upper-right\n"
      "  --order ORDER         the order of {n}: rows (the default), columns or\n"
      "                        serpentine (rows, back and forth)\n"
      "  --label-centre        put each label at its cell's centre\n"
      "  --label-height TEXT   the DXF label height (default: cell width / 10)\n"
      "  --dxf-extents         give a DXF file a HEADER with its extents, so that\n"
      "                        CAD programs open it zoomed to the grid\n"
      "  --units UNIT          the DXF's unit (mm, cm, m, km, in, ft, yd, mi);\n"
      "                        implies --dxf-extents\n"
      "  --strict              refuse a TEXT with characters that are not read as\n"
      "                        part of its number (\"10,5\" reads as 10), a fraction\n"
      "                        that would be rounded away, and a GIS file that GIS\n"
      "                        programs cannot place: GeoJSON or Shapefile without\n"
      "                        --srs (otherwise these are warnings)\n"
      "  --no-clobber          refuse to replace an existing file\n";
  text += gdal ? "  --srs TEXT            coordinate reference system of a GIS file, as GDAL\n"
                 "                        reads it (EPSG:25833, WKT, PROJ); default: unknown;\n"
                 "                        with --clip also for .dxf and .cht, for the area\n"
                 "  --clip FILE[:LAYER]   keep only the cells over the polygons of FILE's\n"
                 "                        layer (the first unless LAYER is named), any vector\n"
                 "                        file GDAL reads; cells keep their numbers\n"
                 "  --clip-mode MODE      which cells: touches (they share some area with the\n"
                 "                        polygons, the default), inside (wholly inside them)\n"
                 "                        or centre (their centre is inside)\n"
                 "  --cell-centres        add to a GeoPackage the point layer cell_centres,\n"
                 "                        a point at each cell's centre\n"
               : "  --srs EPSG:CODE       coordinate reference system of a GeoJSON file, by\n"
                 "                        its EPSG code (EPSG:25833); default: unknown\n";
  text +=
      "  --progress            report progress on standard error\n"
      "  --help                show this help and exit\n"
      "  --version             show the version and exit\n"
      "\n"
      "Each TEXT is read as the dialog reads the same field; the numbers of\n"
      "--baseline and --extent are separated by commas. A value may also be\n"
      "given as --x=TEXT, which suits texts that begin with \"-\".\n"
      "\n"
      "Exit status: 0 when saved; 1 when the files could not be written (existing\n"
      "files stay as they were); 2 for wrong input, an unknown file type or a\n"
      "refused save (nothing is written); 130 when interrupted by Ctrl-C, SIGTERM\n"
      "or SIGHUP (nothing is written).\n";
  return text;
}

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

std::string_view OptionOf(Field field) {
  for (const ValueOption& option : kValueOptions)
    if (option.field == field) return option.name;
  return {};
}

// Messages go to standard error, each a line of its own that names the
// program.
void Say(ExportPort& port, std::string_view text) {
  std::string line = "tavimo-export: ";
  line += text;
  line += '\n';
  port.Err(line);
}

int ReportUsageError(ExportPort& port, std::string_view what) {
  Say(port, what);
  port.Err("Try 'tavimo-export --help' for more information.\n");
  return kExitWrongInput;
}

// Lets Ctrl-C and kill cancel the save cleanly (no temporary left behind)
// and prints the percentage done when asked to: one updating line on a
// terminal, a line every few percent into a file or pipe.
class CommandLineProgress : public Progress {
 public:
  CommandLineProgress(ExportPort& port, bool report, bool terminal)
      : port_(port), report_(report), terminal_(terminal) {}
  ~CommandLineProgress() override {
    if (report_ && terminal_ && lastPercent_ >= 0) port_.Err("\n");
  }

  bool Step(std::uint64_t done, std::uint64_t total) override {
    if (port_.TerminationRequested()) return false;
    if (!report_) return true;
    const int percent =
        total == 0 ? 100 : static_cast<int>(static_cast<Extended>(done) * 100 / static_cast<Extended>(total));
    const int step = terminal_ ? 1 : 5;
    if (lastPercent_ >= 0 && percent / step == lastPercent_ / step && percent != 100) return true;
    if (percent == lastPercent_) return true;
    lastPercent_ = percent;
    char line[32];
    const int size = terminal_ ? std::snprintf(line, sizeof line, "\rtavimo-export: %3d%%", percent)
                               : std::snprintf(line, sizeof line, "tavimo-export: %d%%\n", percent);
    port_.Err(std::string_view(line, static_cast<std::size_t>(size)));
    return true;
  }

 private:
  ExportPort& port_;
  bool report_;
  bool terminal_;
  int lastPercent_ = -1;
};

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  if (text.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(start[i])))
      return false;
  return true;
}

// "scheme://..." at the start of `text`.
bool IsUrl(std::string_view text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
    return false;
  for (const char c : text.substr(0, colon))
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

// OGC's URLs of a CRS name it, as an EPSG code does; GDAL reads them
// without the network.
bool IsOgcCrsUrl(std::string_view text) {
  for (const std::string_view ogc : {"http://www.opengis.net/def/crs/", "https://www.opengis.net/def/crs/",
                                     "http://opengis.net/def/crs/", "https://opengis.net/def/crs/"})
    if (StartsWithNoCase(text, ogc)) return true;
  return false;
}

// A CRS file's text is a few kB of WKT.
constexpr std::uintmax_t kLargestSrsFile = 1 << 20;

// The text of --srs that GDAL is to read, or why the option is refused.
// GDAL would fetch a URL or open what a name names; a FIFO or /dev/stdin
// would block, /vsicurl/ would wait on the network. So a file is read here,
// and only a regular one of sane size; GDAL gets its text.
std::optional<std::string> SrsText(const std::string& given, std::string& text) {
  // GDAL's "ESRI::" before a file's name or a WKT text.
  const std::string esri = StartsWithNoCase(given, "ESRI::") ? given.substr(0, 6) : std::string();
  const std::string rest = given.substr(esri.size());
  if (StartsWithNoCase(rest, "/vsi"))
    return "GDAL's virtual file systems (/vsi...) are not read; give the system as text or in a file";
  if (IsUrl(rest) && !IsOgcCrsUrl(rest)) return "URLs are not read; give the system as text or in a file";
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(rest, error);
  if (error || !std::filesystem::exists(status)) {
    text = given;
    return std::nullopt;
  }
  if (!std::filesystem::is_regular_file(status)) return rest + " is not a regular file";
  const std::uintmax_t size = std::filesystem::file_size(rest, error);
  if (error || size > kLargestSrsFile) return rest + " is larger than 1 MiB";
  std::ifstream file(rest, std::ios::binary);
  if (!file) return "cannot read " + rest;
  std::string contents(kLargestSrsFile + 1, '\0');  // a file that grew meanwhile is found out
  file.read(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (file.bad()) return "cannot read " + rest;
  contents.resize(static_cast<std::size_t>(file.gcount()));
  if (contents.size() > kLargestSrsFile) return rest + " is larger than 1 MiB";
  // GDAL reads a file's text from its first character that is not blank.
  const std::size_t first = contents.find_first_not_of(" \t\r\n");
  text = esri + (first == std::string::npos ? std::string() : contents.substr(first));
  return std::nullopt;
}

std::optional<LabelCorner> CornerNamed(std::string_view name) {
  if (name == "lower-left") return LabelCorner::kLowerLeft;
  if (name == "lower-right") return LabelCorner::kLowerRight;
  if (name == "upper-left") return LabelCorner::kUpperLeft;
  if (name == "upper-right") return LabelCorner::kUpperRight;
  return std::nullopt;
}

std::optional<NumberOrder> OrderNamed(std::string_view name) {
  if (name == "rows") return NumberOrder::kRows;
  if (name == "columns") return NumberOrder::kColumns;
  if (name == "serpentine") return NumberOrder::kSerpentine;
  return std::nullopt;
}

// "X1,Y1,X2,Y2" as four texts, each read as a field is.
std::optional<std::array<std::string, 4>> FourNumbers(std::string_view text) {
  std::array<std::string, 4> numbers;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t comma = text.find(',');
    if ((comma == std::string_view::npos) != (i == 3)) return std::nullopt;
    numbers[i] = std::string(text.substr(0, comma));
    if (numbers[i].find_first_not_of(" \t") == std::string::npos) return std::nullopt;
    if (i < 3) text.remove_prefix(comma + 1);
  }
  return numbers;
}

// The fields that an option replaces: given, they are not read.
std::optional<std::string_view> ReplacedBy(const ExportRequest& request, Field field) {
  const BlockOptions& options = request.options;
  switch (field) {
    case Field::kStartX:
    case Field::kStartY:
      if (options.extent) return "--extent";
      if (options.baseline) return "--baseline";
      break;
    case Field::kWidthTotal:
      if (options.extent) return "--extent";
      if (options.columns) return "--columns";
      break;
    case Field::kHeightTotal:
      if (options.extent) return "--extent";
      if (options.rows) return "--rows";
      break;
    case Field::kAngle:
      if (options.baseline) return "--baseline";
      break;
    default:
      break;
  }
  return std::nullopt;
}

// Texts that would not say what they read as: characters passed over, a
// fraction rounded away, a field an option replaces. Warnings, or with
// --strict refusals. True when the export may go on.
bool CheckOptionTexts(const ExportRequest& request, ExportPort& port) {
  bool fine = true;
  auto flag = [&](std::string_view option, const std::string& what) {
    Say(port, std::string(option) + ": " + what);
    fine = fine && !request.strict;
  };
  for (const ValueOption& option : kValueOptions) {
    if (!request.given[static_cast<std::size_t>(option.field)]) continue;
    const std::string& text = request.fields[option.field];
    if (const auto other = ReplacedBy(request, option.field)) {
      flag(option.name, "not read with " + std::string(*other));
      continue;
    }
    const Extended value = TextToNumber(text);
    if (HasUnreadText(text)) flag(option.name, "read \"" + text + "\" as " + TrimLeadingBlanks(NumberString(value)));
    const bool whole = option.field != Field::kStartX && option.field != Field::kStartY;
    if (whole && !request.options.decimals && IsFinite(value) && RoundHalfEven(value) != value)
      flag(option.name, TrimLeadingBlanks(NumberString(value)) + " read as " +
                            TrimLeadingBlanks(NumberString(RoundHalfEven(value))) + "; use --decimals to keep fractions");
  }
  if (request.directionGiven && request.options.baseline) flag("--clockwise", "not read with --baseline");
  auto checkList = [&](std::string_view option, const std::optional<std::array<std::string, 4>>& list) {
    if (!list) return;
    for (const std::string& text : *list)
      if (HasUnreadText(text))
        flag(option, "read \"" + text + "\" as " + TrimLeadingBlanks(NumberString(TextToNumber(text))));
  };
  checkList("--baseline", request.options.baseline);
  checkList("--extent", request.options.extent);
  for (const auto& [option, text] :
       {std::pair{"--columns", request.options.columns}, std::pair{"--rows", request.options.rows},
        std::pair{"--first-column", request.options.firstColumn}, std::pair{"--first-row", request.options.firstRow},
        std::pair{"--label-height", request.options.labelHeight}})
    if (text && HasUnreadText(*text))
      flag(option, "read \"" + *text + "\" as " + TrimLeadingBlanks(NumberString(TextToNumber(*text))));
  return fine;
}

// A notice as the exporter says it: the messages about one option name it,
// a corrected total says what it is now.
std::string ExportMessage(const Notice& notice, const BlockReading& reading) {
  Field field;
  switch (notice.id) {
    case NoticeId::kWidthChanged: field = Field::kWidthTotal; break;
    case NoticeId::kHeightChanged: field = Field::kHeightTotal; break;
    case NoticeId::kWrongAngle: return "--angle: " + notice.text;
    default: return notice.text;
  }
  std::string text = std::string(OptionOf(field)) + ": " + notice.text;
  for (const Correction& correction : reading.corrections)
    if (correction.field == field) text += "; it is now " + TrimLeadingBlanks(correction.text);
  return text;
}

}  // namespace

std::variant<ExportRequest, UsageError> ParseExportArgs(std::span<const std::string> args) {
  ExportRequest request;
  const std::size_t count = args.size();
  bool optionsDone = false;
  bool havePath = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view arg = args[i];
    // Windows' way of asking for help; as a path it names no type of file.
    if (!optionsDone && arg == "/?") {
      request.action = ExportAction::kShowHelp;
      return request;
    }
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      if (havePath) return UsageError{"more than one PATH given: '" + std::string(arg) + "'"};
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
      } else if (i + 1 < count) {
        out = args[++i];  // taken as it is, even when it begins with "-"
      } else {
        return false;
      }
      return true;
    };

    const ValueOption* valueOption = nullptr;
    for (const ValueOption& option : kValueOptions)
      if (option.name == name) valueOption = &option;
    const bool listOption = name == "--baseline" || name == "--extent";
    const bool textOption = name == "--srs" || name == "--columns" || name == "--rows" || name == "--labels" ||
                            name == "--first-column" || name == "--first-row" || name == "--label-height" ||
                            name == "--corner" || name == "--order" || name == "--units" || name == "--clip" ||
                            name == "--clip-mode";
    if (valueOption != nullptr || listOption || textOption) {
      std::string_view text;
      if (!value(text)) return UsageError{"option needs a value: '" + std::string(name) + "'"};
      if (valueOption != nullptr) {
        request.fields[valueOption->field] = std::string(text);
        request.given[static_cast<std::size_t>(valueOption->field)] = true;
      } else if (listOption) {
        const auto numbers = FourNumbers(text);
        if (!numbers)
          return UsageError{std::string(name) + " takes four numbers separated by commas: '" + std::string(text) + "'"};
        (name == "--baseline" ? request.options.baseline : request.options.extent) = *numbers;
      } else if (name == "--columns") {
        request.options.columns = std::string(text);
      } else if (name == "--rows") {
        request.options.rows = std::string(text);
      } else if (name == "--labels") {
        request.options.labels = std::string(text);
      } else if (name == "--first-column") {
        request.options.firstColumn = std::string(text);
      } else if (name == "--first-row") {
        request.options.firstRow = std::string(text);
      } else if (name == "--label-height") {
        request.options.labelHeight = std::string(text);
      } else if (name == "--corner") {
        const auto corner = CornerNamed(text);
        if (!corner) return UsageError{"--corner is lower-left, lower-right, upper-left or upper-right: '" +
                                       std::string(text) + "'"};
        request.options.corner = *corner;
      } else if (name == "--order") {
        const auto order = OrderNamed(text);
        if (!order) return UsageError{"--order is rows, columns or serpentine: '" + std::string(text) + "'"};
        request.options.order = *order;
      } else if (name == "--units") {
        if (!DxfUnitCode(text))
          return UsageError{"--units is mm, cm, m, km, in, ft, yd or mi: '" + std::string(text) + "'"};
        request.units = std::string(text);
        request.dxfExtents = true;
      } else if (name == "--clip") {
        if (text.empty()) return UsageError{"--clip needs a file"};
        request.clip = std::string(text);
      } else if (name == "--clip-mode") {
        ClipMode mode;
        if (!ClipModeNamed(text, mode))
          return UsageError{"--clip-mode is touches, inside or centre: '" + std::string(text) + "'"};
        request.clipMode = mode;
      } else {
        request.srs = std::string(text);
      }
      continue;
    }

    if (inlineValue) return UsageError{"option takes no value: '" + std::string(name) + "'"};
    if (arg == "--clockwise") {
      request.fields.clockwise = true;
      request.fields.counterClockwise = false;
      request.directionGiven = true;
    } else if (arg == "--counter-clockwise") {
      request.fields.clockwise = false;
      request.fields.counterClockwise = true;
      request.directionGiven = true;
    } else if (arg == "--decimals") {
      request.options.decimals = true;
    } else if (arg == "--label-centre") {
      request.options.labelsAtCentre = true;
    } else if (arg == "--dxf-extents") {
      request.dxfExtents = true;
    } else if (arg == "--cell-centres") {
      request.cellCentres = true;
    } else if (arg == "--progress") {
      request.reportProgress = true;
    } else if (arg == "--strict") {
      request.strict = true;
    } else if (arg == "--no-clobber") {
      request.noClobber = true;
    } else if (arg == "--help" || arg == "-h" || arg == "-?") {
      request.action = ExportAction::kShowHelp;
      return request;
    } else if (arg == "--version") {
      request.action = ExportAction::kShowVersion;
      return request;
    } else {
      return UsageError{"unknown option '" + std::string(arg) + "'"};
    }
  }
  if (!havePath) return UsageError{"no PATH given"};
  if (request.options.extent && (request.options.columns || request.options.rows))
    return UsageError{"--extent chooses the counts of cells itself: give it without --columns and --rows"};
  if (request.clipMode && !request.clip) return UsageError{"--clip-mode is for --clip"};
  return request;
}

ClipPathAndLayer SplitClipText(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (platform::PathExists(text) || colon == std::string::npos || colon == 0) return {text, {}};
  return {text.substr(0, colon), text.substr(colon + 1)};
}

ExportExit ExitOf(const SaveOutcome& outcome) {
  std::optional<std::string> message;
  if (const auto notice = NoticeFor(outcome)) message = notice->text;
  switch (outcome.kind) {
    case SaveOutcome::Kind::kSaved: return {kExitSaved, message};
    case SaveOutcome::Kind::kCancelled: return {kExitInterrupted, message};
    case SaveOutcome::Kind::kUnknownType:
    case SaveOutcome::Kind::kRefused: return {kExitWrongInput, message};
    case SaveOutcome::Kind::kFailed: break;
  }
  return {kExitWriteFailed, message};
}

void ProcessExportPort::Out(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }
void ProcessExportPort::Err(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }
bool ProcessExportPort::ErrIsTerminal() { return platform::StandardErrorIsTerminal(); }
void ProcessExportPort::CatchSignals() {
  platform::CatchTerminationSignals();
  platform::IgnoreSignalsThatKillWrites();
}
bool ProcessExportPort::TerminationRequested() { return platform::TerminationRequested(); }

int RunExport(const ExportRequest& request, ExportPort& port) {
  switch (request.action) {
    case ExportAction::kShowHelp:
      port.Out(Usage(GisBuiltIn()));
      return kExitSaved;
    case ExportAction::kShowVersion:
      port.Out(std::string("tavimo-export ") + kTavimoVersion + "\n");
      return kExitSaved;
    case ExportAction::kExport:
      break;
  }
  if (!CheckOptionTexts(request, port)) return kExitWrongInput;

  const BlockReading reading = ReadBlock(request.fields, request.options);
  for (const Notice& notice : reading.notices) Say(port, ExportMessage(notice, reading));
  if (!reading.block) return kExitWrongInput;

  const SaveTarget target = TargetOfPath(request.path);
  // With --clip, a DXF or CHT file's block has a system too: the area's.
  if (request.srs && !IsGisFormat(target.format) && !request.clip)
    return ReportUsageError(port, "--srs is for GIS files (.gpkg, .geojson, .shp) only");
  std::string srs;
  if (request.srs) {
    if (const auto refusal = SrsText(*request.srs, srs)) {
      Say(port, "--srs: " + *refusal);
      return kExitWrongInput;
    }
  }
  if (request.srs && GisAvailable()) {
    if (const auto reason = CheckSrs(srs)) {
      Say(port, "--srs: " + *reason);
      return kExitWrongInput;
    }
  } else if (request.srs && target.format == SaveFormat::kGeoJson) {
    // Without GDAL a GeoJSON file's system is read here, as its code.
    if (const EpsgCode code = GeoJsonEpsgCode(srs); !code.refusal.empty()) {
      Say(port, "--srs: " + code.refusal);
      return kExitWrongInput;
    }
  }
  if (request.dxfExtents && target.format != SaveFormat::kDxf)
    return ReportUsageError(port, std::string(request.units ? "--units" : "--dxf-extents") + " is for DXF files only");
  if (request.cellCentres && target.format != SaveFormat::kGeoPackage)
    return ReportUsageError(port, "--cell-centres is for GeoPackage files only");
  if (request.noClobber && target.format != SaveFormat::kNone) {
    for (const std::string& file : FilesOfSave(request.path)) {
      if (platform::PathExists(file)) {
        Say(port, file + " exists; not replaced (--no-clobber)");
        return kExitWrongInput;
      }
    }
  }

  std::unique_ptr<CellFilter> clip;
  if (request.clip && target.format != SaveFormat::kNone) {
    const ClipPathAndLayer named = SplitClipText(*request.clip);
    ClipArea area = OpenClipArea({named.path, named.layer, request.clipMode.value_or(ClipMode::kTouches)},
                                 *reading.block, srs);
    if (const auto* refusal = std::get_if<ClipRefusal>(&area)) {
      const bool noSrs = refusal->kind == ClipRefusal::Kind::kAreaCrsOnly;
      Say(port, "--clip: " + refusal->reason + (noSrs ? "; give the block's with --srs" : ""));
      return kExitWrongInput;
    }
    clip = std::move(std::get<std::unique_ptr<CellFilter>>(area));
  }

  // GIS programs read a GeoJSON file without a system as longitude and
  // latitude, and cannot place a Shapefile without one.
  if (!request.srs && (target.format == SaveFormat::kGeoJson ||
                       (target.format == SaveFormat::kShapefile && GisAvailable()))) {
    Say(port, target.format == SaveFormat::kGeoJson
                  ? "no --srs: GIS programs read a GeoJSON file without a coordinate reference system as "
                    "longitude and latitude (WGS 84); give the block's, such as --srs EPSG:25833"
                  : "no --srs: the Shapefile gets no coordinate reference system (.prj), so GIS programs "
                    "cannot place it; give the block's, such as --srs EPSG:25833");
    if (request.strict) return kExitWrongInput;
  }

  // Ctrl-C and kill cancel the save cleanly: nothing written, nothing left.
  port.CatchSignals();
  CommandLineProgress progress(port, request.reportProgress, port.ErrIsTerminal());
  SaveOptions options;
  options.srs = srs;
  if (request.noClobber) options.existing = Existing::kKeep;
  options.dxfExtents = request.dxfExtents;
  if (request.units) options.dxfUnits = DxfUnitCode(*request.units);
  options.clip = clip.get();
  options.cellCentres = request.cellCentres;
  const SaveOutcome outcome = SaveBlockTo(target, *reading.block, &progress, options);
  // A file that another program made while this one was saving.
  if (request.noClobber && outcome.kind == SaveOutcome::Kind::kFailed && outcome.error == EEXIST) {
    Say(port, outcome.path + " exists; not replaced (--no-clobber)");
    return kExitWrongInput;
  }
  const ExportExit exit = ExitOf(outcome);
  if (exit.message) Say(port, *exit.message);
  return exit.status;
}

int RunExportCommand(std::span<const std::string> args, ExportPort& port) {
  auto parsed = ParseExportArgs(args);
  if (const auto* error = std::get_if<UsageError>(&parsed)) return ReportUsageError(port, error->message);
  return RunExport(std::get<ExportRequest>(parsed), port);
}

}  // namespace tavimo
