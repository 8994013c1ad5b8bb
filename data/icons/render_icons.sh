#!/bin/sh
# Renders tavimo.svg into the PNG sizes of the hicolor icon theme, and packs
# some of them into the Windows icon file. Both are kept in the repository
# (the window icons and the packages use them), so only a changed SVG needs
# this: run it from any folder (needs rsvg-convert, package librsvg2-bin).
set -eu
here=$(dirname "$0")
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$here/tavimo.svg" -o "$here/tavimo-$size.png"
done
# The Windows program's icon resource, from the same renderings.
/usr/bin/python3 "$here/make_ico.py" "$here/tavimo.ico" \
  "$here/tavimo-16.png" "$here/tavimo-32.png" "$here/tavimo-48.png" "$here/tavimo-256.png"
