"""Prints the entities that an independent reader found in DXF files, one
line each, tab-separated, numbers as Python's repr (exact for a double):

  LINE <layer> <colour> <x1> <y1> <z1> <x2> <y2> <z2>
  TEXT <layer> <colour> <text> <x> <y> <z> <height> <rotation> <style>

Each file starts with a line "FILE <path>". A field the reader does not
report is "-".

  dump_entities.py ezdxf FILE.dxf...       reads with ezdxf.readfile
  dump_entities.py geojson FILE.geojson... reads what GDAL's ogr2ogr made of
                                           the DXF files (geometry, layer,
                                           text and OGR style string)
"""

import json
import re
import sys


def emit(*fields):
    print("\t".join(fields))


def number(value):
    return repr(float(value))


def dump_ezdxf(path):
    import ezdxf

    # readfile, not the recover module: the file must be valid as it is.
    doc = ezdxf.readfile(path)
    for e in doc.modelspace():
        d = e.dxf
        if e.dxftype() == "LINE":
            emit("LINE", d.layer, str(d.color), *map(number, (*d.start, *d.end)))
        elif e.dxftype() == "TEXT":
            emit("TEXT", d.layer, str(d.color), d.text, *map(number, d.insert),
                 number(d.height), number(d.rotation), d.style)
        else:
            emit(e.dxftype(), d.layer)


def style_value(style, key):
    # LABEL(f:"Arial",t:"1-1",p:1,a:330,s:1g,c:#000000): a is the angle,
    # s the size in ground units; a missing angle is 0.
    match = re.search(r"[(,]" + key + r":(-?[0-9.eE+-]+)", style)
    return match.group(1) if match else None


def dump_geojson(path):
    with open(path, encoding="utf-8") as f:
        collection = json.load(f)
    for feature in collection["features"]:
        props = feature["properties"]
        geometry = feature["geometry"]
        layer = props.get("Layer", "-")
        if geometry["type"] == "LineString":
            coordinates = [v for point in geometry["coordinates"] for v in point]
            emit("LINE", layer, "-", *map(number, coordinates))
        elif geometry["type"] == "Point":
            style = props.get("OGR_STYLE") or ""
            angle = style_value(style, "a") or "0"
            size = style_value(style, "s") or "-"
            emit("TEXT", layer, "-", props.get("Text", "-"), *map(number, geometry["coordinates"]),
                 number(size) if size != "-" else "-", number(angle), "-")
        else:
            emit(geometry["type"], layer)


def main():
    mode, paths = sys.argv[1], sys.argv[2:]
    dump = {"ezdxf": dump_ezdxf, "geojson": dump_geojson}[mode]
    for path in paths:
        emit("FILE", path)
        dump(path)


if __name__ == "__main__":
    main()
