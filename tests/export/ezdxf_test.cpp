// A saved DXF file read back by an independent reader: ezdxf under the
// system's Python.

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "export/save_block.h"
#include "tests/export/test_support.h"

namespace tavimo {
namespace {

using testing::RecordingMessages;
using testing::TempDir;
using testing::WriteFile;

constexpr char kPython[] = "/usr/bin/python3";

// Prints one line per entity: type, layer, colour, then the points
// (rounded to 9 places) or the text with its height, rotation and style.
constexpr char kReader[] = R"(import sys
import ezdxf
doc = ezdxf.readfile(sys.argv[1])
for e in doc.modelspace():
    d = e.dxf
    if e.dxftype() == "LINE":
        print("LINE", d.layer, d.color, *["%.9f" % v for v in (*d.start, *d.end)])
    else:
        print(e.dxftype(), d.layer, d.color, d.text, *["%.9f" % v for v in d.insert],
              "%g" % d.height, "%g" % d.rotation, d.style)
)";

// The standard output of `command`, preceded by its exit status if not 0.
std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) output = "exit " + std::to_string(WEXITSTATUS(status)) + "\n" + output;
  return output;
}

TEST(DxfReadBack, EzdxfReadsTheLinesAndTexts) {
  if (std::system((std::string(kPython) + " -c 'import ezdxf' >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << kPython << " with ezdxf is not available";

  TempDir dir;
  WriteFile(dir / "reader.py", kReader);
  BlockSpec spec;
  spec.startX = 0;
  spec.startY = 0;
  spec.widthTotal = 20;
  spec.heightTotal = 10;
  spec.widthCell = 10;
  spec.heightCell = 5;
  spec.angle = 0;
  RecordingMessages messages;
  ASSERT_EQ(SaveBlockTo(messages, dir / "block.dxf", spec), SaveResult::kSaved);

  const std::string output =
      RunCommand(std::string(kPython) + " " + dir / "reader.py" + " " + dir / "block.dxf" + " 2>&1");
  EXPECT_EQ(output,
            "LINE Cell_block 7 0.000000000 0.000000000 0.000000000 0.000000000 10.000000000 0.000000000\n"
            "LINE Cell_block 7 10.000000000 0.000000000 0.000000000 10.000000000 10.000000000 0.000000000\n"
            "LINE Cell_block 7 20.000000000 0.000000000 0.000000000 20.000000000 10.000000000 0.000000000\n"
            "LINE Cell_block 7 0.000000000 0.000000000 0.000000000 20.000000000 0.000000000 0.000000000\n"
            "LINE Cell_block 7 0.000000000 5.000000000 0.000000000 20.000000000 5.000000000 0.000000000\n"
            "LINE Cell_block 7 0.000000000 10.000000000 0.000000000 20.000000000 10.000000000 0.000000000\n"
            "TEXT Cell_Numbers 7 1-1 0.100000000 0.100000000 0.000000000 1 360 STANDARD\n"
            "TEXT Cell_Numbers 7 2-1 10.100000000 0.100000000 0.000000000 1 360 STANDARD\n"
            "TEXT Cell_Numbers 7 1-2 0.100000000 5.100000000 0.000000000 1 360 STANDARD\n"
            "TEXT Cell_Numbers 7 2-2 10.100000000 5.100000000 0.000000000 1 360 STANDARD\n");
}

}  // namespace
}  // namespace tavimo
