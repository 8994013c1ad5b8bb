// tavimo-export's command in-process: the arguments read, each outcome's
// exit status and message, and exports through a port that keeps what it
// is told. What needs a real process (signals, limits, descriptors, rival
// saves) is in tests/cli/.

#include "export/export_command.h"

#include <cerrno>
#include <functional>
#include <utility>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "export/gis_save.h"
#include "export/gis_writer.h"
#include "export/save_block.h"
#include "tests/support/test_support.h"

namespace tavimo {
namespace {

using testing::Names;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct RecordingPort : ExportPort {
  void Out(std::string_view text) override { out += text; }
  void Err(std::string_view text) override { err += text; }
  bool ErrIsTerminal() override { return false; }
  void CatchSignals() override { caught = true; }
  bool TerminationRequested() override {
    if (whileSaving) std::exchange(whileSaving, nullptr)();
    return terminate;
  }

  std::string out, err;
  std::function<void()> whileSaving;  // once, from within the save
  bool caught = false;
  bool terminate = false;
};

int Command(const std::vector<std::string>& args, RecordingPort& port) { return RunExportCommand(args, port); }

constexpr char kWidthChanged[] =
    "tavimo-export: --width-total: The total width of the cell block has been increased to match the cell width; "
    "it is now 55\n";
constexpr char kWrongAngle[] = "tavimo-export: --angle: Please enter a value between 0 and 90 degrees\n";

TEST(ExportCommand, UsageErrorsWriteNothing) {
  TempDir dir;
  const std::string a = dir / "a.dxf", b = dir / "b.dxf";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no PATH given"},
      {{"--bogus", a}, "unknown option '--bogus'"},
      {{"-x", "1", a}, "unknown option '-x'"},
      {{"--bogus", "--help"}, "unknown option '--bogus'"},
      {{a, b}, "more than one PATH given: '" + b + "'"},
      {{a, "--x"}, "option needs a value: '--x'"},
      {{a, "--srs"}, "option needs a value: '--srs'"},
      {{"--clockwise=yes", a}, "option takes no value: '--clockwise'"},
      {{"--srs=EPSG:25833", a}, "--srs is for GIS files (.gpkg, .geojson, .shp) only"},
      {{"--clip-mode", "inside", a}, "--clip-mode is for --clip"},
      {{"--clip=x.gpkg", "--clip-mode=center", a}, "--clip-mode is touches, inside or centre: 'center'"},
      {{"--cell-centres", dir / "a.geojson"}, "--cell-centres is for GeoPackage files only"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(message);
    RecordingPort port;
    EXPECT_EQ(Command(args, port), kExitWrongInput);
    EXPECT_EQ(port.out, "");
    EXPECT_EQ(port.err, "tavimo-export: " + message + "\nTry 'tavimo-export --help' for more information.\n");
  }
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(ExportCommand, ReadsBothFormsAndStopsAtHelpAndVersion) {
  const std::vector<std::string> args = {"--x=-5",     "--y",      "-7.25",        "--counter-clockwise",
                                         "--progress", "--strict", "--no-clobber", "--srs=EPSG:25833",
                                         "--",         "-odd.gpkg"};
  const auto parsed = ParseExportArgs(args);
  ASSERT_TRUE(std::holds_alternative<ExportRequest>(parsed));
  const ExportRequest& request = std::get<ExportRequest>(parsed);
  EXPECT_EQ(request.action, ExportAction::kExport);
  EXPECT_EQ(request.fields[Field::kStartX], "-5");
  EXPECT_EQ(request.fields[Field::kStartY], "-7.25");
  EXPECT_EQ(request.fields[Field::kWidthTotal], "50");  // the dialog's initial text
  EXPECT_TRUE(request.given[0] && request.given[1] && !request.given[2]);
  EXPECT_TRUE(!request.fields.clockwise && request.fields.counterClockwise);
  EXPECT_TRUE(request.reportProgress && request.strict && request.noClobber);
  EXPECT_EQ(request.srs, "EPSG:25833");
  EXPECT_EQ(request.path, "-odd.gpkg");

  // Where they stand, whatever follows.
  for (const char* help : {"--help", "-h", "-?", "/?"}) {
    const auto asked = ParseExportArgs(std::vector<std::string>{help, "--bogus"});
    ASSERT_TRUE(std::holds_alternative<ExportRequest>(asked)) << help;
    EXPECT_EQ(std::get<ExportRequest>(asked).action, ExportAction::kShowHelp) << help;
  }
  const auto path = ParseExportArgs(std::vector<std::string>{"--", "/?"});  // a path after "--"
  ASSERT_TRUE(std::holds_alternative<ExportRequest>(path));
  EXPECT_EQ(std::get<ExportRequest>(path).path, "/?");
  RecordingPort port;
  EXPECT_EQ(Command({"--version", "a", "b"}, port), kExitSaved);
  EXPECT_EQ(port.out.rfind("tavimo-export ", 0), 0u);
  EXPECT_EQ(port.err, "");
}

TEST(ExportCommand, ExitStatusAndMessageOfEachOutcome) {
  using Kind = SaveOutcome::Kind;
  EXPECT_EQ(ExitOf({Kind::kSaved, {}, 0, {}}), (ExportExit{kExitSaved, std::nullopt}));
  EXPECT_EQ(ExitOf({Kind::kCancelled, {}, 0, {}}), (ExportExit{kExitInterrupted, std::nullopt}));
  const ExportExit unknown = ExitOf({Kind::kUnknownType, {}, 0, {}});
  EXPECT_EQ(unknown.status, kExitWrongInput);
  EXPECT_EQ(unknown.message.value_or("").rfind("Please choose a file name ending in .dxf", 0), 0u);
  EXPECT_EQ(ExitOf({Kind::kRefused, {}, 0, "No cells"}), (ExportExit{kExitWrongInput, "No cells"}));
  EXPECT_EQ(ExitOf({Kind::kFailed, "/d/b.dxf", ENOSPC, {}}),
            (ExportExit{kExitWriteFailed, "Could not write /d/b.dxf: No space left on device"}));
  EXPECT_EQ(ExitOf({Kind::kFailed, "/d/b.gpkg", 0, "GDAL says no"}),
            (ExportExit{kExitWriteFailed, "Could not write /d/b.gpkg: GDAL says no"}));
}

TEST(ExportCommand, ExportsTheSaveCommandsBytes) {
  TempDir dir, saved;
  RecordingPort port;
  EXPECT_EQ(Command({"--width-total=52", "--y=10,5", dir / "b.cht"}, port), kExitSaved);
  EXPECT_EQ(port.err, std::string("tavimo-export: --y: read \"10,5\" as 10\n") + kWidthChanged);
  EXPECT_TRUE(port.caught);
  ASSERT_EQ(SaveBlockTo(saved / "b.cht", testing::Block(10, 10, 55, 50, 5, 5, 0)).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "b.cht"), ReadFile(saved / "b.cht"));
  EXPECT_EQ(ReadFile(dir / "b.rws"), ReadFile(saved / "b.rws"));

  // A request to end before the save begins: nothing written, nothing said.
  RecordingPort ending;
  ending.terminate = true;
  EXPECT_EQ(Command({dir / "c.dxf"}, ending), kExitInterrupted);
  EXPECT_EQ(ending.err, "");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"b.cht", "b.rws"}));
}

