// tavimo-export under faults: closed descriptors, a pipe that closes, too
// little memory, rivals for the same file. Every run ends whole: the old
// files as they were or the new save complete, nothing left behind.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/cli/export_program.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using namespace tavimo::testing;

TEST(ExportFaults, ClosedStandardErrorKeepsProgressOutOfTheFile) {
  for (const char* name : {"p.dxf", "p.cht"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    Launch launch{{"--progress", dir / name}};
    launch.closeStderr = true;
    EXPECT_EQ(RunExport(launch).status, 0);
    EXPECT_EQ(ExportedBytes(dir, name), SavedBytes(kDefault, name));
  }
}

TEST(ExportFaults, ProgressIntoAPipeThatClosesIsDropped) {
  TempDir dir;
  int errPipe[2];
  ASSERT_EQ(pipe(errPipe), 0);
  close(errPipe[0]);  // nobody reads: every progress line meets a closed pipe
  const pid_t child = fork();
  if (child == 0) {
    const int out = open("/dev/null", O_WRONLY);
    ExecChild(Launch{{"--progress", "--width-total=300", "--height-total=300", "--width-cell=1",
                      "--height-cell=1", dir / "b.cht"}},
              out, errPipe[1]);
  }
  close(errPipe[1]);
  int wait = 0;
  ASSERT_EQ(waitpid(child, &wait, 0), child);
  EXPECT_EQ(StatusOf(wait), 0);
  EXPECT_EQ(ExportedBytes(dir, "b.cht"), SavedBytes(Block(10, 10, 300, 300, 1, 1, 0), "b.cht"));
}

TEST(ExportFaults, TooLittleMemoryFailsCleanly) {
  // From too little to start at all, through a failing save, to enough:
  // never an abort, never a temporary left.
  if (TAVIMO_SANITIZED) GTEST_SKIP() << "the sanitizers need more address space than the case allows";
  bool failedCleanly = false;
  for (rlim_t megabytes = 8; megabytes <= 512; megabytes += 8) {
    SCOPED_TRACE(megabytes);
    TempDir dir;
    WriteFile(dir / "b.cht", "old lines");
    Launch launch{{"--width-total=400", "--height-total=400", "--width-cell=1", "--height-cell=1", dir / "b.cht"}};
    launch.addressSpace = megabytes << 20;
    const Outcome outcome = RunExport(launch);
    if (outcome.status == 127) continue;  // too little to load the program
    ASSERT_LT(outcome.status, 128) << outcome.err;
    if (outcome.status == 1) {
      EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + dir / "b.cht" + ": Cannot allocate memory\n");
      EXPECT_EQ(ReadFile(dir / "b.cht"), "old lines");
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"b.cht"});
      failedCleanly = true;
    } else {
      EXPECT_EQ(outcome.status, 0) << outcome.err;
      break;  // enough from here on
    }
  }
  EXPECT_TRUE(failedCleanly);
}

TEST(ExportFaults, RivalSavesOfOnePairEachEndWhole) {
  TempDir dir;
  constexpr int kRivals = 16;
  std::vector<pid_t> children;
  for (int k = 1; k <= kRivals; ++k) {
    const pid_t child = fork();
    if (child == 0) {
      const int devNull = open("/dev/null", O_WRONLY);
      ExecChild(Launch{{"--width-total=" + std::to_string(5 * k), dir / "t.cht"}}, devNull, devNull);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int wait = 0;
    ASSERT_EQ(waitpid(child, &wait, 0), child);
    EXPECT_EQ(StatusOf(wait), 0);
  }
  // Whichever save came last, its CHT file and its RWS file belong together.
  const std::string pair = ExportedBytes(dir, "t.cht");
  bool matched = false;
  for (int k = 1; k <= kRivals && !matched; ++k)
    matched = pair == SavedBytes(Block(10, 10, 5 * k, 50, 5, 5, 0), "t.cht");
  EXPECT_TRUE(matched);
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo
