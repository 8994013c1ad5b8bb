#!/usr/bin/python3
"""The WebAssembly core in headless Chromium: wasm/smoke.html runs
tavimo-export's main on a turned block with decimals and labels, and the
file it writes in the browser's memory is the one the x86-64 exporter
writes.

    browser_smoke_test.py --reference EXPORTER --page SMOKE_HTML --work DIR

A missing page or browser skips the test (exit 77) with the reason."""

import argparse
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import urllib.parse

SKIP = 77
ARGS = ["--width-total", "20", "--height-total", "10", "--width-cell", "5", "--height-cell", "5",
        "--x", "1234.5", "--y", "-678.25", "--decimals", "--angle", "33.37", "--counter-clockwise",
        "--labels", "{col:A}{row:03}/{n}", "smoke.dxf"]
# The network is never needed: every service that would reach it is off.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-extensions",
                  "--virtual-time-budget=60000", "--dump-dom"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reference", required=True, help="the x86-64 tavimo-export")
    parser.add_argument("--page", required=True, help="smoke.html of the WebAssembly build")
    parser.add_argument("--work", required=True)
    options = parser.parse_args()

    browser = shutil.which("chromium")
    if not os.path.exists(options.page) or not browser:
        missing = options.page if not os.path.exists(options.page) else "chromium"
        print(f"SKIP: {missing} is missing (make test builds and installs it; see the README)")
        return SKIP
    shutil.rmtree(options.work, ignore_errors=True)
    profile = os.path.join(options.work, "profile")
    os.makedirs(profile)
    subprocess.run([os.path.abspath(options.reference), *ARGS], cwd=options.work, check=True,
                   capture_output=True)
    expected = open(os.path.join(options.work, ARGS[-1]), "rb").read()

    url = "file://" + os.path.abspath(options.page) + "?" + urllib.parse.quote(json.dumps(ARGS))
    done = subprocess.run([browser, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", url],
                          capture_output=True, timeout=300)
    dom = done.stdout.decode(errors="replace")
    found = re.search(r'<pre id="result">([^<]*)</pre>', dom)
    if not found:
        print("FAIL: the page did not show a result:", dom[-500:], done.stderr.decode(errors="replace")[-2000:])
        return 1
    result = found.group(1).split(" ")
    if result[0] != "status" or result[1] != "0":
        print("FAIL: in the browser:", found.group(1)[:500])
        return 1
    written = base64.b64decode(result[2])
    if written != expected:
        print(f"FAIL: the browser wrote {len(written)} bytes, the reference {len(expected)}; they differ")
        return 1
    print(f"the browser's {ARGS[-1]} ({len(written)} bytes) is the reference's")
    return 0


if __name__ == "__main__":
    sys.exit(main())
