#pragma once
// Finding runs of grid lines that set the same pixels, so that a preview
// costs one step per distinct line, not one per grid line.
//
// Within one family (the column lines, or the row lines) each of the four
// mapped coordinates of line k is a monotone function of k: the move length
// is cell size x k, exact, and every later step (a product with a constant,
// a sum with a constant, the mapping) rounds a monotone function of one
// varying value, which keeps it monotone. So the lines whose rounded ends
// equal those of line k form one unbroken run, and so do the lines with
// both ends beyond the same edge of the surface. A run's end is found by
// galloping and confirmed at its boundary: the last line inside is tested
// and the first line after it too.

#include <cmath>
#include <cstdint>
#include <optional>

namespace tavimo {

// One grid line on the surface, in surface units, exactly as it is drawn.
struct MappedLine {
  long double x1, y1, x2, y2;
};

// The pixels a line's ends land on, for a line both of whose ends are near
// enough to the surface to be drawn unclipped; nothing for any other line.
// The surface draws such a line from these four numbers alone.
struct PixelEnds {
  long long x1, y1, x2, y2;
  bool operator==(const PixelEnds&) const = default;
};

inline std::optional<PixelEnds> NearPixels(const MappedLine& line) {
  constexpr long double kNear = 16777216.0L;  // 2^24 pixels
  if (!(std::fabs(line.x1) <= kNear && std::fabs(line.y1) <= kNear && std::fabs(line.x2) <= kNear &&
        std::fabs(line.y2) <= kNear))
    return std::nullopt;
  // llrintl rounds halves to even in the default rounding mode.
  return PixelEnds{std::llrintl(line.x1), std::llrintl(line.y1), std::llrintl(line.x2),
                   std::llrintl(line.y2)};
}

// The last index in first..last at which `same` holds, given that it holds
// at `first` and that the indices where it holds form one unbroken run.
// `guess` (in first..last) is where the run is expected to end: a good guess
// costs two tests, a bad one a search outward from it.
template <typename Same>
std::int64_t RunEnd(std::int64_t first, std::int64_t last, std::int64_t guess, Same&& same) {
  std::int64_t inside = first;  // same() holds here
  std::int64_t outside = 0;     // and not here, once found
  if (guess > first && !same(guess)) {
    // The run ends before the guess: gallop back towards its start.
    outside = guess;
    for (std::int64_t step = 1;; step *= 2) {
      if (outside - first <= step) break;
      if (same(outside - step)) {
        inside = outside - step;
        break;
      }
      outside -= step;
    }
  } else {
    if (guess > first) inside = guess;
    for (std::int64_t step = 1;; step *= 2) {
      if (last - inside <= step) {
        if (same(last)) return last;
        outside = last;
        break;
      }
      if (!same(inside + step)) {
        outside = inside + step;
        break;
      }
      inside += step;
    }
  }
  while (outside - inside > 1) {
    const std::int64_t middle = inside + (outside - inside) / 2;
    (same(middle) ? inside : outside) = middle;
  }
  return inside;
}

// Where a run of lines with the same end pixels is expected to end, from
// how fast each coordinate moves per line: the first coordinate to reach
// the next half pixel ends it. Only a guess; RunEnd confirms it.
class RunGuess {
 public:
  // The family's first and last line, `count` lines apart.
  RunGuess(const MappedLine& first, const MappedLine& last, std::int64_t count);
  std::int64_t End(std::int64_t k, const MappedLine& line, std::int64_t last) const;

 private:
  long double perLine_[4] = {0, 0, 0, 0};
};

// Tells the lines that cannot set any pixel of a width x height surface,
// with the reasons as bits; each reason holds for an unbroken run of lines.
class LineSorter {
 public:
  // `reach`: a bound on the magnitude of every mapped coordinate.
  LineSorter(int width, int height, long double reach);

  // 0 when the line may set pixels. Bits 0-3: both ends lie beyond the same
  // edge (left, right, below, above). Bits 4-5: the whole surface lies on
  // one side of the line, with room to spare.
  unsigned BlankReasons(const MappedLine& line) const;

 private:
  long double left_, right_, bottom_, top_;  // the surface, grown a little
  long double reach_;
  long double slack_;  // how far rounding can move a line from its ideal place
};

}  // namespace tavimo
