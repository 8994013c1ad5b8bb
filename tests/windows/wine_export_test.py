#!/usr/bin/python3
"""tavimo-export.exe under Wine writes the bytes the Linux tavimo-export
writes, with the same exit statuses, and keeps the save's promises on
Windows: nothing written in place, failures reported, nothing left."""

import argparse
import concurrent.futures
import os
import shutil
import signal
import stat
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_env import Wine, check_imports, described, require_program  # noqa: E402

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


def outputs(folder):
    return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}


def run_case(wine, exe, linux, work, case):
    name, args, ext = case
    results = []
    for side in ("linux", "windows"):
        folder = os.path.join(work, side, name)
        os.makedirs(folder)
        target = f"{name}.{ext}"
        if side == "linux":
            done = subprocess.run([linux, *args, target], cwd=folder, capture_output=True)
        else:
            done = wine.run(exe, [*args, target], cwd=folder)
        results.append((done, outputs(folder)))
    return name, results


def both_runs(windows, linux):
    return f"Windows: {described(windows)} | Linux: {described(linux)}"


def first_difference(a, b):
    la, lb = a.split(b"\r\n"), b.split(b"\r\n")
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return f"line {i + 1}: {x!r} / {y!r}"
    return f"lengths {len(a)} / {len(b)}"


def compare_blocks(wine, exe, linux, work):
    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        for name, ((ldone, lfiles), (wdone, wfiles)) in pool.map(
                lambda c: run_case(wine, exe, linux, work, c), CASES):
            if ldone.returncode != wdone.returncode:
                failures.append(f"{name}: exit {wdone.returncode} on Windows, {ldone.returncode} on Linux; "
                                + both_runs(wdone, ldone))
            if list(lfiles) != list(wfiles):
                failures.append(f"{name}: files {list(wfiles)} on Windows, {list(lfiles)} on Linux; "
                                + both_runs(wdone, ldone))
            for file in lfiles.keys() & wfiles.keys():
                if lfiles[file] != wfiles[file]:
                    failures.append(f"{name}/{file} differs, {first_difference(lfiles[file], wfiles[file])}; "
                                    f"Windows: {described(wdone)}")
    return failures


def check_saves(wine, exe, linux, work):
    """The Windows save on its own: replacing, refusing, failing, naming."""
    failures = []
    base = os.path.join(work, "saves")
    os.makedirs(base)
    expect_dir = os.path.join(base, "expected")
    os.makedirs(expect_dir)
    subprocess.run([linux, "--angle", "7", "pair.cht"], cwd=expect_dir, check=True)
    expected = outputs(expect_dir)

    def fresh(name, files=None):
        folder = os.path.join(base, name)
        os.makedirs(folder)
        for file, data in (files or {}).items():
            with open(os.path.join(folder, file), "wb") as f:
                f.write(data)
        return folder

    def expect(what, folder, code, files, done):
        if done.returncode != code:
            failures.append(f"{what}: exit {done.returncode}, expected {code}; {described(done)}")
        got = outputs(folder)
        if got != files:
            failures.append(f"{what}: folder holds {sorted(got)} (or other bytes), expected {sorted(files)}; "
                            + described(done))

    old = {"pair.cht": b"old cht\r\n", "pair.rws": b"old rws\r\n"}

    folder = fresh("replace", old)
    expect("replacing an old pair", folder, 0, expected, wine.run(exe, ["--angle", "7", "pair.cht"], cwd=folder))

    folder = fresh("read_only", old)
    os.chmod(os.path.join(folder, "pair.rws"), stat.S_IRUSR)  # Wine shows it read-only
    expect("a read-only companion", folder, 1, old, wine.run(exe, ["--angle", "7", "pair.cht"], cwd=folder))
    os.chmod(os.path.join(folder, "pair.rws"), stat.S_IRUSR | stat.S_IWUSR)

    folder = fresh("no_clobber", old)
    expect("--no-clobber", folder, 2, old, wine.run(exe, ["--no-clobber", "pair.cht"], cwd=folder))

    folder = fresh("missing_folder")
    expect("a missing folder", folder, 1, {}, wine.run(exe, ["nowhere/pair.cht"], cwd=folder))

    folder = fresh("directory")
    os.makedirs(os.path.join(folder, "pair.dxf"))
    done = wine.run(exe, ["pair.dxf"], cwd=folder)
    if done.returncode != 1 or os.listdir(folder) != ["pair.dxf"] or os.listdir(os.path.join(folder, "pair.dxf")):
        failures.append(f"a folder as target: folder holds {os.listdir(folder)}; {described(done)}")

    # Any name: the wide command line and wide file calls keep every character.
    folder = fresh("unicode")
    name = "Zellen \u00e4\u20ac \u6e2c.cht"
    expect("a non-ASCII name", folder, 0,
           {name: expected["pair.cht"], name[:-3] + "rws": expected["pair.rws"]},
           wine.run(exe, ["--angle", "7", name], cwd=folder))

    # A path beyond MAX_PATH (260 characters), deep in a tree of folders: every
    # file call takes the "\\?\" form of it. (Wine knows no such limit, so
    # this checks that form, not the limit.)
    folder = fresh("long_path")
    deep = os.path.join(folder, *(["f" * 60] * 5))
    os.makedirs(deep)
    done = wine.run(exe, ["--angle", "7", os.path.join(*(["f" * 60] * 5), "pair.cht")], cwd=folder)
    if done.returncode != 0 or outputs(deep) != expected:
        failures.append(f"a path of {len(deep)} characters: folder holds {os.listdir(deep)}; {described(done)}")

    # Ctrl+C (SIGINT reaches the program as the console's Ctrl+C) cancels
    # a running save: exit 130, the old pair kept, no temporary left.
    folder = fresh("interrupted", old)
    big = ["--width-total", "5000", "--height-total", "5000", "--width-cell", "1", "--height-cell", "1"]
    running = wine.start(exe, [*big, "pair.cht"], cwd=folder)
    deadline = time.monotonic() + 60
    while running.process.poll() is None and time.monotonic() < deadline and not any(
            name.endswith(".tmp") and os.path.getsize(os.path.join(folder, name)) > 0 for name in os.listdir(folder)):
        time.sleep(0.01)
    running.process.send_signal(signal.SIGINT)
    done = running.wait(timeout=60)
    if done.returncode != 130 or outputs(folder) != old:
        failures.append(f"Ctrl+C during a save: folder holds {sorted(os.listdir(folder))}; {described(done)}")
    return failures