TEST(ExportCommand, WrongInputWritesNothing) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--angle", "91"}, kWrongAngle},
      {{"--angle=-1"}, kWrongAngle},
      {{"--angle", "100", "--width-total", "52"}, std::string(kWidthChanged) + kWrongAngle},
      {{"--width-cell", "3e9"}, "tavimo-export: Width Cell must be between -2147483648 and 2147483647\n"},
      {{"--x", "1E9999"}, "tavimo-export: X must be a finite number\n"},
      {{"--x", "1D400"}, "tavimo-export: X must be between -1E+308 and 1E+308\n"},
      {{"--y=-1D400"}, "tavimo-export: Y must be between -1E+308 and 1E+308\n"},
      {{"--strict", "--x", "10,5"}, "tavimo-export: --x: read \"10,5\" as 10\n"},
      {{"--strict", "--width-cell", "2.5"},
       "tavimo-export: --width-cell: 2.5 read as 2; use --decimals to keep fractions\n"},
      {{"--strict", "--angle", "12.5", "--baseline", "0,0,1,1"}, "tavimo-export: --angle: not read with --baseline\n"},
      {{"--decimals", "--angle", "90.5"}, kWrongAngle},
      {{"--baseline", "2,2,2,2"},
       "tavimo-export: The baseline's two points must lie apart: they give the block's direction\n"},
      {{"--extent", "0,0,10,10", "--width-cell", "0"},
       "tavimo-export: Width Cell must be greater than 0 to cover an extent\n"},
      {{"--decimals", "--columns", "3", "--width-cell", "1E308"},
       "tavimo-export: Width Total must be between -1E+308 and 1E+308\n"},
      {{"--labels", "{x}"}, "tavimo-export: Label template: unknown field {x}: the fields are {col}, {row} and {n}\n"},
      {{"--labels", "{row:A}", "--first-row", "0"},
       "tavimo-export: The cells cannot be labelled so: letters count from 1 (A), but a row starts at 0\n"},
  };
  for (const auto& [given, err] : cases) {
    SCOPED_TRACE(err);
    TempDir dir;
    WriteFile(dir / "old.dxf", "old");
    std::vector<std::string> args = given;
    args.push_back(dir / "old.dxf");
    RecordingPort port;
    EXPECT_EQ(Command(args, port), kExitWrongInput);
    EXPECT_EQ(port.err, err);
    EXPECT_FALSE(port.caught);
    EXPECT_EQ(ReadFile(dir / "old.dxf"), "old");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"old.dxf"});
  }
}

