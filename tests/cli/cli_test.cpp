// tavimo-export end to end: the real program, its exit status, its
// messages, and files byte for byte those of the save command.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/gis_save.h"
#include "export/save_block.h"
#include "tests/cli/export_program.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Exists;
using testing::Leftovers;
using testing::Names;
using testing::Block;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::ExecChild;
using testing::ExportedBytes;
using testing::kDefault;
using testing::Launch;
using testing::Outcome;
using testing::RunExport;
using testing::SavedBytes;
using testing::StatusOf;

constexpr char kWidthChanged[] =
    "tavimo-export: --width-total: The total width of the cell block has been increased to match the cell width; "
    "it is now 55\n";
constexpr char kHeightChanged[] =
    "tavimo-export: --height-total: The total height of the cell block has been increased to match the cell height; "
    "it is now -5\n";

TEST(ExportProgram, DefaultsAreTheDialogsInitialTexts) {
  for (const char* name : {"block.dxf", "block.cht"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const Outcome outcome = RunExport({dir / name});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(ExportedBytes(dir, name), SavedBytes(kDefault, name));
  }
}

TEST(ExportProgram, OptionsInBothForms) {
  TempDir dir;
  const Outcome outcome = RunExport({"--x=-5", "--y", "2.5", "--width-total=30", "--height-total", "20",
                               "--width-cell=10", "--height-cell", "5", "--angle=30", "--counter-clockwise",
                               dir / "turned.cht"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(ExportedBytes(dir, "turned.cht"), SavedBytes(Block(-5, 2.5L, 30, 20, 10, 5, 330), "turned.cht"));

  // The spaced form takes the next word as it is, even with a "-" in front;
  // the last of repeated options counts.
  TempDir other;
  EXPECT_EQ(RunExport({"--y", "-7.25", "--angle", "45", "--counter-clockwise", "--clockwise", other / "b.dxf"}).status, 0);
  EXPECT_EQ(ExportedBytes(other, "b.dxf"), SavedBytes(Block(10, -7.25L, 50, 50, 5, 5, 45), "b.dxf"));
}

TEST(ExportProgram, FieldTextsReadAsInTheDialog) {
  TempDir dir;
  const Outcome outcome = RunExport({"--x=&H10", "--y=10,5", "--width-total", " 55", "--width-cell", "5.4",
                               "--height-total", "12abc", "--height-cell", "&B11", "--angle", "90.5",
                               dir / "syntax.dxf"});
  EXPECT_EQ(outcome.status, 0);
  // What the dialog passes over silently, the exporter points out.
  EXPECT_EQ(outcome.err,
            "tavimo-export: --y: read \"10,5\" as 10\ntavimo-export: --height-total: read \"12abc\" as 12\n"
            "tavimo-export: --width-cell: 5.4 read as 5; use --decimals to keep fractions\n"
            "tavimo-export: --angle: 90.5 read as 90; use --decimals to keep fractions\n");
  EXPECT_EQ(ExportedBytes(dir, "syntax.dxf"), SavedBytes(Block(16, 10, 55, 12, 5, 3, 90), "syntax.dxf"));
}

TEST(ExportProgram, SizeCorrectionsAreReportedAndTheExportGoesOn) {
  TempDir dir;
  const Outcome outcome = RunExport({"--width-total", "52", "--height-total=-7", dir / "fit.cht"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, std::string(kWidthChanged) + kHeightChanged);
  EXPECT_EQ(ExportedBytes(dir, "fit.cht"), SavedBytes(Block(10, 10, 55, -5, 5, 5, 0), "fit.cht"));
}

TEST(ExportProgram, ReadOnlyFolderFailsAndKeepsTheOldFiles) {
  TempDir dir;
  const std::string folder = dir / "plans";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  WriteFile(folder + "/block.cht", "old lines");
  WriteFile(folder + "/block.rws", "old cells");
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  const Outcome outcome = RunExport({folder + "/block.cht"});
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + folder + "/block.cht: Permission denied\n");
  EXPECT_EQ(ReadFile(folder + "/block.cht"), "old lines");
  EXPECT_EQ(ReadFile(folder + "/block.rws"), "old cells");
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"block.cht", "block.rws"}));
}

TEST(ExportProgram, FileSizeLimitFailsAndKeepsTheOldFiles) {
  for (const char* name : {"block.dxf", "block.cht"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteFile(dir / "block.dxf", "old drawing");
    WriteFile(dir / "block.cht", "old lines");
    WriteFile(dir / "block.rws", "old cells");
    const Outcome outcome = RunExport(Launch{{"--width-total=400", "--height-total=400", "--width-cell=1",
                                        "--height-cell=1", dir / name},
                                       {},
                                       256 * 1024});
    EXPECT_EQ(outcome.status, 1);
    const std::string failed = std::string(name) == "block.dxf" ? "block.dxf" : "block.rws";
    EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + dir / failed + ": File too large\n");
    EXPECT_EQ(ReadFile(dir / "block.dxf"), "old drawing");
    EXPECT_EQ(ReadFile(dir / "block.cht"), "old lines");
    EXPECT_EQ(ReadFile(dir / "block.rws"), "old cells");
    EXPECT_EQ(Names(dir.path()).size(), 3u);
  }
}

