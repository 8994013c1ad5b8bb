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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from export_blocks import CASES  # noqa: E402


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
