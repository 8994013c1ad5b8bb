#pragma once
// A GeoPackage's spatial index built whole instead of one entry at a time:
// SQLite's R*Tree module (sqlite.org/rtree.html) keeps a tree of nodes in
// three plain tables, <name>_node (each node's entries as one blob),
// <name>_rowid (the leaf of each entry) and <name>_parent (the parent of
// each node). Inserting a million entries through the module takes
// seconds of splitting and re-inserting; for a block, whose items lie on a
// grid, the tree can be laid out at once: leaves of neighbouring items
// (tiles of 7 x 7 cells), each level above tiling the one below the same
// way, every node full but at the block's edges. Each node is worked out
// from the items' boxes, rounded outwards to floats as the module rounds
// them, so the tables hold what the module would hold for the same
// entries, in a tree it reads and extends like its own.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "export/gis_cells.h"

namespace tavimo::gis {

// The box of an index entry as the module keeps it: each side a float,
// the lower ones rounded down and the upper ones up, the way the module
// rounds a double it is given (its rtreeValueDown and rtreeValueUp).
struct IndexBox {
  float minX, maxX, minY, maxY;
};
IndexBox IndexBoxOf(const Box& box);

// The tree of `columns` x `rows` items, the item in column c and row r
// (from 0) having the id r * columns + c + 1: a GeoPackage's feature ids,
// which count the cells row by row (a single row for the grid lines).
class PackedRTree {
 public:
  // `nodeBytes`: the size of the module's node blobs, from that of the root
  // node it made when the index was created; room for 4 entries at least.
  PackedRTree(std::uint64_t columns, std::uint64_t rows, std::size_t nodeBytes);

  using ItemBox = std::function<IndexBox(std::uint64_t column, std::uint64_t row)>;
  using Node = std::vector<unsigned char>;

  std::uint64_t leafCount() const { return across_[0] * down_[0]; }
  std::uint64_t nodeCount() const;
  // Levels above the leaves (0: the root is the only leaf).
  int depth() const { return depth_; }

  // Leaf k (0 <= k < leafCount()), in the order of their node numbers:
  // its node number, its blob in `node`.
  std::int64_t Leaf(std::uint64_t k, const ItemBox& box, Node& node) const;
  // The nodes above the leaves one by one, children before their parent:
  // false when all are given. Their boxes come from the items' again.
  class Inner {
   public:
    Inner(const PackedRTree& tree, ItemBox box);
    bool Next(std::int64_t& number, Node& node);

   private:
    struct Frame {
      int height;
      std::uint64_t i, j;   // the node's place in its level's grid
      std::uint64_t child;  // the next child to visit, row by row in its tile
      IndexBox box;         // of the children so far
      Node node;
    };
    // The box of leaf (ci, cj), from its items.
    IndexBox ChildBox(std::uint64_t ci, std::uint64_t cj);
    const PackedRTree& tree_;
    ItemBox box_;
    std::vector<Frame> stack_;
  };

  // The node number of the leaf that holds item `id`.
  std::int64_t LeafOf(std::uint64_t id) const;
  // The parent's node number of node `number` (not the root, 1).
  std::int64_t ParentOf(std::int64_t number) const;

 private:
  friend class Inner;
  std::int64_t Number(int height, std::uint64_t i, std::uint64_t j) const;
  // The tile of the grid below that node (i, j) of `height` covers.
  void Tile(int height, std::uint64_t i, std::uint64_t j, std::uint64_t& i0, std::uint64_t& i1, std::uint64_t& j0,
            std::uint64_t& j1) const;
  void Start(Node& node, int height) const;
  void Add(Node& node, std::int64_t id, const IndexBox& box) const;

  std::size_t nodeBytes_;
  std::size_t capacity_;  // entries a node holds
  int depth_ = 0;
  // Per height h (0 = leaves): the node grid, the tile of the grid below
  // each node covers, and the first node number of the level.
  std::vector<std::uint64_t> across_, down_, tileAcross_, tileDown_;
  std::vector<std::int64_t> first_;
  std::uint64_t columns_, rows_;
};

}  // namespace tavimo::gis
