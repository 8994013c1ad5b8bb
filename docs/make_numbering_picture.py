#!/usr/bin/env python3
"""Draws docs/numbering.svg, the guide's picture of the cell numbering.

tavimo-export writes two small blocks as DXF (20 degrees clockwise and
counter-clockwise); this script draws their LINE and TEXT entities as they
are in the files, labels at their insertion points, with their heights and
rotations, and marks each starting point.

    /usr/bin/python3 docs/make_numbering_picture.py build/cli/tavimo-export docs/numbering.svg
"""
import math
import subprocess
import sys
import tempfile
from pathlib import Path

BLOCK = ["--x", "0", "--y", "0", "--width-total", "40", "--height-total", "30",
         "--width-cell", "10", "--height-cell", "10", "--angle", "20"]
PANELS = [("Clockwise, angle 20", "--clockwise"), ("Counter Clockwise, angle 20", "--counter-clockwise")]
SCALE = 9          # pixels per drawing unit
PANEL_WIDTH = 520
HEIGHT = 480


def entities(dxf_path):
    """The DXF's entities as dictionaries of group code to value."""
    lines = Path(dxf_path).read_text(encoding="latin-1").splitlines()
    pairs = [(int(lines[i]), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    found, current = [], None
    for code, value in pairs:
        if code == 0:
            current = {"type": value} if value in ("LINE", "TEXT") else None
            if current is not None:
                found.append(current)
        elif current is not None:
            current[code] = value.strip()
    return found


def panel(title, items, left):
    xs = [float(e[k]) for e in items for k in (10, 11) if k in e]
    ys = [float(e[k]) for e in items for k in (20, 21) if k in e]
    cx = (min(xs) + max(xs)) / 2
    cy = (min(ys) + max(ys)) / 2

    def at(x, y):  # drawing units, y up -> picture pixels, y down
        return (left + PANEL_WIDTH / 2 + (x - cx) * SCALE, HEIGHT / 2 + 15 - (y - cy) * SCALE)

    out = [f'<text x="{left + PANEL_WIDTH / 2:.1f}" y="30" class="title">{title}</text>']
    for e in items:
        if e["type"] == "LINE":
            (x1, y1), (x2, y2) = at(float(e[10]), float(e[20])), at(float(e[11]), float(e[21]))
            out.append(f'<line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}"/>')
    for e in items:
        if e["type"] == "TEXT":
            x, y = at(float(e[10]), float(e[20]))
            size = float(e[40]) * SCALE * 2  # twice as high as in the file, to be legible here
            out.append(f'<text x="{x:.2f}" y="{y:.2f}" font-size="{size:.1f}" '
                       f'transform="rotate({-float(e[50]):.0f} {x:.2f} {y:.2f})" class="label">{e[1]}</text>')
    sx, sy = at(0, 0)
    out.append(f'<circle cx="{sx:.2f}" cy="{sy:.2f}" r="5" class="start"/>')
    out.append(f'<text x="{sx + 8:.2f}" y="{sy + 20:.2f}" class="note">start (0, 0)</text>')
    return out


def main():
    exporter, target = sys.argv[1], sys.argv[2]
    body = []
    with tempfile.TemporaryDirectory() as folder:
        for i, (title, direction) in enumerate(PANELS):
            path = Path(folder) / f"block{i}.dxf"
            subprocess.run([exporter, *BLOCK, direction, str(path)], check=True)
            body += panel(title, entities(path), i * PANEL_WIDTH)
    width = PANEL_WIDTH * len(PANELS)
    svg = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{HEIGHT}" '
        f'viewBox="0 0 {width} {HEIGHT}" font-family="DejaVu Sans, sans-serif">',
        '<style>line { stroke: #1f4fd1; stroke-width: 1.5 } .label { fill: #202020 } '
        '.title { font-size: 16px; text-anchor: middle } .note { font-size: 12px; fill: #e8590c } '
        '.start { fill: #e8590c }</style>',
        f'<rect width="{width}" height="{HEIGHT}" fill="white"/>',
        *body,
        '</svg>',
    ]
    Path(target).write_text("\n".join(svg) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
