#pragma once
// tavimo-export's command line as a library: the arguments read into a
// request, the request carried out, and what a save's outcome means to a
// shell (the exit status) and to a person (the message). The program's
// main only sets up the process and hands its arguments over.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "export/save_outcome.h"
#include "model/block_fields.h"
#include "model/cell_filter.h"
#include "model/read_block.h"

namespace tavimo {

inline constexpr int kExitSaved = 0;
inline constexpr int kExitWriteFailed = 1;
inline constexpr int kExitWrongInput = 2;
inline constexpr int kExitInterrupted = 130;

enum class ExportAction { kExport, kShowHelp, kShowVersion };

struct ExportRequest {
  ExportAction action = ExportAction::kExport;
  FieldTexts fields = FieldTexts::Initial();
  std::array<bool, kFieldCount> given = {};  // the fields an option set, whose texts are checked
  bool directionGiven = false;                // --clockwise or --counter-clockwise
  BlockOptions options;
  bool reportProgress = false;
  bool strict = false;
  bool noClobber = false;
  std::optional<std::string> srs;
  bool dxfExtents = false;            // --dxf-extents
  std::optional<std::string> units;   // --units
  std::optional<std::string> clip;    // --clip FILE[:LAYER]
  std::optional<ClipMode> clipMode;   // --clip-mode
  bool cellCentres = false;           // --cell-centres
  std::string path;
};

// Arguments that cannot be read, and why ("no PATH given").
struct UsageError {
  std::string message;
};

// Reads the arguments that follow the program's name. --help and --version
// end the reading where they stand.
std::variant<ExportRequest, UsageError> ParseExportArgs(std::span<const std::string> args);

// How the exporter ends after a save: its exit status and the line it
// prints (none for a save or a cancel).
struct ExportExit {
  int status = kExitSaved;
  std::optional<std::string> message;
  bool operator==(const ExportExit&) const = default;
};
ExportExit ExitOf(const SaveOutcome& outcome);

// --clip's text as a file and a layer: the whole text when it names a file
// or folder, else split at its last colon ("parcels.gpkg:fields").
struct ClipPathAndLayer {
  std::string path;
  std::string layer;
};
ClipPathAndLayer SplitClipText(const std::string& text);

// What the exporter needs of the process it runs in.
class ExportPort {
 public:
  virtual ~ExportPort() = default;
  // Standard output and standard error; what cannot be written is dropped.
  virtual void Out(std::string_view text) = 0;
  virtual void Err(std::string_view text) = 0;
  virtual bool ErrIsTerminal() = 0;
  // Called right before the save begins: from then on Ctrl-C, SIGTERM and
  // SIGHUP only request the end (TerminationRequested), and a write past
  // the file-size limit or into a closed pipe fails instead of killing.
  virtual void CatchSignals() = 0;
  virtual bool TerminationRequested() = 0;
};

// The running program's standard streams and signals.
class ProcessExportPort final : public ExportPort {
 public:
  void Out(std::string_view text) override;
  void Err(std::string_view text) override;
  bool ErrIsTerminal() override;
  void CatchSignals() override;
  bool TerminationRequested() override;
};

// Carries out a request: checks the texts, the path and the options, saves
// with progress and cancel, and tells what happened on `port`. Returns the
// exit status.
int RunExport(const ExportRequest& request, ExportPort& port);

// ParseExportArgs, then RunExport or the usage error.
int RunExportCommand(std::span<const std::string> args, ExportPort& port);

}  // namespace tavimo
