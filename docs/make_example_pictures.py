#!/usr/bin/env python3
"""Draws the guide's two worked examples, docs/baseline_grid.svg and
docs/fishnet.svg, from the DXF files tavimo-export writes for them: the
grid lines and the cell numbers as they are in the files, the baseline's
two pegs or the extent to cover in orange.

    /usr/bin/python3 docs/make_example_pictures.py build/cli/tavimo-export docs
"""
import subprocess
import sys
import tempfile
from pathlib import Path

from make_numbering_picture import entities

WIDTH, HEIGHT, MARGIN = 560, 420, 40

EXAMPLES = [
    ("baseline_grid.svg", "Along the baseline A-B (5.5 degrees), 2 m cells",
     ["--baseline", "500,1000,519.908,998.083", "--columns", "10", "--rows", "6",
      "--width-cell", "2", "--height-cell", "2"],
     {"points": [(500, 1000, "A"), (519.908, 998.083, "B")]}),
    ("fishnet.svg", "-1.3 degrees, cells 67.056 x 60.3504, covering the extent",
     ["--decimals", "--angle", "1.3", "--counter-clockwise", "--width-cell", "67.056",
      "--height-cell", "60.3504", "--extent", "0,0,400,250"],
     {"extent": (0, 0, 400, 250)}),
]


def picture(title, items, marks):
    xs = [float(e[k]) for e in items for k in (10, 11) if k in e]
    ys = [float(e[k]) for e in items for k in (20, 21) if k in e]
    scale = min((WIDTH - 2 * MARGIN) / (max(xs) - min(xs)), (HEIGHT - 2 * MARGIN - 20) / (max(ys) - min(ys)))
    cx, cy = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2

    def at(x, y):  # drawing units, y up -> pixels, y down
        return WIDTH / 2 + (x - cx) * scale, HEIGHT / 2 + 10 - (y - cy) * scale

    out = [f'<text x="{WIDTH / 2}" y="24" class="title">{title}</text>']
    if "extent" in marks:
        x0, y0, x1, y1 = marks["extent"]
        (ax, ay), (bx, by) = at(x0, y1), at(x1, y0)
        out.append(f'<rect x="{ax:.2f}" y="{ay:.2f}" width="{bx - ax:.2f}" height="{by - ay:.2f}" class="extent"/>')
    for e in items:
        if e["type"] == "LINE":
            (x1, y1), (x2, y2) = at(float(e[10]), float(e[20])), at(float(e[11]), float(e[21]))
            out.append(f'<line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}"/>')
    for e in items:
        if e["type"] == "TEXT":
            x, y = at(float(e[10]), float(e[20]))
            size = max(float(e[40]) * scale * 2.5, 7)
            out.append(f'<text x="{x:.2f}" y="{y:.2f}" font-size="{size:.1f}" '
                       f'transform="rotate({-float(e[50]):.2f} {x:.2f} {y:.2f})" class="label">{e[1]}</text>')
    for x, y, name in marks.get("points", []):
        px, py = at(x, y)
        out.append(f'<circle cx="{px:.2f}" cy="{py:.2f}" r="5" class="mark"/>')
        out.append(f'<text x="{px + 6:.2f}" y="{py + 18:.2f}" class="note">{name}</text>')
    return out


def main():
    exporter, folder = sys.argv[1], Path(sys.argv[2])
    for name, title, options, marks in EXAMPLES:
        with tempfile.TemporaryDirectory() as scratch:
            path = Path(scratch) / "block.dxf"
            subprocess.run([exporter, *options, str(path)], check=True)
            body = picture(title, entities(path), marks)
        svg = [
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
            f'viewBox="0 0 {WIDTH} {HEIGHT}" font-family="DejaVu Sans, sans-serif">',
            '<style>line { stroke: #1f4fd1; stroke-width: 1.2 } .label { fill: #202020 } '
            '.title { font-size: 15px; text-anchor: middle } .note { font-size: 13px; fill: #e8590c } '
            '.mark { fill: #e8590c } .extent { fill: #e8590c22; stroke: #e8590c; stroke-width: 1.5 }</style>',
            f'<rect width="{WIDTH}" height="{HEIGHT}" fill="white"/>',
            *body,
            '</svg>',
        ]
        (folder / name).write_text("\n".join(svg) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
