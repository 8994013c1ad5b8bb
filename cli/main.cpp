// tavimo-export: writes a cell block from the command line, for scripts and
// large jobs. The field texts go through the same checks and the same save
// as in the dialog, so the files are byte for byte those of the dialog.
//
// No setlocale here: the program stays in the "C" locale, and the number
// text never depends on it anyway.

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "export/save_block.h"
#include "model/create_cells.h"
#include "model/dialog_port.h"
#include "model/progress.h"

namespace tavimo {
namespace {

constexpr std::string_view kProgram = "tavimo-export";
constexpr std::string_view kVersion = "tavimo-export 1.0";

constexpr int kExitSaved = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitWrongInput = 2;
constexpr int kExitInterrupted = 130;

constexpr char kUsage[] =
    "Usage: tavimo-export [OPTION]... PATH\n"
    "Writes a cell block to PATH: a DXF drawing for a name ending in .dxf, a CHT\n"
    "file with its RWS companion for a name ending in .cht.\n"
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
    "  --progress            report progress on standard error\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Each TEXT is read as the dialog reads the same field. A value may also be\n"
    "given as --x=TEXT, which suits texts that begin with \"-\".\n"
    "\n"
    "Exit status: 0 when saved, 1 when the files could not be written (existing\n"
    "files stay as they were), 2 for wrong input (nothing is written).\n";

struct ValueOption {
  std::string_view name;
  int control;
};

constexpr ValueOption kValueOptions[] = {
    {"--x", IDC_STARTX},
    {"--y", IDC_STARTY},
    {"--width-total", IDC_WIDTHTOTAL},
    {"--height-total", IDC_HEIGHTTOTAL},
    {"--width-cell", IDC_WIDTHCELL},
    {"--height-cell", IDC_HEIGHTCELL},
    {"--angle", IDC_ANGLE},
};

void PrintLine(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

// The dialog's fields and radio buttons, held as texts; messages go to
// standard error and decide the exit status.
class CommandLineDialog : public DialogPort {
 public:
  CommandLineDialog() {
    // The dialog's initial texts.
    texts_[IDC_STARTX] = "10";
    texts_[IDC_STARTY] = "10";
    texts_[IDC_WIDTHTOTAL] = "50";
    texts_[IDC_HEIGHTTOTAL] = "50";
    texts_[IDC_WIDTHCELL] = "5";
    texts_[IDC_HEIGHTCELL] = "5";
    texts_[IDC_ANGLE] = "0";
  }

  std::string GetText(int controlId) override {
    const auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
  }
  void SetText(int controlId, std::string_view text) override { texts_[controlId] = std::string(text); }
  bool IsChecked(int controlId) override {
    if (controlId == IDC_CLOCKWISE) return clockwise_;
    if (controlId == IDC_COUNTERCLOCKWISE) return !clockwise_;
    return false;
  }

  void ShowMessage(std::string_view text, std::string_view caption, unsigned) override {
    PrintLine(stderr, text);
    if (caption == kSizeChangedCaption) return;  // corrected; the export goes on
    if (caption == kSaveFailedCaption) {
      Raise(kExitWriteFailed);
    } else if (caption == kWrongAngleCaption || caption == kWrongValueCaption ||
               caption == kUnknownTypeCaption) {
      Raise(kExitWrongInput);
    } else {
      Raise(kExitWriteFailed);
    }
  }

  void SetClockwise(bool clockwise) { clockwise_ = clockwise; }
  int status() const { return status_; }
  void Raise(int status) {
    if (status_ == kExitSaved) status_ = status;
  }

 private:
  std::map<int, std::string> texts_;
  bool clockwise_ = true;
  int status_ = kExitSaved;
};

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// Lets Ctrl-C and kill cancel the save cleanly (no temporary left behind)
// and prints the percentage done when asked to.
class CommandLineProgress : public Progress {
 public:
  explicit CommandLineProgress(bool report) : report_(report) {}

  bool Step(std::uint64_t done, std::uint64_t total) override {
    if (interrupted) return false;
    if (report_) {
      const int percent =
          total == 0 ? 100 : static_cast<int>(static_cast<long double>(done) * 100 / static_cast<long double>(total));
      if (percent != lastPercent_) {
        lastPercent_ = percent;
        std::fprintf(stderr, "%d%%\n", percent);
      }
    }
    return true;
  }

 private:
  bool report_;
  int lastPercent_ = -1;
};

int UsageError(std::string_view what, std::string_view option) {
  std::string text(kProgram);
  text += ": ";
  text += what;
  if (!option.empty()) {
    text += " '";
    text += option;
    text += "'";
  }
  PrintLine(stderr, text);
  PrintLine(stderr, "Try 'tavimo-export --help' for more information.");
  return kExitWrongInput;
}

void InstallSignalHandlers() {
  // Past a file-size limit a write fails with EFBIG and the save is
  // reported and cleaned up, instead of the process being killed.
  signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

int Run(int argc, char** argv) {
  CommandLineDialog dialog;
  bool report = false;
  bool optionsDone = false;
  std::string path;
  bool havePath = false;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      if (havePath) return UsageError("more than one PATH given:", arg);
      path = std::string(arg);
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

    const ValueOption* valueOption = nullptr;
    for (const ValueOption& option : kValueOptions)
      if (option.name == name) valueOption = &option;
    if (valueOption != nullptr) {
      std::string_view value;
      if (inlineValue) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];  // taken as it is, even when it begins with "-"
      } else {
        return UsageError("option needs a value:", name);
      }
      dialog.SetText(valueOption->control, value);
      continue;
    }

    if (inlineValue &&
        (name == "--clockwise" || name == "--counter-clockwise" || name == "--progress" ||
         name == "--help" || name == "--version"))
      return UsageError("option takes no value:", name);
    if (arg == "--clockwise") {
      dialog.SetClockwise(true);
    } else if (arg == "--counter-clockwise") {
      dialog.SetClockwise(false);
    } else if (arg == "--progress") {
      report = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitSaved;
    } else if (arg == "--version") {
      PrintLine(stdout, kVersion);
      return kExitSaved;
    } else {
      return UsageError("unknown option", arg);
    }
  }
  if (!havePath) return UsageError("no PATH given", "");

  InstallSignalHandlers();
  CommandLineProgress progress(report);
  bool saveCalled = false;
  CellTargets targets;
  targets.save = [&](const BlockSpec& spec) {
    saveCalled = true;
    if (dialog.status() != kExitSaved) return;  // a refused field: write nothing
    const SaveResult result = SaveBlockTo(dialog, path, spec, &progress);
    if (result == SaveResult::kCancelled) dialog.Raise(kExitInterrupted);
  };
  CreateCells(dialog, "save", targets);
  // A request refused without a message would otherwise pass as saved.
  if (!saveCalled) dialog.Raise(kExitWrongInput);
  return dialog.status();
}

}  // namespace
}  // namespace tavimo

int main(int argc, char** argv) {
  const int status = tavimo::Run(argc, argv);
  if (std::fflush(stdout) != 0 && status == 0) return tavimo::kExitWriteFailed;
  return status;
}
