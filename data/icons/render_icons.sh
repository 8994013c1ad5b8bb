#!/bin/sh
# Renders tavimo.svg into the PNG sizes of the hicolor icon theme. The PNGs
# are kept in the repository (the window icon and the package use them), so
# only a changed SVG needs this: run it from any folder (needs rsvg-convert,
# package librsvg2-bin).
set -eu
here=$(dirname "$0")
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$here/tavimo.svg" -o "$here/tavimo-$size.png"
done
