#include "export/gis_rtree.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace tavimo::gis {
namespace {

// A double as a float, rounded to nearest; beyond the largest float's
// rounding range an infinity, as the processor converts.
float ToFloat(double d) {
  constexpr double kOverflow = 0x1.ffffffp127;  // halfway above the largest float: rounds to infinity
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (std::fabs(d) >= kOverflow) return d > 0 ? kInfinity : -kInfinity;
  return static_cast<float>(d);
}

// The module's rounding: the nearest float, or when that lies on the wrong
// side, the float of the value moved by one part in 2^23.
constexpr double kTowardsZero = 1.0 - 1.0 / 8388608.0;
constexpr double kAwayFromZero = 1.0 + 1.0 / 8388608.0;
float Down(double d) {
  float f = ToFloat(d);
  if (f > d) f = ToFloat(d * (d < 0 ? kAwayFromZero : kTowardsZero));
  return f;
}
float Up(double d) {
  float f = ToFloat(d);
  if (f < d) f = ToFloat(d * (d < 0 ? kTowardsZero : kAwayFromZero));
  return f;
}

// The module's nodes hold big-endian numbers.
void PutBig(unsigned char* p, std::uint64_t v, int bytes) {
  for (int k = bytes - 1; k >= 0; --k, v >>= 8) p[k] = static_cast<unsigned char>(v);
}

void Merge(IndexBox& into, const IndexBox& box) {
  into.minX = std::min(into.minX, box.minX);
  into.maxX = std::max(into.maxX, box.maxX);
  into.minY = std::min(into.minY, box.minY);
  into.maxY = std::max(into.maxY, box.maxY);
}

constexpr std::size_t kEntryBytes = 8 + 4 * 4;  // the id, then minX, maxX, minY, maxY
constexpr IndexBox kNothing{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};

}  // namespace

IndexBox IndexBoxOf(const Box& box) { return {Down(box.minX), Up(box.maxX), Down(box.minY), Up(box.maxY)}; }

PackedRTree::PackedRTree(std::uint64_t columns, std::uint64_t rows, std::size_t nodeBytes)
    : nodeBytes_(nodeBytes), capacity_((nodeBytes - 4) / kEntryBytes), columns_(columns), rows_(rows) {
  // Tiles as square as the grid allows: side x side where it is wide and
  // tall enough, else as many of its thin side as fit.
  std::uint64_t side = 1;
  while ((side + 1) * (side + 1) <= capacity_) ++side;
  std::uint64_t across = columns, down = rows;
  for (int height = 0;; ++height) {
    std::uint64_t w, h;
    if (across <= capacity_ && down <= capacity_ / across) {
      w = across, h = down;
    } else if (across >= side && down >= side) {
      w = h = side;
    } else if (down < side) {
      w = std::min(across, capacity_ / down), h = down;
    } else {
      w = across, h = std::min(down, capacity_ / across);
    }
    tileAcross_.push_back(w);
    tileDown_.push_back(h);
    across = (across + w - 1) / w;
    down = (down + h - 1) / h;
    across_.push_back(across);
    down_.push_back(down);
    if (across == 1 && down == 1) {
      depth_ = height;
      break;
    }
  }
  // The root is node 1; the leaves follow it, then each level above them.
  std::int64_t next = 2;
  for (int height = 0; height < depth_; ++height) {
    first_.push_back(next);
    next += static_cast<std::int64_t>(across_[height] * down_[height]);
  }
  first_.push_back(1);
}

std::uint64_t PackedRTree::nodeCount() const {
  std::uint64_t count = 0;
  for (int height = 0; height <= depth_; ++height) count += across_[height] * down_[height];
  return count;
}

std::int64_t PackedRTree::Number(int height, std::uint64_t i, std::uint64_t j) const {
  return height == depth_ ? 1 : first_[height] + static_cast<std::int64_t>(j * across_[height] + i);
}

void PackedRTree::Tile(int height, std::uint64_t i, std::uint64_t j, std::uint64_t& i0, std::uint64_t& i1,
                       std::uint64_t& j0, std::uint64_t& j1) const {
  const std::uint64_t across = height == 0 ? columns_ : across_[height - 1];
  const std::uint64_t down = height == 0 ? rows_ : down_[height - 1];
  i0 = i * tileAcross_[height];
  i1 = std::min(i0 + tileAcross_[height], across);
  j0 = j * tileDown_[height];
  j1 = std::min(j0 + tileDown_[height], down);
}

