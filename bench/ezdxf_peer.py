#!/usr/bin/python3
"""The peer of the export benchmark: the same cell block as tavimo-export
writes it (starting point 10, 10; cells 1 x 1; angle 30, clockwise), its
grid as LINE entities on layer "Cell_block" and its cell numbers as TEXT
entities on layer "Cell_Numbers", written with ezdxf (python3-ezdxf).

Usage: ezdxf_peer.py COLUMNS ROWS PATH
"""
import math
import sys

import ezdxf

START_X, START_Y = 10.0, 10.0
CELL_W, CELL_H = 1, 1
ANGLE = 30  # clockwise
DEG_TO_RAD = 0.0174532925199433


def mover(angle):
    """Moves along the width ("hor") and height ("ver") axes of a block
    turned clockwise by `angle` degrees."""
    t = angle * DEG_TO_RAD
    c, s = math.cos(t), math.sin(t)

    def hor(x, y, length):
        return x + c * length, y - s * length

    def ver(x, y, length):
        return x + s * length, y + c * length

    return hor, ver


def main():
    columns, rows, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    width, height = columns * CELL_W, rows * CELL_H
    hor, ver = mover(ANGLE)
    label_hor, _ = mover(ANGLE - 90)
    inset = min(CELL_W, CELL_H) / 50

    doc = ezdxf.new()
    doc.layers.add("Cell_block")
    doc.layers.add("Cell_Numbers")
    msp = doc.modelspace()
    line_attribs = {"layer": "Cell_block", "color": 7}
    for i in range(columns + 1):
        x1, y1 = hor(START_X, START_Y, CELL_W * i)
        x2, y2 = ver(x1, y1, height)
        msp.add_line((x1, y1, 0), (x2, y2, 0), dxfattribs=line_attribs)
    for j in range(rows + 1):
        x1, y1 = ver(START_X, START_Y, CELL_H * j)
        x2, y2 = hor(x1, y1, width)
        msp.add_line((x1, y1, 0), (x2, y2, 0), dxfattribs=line_attribs)
    for r in range(rows):
        for c in range(columns):
            ax, ay = hor(START_X, START_Y, inset + CELL_W * c)
            x, y = label_hor(ax, ay, inset + CELL_H * r)
            msp.add_text(f"{c + 1}-{r + 1}", dxfattribs={
                "layer": "Cell_Numbers", "color": 7, "insert": (x, y, 0),
                "height": CELL_W / 10, "rotation": 360 - ANGLE, "style": "STANDARD"})
    doc.saveas(path)


if __name__ == "__main__":
    main()