def check_help_and_gis(wine, exe, linux, work):
    """The help lists what the Windows build writes and answers /? and -?;
    GDAL's formats and clip areas are refused as before, nothing written."""
    failures = []
    folder = os.path.join(work, "help")
    os.makedirs(folder)
    helps = [wine.run(exe, [ask], cwd=folder) for ask in ("--help", "/?", "-?")]
    text = helps[0].stdout
    for ask, done in zip(("--help", "/?", "-?"), helps):
        if done.returncode != 0 or done.stdout != text or not text.startswith(b"Usage: tavimo-export"):
            failures.append(f"{ask}: not the help; {described(done, stdout=True)}")
    for wanted in (b"GeoJSON file (.geojson)", b"--srs EPSG:CODE"):
        if wanted not in text:
            failures.append(f"the help does not name {wanted!r}")
    for unwritten in (b".gpkg", b".shp", b"--clip"):
        if unwritten in text:
            failures.append(f"the help names {unwritten!r}, which this build cannot do")
    linux_help = subprocess.run([linux, "--help"], capture_output=True).stdout
    if b".gpkg" not in linux_help or b"--clip FILE" not in linux_help:
        failures.append("the Linux help lost GDAL's formats")
    refusals = [
        (["b.gpkg"], "This build of Tavimo cannot write GIS formats (built without GDAL)"),
        (["--clip", "area.gpkg", "b.dxf"], "cannot read clip areas"),
        (["--srs", "+proj=utm +zone=33", "b.geojson"], "EPSG:<code>"),
    ]
    for args, reason in refusals:
        done = wine.run(exe, args, cwd=folder)
        if done.returncode != 2 or reason.encode() not in done.stderr:
            failures.append(f"{' '.join(args)}: not refused ({reason}); {described(done)}")
    if os.listdir(folder):
        failures.append(f"the help and refusals left {sorted(os.listdir(folder))}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--windows-build", required=True)
    parser.add_argument("--linux-exporter", required=True)
    parser.add_argument("--work", required=True, help="a folder for this test's files and Wine prefix")
    options = parser.parse_args()

    exe = os.path.join(options.windows_build, "tavimo-export.exe")
    require_program(exe, "tavimo-export.exe")
    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(options.work)
    with Wine(options.work) as wine:
        failures = check_imports([exe])
        failures += compare_blocks(wine, exe, options.linux_exporter, options.work)
        failures += check_saves(wine, exe, options.linux_exporter, options.work)
        failures += check_help_and_gis(wine, exe, options.linux_exporter, options.work)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(CASES)} blocks compared, Windows saves checked: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
