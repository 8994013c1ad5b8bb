// The pieces of the GIS records that GDAL's drivers would make: numbers as
// printf prints them, index boxes as SQLite's R*Tree module rounds them,
// and a packed index whose every entry and node is where its tables say.

#include <sqlite3.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "export/gis_number_text.h"
#include "export/gis_rtree.h"

namespace tavimo::gis {
namespace {

std::string Printf(const char* format, int precision, double value) {
  char text[400];
  std::snprintf(text, sizeof text, format, precision, value);
  return text;
}

// GDAL's GeoJSON number, spelled out on printf's digits.
std::string GdalGeoJsonNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  const auto runs = [](const std::string& text) {
    const std::size_t dot = text.find('.');
    return dot != std::string::npos &&
           (text.find("000000", dot) != std::string::npos || text.find("999999", dot) != std::string::npos);
  };
  std::string text = Printf("%.*g", 17, value);
  if (runs(text)) {
    std::string shorter;
    for (int fewer = 1; fewer <= 3 && shorter.empty(); ++fewer) {
      const std::string candidate = Printf("%.*g", 17 - fewer, value);
      if (candidate.find('.') != std::string::npos && !runs(candidate)) shorter = candidate;
    }
    if (!shorter.empty()) text = shorter;
  }
  if (text.find('.') == std::string::npos && text.find('e') == std::string::npos) text += ".0";
  return text;
}

void ExpectAsPrintf(double value) {
  char text[kMaxFixedText + kMaxGeneralText];
  for (int n = 1; n <= 17; ++n) {
    *PutGeneral(text, value, n) = '\0';
    ASSERT_EQ(text, Printf("%.*g", n, value)) << std::hexfloat << value << " %." << n << "g";
  }
  *PutGeoJsonNumber(text, value) = '\0';
  ASSERT_EQ(text, GdalGeoJsonNumber(value)) << std::hexfloat << value;
  for (const int decimals : {0, 1, 6, 15, 19, 20}) {
    *PutFixed(text, value, decimals, 21) = '\0';
    ASSERT_EQ(text, Printf("%21.*f", decimals, value)) << std::hexfloat << value << " %." << decimals << "f";
  }
}

TEST(GisNumberText, AsPrintfPrintsThem) {
  std::mt19937_64 random(20261208);
  // Every kind of double, by its bits.
  for (int i = 0; i < 50000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (std::isfinite(value)) ExpectAsPrintf(value);
  }
  // Coordinates and their labels' points, at every scale a block may have.
  std::uniform_real_distribution<double> coordinate(-1e7, 1e7);
  for (int i = 0; i < 50000; ++i) ExpectAsPrintf(coordinate(random) * std::pow(10.0, int(random() % 40) - 20));
  // Halfway between two 17-digit decimals (w / 2^17 ends in ...5), and
  // short binary fractions that end in runs of 0s or 9s.
  for (int i = 0; i < 25000; ++i) {
    ExpectAsPrintf(static_cast<double>(random() % (1U << 20) | 1) / 131072.0);
    ExpectAsPrintf(std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 80)));
  }
  // Powers of ten and their neighbours: where the digits' count and the
  // layout change.
  for (int e = -40; e <= 40; ++e) {
    const double ten = std::pow(10.0, e);
    for (const double value : {ten, std::nextafter(ten, 0.0), std::nextafter(ten, 2 * ten), 9.5 * ten, 0.99999 * ten})
      ExpectAsPrintf(value), ExpectAsPrintf(-value);
  }
  for (const double value : {0.0, -0.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 1e-5,
                             9.9999999999999995e-5, 99999999999999999.0, 0.1, 0.3, 1000.5})
    ExpectAsPrintf(value), ExpectAsPrintf(-value);
}

// The boxes SQLite's module keeps for the values it is given.
TEST(GisIndex, BoxesRoundAsSqliteRoundsThem) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING rtree(id, minx, maxx, miny, maxy)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* read = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES (1, ?, ?, ?, ?)", -1, &insert, nullptr);
  sqlite3_prepare_v2(db, "SELECT minx, maxx, miny, maxy FROM t WHERE id = 1", -1, &read, nullptr);
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(-1, 1);
  const double maxFloat = std::numeric_limits<float>::max();
  for (int i = 0; i < 20000; ++i) {
    // Near floats and far from them, at every scale, beyond the floats' range too.
    const double scale = std::pow(2.0, int(random() % 300) - 150);
    double a = unit(random) * scale, b = unit(random) * scale;
    if (i % 4 == 0) a = static_cast<float>(a), b = std::nextafter(static_cast<double>(static_cast<float>(b)), 0.0);
    if (i == 0) a = -maxFloat * 1.0000001, b = maxFloat * 1.00000001;
    const Box box{std::min(a, b), std::max(a, b), std::min(a, -b), std::max(a, -b)};
    const double sides[4] = {box.minX, box.maxX, box.minY, box.maxY};
    for (int k = 0; k < 4; ++k) sqlite3_bind_double(insert, k + 1, sides[k]);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
    sqlite3_reset(insert);
    ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
    const IndexBox ours = IndexBoxOf(box);
    const float expected[4] = {ours.minX, ours.maxX, ours.minY, ours.maxY};
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(sqlite3_column_double(read, k), static_cast<double>(expected[k])) << std::hexfloat << sides[k];
    sqlite3_reset(read);
    sqlite3_exec(db, "DELETE FROM t", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(insert);
  sqlite3_finalize(read);
  sqlite3_close(db);
}

std::uint64_t Big(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int k = 0; k < bytes; ++k) v = v << 8 | p[k];
  return v;
}

