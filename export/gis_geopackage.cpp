#include "export/gis_geopackage.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "export/gis_cells.h"
#include "export/gis_chunks.h"
#include "export/gis_formats.h"
#include "export/gis_rtree.h"

namespace tavimo::gis {
namespace {

using Kind = StreamOutcome::Kind;

// Rows per chunk of work between two looks at Cancel: a few milliseconds.
constexpr std::uint64_t kChunkRows = 4096;
// Rows per INSERT statement: one statement's fixed cost (and its update of
// sqlite_sequence) shared by many rows.
constexpr std::uint64_t kRowsPerInsert = 16;
constexpr std::uint64_t kIndexRowsPerInsert = 64;

std::string Quoted(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

struct Finalize {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// The connection, with the first failure's message.
class Connection {
 public:
  explicit Connection(sqlite3* db) : db_(db) {}

  bool Exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    return Fail();
  }
  Statement Prepare(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) Fail();
    return Statement(statement);
  }
  // Runs a statement with its parameters bound, to its end.
  bool Run(sqlite3_stmt* statement) {
    const int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    return result == SQLITE_DONE || result == SQLITE_ROW || Fail();
  }
  // The single number a query gives, or -1.
  std::int64_t Number(const std::string& sql) {
    const Statement query = Prepare(sql);
    if (!query) return -1;
    const std::int64_t value = sqlite3_step(query.get()) == SQLITE_ROW ? sqlite3_column_int64(query.get(), 0) : -1;
    return value;
  }
  bool Fail() {
    if (error_.empty()) error_ = sqlite3_errmsg(db_);
    return false;
  }
  bool Fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
    return false;
  }
  const std::string& error() const { return error_; }
  sqlite3* db() const { return db_; }

 private:
  sqlite3* db_;
  std::string error_;
};

// INSERT statements of n rows of a table's columns, made when first needed.
class Inserts {
 public:
  Inserts(Connection& db, std::string table, std::vector<std::string> columns, std::uint64_t most)
      : db_(db), table_(std::move(table)), columns_(std::move(columns)), of_(most + 1) {}
  sqlite3_stmt* Of(std::uint64_t rows) {
    Statement& statement = of_[rows];
    if (!statement) {
      std::string sql = "INSERT INTO " + Quoted(table_) + " (";
      std::string row = "(";
      for (std::size_t k = 0; k < columns_.size(); ++k) {
        sql += (k > 0 ? ", " : "") + Quoted(columns_[k]);
        row += k > 0 ? ", ?" : "?";
      }
      sql += ") VALUES ";
      for (std::uint64_t r = 0; r < rows; ++r) sql += (r > 0 ? ", " : "") + row + ")";
      statement = db_.Prepare(sql);
    }
    return statement.get();
  }

 private:
  Connection& db_;
  std::string table_;
  std::vector<std::string> columns_;
  std::vector<Statement> of_;
};

// A table's triggers, dropped while its rows go in and made again after:
// the spatial index's, which would insert each row's box one by one, and
// GDAL's feature count's, which would update the count once per row.
class TriggersAside {
 public:
  TriggersAside(Connection& db, const std::string& table) : db_(db) {
    const Statement query =
        db.Prepare("SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? ORDER BY rowid");
    if (!query) return;
    sqlite3_bind_text(query.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::string> names;
    while (sqlite3_step(query.get()) == SQLITE_ROW) {
      names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query.get(), 0)));
      sql_.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query.get(), 1)));
    }
    for (const std::string& name : names)
      if (!db.Exec("DROP TRIGGER " + Quoted(name))) return;
  }
  bool PutBack() {
    for (const std::string& sql : sql_)
      if (!db_.Exec(sql)) return false;
    return true;
  }

 private:
  Connection& db_;
  std::vector<std::string> sql_;
};

