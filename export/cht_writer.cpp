#include "export/cht_writer.h"

#include "export/number_field.h"
#include "export/save_block.h"

namespace tavimo {
namespace {

void WritePoint(TextOutputFile& file, long double x, long double y) {
  const NumberField xText(x), yText(y);
  file.WriteText(xText.text());
  file.WriteText(" ");
  file.WriteText(yText.text());
  file.EndLine();
}

}  // namespace

void WriteChtHeader(TextOutputFile& file) {
  file.WriteText("7 0");
  file.EndLine();
}

void WriteChtLine(TextOutputFile& file, const GridLine& line) {
  file.WriteText("0      0");
  file.EndLine();
  WritePoint(file, line.startX, line.startY);
  WritePoint(file, line.endX, line.endY);
}

std::string OpenRwsCompanion(TextOutputFile& cht, TextOutputFile& rws, const std::string& chtPath) {
  std::string rwsPath = RwsPathFor(chtPath);
  if (cht.Close()) rws.OpenForOutput(rwsPath);
  return rwsPath;
}

void WriteRwsCell(TextOutputFile& file, const CellLabel& label) {
  const NumberField x(label.x), y(label.y);
  const NumberField column(static_cast<long double>(label.column));
  const NumberField row(static_cast<long double>(label.row));
  file.WriteText(x.text());
  file.WriteText(" ");
  file.WriteText(y.text());
  file.WriteText(" ");
  file.WriteText(column.text());
  file.WriteText("-");
  file.WriteText(row.trimmed());
  file.EndLine();
}

}  // namespace tavimo
