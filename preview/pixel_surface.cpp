#include "preview/pixel_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <utility>

namespace tavimo {
namespace {

// Lines are clipped to the surface grown by this margin on every side before
// they are rasterised: every whole pixel position inside fits easily into
// 64-bit arithmetic, and the far end of a clipped line lies so far outside
// that the pixels near the surface are those of the unclipped line. A line
// with no coordinate beyond 2^24 is never clipped, so its pixels follow from
// its rounded ends alone, as PreviewSurface promises.
constexpr long double kMargin = 16777216.0L;  // 2^24
// Larger magnitudes (and infinities) are pulled in to this bound first, so
// that differences of two coordinates stay finite.
constexpr long double kFar = 1e4000L;

std::uint32_t Pack(Rgb c) {
  return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | std::uint32_t{c.b};
}

struct Point {
  long double u, v;  // pixel units, u to the right, v upward
};

struct Box {
  long double uMin, uMax, vMin, vMax;

  unsigned Outcode(const Point& p) const {
    unsigned code = 0;
    if (p.u < uMin) code |= 1;
    if (p.u > uMax) code |= 2;
    if (p.v < vMin) code |= 4;
    if (p.v > vMax) code |= 8;
    return code;
  }
};

long double PullIn(long double value) { return std::clamp(value, -kFar, kFar); }

// Where the segment from `inside` (in the box) towards `other` leaves the
// box; `other` itself when it is in the box. Measured from the inside end,
// so the rounding error stays of the order of the box, however far `other`.
Point LeaveBox(const Box& box, const Point& inside, const Point& other) {
  const long double du = other.u - inside.u;
  const long double dv = other.v - inside.v;
  long double t = 1;
  int edge = -1;
  auto limit = [&](long double d, long double room, int which) {
    // room >= 0: the distance to the edge in the direction of d.
    if (d != 0 && room < t * std::fabs(d)) {
      t = room / std::fabs(d);
      edge = which;
    }
  };
  if (du < 0) limit(du, inside.u - box.uMin, 0);
  if (du > 0) limit(du, box.uMax - inside.u, 1);
  if (dv < 0) limit(dv, inside.v - box.vMin, 2);
  if (dv > 0) limit(dv, box.vMax - inside.v, 3);
  if (edge < 0) return other;
  Point p{inside.u + t * du, inside.v + t * dv};
  // The limiting coordinate sits on its edge exactly; the other is kept in.
  switch (edge) {
    case 0: p.u = box.uMin; break;
    case 1: p.u = box.uMax; break;
    case 2: p.v = box.vMin; break;
    default: p.v = box.vMax; break;
  }
  p.u = std::clamp(p.u, box.uMin, box.uMax);
  p.v = std::clamp(p.v, box.vMin, box.vMax);
  return p;
}

// The part of the segment p0-p1 inside the box, in the same direction, or
// nothing. When both ends are far outside, the segment is halved towards the
// box: a midpoint is rounded relative to its own size, not to the size of
// the ends, so the part found near the box stays on the original line.
std::optional<std::pair<Point, Point>> ClipToBox(const Box& box, Point p0, Point p1) {
  const long double shortLength = kMargin / 2;
  for (;;) {
    const unsigned c0 = box.Outcode(p0);
    const unsigned c1 = box.Outcode(p1);
    if (c0 & c1) return std::nullopt;
    if ((c0 | c1) == 0) return std::pair{p0, p1};
    if (c0 == 0) return std::pair{p0, LeaveBox(box, p0, p1)};
    if (c1 == 0) return std::pair{LeaveBox(box, p1, p0), p1};
    // Both ends outside: a short segment cannot reach the surface itself.
    if (std::fabs(p1.u - p0.u) < shortLength && std::fabs(p1.v - p0.v) < shortLength)
      return std::nullopt;
    const Point m{p0.u * 0.5L + p1.u * 0.5L, p0.v * 0.5L + p1.v * 0.5L};
    const unsigned cm = box.Outcode(m);
    if (cm == 0) return std::pair{LeaveBox(box, m, p0), LeaveBox(box, m, p1)};
    // The midpoint is outside some edge; the half whose other end is outside
    // that edge too misses the box.
    if (c0 & cm)
      p0 = m;
    else if (c1 & cm)
      p1 = m;
    else
      return std::nullopt;  // not reachable with monotone rounding
  }
}

// Division rounding towards minus and plus infinity, for d > 0.
std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {
  std::int64_t q = n / d;
  if ((n % d != 0) && (n < 0)) --q;
  return q;
}
std::int64_t CeilDiv(std::int64_t n, std::int64_t d) {
  std::int64_t q = n / d;
  if ((n % d != 0) && (n > 0)) ++q;
  return q;
}

}  // namespace

PixelSurface::PixelSurface(int width, int height, Rgb initialFill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), Pack(initialFill)) {}

void PixelSurface::Attach(bool buffered) { buffered_ = buffered; }

void PixelSurface::SetScale(long double x1, long double y1, long double x2, long double y2) {
  const long double spanX = x2 - x1;
  const long double spanY = y1 - y2;
  if (!std::isfinite(spanX) || !std::isfinite(spanY) || spanX == 0 || spanY == 0) return;
  originX_ = x1;
  originY_ = y2;
  factorX_ = static_cast<long double>(width_) / spanX;
  factorY_ = static_cast<long double>(height_) / spanY;
}

void PixelSurface::SetDrawingColour(Rgb colour) { drawing_ = Pack(colour); }

void PixelSurface::SetBackgroundColour(Rgb colour) { background_ = Pack(colour); }

void PixelSurface::Clear() {
  std::fill(pixels_.begin(), pixels_.end(), background_);
  lastLine_.reset();
  Changed();
}

