#include "model/trig_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "model/rotate_point.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

const TrigEntry& Entry(std::int32_t angle) { return kTrigTable[angle - kTrigFirstAngle]; }

TEST(TrigTable, TheScriptWritesTheCheckedInTable) {
  if (std::system("/usr/bin/python3 -c 'import mpmath' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 with mpmath is missing (scripts/setup installs python3-mpmath)";
  testing::TempDir dir;
  const std::string out = dir / "trig_table.h";
  const std::string command = "/usr/bin/python3 " TAVIMO_SOURCE_DIR "/scripts/gen_trig_table.py '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_TRUE(testing::ReadFile(out) == testing::ReadFile(TAVIMO_SOURCE_DIR "/model/trig_table.h"))
      << "model/trig_table.h differs from what scripts/gen_trig_table.py writes";
}

// The argument is the product the x87 forms, and every value lies within
// one unit in the last place of glibc's (which is not always correctly
// rounded, so it may differ by that one unit).
TEST(TrigTable, ArgumentsAndValuesAgreeWithTheLibrary) {
  for (std::int32_t angle = kTrigFirstAngle; angle <= kTrigLastAngle; ++angle) {
    volatile std::int32_t a = angle;  // computed at run time, not folded
    const long double t = a * DEG_TO_RAD;
    const TrigEntry& entry = Entry(angle);
    ASSERT_EQ(entry.radians, t) << angle;
    const auto near = [](long double table, long double library) {
      return library == table || library == std::nextafterl(table, INFINITY) ||
             library == std::nextafterl(table, -INFINITY);
    };
    EXPECT_TRUE(near(entry.cosine, cosl(t))) << angle;
    EXPECT_TRUE(near(entry.sine, sinl(t))) << angle;
    // The product rounds symmetrically, so correct rounding keeps the
    // symmetry exactly.
    if (angle >= -90 && angle <= 90) {
      EXPECT_EQ(Entry(-angle).cosine, entry.cosine) << angle;
      EXPECT_EQ(Entry(-angle).sine, -entry.sine) << angle;
    }
  }
}

}  // namespace
}  // namespace tavimo
