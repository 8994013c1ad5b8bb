#!/usr/bin/python3
"""Clip benchmark, run by `make bench`: tavimo-export writing a 1000 x 1000
block (a million cells, 1 x 1, angle 30, clockwise) whole, and clipped to an
area of 10,000 vertices (a wavy ring round the block's middle with a wavy
hole, about half the cells), as DXF, CHT + RWS and GeoPackage.

Each round runs the whole block, the clipped one and a 10 x 10 block
clipped to the same area, in turn; the median of the rounds counts. The
clipped runs load GDAL (the whole DXF and CHT runs never do): the 10 x 10
block shows that fixed cost. Peak memory is the maximum resident set size
by /usr/bin/time, also for the same area over a 300 x 300 block of cells
10/3 wide: memory stays flat when the two are close.

Usage: clip_bench.py --exporter PATH [--dir DIR] [--size N] [--vertices N] [--repeat N]
"""
import argparse
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import time


def run(command):
    """Runs `command`; returns its wall time in seconds and its peak memory in KiB."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, env=dict(os.environ, LC_ALL="C"))
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{result.stderr}")
    return seconds, int(result.stderr.strip().splitlines()[-1])


def remove(path):
    for name in (path, path[:-4] + ".rws"):
        if os.path.lexists(name):
            os.unlink(name)


def fresh(command):
    """run(command) into a new file: the one it names last is removed first."""
    remove(command[-1])
    return run(command)


def wavy_ring(cx, cy, radius, count, waves, clockwise):
    points = []
    for k in range(count):
        t = 2 * math.pi * k / count * (-1 if clockwise else 1)
        r = radius * (1 + 0.08 * math.sin(waves * t))
        points.append([cx + r * math.cos(t), cy + r * math.sin(t)])
    points.append(points[0])
    return points


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exporter", required=True, help="the tavimo-export program")
    parser.add_argument("--dir", default="clip-bench", help="scratch folder (emptied)")
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--small-size", type=int, default=300)
    parser.add_argument("--vertices", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    exporter = os.path.abspath(args.exporter)
    folder = os.path.abspath(args.dir)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)

    # The block from (500000, 5800000), 1000 m wide and high, turned 30
    # degrees clockwise: its middle, and the area round it in its CRS.
    size = float(args.size)
    angle = math.radians(30)
    cx = 500000 + size / 2 * math.cos(angle) + size / 2 * math.sin(angle)
    cy = 5800000 - size / 2 * math.sin(angle) + size / 2 * math.cos(angle)
    outer = args.vertices * 3 // 4
    rings = [wavy_ring(cx, cy, 0.45 * size, outer, 37, False),
             wavy_ring(cx, cy, 0.2 * size, args.vertices - outer, 23, True)]
    area = os.path.join(folder, "area.geojson")
    with open(area, "w") as f:
        json.dump({"type": "FeatureCollection",
                   "crs": {"type": "name", "properties": {"name": "EPSG:25833"}},
                   "features": [{"type": "Feature", "properties": {},
                                 "geometry": {"type": "Polygon", "coordinates": rings}}]}, f)

    def block(n):
        cell = size / n
        return ["--decimals", "--x", "500000", "--y", "5800000", "--angle", "30", "--columns", str(n),
                "--rows", str(n), "--width-cell", repr(cell), "--height-cell", repr(cell)]

    clip = ["--clip", area, "--srs", "EPSG:25833"]
    load_before = os.getloadavg()
    rows = []
    for extension in ("dxf", "cht", "gpkg"):
        whole, clipped = (os.path.join(folder, f"{name}.{extension}") for name in ("whole", "clipped"))
        tiny = os.path.join(folder, f"tiny.{extension}")
        times, peaks = {"whole": [], "clipped": [], "tiny": []}, {"whole": [], "clipped": [], "tiny": []}
        srs = ["--srs", "EPSG:25833"] if extension == "gpkg" else []
        for _ in range(args.repeat):
            for name, command in (("whole", [exporter] + block(args.size) + srs + [whole]),
                                  ("clipped", [exporter] + block(args.size) + clip + [clipped]),
                                  ("tiny", [exporter] + block(10) + clip + [tiny])):
                seconds, peak = fresh(command)
                times[name].append(seconds)
                peaks[name].append(peak)
        # A CHT file's size with its RWS companion's.
        sizes = {name: sum(os.path.getsize(p) for p in {path, path[:-4] + ".rws"} if os.path.exists(p))
                 for name, path in (("whole", whole), ("clipped", clipped))}
        small = os.path.join(folder, f"small.{extension}")
        _, small_peak = run([exporter] + block(args.small_size) + clip + [small])
        tiny_s = statistics.median(times["tiny"])
        rows.append((extension, {k: statistics.median(v) for k, v in times.items()},
                     {k: max(v) for k, v in peaks.items()}, sizes, small_peak, tiny_s))
    load_after = os.getloadavg()

    print()
    print(f"Clipped to {args.vertices} vertices, {args.size} x {args.size} block, median of {args.repeat}, "
          f"{os.cpu_count()} cores, load average {load_before[0]:.2f} before, {load_after[0]:.2f} after")
    print("(ratio: clipped / whole; less GDAL: the clipped time less that of the 10 x 10 block, over the whole)")
    print(f"{'':6} {'whole s':>8} {'clipped s':>9} {'ratio':>6} {'10x10 s':>8} {'less GDAL':>9} "
          f"{'whole MiB':>10} {'clip MiB':>9} {'peak whole':>10} {'peak clip':>9} "
          f"{'peak ' + str(args.small_size) + ' clip':>14}")
    for extension, median, peak, sizes, small_peak, tiny_s in rows:
        print(f"{extension:6} {median['whole']:8.3f} {median['clipped']:9.3f} "
              f"{median['clipped'] / median['whole']:6.2f} {tiny_s:8.3f} "
              f"{(median['clipped'] - tiny_s) / median['whole']:9.2f} {sizes['whole'] / 2**20:10.1f} "
              f"{sizes['clipped'] / 2**20:9.1f} {peak['whole'] / 1024:9.1f}M {peak['clipped'] / 1024:8.1f}M "
              f"{small_peak / 1024:13.1f}M")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
