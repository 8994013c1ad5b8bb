#pragma once
// Running tavimo-export as a user would, for the tests: arguments, limits and
// closed descriptors in, exit status and what it printed out.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/support/test_support.h"

namespace tavimo::testing {

inline constexpr char kProgram[] = TAVIMO_EXPORT_PROGRAM;

struct Outcome {
  int status = -1;  // exit status, or 1000 + signal
  std::string out, err;
};

struct Launch {
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> env = {};
  rlim_t fileSizeLimit = RLIM_INFINITY;
  rlim_t addressSpace = RLIM_INFINITY;  // ulimit -v
  bool closeStderr = false;             // 2>&-
  unsigned timeoutSeconds = 0;          // then SIGALRM ends a run that hangs
};

[[noreturn]] inline void ExecChild(const Launch& launch, int out, int err) {
  dup2(out, 1);
  dup2(err, 2);
  if (launch.closeStderr) close(2);
  for (const auto& [name, value] : launch.env) setenv(name.c_str(), value.c_str(), 1);
  signal(SIGXFSZ, SIG_DFL);  // the program must look after this itself
  if (launch.fileSizeLimit != RLIM_INFINITY) {
    rlimit limits{launch.fileSizeLimit, launch.fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limits);
  }
  if (launch.addressSpace != RLIM_INFINITY) {
    rlimit limits{launch.addressSpace, launch.addressSpace};
    setrlimit(RLIMIT_AS, &limits);
  }
  if (launch.timeoutSeconds != 0) alarm(launch.timeoutSeconds);
  std::vector<char*> argv{const_cast<char*>(kProgram)};
  for (const std::string& arg : launch.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(kProgram, argv.data());
  _exit(127);
}

inline int StatusOf(int wait) { return WIFEXITED(wait) ? WEXITSTATUS(wait) : 1000 + WTERMSIG(wait); }

inline Outcome RunExport(const Launch& launch) {
  TempDir io;
  const std::string outPath = io / "out", errPath = io / "err";
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ExecChild(launch, out, err);
  }
  Outcome outcome;
  int wait = 0;
  if (child > 0 && waitpid(child, &wait, 0) == child) outcome.status = StatusOf(wait);
  outcome.out = ReadFile(outPath);
  outcome.err = ReadFile(errPath);
  return outcome;
}

inline Outcome RunExport(std::vector<std::string> args) { return RunExport(Launch{std::move(args)}); }

inline const BlockSpec kDefault = Block(10, 10, 50, 50, 5, 5, 0);

// The files of a save to `name` in `dir`, joined.
inline std::string ExportedBytes(const TempDir& dir, const std::string& name) {
  const std::vector<std::string> files = FilesOfSave(dir / name);
  std::string bytes = ReadFile(files[0]);
  for (std::size_t i = 1; i < files.size(); ++i) bytes += "|" + ReadFile(files[i]);
  return bytes;
}

// The files the save command writes for `spec` under `name`, joined.
inline std::string SavedBytes(const BlockSpec& spec, const std::string& name) {
  TempDir dir;
  EXPECT_EQ(SaveBlockTo(dir / name, spec).kind, SaveOutcome::Kind::kSaved);
  return ExportedBytes(dir, name);
}

}  // namespace tavimo::testing