TEST(ExportCommand, AFractionIsKeptOrRoundedAloud) {
  TempDir dir, saved;
  RecordingPort rounded;
  EXPECT_EQ(Command({"--width-cell", "2.5", "--angle", "12.5", dir / "a.dxf"}, rounded), kExitSaved);
  EXPECT_EQ(rounded.err,
            "tavimo-export: --width-cell: 2.5 read as 2; use --decimals to keep fractions\n"
            "tavimo-export: --angle: 12.5 read as 12; use --decimals to keep fractions\n");
  BlockSpec whole;
  whole.startX = whole.startY = 10;
  whole.widthTotal = whole.heightTotal = 50;
  whole.widthCell = 2;
  whole.heightCell = 5;
  whole.angle = 12;
  ASSERT_EQ(SaveBlockTo(saved / "a.dxf", whole).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "a.dxf"), ReadFile(saved / "a.dxf"));

  RecordingPort kept;
  EXPECT_EQ(Command({"--decimals", "--width-cell", "2.5", "--angle", "12.5", dir / "b.cht"}, kept), kExitSaved);
  EXPECT_EQ(kept.err, "");
  CellBlock kept25(whole);
  kept25.widthCell = 2.5L;
  kept25.columnCount = 20;
  kept25.turn = Turn::Degrees(12.5L);
  ASSERT_EQ(SaveBlockTo(saved / "b.cht", kept25).kind, SaveOutcome::Kind::kSaved);
  EXPECT_EQ(ReadFile(dir / "b.cht"), ReadFile(saved / "b.cht"));
  EXPECT_EQ(ReadFile(dir / "b.rws"), ReadFile(saved / "b.rws"));

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--baseline", "1,2,3"}, {"--extent=1,2,3,4,5"}, {"--baseline", "1,,3,4"},
        {"--extent", "0,0,1,1", "--rows", "2"}, {"--corner", "middle"}, {"--order", "spiral"}, {"--units", "furlong"},
        {"--units", "m", dir / "u.cht"}}) {
    RecordingPort port;
    EXPECT_EQ(Command(wrong, port), kExitWrongInput) << wrong[0];
    EXPECT_NE(port.err.find("Try 'tavimo-export --help'"), std::string::npos) << port.err;
  }
}

TEST(ExportCommand, UnknownFileTypeAndNoClobberWriteNothing) {
  TempDir dir;
  for (const char* name : {"block.txt", "block", "block.dxf.bak"}) {
    RecordingPort port;
    EXPECT_EQ(Command({dir / name}, port), kExitWrongInput);
    EXPECT_EQ(port.err.rfind("tavimo-export: Please choose a file name ending in .dxf", 0), 0u);
  }
  EXPECT_TRUE(Names(dir.path()).empty());

  WriteFile(dir / "b.rws", "old cells");
  RecordingPort port;
  EXPECT_EQ(Command({"--no-clobber", dir / "b.cht"}, port), kExitWrongInput);
  EXPECT_EQ(port.err, "tavimo-export: " + dir / "b.rws" + " exists; not replaced (--no-clobber)\n");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"b.rws"});
  RecordingPort fresh;
  EXPECT_EQ(Command({"--no-clobber", dir / "new.dxf"}, fresh), kExitSaved);

  // Another program makes the file while the save runs: still not replaced.
  RecordingPort late;
  late.whileSaving = [&] { WriteFile(dir / "late.dxf", "theirs"); };
  EXPECT_EQ(Command({"--no-clobber", dir / "late.dxf"}, late), kExitWrongInput);
  EXPECT_EQ(late.err, "tavimo-export: " + dir / "late.dxf" + " exists; not replaced (--no-clobber)\n");
  EXPECT_EQ(ReadFile(dir / "late.dxf"), "theirs");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"b.rws", "late.dxf", "new.dxf"}));
}

