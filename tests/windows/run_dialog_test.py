#!/usr/bin/python3
"""The Windows dialog under Wine: starts a virtual X server, runs the
driver (drive_dialog.exe) against tavimo.exe of the Windows build, then
compares every file the dialog saved, byte for byte, with the file the Linux
tavimo-export writes for the same block, and checks that nothing else was
left in the folder.

Skipped (exit status 77) when Wine, Xvfb or the Windows build is missing."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_env import Wine, check_imports, described, require_program, skip  # noqa: E402

DRIVER_TIMEOUT = 480  # seconds
# Wide enough for every window, too short for the dialog at its own
# position (its bottom would be near 790), which the dialog must mend.
SCREEN = (1280, 720)


def start_xvfb():
    """An X server on a free display, which it picks and reports itself."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        display = pipe.readline().strip()
    if not display:
        server.kill()
        server.wait()
        sys.exit("Xvfb did not start")
    return server, ":" + display


def windows_path(path):
    # Wine's drive Z: is the Linux root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--windows-build", required=True)
    parser.add_argument("--linux-exporter", required=True)
    parser.add_argument("--work", required=True, help="a folder for this test's files and Wine prefix")
    args = parser.parse_args()

    program = os.path.join(args.windows_build, "tavimo.exe")
    driver = os.path.join(args.windows_build, "tests", "windows", "drive_dialog.exe")
    require_program(program, "tavimo.exe")
    require_program(driver, "drive_dialog.exe")
    wine = Wine(args.work)
    if shutil.which("Xvfb") is None:
        skip("Xvfb is not installed (scripts/setup installs xvfb)")

    shutil.rmtree(args.work, ignore_errors=True)
    saved = os.path.join(args.work, "saved")
    os.makedirs(saved)
    server, display = start_xvfb()
    try:
        # The wineserver goes before its display.
        with wine:
            run = wine.run(driver, [windows_path(program), windows_path(saved)], cwd=args.work,
                           timeout=DRIVER_TIMEOUT, env={"DISPLAY": display})
    finally:
        server.terminate()
        server.wait()
    output = run.stdout.decode(errors="replace")
    print(output, end="")
    if run.returncode is None:
        print(f"FAIL: the driver did not finish within {DRIVER_TIMEOUT} s; {described(run)}")
        return 1

    failed = run.returncode != 0
    if failed:
        # Its output is above; what the driver or tavimo.exe said besides.
        print(f"FAIL: drive_dialog.exe: {described(run)}")
    for failure in check_imports([program]):
        print("FAIL:", failure)
        failed = True
    expected = set()
    with tempfile.TemporaryDirectory(dir=args.work) as linux:
        for line in output.splitlines():
            if not line.startswith("saved\t"):
                continue
            _, name, *options = line.split("\t")
            exported = subprocess.run([args.linux_exporter, *options, os.path.join(linux, name)],
                                      capture_output=True)
            if exported.returncode != 0:
                print(f"FAIL: tavimo-export {' '.join(options)} {name}: {described(exported)}")
                failed = True
            for written in sorted(os.listdir(linux)):
                expected.add(written)
                with open(os.path.join(linux, written), "rb") as f:
                    want = f.read()
                os.remove(os.path.join(linux, written))
                if not os.path.isfile(os.path.join(saved, written)):
                    print(f"FAIL: the dialog did not save {written}; drive_dialog.exe: {described(run)}")
                    failed = True
                    continue
                with open(os.path.join(saved, written), "rb") as f:
                    if f.read() != want:
                        print(f"FAIL: {written} differs from tavimo-export's; drive_dialog.exe: {described(run)}")
                        failed = True
    if not expected:
        print(f"FAIL: the dialog saved nothing to compare; drive_dialog.exe: {described(run)}")
        failed = True
    left = set(os.listdir(saved))
    if left != expected:
        print(f"FAIL: the folder holds {sorted(left)}, not {sorted(expected)} (temporaries left behind?); "
              f"drive_dialog.exe: {described(run)}")
        failed = True
    if failed:
        return 1
    print(f"the dialog's files equal tavimo-export's: {', '.join(sorted(expected))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
