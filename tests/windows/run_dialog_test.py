#!/usr/bin/python3
"""The Windows dialog under Wine: starts a virtual X server, runs the
driver (drive_dialog.exe) against tavimo.exe of the Windows build, then
compares every file the dialog saved, byte for byte, with the file the Linux
tavimo-export writes for the same block, and checks that nothing else was
left in the folder.

Exit status 77 (a skip for ctest) when Wine, Xvfb or the Windows build is
missing; 0 when everything passed; 1 otherwise.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
WINE_CANDIDATES = ["/usr/lib/wine/wine64", "wine64"]
DRIVER_TIMEOUT = 420  # seconds; a fresh prefix alone takes ~20


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


def find_program(candidates):
    for name in candidates:
        found = shutil.which(name)
        if found:
            return found
    return None


def start_xvfb():
    """An X server on a free display, which it picks and reports itself."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
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
    parser.add_argument("--exporter", required=True, help="the Linux tavimo-export")
    parser.add_argument("--wineprefix", required=True)
    parser.add_argument("--work", required=True, help="a folder for this test's files")
    args = parser.parse_args()

    wine = find_program(WINE_CANDIDATES)
    if wine is None:
        skip("Wine (wine64) is not installed")
    if shutil.which("Xvfb") is None:
        skip("Xvfb is not installed")
    program = os.path.join(args.windows_build, "app-win32", "tavimo.exe")
    driver = os.path.join(args.windows_build, "tests", "windows", "drive_dialog.exe")
    for needed in (program, driver):
        if not os.path.isfile(needed):
            skip(f"{needed} is missing: build the Windows programs first (`make windows`, "
                 f"or TAVIMO_WINDOWS_BUILD names another cross build)")

    os.makedirs(args.work, exist_ok=True)
    saved = tempfile.mkdtemp(prefix="saved-", dir=args.work)
    server, display = start_xvfb()
    env = dict(os.environ, WINEPREFIX=args.wineprefix, DISPLAY=display, WINEDEBUG="-all",
               # No installer of Mono or Gecko when the prefix is made.
               WINEDLLOVERRIDES="mscoree,mshtml=")
    try:
        run = subprocess.run([wine, driver, windows_path(program), windows_path(saved)], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             timeout=DRIVER_TIMEOUT)
        output, code = run.stdout, run.returncode
    except subprocess.TimeoutExpired as e:
        output, code = (e.stdout or b"").decode(errors="replace"), None
    finally:
        # The prefix's server goes with the display, before the next Wine test.
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        server.terminate()
        server.wait()
    print(output, end="")
    if code is None:
        print(f"FAIL: the driver did not finish within {DRIVER_TIMEOUT} s")
        return 1

    failed = code != 0
    expected = set()
    with tempfile.TemporaryDirectory(dir=args.work) as linux:
        for line in output.splitlines():
            if not line.startswith("saved\t"):
                continue
            _, name, *options = line.split("\t")
            subprocess.run([args.exporter, *options, os.path.join(linux, name)], check=True)
            for written in sorted(os.listdir(linux)):
                expected.add(written)
                with open(os.path.join(linux, written), "rb") as a, open(os.path.join(saved, written), "rb") as b:
                    if a.read() != b.read():
                        print(f"FAIL: {written} differs from tavimo-export's")
                        failed = True
                os.remove(os.path.join(linux, written))
    if not expected:
        print("FAIL: the dialog saved nothing to compare")
        failed = True
    left = set(os.listdir(saved))
    if left != expected:
        print(f"FAIL: the folder holds {sorted(left)}, not {sorted(expected)} (temporaries left behind?)")
        failed = True
    if failed:
        return 1
    print(f"the dialog's files equal tavimo-export's: {', '.join(sorted(expected))}")
    shutil.rmtree(saved)
    return 0


if __name__ == "__main__":
    sys.exit(main())