TEST(ExportProgram, MissingFolderFailsAndCreatesNothing) {
  TempDir dir;
  for (const char* name : {"block.dxf", "block.cht"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / "missing" + "/" + name;
    const Outcome outcome = RunExport({path});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + path + ": No such file or directory\n");
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(ExportProgram, ReadOnlyFileInTheWayKeepsTheOldFiles) {
  // The chosen file itself, and the RWS file of a CHT save.
  for (const auto& [name, readOnly] : {std::pair<std::string, std::string>{"block.dxf", "block.dxf"},
                                       std::pair<std::string, std::string>{"block.cht", "block.rws"}}) {
    SCOPED_TRACE(name);
    TempDir dir;
    WriteFile(dir / "block.dxf", "old drawing");
    WriteFile(dir / "block.cht", "old lines");
    WriteFile(dir / "block.rws", "old cells");
    ASSERT_EQ(chmod((dir / readOnly).c_str(), 0444), 0);
    const Outcome outcome = RunExport({dir / name});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + dir / readOnly + ": Permission denied\n");
    EXPECT_EQ(ReadFile(dir / "block.dxf"), "old drawing");
    EXPECT_EQ(ReadFile(dir / "block.cht"), "old lines");
    EXPECT_EQ(ReadFile(dir / "block.rws"), "old cells");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"block.cht", "block.dxf", "block.rws"}));
  }
}

TEST(ExportProgram, FileSizeLimitHalfwayThroughTheChtFile) {
  // The CHT file of this block is about 320 kB; the limit stops it near
  // the middle, before its RWS file is begun. The old files are larger
  // than the limit: they must survive whole, not be cut to it.
  TempDir dir;
  const std::string oldLines(300 * 1024, 'c'), oldCells(300 * 1024, 'r');
  WriteFile(dir / "block.cht", oldLines);
  WriteFile(dir / "block.rws", oldCells);
  const Outcome outcome = RunExport(Launch{{"--x=-1234.5", "--y=987.25", "--width-total=2000", "--height-total=2000",
                                            "--width-cell=1", "--height-cell=1", "--angle=33", dir / "block.cht"},
                                           {},
                                           160 * 1024});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "tavimo-export: Could not write " + dir / "block.cht" + ": File too large\n");
  EXPECT_TRUE(ReadFile(dir / "block.cht") == oldLines);
  EXPECT_TRUE(ReadFile(dir / "block.rws") == oldCells);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"block.cht", "block.rws"}));
}

TEST(ExportProgram, SameBytesUnderADecimalCommaLocale) {
  TempDir dir;
  const std::vector<std::string> args = {"--x=-0.75", "--angle=33", "--width-cell=7"};
  std::vector<std::string> c = args, de = args;
  c.push_back(dir / "c.dxf");
  de.push_back(dir / "de.dxf");
  ASSERT_EQ(RunExport(Launch{c, {{"LC_ALL", "C"}}, RLIM_INFINITY}).status, 0);
  ASSERT_EQ(RunExport(Launch{de, {{"LC_ALL", "de_DE.UTF-8"}}, RLIM_INFINITY}).status, 0);
  EXPECT_EQ(ReadFile(dir / "de.dxf"), ReadFile(dir / "c.dxf"));
}