// What GDAL writes about a layer once its features are in: their number,
// their extent (printed as GDAL prints it), the time of the change.
bool Describe(Connection& db, const std::string& table, std::uint64_t features, const Box& extent,
              const char* currentDate) {
  char* sql = sqlite3_mprintf(
      "UPDATE gpkg_contents SET min_x = %.18g, min_y = %.18g, max_x = %.18g, max_y = %.18g "
      "WHERE lower(table_name) = lower('%q') AND Lower(data_type) = 'features'",
      extent.minX, extent.minY, extent.maxX, extent.maxY, table.c_str());
  const bool extentSet = sql != nullptr && db.Exec(sql);
  sqlite3_free(sql);
  if (!extentSet) return sql != nullptr || db.Fail("Out of memory");
  // GDAL's time of a change: OGR_CURRENT_DATE when set, else SQLite's now.
  const Statement change = db.Prepare(
      std::string("UPDATE gpkg_contents SET last_change = ") +
      (currentDate != nullptr ? "?1" : "strftime('%Y-%m-%dT%H:%M:%fZ','now')") + " WHERE lower(table_name) = lower(?2)");
  const Statement count =
      db.Prepare("UPDATE gpkg_ogr_contents SET feature_count = ? WHERE lower(table_name) = lower(?)");
  if (!change || !count) return false;
  if (currentDate != nullptr) sqlite3_bind_text(change.get(), 1, currentDate, -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(change.get(), 2, table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(count.get(), 1, static_cast<sqlite3_int64>(features));
  sqlite3_bind_text(count.get(), 2, table.c_str(), -1, SQLITE_TRANSIENT);
  return db.Run(change.get()) && db.Run(count.get());
}

// The rows of the layer "cells" (polygons with their label's point and
// angle) or, with `points`, of "cell_centres" (the label points of a
// centred block, with column, row and label), and their extent.
bool WriteCellRows(Connection& db, const GeoPackageTable& table, std::int32_t srsId, const BlockLayout& layout,
                   Steps& steps, Box& extent, bool points = false) {
  std::vector<std::string> fields{table.fid, table.geometry, "column", "row", "label"};
  if (!points) fields.insert(fields.end(), {"label_x", "label_y", "label_angle"});
  const int fieldCount = static_cast<int>(fields.size());
  const std::size_t blobBytes = points ? kPointBlobBytes : kPolygonBlobBytes;
  Inserts inserts(db, table.name, fields, kRowsPerInsert);
  struct Chunk {
    std::vector<Cell> cells;
    std::vector<unsigned char> blobs;
    Box box{};
  };
  struct Format {
    Cells cells;
    std::int32_t srsId;
    bool points;
    std::size_t blobBytes;
    void operator()(Chunk& chunk, std::uint64_t first, std::uint64_t last) {
      const std::size_t count = static_cast<std::size_t>(last - first);
      chunk.cells.resize(count);
      chunk.blobs.resize(count * blobBytes);
      for (std::size_t k = 0; k < count; ++k) {
        Cell& cell = chunk.cells[k];
        cells.At(first + k, cell);
        unsigned char* blob = chunk.blobs.data() + k * blobBytes;
        if (points)
          PutPointBlob(blob, srsId, cell.labelX, cell.labelY);
        else
          PutPolygonBlob(blob, srsId, cell);
        const Box box = points ? Box{cell.labelX, cell.labelX, cell.labelY, cell.labelY} : cell.box;
        Include(chunk.box, box, k == 0);
      }
    }
  };
  return FormatInOrder<Chunk>(
      layout.labelCount(), kChunkRows, Format{Cells(layout), srsId, points, blobBytes},
      [&](Chunk& chunk, std::uint64_t first, std::uint64_t last) {
        for (std::uint64_t k = 0; k < last - first;) {
          const std::uint64_t rows = std::min(kRowsPerInsert, last - first - k);
          sqlite3_stmt* insert = inserts.Of(rows);
          if (insert == nullptr) return false;
          for (std::uint64_t r = 0; r < rows; ++r, ++k) {
            const Cell& cell = chunk.cells[k];
            const int at = static_cast<int>(r) * fieldCount;
            sqlite3_bind_int64(insert, at + 1, static_cast<sqlite3_int64>(first + k + 1));
            sqlite3_bind_blob(insert, at + 2, chunk.blobs.data() + k * blobBytes, static_cast<int>(blobBytes),
                              SQLITE_STATIC);
            sqlite3_bind_int64(insert, at + 3, cell.column);
            sqlite3_bind_int64(insert, at + 4, cell.row);
            sqlite3_bind_text(insert, at + 5, cell.label, static_cast<int>(cell.labelSize), SQLITE_STATIC);
            if (points) continue;
            sqlite3_bind_double(insert, at + 6, cell.labelX);
            sqlite3_bind_double(insert, at + 7, cell.labelY);
            sqlite3_bind_double(insert, at + 8, cell.labelAngle);
          }
          if (!db.Run(insert)) return false;
        }
        Include(extent, chunk.box, first == 0);
        return steps.Add(last - first);
      });
}

// The block whose labels sit at the cells' centres: the points of the
// layer "cell_centres", as --label-centre places the labels.
CellBlock Centred(const CellBlock& block) {
  CellBlock centred = block;
  centred.labels.atCentre = true;
  return centred;
}

Box PointBox(const CellLabel& point) {
  const double x = static_cast<double>(point.x), y = static_cast<double>(point.y);
  return {x, x, y, y};
}

// The rows of the layer "grid_lines", and their extent.
bool WriteLineRows(Connection& db, const GeoPackageTable& table, std::int32_t srsId, const BlockLayout& layout,
                   Steps& steps, Box& extent) {
  Inserts inserts(db, table.name, {table.fid, table.geometry}, kRowsPerInsert);
  struct Chunk {
    std::vector<unsigned char> blobs;
    Box box{};
  };
  struct Format {
    const BlockLayout* layout;
    std::int32_t srsId;
    void operator()(Chunk& chunk, std::uint64_t first, std::uint64_t last) {
      const std::size_t count = static_cast<std::size_t>(last - first);
      chunk.blobs.resize(count * kLineBlobBytes);
      for (std::size_t k = 0; k < count; ++k) {
        const Line line = LineAt(*layout, first + k);
        PutLineBlob(chunk.blobs.data() + k * kLineBlobBytes, srsId, line);
        Include(chunk.box, line.box, k == 0);
      }
    }
  };
  return FormatInOrder<Chunk>(
      layout.lineCount(), kChunkRows, Format{&layout, srsId},
      [&](Chunk& chunk, std::uint64_t first, std::uint64_t last) {
        for (std::uint64_t k = 0; k < last - first;) {
          const std::uint64_t rows = std::min(kRowsPerInsert, last - first - k);
          sqlite3_stmt* insert = inserts.Of(rows);
          if (insert == nullptr) return false;
          for (std::uint64_t r = 0; r < rows; ++r, ++k) {
            sqlite3_bind_int64(insert, static_cast<int>(2 * r + 1), static_cast<sqlite3_int64>(first + k + 1));
            sqlite3_bind_blob(insert, static_cast<int>(2 * r + 2), chunk.blobs.data() + k * kLineBlobBytes,
                              static_cast<int>(kLineBlobBytes), SQLITE_STATIC);
          }
          if (!db.Run(insert)) return false;
        }
        Include(extent, chunk.box, first == 0);
        return steps.Add(last - first);
      });
}

// The spatial index of a table whose ids count the items of a grid of
// `columns` x `rows`: its nodes, the leaf of each id, the parent of each
// node.
bool WriteIndex(Connection& db, const GeoPackageTable& table, std::uint64_t columns, std::uint64_t rows,
                const PackedRTree::ItemBox& box, Steps& steps) {
  const std::string index = "rtree_" + table.name + "_" + table.geometry;
  const std::int64_t nodeBytes = db.Number("SELECT length(data) FROM " + Quoted(index + "_node") + " WHERE nodeno = 1");
  // SQLite's nodes hold 51 entries but on the smallest pages, which hold 18.
  constexpr std::int64_t kFewestEntries = 4;
  if (nodeBytes < 4 + kFewestEntries * 24 || db.Number("SELECT count(*) FROM " + Quoted(index + "_rowid")) != 0)
    return db.Fail("The spatial index of " + table.name + " is not the new, empty one GDAL makes");
  const PackedRTree tree(columns, rows, static_cast<std::size_t>(nodeBytes));

  const Statement node = db.Prepare("INSERT OR REPLACE INTO " + Quoted(index + "_node") + " (nodeno, data) VALUES (?, ?)");
  if (!node) return false;
  const auto put = [&](std::int64_t number, const PackedRTree::Node& data) {
    sqlite3_bind_int64(node.get(), 1, number);
    sqlite3_bind_blob(node.get(), 2, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
    return db.Run(node.get());
  };
  // The leaves, in the order of their numbers, formatted on two threads.
  struct Leaves {
    std::vector<std::int64_t> numbers;
    std::vector<PackedRTree::Node> nodes;
    std::uint64_t items = 0;
  };
  struct Format {
    const PackedRTree* tree;
    const PackedRTree::ItemBox* box;
    void operator()(Leaves& chunk, std::uint64_t first, std::uint64_t last) {
      chunk.numbers.resize(last - first);
      chunk.nodes.resize(last - first);
      chunk.items = 0;
      for (std::uint64_t k = first; k < last; ++k) {
        chunk.numbers[k - first] = tree->Leaf(k, *box, chunk.nodes[k - first]);
        const PackedRTree::Node& leaf = chunk.nodes[k - first];
        chunk.items += (std::uint64_t{leaf[2]} << 8) | leaf[3];
      }
    }
  };
  const std::uint64_t leavesPerChunk = std::max<std::uint64_t>(1, kChunkRows / 49);
  const bool leaves = FormatInOrder<Leaves>(tree.leafCount(), leavesPerChunk, Format{&tree, &box},
                                            [&](Leaves& chunk, std::uint64_t, std::uint64_t) {
                                              for (std::size_t k = 0; k < chunk.numbers.size(); ++k)
                                                if (!put(chunk.numbers[k], chunk.nodes[k])) return false;
                                              return steps.Add(chunk.items);
                                            });
  if (!leaves) return false;

  // The nodes above, children first; their boxes come from the items again.
  PackedRTree::Inner inner(tree, box);
  std::int64_t number = 0;
  PackedRTree::Node data;
  for (std::uint64_t k = 1; inner.Next(number, data); ++k) {
    if (!put(number, data)) return false;
    if (k % 32 == 0 && !steps.Add(0)) return false;
  }

  // Each id's leaf.
  Inserts rowids(db, index + "_rowid", {"rowid", "nodeno"}, kIndexRowsPerInsert);
  const std::uint64_t count = columns * rows;
  for (std::uint64_t id = 1; id <= count;) {
    const std::uint64_t chunkStart = id, chunkEnd = std::min(count + 1, id + kChunkRows);
    while (id < chunkEnd) {
      const std::uint64_t n = std::min(kIndexRowsPerInsert, chunkEnd - id);
      sqlite3_stmt* insert = rowids.Of(n);
      if (insert == nullptr) return false;
      for (std::uint64_t r = 0; r < n; ++r, ++id) {
        sqlite3_bind_int64(insert, static_cast<int>(2 * r + 1), static_cast<sqlite3_int64>(id));
        sqlite3_bind_int64(insert, static_cast<int>(2 * r + 2), tree.LeafOf(id));
      }
      if (!db.Run(insert)) return false;
    }
    if (!steps.Add(chunkEnd - chunkStart)) return false;
  }

  // Each node's parent.
  const Statement parent =
      db.Prepare("INSERT INTO " + Quoted(index + "_parent") + " (nodeno, parentnode) VALUES (?, ?)");
  if (!parent) return false;
  const auto nodes = static_cast<std::int64_t>(tree.nodeCount());
  for (std::int64_t n = 2; n <= nodes; ++n) {
    sqlite3_bind_int64(parent.get(), 1, n);
    sqlite3_bind_int64(parent.get(), 2, tree.ParentOf(n));
    if (!db.Run(parent.get())) return false;
    if (n % static_cast<std::int64_t>(kChunkRows) == 0 && !steps.Add(0)) return false;
  }
  return true;
}

std::int32_t SrsIdOf(Connection& db, const std::string& table) {
  const Statement query = db.Prepare("SELECT srs_id FROM gpkg_geometry_columns WHERE table_name = ?");
  if (!query) return 0;
  sqlite3_bind_text(query.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  return sqlite3_step(query.get()) == SQLITE_ROW ? sqlite3_column_int(query.get(), 0) : 0;
}

// The layer "cell_centres" whole: its rows, its index and what GDAL keeps
// about it.
bool WriteCentres(Connection& db, const GeoPackageTable& table, std::uint64_t columns, std::uint64_t rows,
                  const BlockLayout& layout, const char* currentDate, Steps& steps) {
  const BlockLayout centred(Centred(layout.block()));
  TriggersAside triggers(db, table.name);
  Box extent{};
  return db.error().empty() && WriteCellRows(db, table, SrsIdOf(db, table.name), centred, steps, extent, true) &&
         WriteIndex(db, table, columns, rows,
                    [&](std::uint64_t c, std::uint64_t r) {
                      return IndexBoxOf(
                          PointBox(centred.Label(static_cast<std::int64_t>(c), static_cast<std::int64_t>(r))));
                    },
                    steps) &&
         triggers.PutBack() && Describe(db, table.name, layout.labelCount(), extent, currentDate);
}

}  // namespace

std::uint64_t GeoPackageSteps(const BlockLayout& layout, bool centres) {
  return 3 * ((centres ? 2 : 1) * layout.labelCount() + layout.lineCount());
}

StreamOutcome WriteGeoPackage(sqlite3* db, const GeoPackageTable& cells, const GeoPackageTable& lines,
                              const GeoPackageTable* centres, const BlockLayout& layout, const char* currentDate,
                              Steps& steps) {
  Connection connection(db);
  const auto columns = static_cast<std::uint64_t>(layout.columnCount());
  const auto rows = static_cast<std::uint64_t>(layout.rowCount());
  const std::int32_t cellsSrs = SrsIdOf(connection, cells.name);
  const std::int32_t linesSrs = SrsIdOf(connection, lines.name);

  TriggersAside cellTriggers(connection, cells.name);
  TriggersAside lineTriggers(connection, lines.name);
  Box cellExtent{}, lineExtent{};
  const bool written =
      connection.error().empty() && WriteCellRows(connection, cells, cellsSrs, layout, steps, cellExtent) &&
      WriteIndex(connection, cells, columns, rows,
                 [&](std::uint64_t c, std::uint64_t r) {
                   return IndexBoxOf(CellBox(layout, static_cast<std::int64_t>(c), static_cast<std::int64_t>(r)));
                 },
                 steps) &&
      WriteLineRows(connection, lines, linesSrs, layout, steps, lineExtent) &&
      WriteIndex(connection, lines, layout.lineCount(), 1,
                 [&](std::uint64_t i, std::uint64_t) { return IndexBoxOf(LineAt(layout, i).box); }, steps) &&
      cellTriggers.PutBack() && lineTriggers.PutBack() &&
      Describe(connection, cells.name, layout.labelCount(), cellExtent, currentDate) &&
      Describe(connection, lines.name, layout.lineCount(), lineExtent, currentDate) &&
      (centres == nullptr || WriteCentres(connection, *centres, columns, rows, layout, currentDate, steps));
  if (written) return {};
  if (steps.cancelled()) return {Kind::kCancelled, {}};
  return {Kind::kFailed, connection.error()};
}

}  // namespace tavimo::gis
