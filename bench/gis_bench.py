#!/usr/bin/python3
"""GIS benchmark, run by `make bench`: tavimo-export writes a 1000 x 1000
block (a million cells, 1 x 1, angle 30, clockwise) as DXF, GeoPackage,
GeoJSON and Shapefile, the four alternating, several times; the median
counts, and each GIS format's time is set against the DXF's of the same run.
Every export writes new files (the old ones are deleted first). Then the
GIS formats once more at about 10^7 cells (3163 x 3163), for their peak
memory. Beside them, the same grid (unturned, unlabelled: the peers have
neither) made by QGIS's own grid algorithm (qgis_process, native:creategrid,
rectangles) into a GeoPackage, and by GRASS (v.mkgrid, in its own vector
format; --grass-export adds v.out.ogr to a GeoPackage, which takes about
ten minutes); a peer that is not installed is skipped with a note.

Time is wall time around the whole program; peak memory is the maximum
resident set size by /usr/bin/time; size is every file of the save.

Usage: gis_bench.py --exporter PATH [--dir DIR] [--size N] [--large-size N]
                    [--repeat N] [--no-large] [--no-peers] [--grass-export]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1024 * 1024
FORMATS = (("DXF", "dxf"), ("GeoPackage", "gpkg"), ("GeoJSON", "geojson"), ("Shapefile", "shp"))
QGIS_PROCESS = "/usr/bin/qgis_process.bin"  # Debian's qgis_process wrapper passes an option 3.22 refuses


def run(command, env=None, check=True):
    """Runs `command`; returns its wall time in seconds and its peak memory in KiB (None if it failed)."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, env=env or dict(os.environ, LC_ALL="C"))
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        if check:
            sys.exit(f"failed: {' '.join(command)}\n{result.stderr}")
        return seconds, None
    return seconds, int(result.stderr.strip().splitlines()[-1])


def files_of(path):
    """The files a save to `path` writes: a Shapefile's set, else the one file."""
    stem, extension = os.path.splitext(path)
    if extension != ".shp":
        return [path]
    return [stem + e for e in (".shp", ".shx", ".dbf", ".cpg", ".prj") if os.path.exists(stem + e)]


def size_of(path):
    return sum(os.path.getsize(f) for f in files_of(path))


def remove(path):
    stem, extension = os.path.splitext(path)
    for f in [path] + ([stem + e for e in (".shx", ".dbf", ".cpg", ".prj")] if extension == ".shp" else []):
        if os.path.lexists(f):
            os.unlink(f)
    if os.path.isdir(path):
        shutil.rmtree(path)


def export(exporter, size, path):
    remove(path)
    return run([exporter, "--width-total", str(size), "--height-total", str(size), "--width-cell", "1",
                "--height-cell", "1", "--angle", "30", path])