void PackedRTree::Start(Node& node, int height) const {
  node.assign(nodeBytes_, 0);
  if (height == depth_) PutBig(node.data(), static_cast<std::uint64_t>(depth_), 2);  // only the root says
}

void PackedRTree::Add(Node& node, std::int64_t id, const IndexBox& box) const {
  const std::uint64_t count = (std::uint64_t{node[2]} << 8) | node[3];
  unsigned char* entry = node.data() + 4 + count * kEntryBytes;
  PutBig(entry, static_cast<std::uint64_t>(id), 8);
  const float sides[4] = {box.minX, box.maxX, box.minY, box.maxY};
  for (int k = 0; k < 4; ++k) PutBig(entry + 8 + 4 * k, __builtin_bit_cast(std::uint32_t, sides[k]), 4);
  PutBig(node.data() + 2, count + 1, 2);
}

std::int64_t PackedRTree::Leaf(std::uint64_t k, const ItemBox& box, Node& node) const {
  const std::uint64_t i = k % across_[0], j = k / across_[0];
  std::uint64_t c0, c1, r0, r1;
  Tile(0, i, j, c0, c1, r0, r1);
  Start(node, 0);
  for (std::uint64_t r = r0; r < r1; ++r)
    for (std::uint64_t c = c0; c < c1; ++c) Add(node, static_cast<std::int64_t>(r * columns_ + c + 1), box(c, r));
  return Number(0, i, j);
}

std::int64_t PackedRTree::LeafOf(std::uint64_t id) const {
  return Number(0, (id - 1) % columns_ / tileAcross_[0], (id - 1) / columns_ / tileDown_[0]);
}

std::int64_t PackedRTree::ParentOf(std::int64_t number) const {
  for (int height = 0; height < depth_; ++height) {
    const std::uint64_t index = static_cast<std::uint64_t>(number - first_[height]);
    if (number < first_[height] || index >= across_[height] * down_[height]) continue;
    const std::uint64_t i = index % across_[height], j = index / across_[height];
    return Number(height + 1, i / tileAcross_[height + 1], j / tileDown_[height + 1]);
  }
  return 0;  // the root has none
}

PackedRTree::Inner::Inner(const PackedRTree& tree, ItemBox box) : tree_(tree), box_(std::move(box)) {
  stack_.reserve(static_cast<std::size_t>(tree.depth_) + 1);
  if (tree.depth_ == 0) return;  // the root is a leaf
  stack_.push_back({tree.depth_, 0, 0, 0, kNothing, {}});
  tree.Start(stack_.back().node, tree.depth_);
}

IndexBox PackedRTree::Inner::ChildBox(std::uint64_t ci, std::uint64_t cj) {
  std::uint64_t c0, c1, r0, r1;
  tree_.Tile(0, ci, cj, c0, c1, r0, r1);
  IndexBox box = kNothing;
  for (std::uint64_t r = r0; r < r1; ++r)
    for (std::uint64_t c = c0; c < c1; ++c) Merge(box, box_(c, r));
  return box;
}

bool PackedRTree::Inner::Next(std::int64_t& number, Node& node) {
  while (!stack_.empty()) {
    Frame& frame = stack_.back();
    std::uint64_t i0, i1, j0, j1;
    tree_.Tile(frame.height, frame.i, frame.j, i0, i1, j0, j1);
    if (frame.child < (i1 - i0) * (j1 - j0)) {
      const std::uint64_t ci = i0 + frame.child % (i1 - i0), cj = j0 + frame.child / (i1 - i0);
      ++frame.child;
      if (frame.height > 1) {
        stack_.push_back({frame.height - 1, ci, cj, 0, kNothing, {}});
        tree_.Start(stack_.back().node, frame.height - 1);
      } else {  // a leaf: its box from its items
        const IndexBox box = ChildBox(ci, cj);
        tree_.Add(frame.node, tree_.Number(0, ci, cj), box);
        Merge(frame.box, box);
      }
      continue;
    }
    number = tree_.Number(frame.height, frame.i, frame.j);
    node = std::move(frame.node);
    const IndexBox box = frame.box;
    stack_.pop_back();
    if (!stack_.empty()) {
      tree_.Add(stack_.back().node, number, box);
      Merge(stack_.back().box, box);
    }
    return true;
  }
  return false;
}

}  // namespace tavimo::gis