// The help lists what this build writes; a GIS file that GIS programs
// cannot place warns, or with --strict is refused.
TEST(ExportCommand, HelpOfThisBuildAndAGisFileWithoutASystem) {
  RecordingPort help;
  EXPECT_EQ(Command({"/?"}, help), kExitSaved);
  EXPECT_NE(help.out.find("(.geojson)"), std::string::npos);
  for (const char* gdalOnly : {".gpkg", ".shp", "--clip FILE[:LAYER]", "--clip-mode"})
    EXPECT_EQ(help.out.find(gdalOnly) != std::string::npos, GisBuiltIn()) << gdalOnly;

  TempDir dir;
  const std::string geoJson =
      "tavimo-export: no --srs: GIS programs read a GeoJSON file without a coordinate reference system as "
      "longitude and latitude (WGS 84); give the block's, such as --srs EPSG:25833\n";
  RecordingPort warned;
  EXPECT_EQ(Command({dir / "a.geojson"}, warned), kExitSaved);
  EXPECT_EQ(warned.err, geoJson);
  RecordingPort strict;
  EXPECT_EQ(Command({"--strict", dir / "b.geojson"}, strict), kExitWrongInput);
  EXPECT_EQ(strict.err, geoJson);
  RecordingPort given;
  EXPECT_EQ(Command({"--srs", "EPSG:25833", dir / "c.geojson"}, given), kExitSaved);
  EXPECT_EQ(given.err, "");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a.geojson", "c.geojson"}));
  if (!GisAvailable()) return;
  RecordingPort shapefile, geoPackage;
  EXPECT_EQ(Command({"--strict", dir / "d.shp"}, shapefile), kExitWrongInput);
  EXPECT_NE(shapefile.err.find("no --srs: the Shapefile gets no coordinate reference system (.prj)"),
            std::string::npos);
  EXPECT_EQ(Command({"--strict", dir / "e.gpkg"}, geoPackage), kExitSaved);  // names "undefined" itself
  EXPECT_EQ(geoPackage.err, "");
}

TEST(ExportCommand, ClipReadsItsAreaOrSaysWhyNot) {
  const auto parsed = ParseExportArgs(std::vector<std::string>{"--clip", "a.gpkg:fields", "--clip-mode=centre", "b"});
  ASSERT_TRUE(std::holds_alternative<ExportRequest>(parsed));
  EXPECT_EQ(std::get<ExportRequest>(parsed).clip, "a.gpkg:fields");
  EXPECT_EQ(std::get<ExportRequest>(parsed).clipMode, ClipMode::kCentre);

  TempDir dir;
  // A name that holds a colon itself is the whole file's.
  WriteFile(dir / "a:b.geojson", "");
  EXPECT_EQ(SplitClipText(dir / "a:b.geojson").layer, "");
  EXPECT_EQ(SplitClipText(dir / "a:b.geojson:fields").path, dir / "a:b.geojson");
  EXPECT_EQ(SplitClipText(dir / "a:b.geojson:fields").layer, "fields");

  // A triangle in ETRS89 / UTM 33N over part of the default block.
  WriteFile(dir / "area.geojson",
            R"({"type": "FeatureCollection", "crs": {"type": "name", "properties": {"name": "EPSG:25833"}},
                "features": [{"type": "Feature", "properties": {}, "geometry": {"type": "Polygon",
                "coordinates": [[[12, 12], [38, 14], [30, 41], [12, 12]]]}}]})");
  const std::string area = dir / "area.geojson";
  RecordingPort noSrs;
  EXPECT_EQ(Command({"--clip", area, dir / "b.dxf"}, noSrs), kExitWrongInput);
  if (!GisFormatsAvailable()) {
    EXPECT_EQ(noSrs.err, "tavimo-export: --clip: This build of Tavimo cannot read clip areas (built without GDAL)\n");
    return;
  }
  EXPECT_EQ(noSrs.err, "tavimo-export: --clip: the layer \"area\" of " + area +
                           " is in ETRS89 / UTM zone 33N (EPSG:25833), and the block has no coordinate reference "
                           "system; give the block's with --srs\n");
  RecordingPort missing;
  EXPECT_EQ(Command({"--clip", dir / "none.gpkg:cells", dir / "b.dxf"}, missing), kExitWrongInput);
  EXPECT_EQ(missing.err, "tavimo-export: --clip: cannot read " + dir / "none.gpkg" + ": no such file\n");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a:b.geojson", "area.geojson"}));

  // With the block's system, a DXF file of the cells inside it.
  RecordingPort port;
  EXPECT_EQ(Command({"--clip", area, "--clip-mode", "inside", "--srs", "EPSG:25833", dir / "b.dxf"}, port),
            kExitSaved);
  EXPECT_EQ(port.err, "");
  std::vector<std::string> labels;
  const std::vector<std::string> lines = testing::CrLfLines(ReadFile(dir / "b.dxf"));
  for (std::size_t k = 0; k + 1 < lines.size(); k += 2)
    if (lines[k] == " 1 ") labels.push_back(lines[k + 1]);
  EXPECT_EQ(labels, (std::vector<std::string>{"3-2", "4-2", "5-2", "4-3", "4-4"}));
}

}  // namespace
}  // namespace tavimo
