#!/usr/bin/python3
"""GIS benchmark, run by `make bench`: a 1000 x 1000 block (a million cells,
1 x 1, angle 30, clockwise) written as a GeoPackage by Tavimo's GIS writer
(bench/gis_export), beside GDAL's own ogr2ogr converting the same cells from
a GeoJSON file into a GeoPackage. Both write one polygon per cell with the
same attributes and a spatial index; Tavimo adds the 2002 grid lines.

The GeoJSON file is written first by the same writer (timed once, for the
record). The two GeoPackage writes alternate, several times; the median
counts. Peak memory is the maximum resident set size by /usr/bin/time, also
for a 300 x 300 block: memory stays flat when the two are close.

Usage: gis_bench.py --writer PATH [--dir DIR] [--size N] [--repeat N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1024 * 1024


def run(command):
    """Runs `command`; returns its wall time in seconds and its peak memory in KiB."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, env=dict(os.environ, LC_ALL="C"))
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}\n{result.stderr}")
    return seconds, int(result.stderr.strip().splitlines()[-1])


def remove(*paths):
    for path in paths:
        if os.path.lexists(path):
            os.unlink(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--writer", required=True, help="the gis_export program")
    parser.add_argument("--dir", default="gis-bench", help="scratch folder (emptied)")
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--small-size", type=int, default=300)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    writer = os.path.abspath(args.writer)
    folder = os.path.abspath(args.dir)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    ours, theirs = os.path.join(folder, "tavimo.gpkg"), os.path.join(folder, "ogr2ogr.gpkg")
    geojson = os.path.join(folder, "cells.geojson")
    small = os.path.join(folder, "small.gpkg")

    load_before = os.getloadavg()
    geojson_s, _ = run([writer, str(args.size), geojson])
    times, peaks = {"tavimo": [], "ogr2ogr": []}, {"tavimo": [], "ogr2ogr": []}
    for _ in range(args.repeat):
        remove(ours, theirs)
        for name, command in (("tavimo", [writer, str(args.size), ours]),
                              ("ogr2ogr", ["ogr2ogr", "-f", "GPKG", theirs, geojson])):
            seconds, peak = run(command)
            times[name].append(seconds)
            peaks[name].append(peak)
    _, small_peak = run([writer, str(args.small_size), small])
    load_after = os.getloadavg()

    median = {name: statistics.median(values) for name, values in times.items()}
    cells = args.size * args.size
    print()
    print(f"GeoPackage, {args.size} x {args.size} block ({cells} cells, 1 x 1, angle 30, clockwise), "
          f"median of {args.repeat}, {os.cpu_count()} cores, load average "
          f"{load_before[0]:.2f} before, {load_after[0]:.2f} after")
    print(f"{'':40} {'MiB':>7} {'s':>8} {'cells/s':>10} {'peak MiB':>9}")
    for name, label, path in (("tavimo", "Tavimo's GIS writer", ours),
                              ("ogr2ogr", "ogr2ogr from the GeoJSON file", theirs)):
        print(f"{label:40} {os.path.getsize(path) / MIB:7.1f} {median[name]:8.2f} "
              f"{cells / median[name]:10.0f} {max(peaks[name]) / 1024:9.1f}")
    print(f"  Tavimo / ogr2ogr: {median['tavimo'] / median['ogr2ogr']:.2f} x the time")
    print(f"  the GeoJSON file ({os.path.getsize(geojson) / MIB:.0f} MiB) took {geojson_s:.2f} s to write")
    print(f"  peak memory, {args.small_size} x {args.small_size} block: {small_peak / 1024:.1f} MiB; "
          f"{args.size} x {args.size}: {max(peaks['tavimo']) / 1024:.1f} MiB")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