TEST(ExportProgram, HelpVersionAndUsageErrors) {
  Outcome version = RunExport({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tavimo-export 1.0\n");
  Outcome help = RunExport({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: tavimo-export", 0), 0u);
  EXPECT_NE(help.out.find("--counter-clockwise"), std::string::npos);
  EXPECT_NE(help.out.find("--clip FILE[:LAYER]"), std::string::npos);

  // Every usage error and wrong input: tests/export/export_command_test.cpp.
  TempDir dir;
  const Outcome wrong = RunExport({"--bogus", dir / "a.dxf"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, "tavimo-export: unknown option '--bogus'\nTry 'tavimo-export --help' for more information.\n");
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(ExportProgram, DoubleDashEndsTheOptions) {
  TempDir dir;
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const Outcome outcome = RunExport({"--", "-odd.dxf"});
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(ExportedBytes(dir, "-odd.dxf"), SavedBytes(kDefault, "block.dxf"));
}

TEST(ExportProgram, ProgressLinesOnStandardError) {
  TempDir dir;
  const Outcome outcome = RunExport({"--progress", "--width-total=200", "--height-total=200", "--width-cell=1",
                               "--height-cell=1", dir / "p.dxf"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err.rfind("tavimo-export: 0%\n", 0), 0u);
  ASSERT_GE(outcome.err.size(), 5u);
  EXPECT_EQ(outcome.err.substr(outcome.err.size() - 5), "100%\n");
  int last = -1;
  std::size_t start = 0;
  while (start < outcome.err.size()) {
    const std::size_t end = outcome.err.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = outcome.err.substr(start, end - start);
    ASSERT_EQ(line.back(), '%') << line;
    ASSERT_EQ(line.rfind("tavimo-export: ", 0), 0u) << line;
    const int percent = std::stoi(line.substr(15));
    EXPECT_GT(percent, last);
    last = percent;
    start = end + 1;
  }
}

// SIGTERM cancels (exit 130); every other signal that ends a process ends
// it as before, but never leaves a temporary behind.
TEST(ExportProgram, TerminatedExportLeavesNothingBehind) {
  for (const int signal : {SIGTERM, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
    TempDir dir;
    WriteFile(dir / "big.dxf", "old drawing");
    int errPipe[2];
    ASSERT_EQ(pipe(errPipe), 0);
    const pid_t child = fork();
    if (child == 0) {
      close(errPipe[0]);
      const int out = open("/dev/null", O_WRONLY);
      // Big enough to run for a good while: about 190 MB.
      ExecChild(Launch{{"--progress", "--width-total=1000", "--height-total=1000", "--width-cell=1",
                        "--height-cell=1", dir / "big.dxf"},
                       {},
                       RLIM_INFINITY},
                out, errPipe[1]);
    }
    close(errPipe[1]);
    char first = 0;
    ASSERT_EQ(read(errPipe[0], &first, 1), 1);  // the export has begun
    kill(child, signal);
    int wait = 0;
    ASSERT_EQ(waitpid(child, &wait, 0), child);
    close(errPipe[0]);
    if (signal == SIGTERM) {
      EXPECT_EQ(StatusOf(wait), 130);
    } else {
      EXPECT_TRUE(WIFSIGNALED(wait) && WTERMSIG(wait) == signal) << strsignal(signal);
    }
    EXPECT_EQ(ReadFile(dir / "big.dxf"), "old drawing") << strsignal(signal);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"big.dxf"}) << strsignal(signal);
  }
}

// A save that waits for another process's lock on the folder is cancelled
// by SIGTERM as any other: exit 130, the old file kept, nothing left.
TEST(ExportProgram, AWaitForTheFolderLockCanBeInterrupted) {
  TempDir dir;
  WriteFile(dir / "a.dxf", "old drawing");
  const int other = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open("/dev/null", O_WRONLY);
    ExecChild(Launch{{dir / "a.dxf"}, {}, RLIM_INFINITY}, out, out);
  }
  usleep(300'000);
  int wait = 0;
  EXPECT_EQ(waitpid(child, &wait, WNOHANG), 0);  // still waiting
  kill(child, SIGTERM);
  ASSERT_EQ(waitpid(child, &wait, 0), child);
  close(other);
  EXPECT_EQ(StatusOf(wait), 130);
  EXPECT_EQ(ReadFile(dir / "a.dxf"), "old drawing");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.dxf"});
}

// --srs reads text, or a regular file's: never a FIFO or the network, where
// GDAL would wait for ever.
TEST(ExportProgram, SrsReadsNoFifoNorNetwork) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  // A server that takes the connection and never answers.
  const int server = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(server, 1), 0);
  ASSERT_EQ(getsockname(server, reinterpret_cast<sockaddr*>(&address), &size), 0);
  const std::string url = "/vsicurl/http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/crs.prj";
  for (const std::string& srs : {dir / "fifo", url}) {
    Launch launch{{"--srs", srs, dir / "b.gpkg"}};
    launch.timeoutSeconds = 20;
    const Outcome outcome = RunExport(launch);
    EXPECT_EQ(outcome.status, 2) << srs;
    EXPECT_EQ(outcome.err.rfind("tavimo-export: --srs: ", 0), 0u) << outcome.err;
  }
  close(server);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"fifo"});

  if (!GisFormatsAvailable()) GTEST_SKIP() << "built without GDAL";
  WriteFile(dir / "wgs84.prj", "\nGEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                               "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]\n");
  EXPECT_EQ(RunExport({"--srs", dir / "wgs84.prj", dir / "b.gpkg"}).status, 0);
  EXPECT_TRUE(Exists(dir / "b.gpkg"));
}

}  // namespace
}  // namespace tavimo
