"""The blocks every port of tavimo-export must write byte for byte as the
x86-64 Linux one does: the Windows programs under Wine, the software
80-bit build, arm64 under qemu and WebAssembly under node. Whole and
decimal angles both ways, odd field syntax, the edges of the range and
GeoJSON, which every build writes itself."""

SMALL = ["--width-total", "20", "--height-total", "10", "--width-cell", "5", "--height-cell", "5",
         "--x", "1234.5", "--y", "-678.25"]

# (name, arguments, extension): the blocks both programs write.
CASES = [
    ("default", [], "dxf"),
    ("default_cht", [], "cht"),
    ("corrections", ["--width-total", "52", "--height-total", "-7", "--width-cell", "5",
                     "--height-cell", "3", "--angle", "33"], "cht"),
    ("zero_cells", ["--width-cell", "0", "--height-cell", "0", "--angle", "10"], "dxf"),
    ("zero_totals", ["--width-total", "0", "--height-total", "0"], "cht"),
    ("negative", ["--width-total", "-30", "--width-cell", "-5", "--height-cell", "7",
                  "--angle", "89", "--counter-clockwise"], "dxf"),
    ("big_pair", ["--width-total", "300", "--height-total", "200", "--width-cell", "1",
                  "--height-cell", "1", "--angle", "17", "--counter-clockwise"], "cht"),
    ("big_dxf", ["--width-total", "240", "--height-total", "180", "--width-cell", "1",
                 "--height-cell", "1", "--angle", "61"], "dxf"),
    ("field_syntax", ["--x", "1D300", "--y", "-1E-300", "--width-total", "&H1E", "--angle", "45.5"], "cht"),
    ("far_start", ["--x", "123456789012345678", "--y", "0.000123456789", "--angle", "90",
                   "--counter-clockwise"], "dxf"),
    ("wrong_angle", ["--angle", "100"], "dxf"),
    ("beyond_range", ["--x", "2E308"], "cht"),
    ("unknown_type", [], "txt"),
    ("decimal_sizes", ["--decimals", "--width-total", "0.7", "--width-cell", "0.2", "--height-total", "469.392",
                       "--height-cell", "67.056", "--angle", "5.5"], "cht"),
    ("baseline", ["--baseline", "500,1000,519.908,998.083", "--columns", "10", "--rows", "6",
                  "--width-cell", "2", "--height-cell", "2"], "dxf"),
    ("extent", ["--decimals", "--angle", "1.3", "--counter-clockwise", "--width-cell", "67.056",
                "--height-cell", "60.3504", "--extent", "0,0,400,250"], "dxf"),
    ("labels", ["--labels", "{col:A}{row:03}/{n}", "--corner", "upper-right", "--order", "serpentine",
                "--label-centre", "--dxf-extents", "--units", "m"], "dxf"),
]
# GeoJSON, Tavimo's own on both: the frame with and without a system, a
# turned block of many chunks (two threads), template labels with quotes.
CASES += [
    ("geojson_default", [], "geojson"),
    ("geojson_utm", ["--srs", "EPSG:25833", "--x", "389200", "--y", "5819400", "--width-total", "240",
                     "--height-total", "180", "--width-cell", "1", "--height-cell", "1", "--angle", "61"], "geojson"),
    ("geojson_wgs84", ["--srs", "epsg:4326", "--decimals", "--x", "13.4", "--y", "52.5", "--width-total", "0.05",
                       "--height-total", "0.03", "--width-cell", "0.01", "--height-cell", "0.01", "--angle", "7.5"],
     "geojson"),
    ("geojson_labels", ["--srs", "EPSG:3857", "--labels", "\"{col:A}\"\\{row:03}/{n}", "--corner", "upper-right",
                        "--order", "serpentine", "--label-centre", "--counter-clockwise", "--angle", "33"], "geojson"),
    ("geojson_strict", ["--strict"], "geojson"),
]
# Decimal angles both ways: their own cosine and sine, and the labels'.
for tenth in range(1, 900, 37):
    angle = f"{tenth // 10}.{tenth % 10}7"
    for way, direction in (("cw", "--clockwise"), ("ccw", "--counter-clockwise")):
        CASES.append((f"decimal_{angle}_{way}", SMALL + ["--decimals", "--angle", angle, direction], "dxf"))
# Every angle both ways, on a small block: each angle's cosine and sine,
# and the labels' angle - 90, reach the digits.
for angle in range(0, 91):
    for way, direction in (("cw", "--clockwise"), ("ccw", "--counter-clockwise")):
        CASES.append((f"angle_{angle}_{way}", SMALL + ["--angle", str(angle), direction], "dxf"))
