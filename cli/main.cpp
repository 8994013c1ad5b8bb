// tavimo-export: writes a cell block from the command line, for scripts and
// large jobs. The command itself is in the core (export/export_command.h);
// here the process is made ready for it.
//
// No setlocale here: the program stays in the "C" locale, and the number
// text never depends on it anyway.

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "export/export_command.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Before anything is opened: no file may take the place of a closed
  // standard descriptor (and receive the progress lines).
  tavimo::platform::EnsureStandardDescriptors();
  tavimo::platform::UseExtendedPrecision();
  const std::vector<std::string> args = tavimo::platform::ProgramArguments(argc, argv);
  tavimo::ProcessExportPort port;
  const int status = tavimo::RunExportCommand(std::span(args).subspan(args.empty() ? 0 : 1), port);
  if (std::fflush(stdout) != 0 && status == 0) return tavimo::kExitWriteFailed;
  return status;
}
