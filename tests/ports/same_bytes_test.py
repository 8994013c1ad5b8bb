#!/usr/bin/python3
"""Another build of tavimo-export (the software 80-bit type, arm64 under
qemu, WebAssembly under node) writes the bytes the x86-64 one writes, with
the same exit statuses, on the blocks of tests/support/export_blocks.py.

    same_bytes_test.py --reference EXPORTER --work DIR [--needs PATH]... -- COMMAND...

COMMAND is how the other build runs (its arguments follow). A missing
PATH of --needs skips the test (exit 77) with the reason."""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from export_blocks import CASES  # noqa: E402

SKIP = 77


def outputs(folder):
    return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}


def run(command, args, folder):
    os.makedirs(folder)
    done = subprocess.run([*command, *args], cwd=folder, capture_output=True, timeout=600)
    return done, outputs(folder)


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a.split(b"\n"), b.split(b"\n"))):
        if x != y:
            return f"line {i + 1}: {x!r} / {y!r}"
    return f"lengths {len(a)} / {len(b)}"


def compare(reference, command, work, case):
    name, args, ext = case
    target = [*args, f"{name}.{ext}"]
    (rdone, rfiles) = run([reference], target, os.path.join(work, "reference", name))
    (odone, ofiles) = run(command, target, os.path.join(work, "other", name))
    failures = []
    if rdone.returncode != odone.returncode:
        failures.append(f"{name}: exit {odone.returncode}, the reference {rdone.returncode}: "
                        f"{odone.stderr.decode(errors='replace').strip()}")
    if list(rfiles) != list(ofiles):
        failures.append(f"{name}: files {list(ofiles)}, the reference {list(rfiles)}")
    for file in rfiles.keys() & ofiles.keys():
        if rfiles[file] != ofiles[file]:
            failures.append(f"{name}/{file} differs, {first_difference(ofiles[file], rfiles[file])}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reference", required=True, help="the x86-64 tavimo-export")
    parser.add_argument("--work", required=True, help="a folder for this test's files")
    parser.add_argument("--needs", action="append", default=[], help="a file or program the run needs")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("command", nargs="+")
    options = parser.parse_args()

    for need in options.needs:
        if not (os.path.exists(need) or shutil.which(need)):
            print(f"SKIP: {need} is missing (make test builds and installs it; see the README)")
            return SKIP
    reference = os.path.abspath(options.reference)
    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(options.work)
    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=options.jobs) as pool:
        for found in pool.map(lambda c: compare(reference, options.command, options.work, c), CASES):
            failures += found
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(CASES)} blocks compared: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
