#pragma once
// The CHT pair: the CHT file lists the grid lines as pairs of end points,
// its RWS companion the numbered cells with their insertion points. Every
// line ends in CR LF.

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/block_layout.h"
#include "number/number_text.h"
#include "output/text_buffer.h"
#include "output/text_output_file.h"

namespace tavimo {

// The header line "7 0".
void WriteChtHeader(TextBuffer& file);

// One line record: "0      0", the start point, the end point.
void WriteChtLine(TextBuffer& file, const GridLine& line);

// Closes the finished CHT file (it stays a temporary until the save commits
// both files) and starts the RWS file `rwsPath` in `rws`; check cht.ok() and
// rws.ok() afterwards.
void OpenRwsCompanion(TextOutputFile& cht, TextOutputFile& rws, const std::string& rwsPath,
                      const std::function<bool()>& keepWaiting = {});

// One line record for a chunked walk, like the cell writer below.
struct ChtLineWriter {
  void operator()(TextBuffer& file, const GridLine& line) const { WriteChtLine(file, line); }
};

// Writes one cell line: "x y column-row", the column with its blank, the
// row without (" 10.1  15.1  10-2"). The end of the line, "-row" and CR LF,
// stays the same along a row of cells and is kept from one call to the
// next: each thread that writes cells needs an object of its own.
class RwsCellWriter {
 public:
  void operator()(TextBuffer& file, const CellLabel& label);

 private:
  void MakeTail(std::int64_t row);

  std::int64_t row_ = 0;
  bool valid_ = false;
  std::size_t tailSize_ = 0;
  char tail_[4 + kMaxNumberText];
};

}  // namespace tavimo
