// Committing a pair of files (a CHT file and its RWS companion): all new or
// all old, whatever step fails, and nothing left behind.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "output/text_output_file.h"

namespace tavimo {
namespace {

using testing::Leftovers;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct PairResult {
  bool committed;
  std::string rws, cht;
};

// Replaces an old pair, failing the renames, exchanges and removals whose
// running numbers are in `failing`; without `exchange` the file system is
// one that cannot swap two names.
PairResult CommitPair(const TempDir& dir, const std::set<int>& failing, bool exchange) {
  WriteFile(dir / "b.rws", "old rws");
  WriteFile(dir / "b.cht", "old cht");
  TextOutputFile rws, cht;
  EXPECT_TRUE(rws.OpenForOutput(dir / "b.rws") && cht.OpenForOutput(dir / "b.cht"));
  rws.WriteText("new rws");
  cht.WriteText("new cht");
  EXPECT_TRUE(rws.Close() && cht.Close());

  int step = 0;
  auto fails = [&] { return failing.count(++step) != 0; };
  CommitSteps steps;
  steps.exchange = [&](platform::Handle f, const std::string& a, const std::string& b) {
    if (!exchange) return ENOTSUP;
    return fails() ? EIO : platform::Exchange(f, a, b);
  };
  steps.rename = [&](platform::Handle f, const std::string& a, const std::string& b) {
    return fails() ? EIO : platform::Rename(f, a, b);
  };
  steps.remove = [&](platform::Handle f, const std::string& a) { return fails() ? EIO : platform::Remove(f, a); };
  AtomicFile* const files[] = {&rws.file(), &cht.file()};
  const bool committed = CommitFiles(files, {}, nullptr, steps) == nullptr;
  return {committed, ReadFile(dir / "b.rws"), ReadFile(dir / "b.cht")};
}

TEST(CommitFiles, EveryFailingStepLeavesTheOldPair) {
  struct Case {
    bool exchange;
    std::set<int> failing;
    bool committed;
  } cases[] = {
      // exchange(rws) #1, rename(cht) #2; undo: exchange back #3, else rename back (twice)
      {true, {1}, false},
      {true, {2}, false},
      {true, {2, 3}, false},
      {true, {2, 3, 4}, false},
      {true, {3}, true},  // removing the old RWS fails once: tried again
      // rws aside #1, rws in #2, cht in #3; undo: rws back (twice)
      {false, {1}, false},
      {false, {2}, false},
      {false, {2, 3}, false},
      {false, {3}, false},
      {false, {3, 4}, false},
      {false, {4}, true},
      {false, {}, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const PairResult r = CommitPair(dir, c.failing, c.exchange);
    const std::string which = (c.exchange ? "exchange, failing" : "renames, failing") +
                              std::string(c.failing.empty() ? " none" : "") +
                              [&] { std::string s; for (int f : c.failing) s += " " + std::to_string(f); return s; }();
    EXPECT_EQ(r.committed, c.committed) << which;
    const std::string expected = c.committed ? "new" : "old";
    EXPECT_EQ(r.rws, expected + " rws") << which;
    EXPECT_EQ(r.cht, expected + " cht") << which;
    EXPECT_TRUE(Leftovers(dir.path()).empty()) << which;
  }
}


// --no-clobber's commit: a target that exists, or that another program
// creates between the check and the rename, is never replaced.
TEST(CommitFiles, KeptTargetsAreNeverReplaced) {
  for (const bool appearsLate : {false, true}) {
    TempDir dir;
    if (!appearsLate) WriteFile(dir / "a.txt", "theirs");
    TextOutputFile file;
    ASSERT_TRUE(file.OpenForOutput(dir / "a.txt"));
    file.WriteText("ours");
    ASSERT_TRUE(file.Close());
    CommitSteps steps;
    steps.renameNoReplace = [&](platform::Handle f, const std::string& a, const std::string& b) {
      if (appearsLate) WriteFile(dir / "a.txt", "theirs");
      return platform::RenameNoReplace(f, a, b);
    };
    AtomicFile* const files[] = {&file.file()};
    AtomicFile* failed = CommitFiles(files, {}, nullptr, steps, Existing::kKeep);
    ASSERT_NE(failed, nullptr) << appearsLate;
    EXPECT_EQ(failed->error(), EEXIST);
    EXPECT_EQ(ReadFile(dir / "a.txt"), "theirs");
    EXPECT_TRUE(Leftovers(dir.path()).empty());
  }
}

// A cancel once the data is written, or while another process's save
// holds the folder's lock, changes nothing.
TEST(CommitFiles, ACancelBeforeTheRenamesChangesNothing) {
  for (const bool othersLock : {false, true}) {
    TempDir dir;
    WriteFile(dir / "a.txt", "old");
    TextOutputFile file;
    ASSERT_TRUE(file.OpenForOutput(dir / "a.txt"));
    file.WriteText("new");
    ASSERT_TRUE(file.Close());
    const int other = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);  // a lock of its own
    if (othersLock) {
      ASSERT_EQ(flock(other, LOCK_EX), 0);
    }
    int asked = 0;
    bool cancelled = false;
    AtomicFile* const files[] = {&file.file()};
    EXPECT_EQ(CommitFiles(files, [&] { return othersLock && ++asked < 5; }, &cancelled), nullptr);
    close(other);
    EXPECT_TRUE(cancelled);
    if (othersLock) {
      EXPECT_EQ(asked, 5);
    }
    EXPECT_EQ(ReadFile(dir / "a.txt"), "old");
    EXPECT_TRUE(Leftovers(dir.path()).empty());
  }
}

// What a save killed outright leaves is removed by the next save into the
// folder; a running save's temporary, and an old file moved aside (which
// may be a file's only copy), are not.
TEST(AtomicFile, TheNextSaveSweepsWhatAKilledSaveLeft) {
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) {
    TextOutputFile killed;
    if (killed.OpenForOutput(dir / "a.txt")) killed.WriteText("half");
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(Leftovers(dir.path()).size(), 1u);
  const std::string aside = ".tavimo-abcdefghijkl.old";
  WriteFile(dir / aside, "an old copy");
  TextOutputFile running;
  ASSERT_TRUE(running.OpenForOutput(dir / "b.txt"));
  const std::vector<std::string> kept = Leftovers(dir.path());  // the aside file and the running save's
  ASSERT_EQ(kept.size(), 2u);
  TextOutputFile next;
  ASSERT_TRUE(next.OpenForOutput(dir / "c.txt"));
  std::vector<std::string> now = Leftovers(dir.path());
  EXPECT_EQ(now.size(), 3u);
  for (const std::string& name : kept) EXPECT_NE(std::find(now.begin(), now.end(), name), now.end()) << name;
}

// In a shared folder with the sticky bit, another user's files may be
// writable but not replaceable: the save fails, and leaves no entry that
// its user could not remove.
TEST(CommitFiles, StickyFolderOfAnotherUserLeavesNothingBehind) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
  for (const char* name : {"b.rws", "b.cht"}) {
    WriteFile(dir / name, "old");
    ASSERT_EQ(chmod((dir / name).c_str(), 0666), 0);
  }
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    TextOutputFile rws, cht;
    if (!rws.OpenForOutput(dir / "b.rws") || !cht.OpenForOutput(dir / "b.cht")) _exit(4);
    rws.WriteText("new");
    cht.WriteText("new");
    if (!rws.Close() || !cht.Close()) _exit(5);
    AtomicFile* const files[] = {&rws.file(), &cht.file()};
    AtomicFile* failed = CommitFiles(files);
    _exit(failed != nullptr && failed->error() == EPERM ? 0 : 6);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(dir / "b.rws"), "old");
  EXPECT_EQ(ReadFile(dir / "b.cht"), "old");
  EXPECT_TRUE(Leftovers(dir.path()).empty());
}

}  // namespace
}  // namespace tavimo