// Every item in the leaf LeafOf names, once; every node within the size of
// a node and in the node ParentOf names, its box the union of its entries'.
TEST(GisIndex, EveryEntryIsWhereTheTablesSay) {
  const auto itemBox = [](std::uint64_t c, std::uint64_t r) {
    return IndexBoxOf(Box{double(c) - 0.5 * r, double(c) + 1, double(r), double(r) + 0.25 * c + 1});
  };
  constexpr std::size_t kNodeBytes = 4 + 51 * 24;  // SQLite's for four sides
  for (const auto& [columns, rows] : std::vector<std::pair<std::uint64_t, std::uint64_t>>{
           {1, 1}, {7, 7}, {51, 1}, {52, 1}, {1, 200}, {3, 100}, {100, 3}, {123, 77}, {400, 400}}) {
    SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
    const PackedRTree tree(columns, rows, kNodeBytes);
    std::map<std::int64_t, PackedRTree::Node> nodes;
    PackedRTree::Node node;
    for (std::uint64_t k = 0; k < tree.leafCount(); ++k) nodes[tree.Leaf(k, itemBox, node)] = node;
    PackedRTree::Inner inner(tree, itemBox);
    for (std::int64_t number = 0; inner.Next(number, node);) EXPECT_TRUE(nodes.emplace(number, node).second);
    EXPECT_EQ(nodes.size(), tree.nodeCount());
    ASSERT_TRUE(nodes.count(1));
    EXPECT_EQ(Big(nodes[1].data(), 2), static_cast<std::uint64_t>(tree.depth()));

    // Each node's height, from the root down.
    std::map<std::int64_t, int> heights{{1, tree.depth()}};
    for (std::vector<std::int64_t> level{1}; !level.empty();) {
      std::vector<std::int64_t> below;
      for (const std::int64_t number : level) {
        if (heights[number] == 0) continue;
        for (std::uint64_t e = 0; e < Big(nodes[number].data() + 2, 2); ++e) {
          const auto child = static_cast<std::int64_t>(Big(nodes[number].data() + 4 + e * 24, 8));
          heights[child] = heights[number] - 1;
          below.push_back(child);
        }
      }
      level = below;
    }
    std::map<std::int64_t, std::int64_t> parents;  // of every node an entry names
    std::uint64_t items = 0;
    for (const auto& [number, data] : nodes) {
      ASSERT_EQ(data.size(), kNodeBytes);
      const std::uint64_t count = Big(data.data() + 2, 2);
      ASSERT_GE(count, 1u);
      ASSERT_LE(count, 51u);
      for (std::uint64_t e = 0; e < count; ++e) {
        const unsigned char* entry = data.data() + 4 + e * 24;
        const auto id = static_cast<std::int64_t>(Big(entry, 8));
        float box[4];
        for (int k = 0; k < 4; ++k) box[k] = std::bit_cast<float>(static_cast<std::uint32_t>(Big(entry + 8 + 4 * k, 4)));
        if (heights[number] == 0) {  // an item: in its leaf, with its box
          ++items;
          EXPECT_EQ(tree.LeafOf(static_cast<std::uint64_t>(id)), number);
          const std::uint64_t c = (id - 1) % columns, r = (id - 1) / columns;
          const IndexBox expected = itemBox(c, r);
          EXPECT_TRUE(box[0] == expected.minX && box[1] == expected.maxX && box[2] == expected.minY &&
                      box[3] == expected.maxY);
        } else {  // a child node: under this one, its box the union of its entries'
          EXPECT_TRUE(parents.emplace(id, number).second);
          EXPECT_EQ(tree.ParentOf(id), number);
          IndexBox children{INFINITY, -INFINITY, INFINITY, -INFINITY};
          const PackedRTree::Node& child = nodes[id];
          for (std::uint64_t ce = 0; ce < Big(child.data() + 2, 2); ++ce) {
            float b[4];
            for (int k = 0; k < 4; ++k)
              b[k] = std::bit_cast<float>(static_cast<std::uint32_t>(Big(child.data() + 4 + ce * 24 + 8 + 4 * k, 4)));
            children = {std::min(children.minX, b[0]), std::max(children.maxX, b[1]), std::min(children.minY, b[2]),
                        std::max(children.maxY, b[3])};
          }
          EXPECT_TRUE(box[0] == children.minX && box[1] == children.maxX && box[2] == children.minY &&
                      box[3] == children.maxY);
        }
      }
    }
    EXPECT_EQ(items, columns * rows);
    EXPECT_EQ(parents.size(), nodes.size() - 1);  // every node but the root, once
  }
}

}  // namespace
}  // namespace tavimo::gis