void PixelSurface::MoveTo(long double x, long double y) {
  currentX_ = x;
  currentY_ = y;
}

void PixelSurface::LineTo(long double x, long double y) {
  const Point from{(currentX_ - originX_) * factorX_, (currentY_ - originY_) * factorY_};
  const Point to{(x - originX_) * factorX_, (y - originY_) * factorY_};
  currentX_ = x;
  currentY_ = y;
  if (std::isnan(from.u) || std::isnan(from.v) || std::isnan(to.u) || std::isnan(to.v)) return;

  const Box box{-kMargin, static_cast<long double>(width_) + kMargin, -kMargin,
                static_cast<long double>(height_) + kMargin};
  const auto clipped = ClipToBox(box, Point{PullIn(from.u), PullIn(from.v)}, Point{PullIn(to.u), PullIn(to.v)});
  if (!clipped) return;
  // Inside the box the rounded positions fit any 64-bit integer. llrintl
  // rounds in the default mode, halves to even, as nearbyintl does.
  const PixelLine line{std::llrintl(clipped->first.u), std::llrintl(clipped->first.v),
                       std::llrintl(clipped->second.u), std::llrintl(clipped->second.v)};
  if (lastLine_ == line && lastColour_ == drawing_) return;
  Rasterise(line);
  lastLine_ = line;
  lastColour_ = drawing_;
  Changed();
}

// The pixels of the line from (u0, v0) up to, not including, (u1, v1): along
// the longer axis one pixel per step; across it the offset k * d / n rounded,
// halves away from the start. Only the steps that land on the buffer are
// visited; their range is computed, not searched.
void PixelSurface::Rasterise(const PixelLine& line) {
  const std::int64_t col0 = line.u0;
  const std::int64_t row0 = static_cast<std::int64_t>(height_) - line.v0;
  const std::int64_t dCol = line.u1 - line.u0;
  const std::int64_t dRow = line.v0 - line.v1;  // rows grow downward
  if (dCol == 0 && dRow == 0) return;
  if (width_ == 0 || height_ == 0) return;

  const bool colMajor = std::llabs(dCol) >= std::llabs(dRow);
  const std::int64_t major0 = colMajor ? col0 : row0;
  const std::int64_t minor0 = colMajor ? row0 : col0;
  const std::int64_t dMajor = colMajor ? dCol : dRow;
  const std::int64_t dMinor = colMajor ? dRow : dCol;
  const std::int64_t majorSize = colMajor ? width_ : height_;
  const std::int64_t minorSize = colMajor ? height_ : width_;
  const std::int64_t n = std::llabs(dMajor);
  const std::int64_t m = std::llabs(dMinor);
  const std::int64_t majorStep = dMajor > 0 ? 1 : -1;
  const std::int64_t minorStep = dMinor >= 0 ? 1 : -1;

  // Steps k = 0 .. n-1; the major coordinate must lie in 0 .. majorSize-1.
  std::int64_t kFirst = 0;
  std::int64_t kLast = n - 1;
  if (majorStep > 0) {
    kFirst = std::max(kFirst, -major0);
    kLast = std::min(kLast, majorSize - 1 - major0);
  } else {
    kFirst = std::max(kFirst, major0 - (majorSize - 1));
    kLast = std::min(kLast, major0);
  }
  // The minor offset off(k) = floor((2 k m + n) / 2n) must keep the minor
  // coordinate in 0 .. minorSize-1, i.e. off(k) in lo .. hi.
  const std::int64_t lo = minorStep > 0 ? -minor0 : minor0 - (minorSize - 1);
  const std::int64_t hi = minorStep > 0 ? minorSize - 1 - minor0 : minor0;
  if (lo > hi) return;
  if (m == 0) {
    if (lo > 0 || hi < 0) return;
  } else {
    kFirst = std::max(kFirst, CeilDiv(2 * n * lo - n, 2 * m));
    kLast = std::min(kLast, FloorDiv(2 * n * (hi + 1) - n - 1, 2 * m));
  }
  if (kFirst > kLast) return;

  const std::uint32_t colour = drawing_;
  const std::size_t stride = static_cast<std::size_t>(width_);
  if (m == 0) {
    const std::int64_t a = major0 + majorStep * kFirst;
    const std::int64_t b = major0 + majorStep * kLast;
    const std::int64_t from = std::min(a, b);
    const std::int64_t to = std::max(a, b);
    if (colMajor) {
      auto rowStart = pixels_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(minor0) * stride);
      std::fill(rowStart + from, rowStart + to + 1, colour);
    } else {
      for (std::int64_t r = from; r <= to; ++r)
        pixels_[static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(minor0)] = colour;
    }
    return;
  }

  const std::int64_t twoN = 2 * n;
  const std::int64_t start = 2 * kFirst * m + n;
  std::int64_t offset = start / twoN;
  std::int64_t rest = start % twoN;
  std::int64_t major = major0 + majorStep * kFirst;
  for (std::int64_t k = kFirst; k <= kLast; ++k) {
    const std::int64_t minor = minor0 + minorStep * offset;
    const std::int64_t col = colMajor ? major : minor;
    const std::int64_t row = colMajor ? minor : major;
    pixels_[static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(col)] = colour;
    major += majorStep;
    rest += 2 * m;
    if (rest >= twoN) {
      rest -= twoN;
      ++offset;
    }
  }
}

void PixelSurface::Changed() {
  if (!buffered_ && redraw_) redraw_();
}

void PixelSurface::Redraw() {
  if (redraw_) redraw_();
}

Rgb PixelSurface::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range("PixelSurface::At");
  const std::uint32_t p = pixels_.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                     static_cast<std::size_t>(x));
  return Rgb{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
}

}  // namespace tavimo
