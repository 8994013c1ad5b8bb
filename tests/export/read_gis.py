"""Reads a GIS dataset of Tavimo's without GDAL: a GeoPackage with sqlite3,
a GeoJSON file with json. Prints, tab-separated:

  CRS <authority:code or "-">
  CELL <label> <column> <row> <label_x> <label_y> <label_angle>   one per cell, in order
  LINES <number of grid lines>                        GeoPackage only
  AREA <summed signed area> <smallest signed area>    GeoJSON only

Numbers as Python's repr, exact for a double.
"""

import json
import sqlite3
import sys


def emit(*fields):
    print("\t".join(str(field) for field in fields))


def read_geopackage(path):
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    srs = db.execute("SELECT s.organization, s.organization_coordsys_id FROM gpkg_contents c "
                     "JOIN gpkg_spatial_ref_sys s ON s.srs_id = c.srs_id "
                     "WHERE c.table_name = 'cells'").fetchone()
    emit("CRS", f"{srs[0]}:{srs[1]}" if srs and srs[0].upper() == "EPSG" else "-")
    for row in db.execute('SELECT label, "column", "row", label_x, label_y, label_angle FROM cells ORDER BY fid'):
        emit("CELL", row[0], row[1], row[2], repr(row[3]), repr(row[4]), repr(row[5]))
    emit("LINES", db.execute("SELECT COUNT(*) FROM grid_lines").fetchone()[0])


def signed_area(ring):
    return sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(ring, ring[1:])) / 2


def read_geojson(path):
    with open(path, encoding="utf-8") as f:
        collection = json.load(f)
    name = collection.get("crs", {}).get("properties", {}).get("name", "")
    if name == "urn:ogc:def:crs:OGC:1.3:CRS84":  # how GDAL names EPSG:4326, longitude first
        name = "urn:ogc:def:crs:EPSG::4326"
    emit("CRS", "EPSG:" + name.rsplit(":", 1)[1] if name.startswith("urn:ogc:def:crs:EPSG:") else "-")
    areas = []
    for feature in collection["features"]:
        p = feature["properties"]
        emit("CELL", p["label"], p["column"], p["row"], repr(p["label_x"]), repr(p["label_y"]),
             repr(p["label_angle"]))
        areas.append(signed_area(feature["geometry"]["coordinates"][0]))
    emit("AREA", repr(sum(areas)), repr(min(areas)))


if __name__ == "__main__":
    (read_geopackage if sys.argv[1].endswith(".gpkg") else read_geojson)(sys.argv[1])
