#!/usr/bin/python3
"""What the software 80-bit type costs per cell on x86, for the record, run
by `make bench`.

The same tavimo-export built twice, with the x87 long double (the x86
build) and with the software type (TAVIMO_SOFT_EXTENDED, which other CPUs
use), saves the same 1000 x 1000 block turned by 30.5 degrees as DXF and
as CHT + RWS, the two taking turns so that they share the machine's load.
Both files are compared (the same bytes), and the medians per cell and
their ratio are printed. x86 builds keep x87; nothing here is a goal.

Usage: soft_extended_bench.py --exporter PATH --soft PATH [--dir DIR] [--repeat N] [--size N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exporter", required=True, help="tavimo-export with x87")
    parser.add_argument("--soft", required=True, help="tavimo-export with the software type")
    parser.add_argument("--dir", default="soft-extended-bench")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--size", type=int, default=1000)
    args = parser.parse_args()
    folder = os.path.abspath(args.dir)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    size = str(args.size)
    block = ["--width-total", size, "--height-total", size, "--width-cell", "1", "--height-cell", "1",
             "--decimals", "--angle", "30.5"]
    builds = {"x87": args.exporter, "software": args.soft}
    cells = args.size * args.size
    env = dict(os.environ, LC_ALL="C")
    print(f"tavimo-export, {args.size} x {args.size} cells at 30.5 degrees: median of {args.repeat} runs")
    for extension in ("dxf", "cht"):
        times = {name: [] for name in builds}
        for _ in range(args.repeat):
            for name, exporter in builds.items():
                path = os.path.join(folder, f"{name}.{extension}")
                for old in (path, path[:-3] + "rws"):
                    if os.path.exists(old):
                        os.unlink(old)
                start = time.perf_counter()
                status = subprocess.run([exporter] + block + [path], env=env).returncode
                times[name].append(time.perf_counter() - start)
                if status != 0:
                    sys.exit(f"tavimo-export ({name}) failed ({status})")
        for suffix in (extension, "rws") if extension == "cht" else (extension,):
            a = open(os.path.join(folder, f"x87.{suffix}"), "rb").read()
            b = open(os.path.join(folder, f"software.{suffix}"), "rb").read()
            if a != b:
                sys.exit(f"the software type's .{suffix} differs from x87's")
        x87 = statistics.median(times["x87"])
        soft = statistics.median(times["software"])
        print(f"  {extension.upper()}: x87 {x87 * 1e9 / cells:6.1f} ns per cell, software type "
              f"{soft * 1e9 / cells:6.1f} ns per cell: ratio {soft / x87:.2f} (same bytes)")


if __name__ == "__main__":
    main()