def peer_env(**more):
    """The environment of a peer: Debian's own programs first, so that QGIS's
    and GRASS's Python is the system's whatever python3 runs this script."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PYTHON", "PYENV", "VIRTUAL_ENV"))}
    env.update(PATH="/usr/local/bin:/usr/bin:/bin", LC_ALL="C", **more)
    return env


def qgis_grid(size, path):
    """QGIS's native:creategrid, rectangles of 1 x 1 over the block's extent (unturned)."""
    remove(path)
    env = peer_env(QT_QPA_PLATFORM="offscreen")
    return run([QGIS_PROCESS, "run", "native:creategrid", "--TYPE=2", f"--EXTENT=0,{size},0,{size}",
                "--HSPACING=1", "--VSPACING=1", "--HOVERLAY=0", "--VOVERLAY=0", "--CRS=EPSG:25833",
                f"--OUTPUT={path}"], env=env, check=False)


def folder_size(folder):
    return sum(os.path.getsize(os.path.join(top, name)) for top, _, names in os.walk(folder) for name in names)


def grass_grid(size, folder, path, export):
    """GRASS's v.mkgrid in a location of its own (time, peak, size of its map), and with `export`
    v.out.ogr of the map to a GeoPackage (the same); None for what did not run."""
    database = os.path.join(folder, "grassdb")
    shutil.rmtree(database, ignore_errors=True)
    os.makedirs(database)
    location = os.path.join(database, "xy")
    env = peer_env(GRASS_VERBOSE="0")
    if subprocess.run(["grass", "-e", "-c", "XY", location], env=env, capture_output=True).returncode != 0:
        return None, None
    mapset = os.path.join(location, "PERMANENT")
    grass = ["grass", mapset, "--exec"]
    subprocess.run(grass + ["g.region", f"n={size}", "s=0", f"e={size}", "w=0", "res=1"], env=env,
                   capture_output=True, check=True)
    make_s, make_kib = run(grass + ["v.mkgrid", "map=grid", f"grid={size},{size}"], env=env, check=False)
    made = (make_s, make_kib, folder_size(os.path.join(mapset, "vector", "grid")) if make_kib else None)
    exported = None
    if export and make_kib:
        remove(path)
        out_s, out_kib = run(grass + ["v.out.ogr", "input=grid", f"output={path}", "format=GPKG"], env=env,
                             check=False)
        exported = (out_s, out_kib, size_of(path) if out_kib and os.path.exists(path) else None)
        remove(path)
    shutil.rmtree(database, ignore_errors=True)
    return made, exported


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exporter", required=True, help="the tavimo-export program")
    parser.add_argument("--dir", default="gis-bench", help="scratch folder (emptied)")
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--large-size", type=int, default=3163)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--no-large", action="store_true", help="skip the 10^7-cell memory runs")
    parser.add_argument("--no-peers", action="store_true", help="skip QGIS and GRASS")
    parser.add_argument("--grass-export", action="store_true",
                        help="also GRASS's v.out.ogr of its grid to a GeoPackage (about ten minutes)")
    args = parser.parse_args()

    exporter = os.path.abspath(args.exporter)
    folder = os.path.abspath(args.dir)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    cells = args.size * args.size
    load_before = os.getloadavg()

    times = {name: [] for name, _ in FORMATS}
    peaks = {name: [] for name, _ in FORMATS}
    sizes = {}
    for _ in range(args.repeat):
        for name, extension in FORMATS:
            path = os.path.join(folder, "block." + extension)
            seconds, peak = export(exporter, args.size, path)
            times[name].append(seconds)
            peaks[name].append(peak)
            sizes[name] = size_of(path)
            remove(path)

    large = {}
    if not args.no_large:
        for name, extension in FORMATS[1:]:
            path = os.path.join(folder, "large." + extension)
            seconds, peak = export(exporter, args.large_size, path)
            large[name] = (seconds, peak, size_of(path))
            remove(path)

    peers = []
    if not args.no_peers:
        if os.access(QGIS_PROCESS, os.X_OK):
            path = os.path.join(folder, "qgis.gpkg")
            seconds, peak = qgis_grid(args.size, path)
            peers.append(("QGIS native:creategrid, GeoPackage", seconds, peak,
                          size_of(path) if peak is not None and os.path.exists(path) else None))
            remove(path)
        else:
            peers.append(("QGIS (qgis_process.bin not installed: skipped)", None, None, None))
        if shutil.which("grass"):
            made, exported = grass_grid(args.size, folder, os.path.join(folder, "grass.gpkg"), args.grass_export)
            if made is None:
                peers.append(("GRASS (could not create a location: skipped)", None, None, None))
            else:
                peers.append(("GRASS v.mkgrid, its own vector format",) + made)
            if exported is not None:
                peers.append(("GRASS v.out.ogr of that map, GeoPackage",) + exported)
        else:
            peers.append(("GRASS (grass not installed: skipped)", None, None, None))
    load_after = os.getloadavg()

    median = {name: statistics.median(values) for name, values in times.items()}
    dxf = median["DXF"]
    print()
    print(f"GIS formats, {args.size} x {args.size} block ({cells} cells, 1 x 1, angle 30, clockwise), "
          f"tavimo-export, median of {args.repeat}, {os.cpu_count()} cores, load average "
          f"{load_before[0]:.2f} before, {load_after[0]:.2f} after")
    print(f"{'':32} {'MiB':>8} {'s':>8} {'MiB/s':>8} {'x DXF':>7} {'peak MiB':>9}")
    for name, _ in FORMATS:
        seconds = median[name]
        print(f"{name:32} {sizes[name] / MIB:8.1f} {seconds:8.3f} {sizes[name] / MIB / seconds:8.0f} "
              f"{seconds / dxf:7.1f} {max(peaks[name]) / 1024:9.1f}")
    if large:
        large_cells = args.large_size * args.large_size
        print(f"\n{args.large_size} x {args.large_size} block ({large_cells} cells), one run each")
        for name, (seconds, peak, size) in large.items():
            print(f"{name:32} {size / MIB:8.1f} {seconds:8.3f} {size / MIB / seconds:8.0f} {'':7} {peak / 1024:9.1f}")
    if peers:
        print(f"\nThe same {args.size} x {args.size} grid by GIS programs (unturned, unlabelled), one run each")
        for name, seconds, peak, size in peers:
            if seconds is None or peak is None:
                print(f"{name}" + ("" if seconds is None else " failed"))
                continue
            shown = f"{size / MIB:8.1f}" if size is not None else f"{'':>8}"
            print(f"{name:42} {shown} {seconds:8.3f} {seconds / dxf:7.1f} x DXF {peak / 1024:9.1f} MiB peak")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
