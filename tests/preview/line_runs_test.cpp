#include "preview/line_runs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tavimo {
namespace {

// RunEnd must find the true end of the run whatever the guess, and test
// no index outside first..last.
TEST(RunEnd, FindsTheEndFromAnyGuess) {
  const std::int64_t first = 7, last = 1000003;
  for (std::int64_t end : {first, first + 1, first + 2, std::int64_t{500000}, last - 1, last}) {
    for (std::int64_t guess : {first, first + 1, end - 1, end, end + 1, end + 17, (first + end) / 2, last}) {
      if (guess < first || guess > last) continue;
      int tests = 0;
      auto same = [&](std::int64_t t) {
        EXPECT_GE(t, first);
        EXPECT_LE(t, last);
        ++tests;
        return t <= end;
      };
      EXPECT_EQ(RunEnd(first, last, guess, same), end) << "end " << end << ", guess " << guess;
      if (guess == end && first < end && end < last) {
        EXPECT_EQ(tests, 2) << "a right guess costs two tests";
      }
    }
  }
}

TEST(LineSorter, BlankOnlyWhenNoPixelCanBeSet) {
  const LineSorter sorter(100, 50, 1e6L);
  EXPECT_EQ(sorter.BlankReasons({-3, 10, -2.5L, 40}), 1u);   // left of the surface
  EXPECT_EQ(sorter.BlankReasons({103, 10, 1e9L, 40}), 2u);   // right
  EXPECT_EQ(sorter.BlankReasons({-5, -3, 200, -2.5L}), 4u);  // below
  EXPECT_EQ(sorter.BlankReasons({-5, -3, -9, -2.5L}), 5u);   // left and below
  EXPECT_EQ(sorter.BlankReasons({10, 53, 20, 1e7L}), 8u);    // above
  // Within two pixels of an edge a rounded end may still land on it.
  EXPECT_EQ(sorter.BlankReasons({-1.5L, 10, -1.9L, 40}), 0u);
  // Far past the upper-right corner, its ends beyond no single edge.
  EXPECT_EQ(sorter.BlankReasons({-1e5L, 1e5L + 200, 1e5L, -1e5L + 200}), 32u);
  EXPECT_EQ(sorter.BlankReasons({1e5L, -1e5L + 200, -1e5L, 1e5L + 200}), 16u);
  // The same direction just inside the corner, and right through the surface.
  EXPECT_EQ(sorter.BlankReasons({-1e5L, 1e5L + 150, 1e5L, -1e5L + 150}), 0u);
  EXPECT_EQ(sorter.BlankReasons({-1e5L, 1e5L + 25, 1e5L, -1e5L + 25}), 0u);
  // A point inside, and lines that are not numbers, are never blank.
  EXPECT_EQ(sorter.BlankReasons({50, 25, 50, 25}), 0u);
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  EXPECT_EQ(sorter.BlankReasons({nan, 25, 1e9L, nan}), 0u);
}

}  // namespace
}  // namespace tavimo
