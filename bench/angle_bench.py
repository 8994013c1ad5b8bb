#!/usr/bin/python3
"""What a decimal angle or a baseline costs against a whole degree, run by
`make bench`.

tavimo-export saves the same 1000 x 1000 block (cells 1 x 1) as DXF and as
CHT + RWS, turned by 30 degrees, by 30.5 degrees (--decimals) and along a
baseline, the three runs taking turns so that they share the machine's
load. The medians and their ratios to the whole degree are printed; the
goal is a ratio within 1.05: a decimal turn costs its cosine and sine once,
and every point after that the same arithmetic as a whole degree.

Usage: angle_bench.py --exporter PATH [--dir DIR] [--repeat N] [--size N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

GOAL = 1.05


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exporter", required=True)
    parser.add_argument("--dir", default="angle-bench")
    parser.add_argument("--repeat", type=int, default=9)
    parser.add_argument("--size", type=int, default=1000)
    args = parser.parse_args()
    folder = os.path.abspath(args.dir)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    size = str(args.size)
    block = ["--width-total", size, "--height-total", size, "--width-cell", "1", "--height-cell", "1"]
    turns = {
        "whole degree (30)": ["--angle", "30"],
        "decimal angle (30.5)": ["--decimals", "--angle", "30.5"],
        "baseline": ["--baseline", "10,10,873.2,-490.1"],
    }
    env = dict(os.environ, LC_ALL="C")
    print(f"tavimo-export, {args.size} x {args.size} cells: median of {args.repeat} runs, "
          f"ratio to the whole degree (goal: within {GOAL:.2f})")
    failed = False
    for extension in ("dxf", "cht"):
        times = {name: [] for name in turns}
        for _ in range(args.repeat):
            for name, turn in turns.items():
                path = os.path.join(folder, "block." + extension)
                for old in (path, path[:-3] + "rws"):
                    if os.path.exists(old):
                        os.unlink(old)
                start = time.perf_counter()
                status = subprocess.run([args.exporter] + block + turn + [path], env=env).returncode
                times[name].append(time.perf_counter() - start)
                if status != 0:
                    sys.exit(f"tavimo-export failed ({status}) for {name}")
        base = statistics.median(times["whole degree (30)"])
        for name in turns:
            median = statistics.median(times[name])
            ratio = median / base
            failed = failed or ratio > GOAL
            print(f"  {extension.upper():4} {name:22} {median * 1000:8.1f} ms   ratio {ratio:.3f}")
    shutil.rmtree(folder, ignore_errors=True)
    if failed:
        print(f"  a ratio above {GOAL:.2f}: look at the turn's cost (timings on a busy machine vary)")


if __name__ == "__main__":
    main()
