#!/bin/sh
# Installs the build given as $1 into a scratch root and checks what a
# Debian user gets: both programs, which run; the desktop entry, AppStream
# data and icons, valid together; man pages that render without warnings;
# the completion, the licence, and the documents, whose links all work
# where they are installed.
set -eu
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
status=0
for f in bin/tavimo bin/tavimo-export \
    share/applications/org.example.tavimo.desktop \
    share/metainfo/org.example.tavimo.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.example.tavimo.svg \
    share/icons/hicolor/16x16/apps/org.example.tavimo.png \
    share/icons/hicolor/48x48/apps/org.example.tavimo.png \
    share/icons/hicolor/256x256/apps/org.example.tavimo.png \
    share/man/man1/tavimo.1 share/man/man1/tavimo-export.1 \
    share/bash-completion/completions/tavimo-export \
    share/doc/tavimo/copyright share/doc/tavimo/README.md share/doc/tavimo/docs/guide.md \
    share/doc/tavimo/docs/gis.md share/doc/tavimo/docs/numbering.svg \
    share/qgis/python/plugins/tavimo_processing/__init__.py \
    share/qgis/python/plugins/tavimo_processing/metadata.txt; do
  [ -e "$usr/$f" ] || { echo "not installed: /usr/$f"; status=1; }
done
[ $status -eq 0 ] || exit 1

appstreamcli validate-tree --no-net "$root"
find "$root" -name '*.md' -exec /usr/bin/python3 "$(dirname "$0")/check_links.py" "$root" {} +
"$usr/bin/tavimo-export" --version
for page in tavimo tavimo-export; do
  warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings=all -l "$usr/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page(1): $warnings"; exit 1; }
done
# A fresh install of tavimo-export writes its files.
out="$root/out"
mkdir "$out"
"$usr/bin/tavimo-export" "$out/block.cht"
[ -s "$out/block.cht" ] && [ -s "$out/block.rws" ]
# With GDAL: the GIS module beside the libraries, found by the installed program.
if [ -e "$build/export/libtavimo_gis.so" ]; then
  module=$(find "$usr/lib" -name libtavimo_gis.so)
  [ -n "$module" ] || { echo "not installed: libtavimo_gis.so"; exit 1; }
  "$usr/bin/tavimo-export" --srs EPSG:25833 "$out/block.gpkg"
  [ -s "$out/block.gpkg" ]
  # Without it, the installed program says so (exit 1) and never takes the
  # module of the build tree it was built in.
  rm "$module"
  status=0
  message=$("$usr/bin/tavimo-export" "$out/other.gpkg" 2>&1) || status=$?
  case "$status:$message" in
    "1:"*"GDAL module (libtavimo_gis.so) is missing"*) ;;
    *) echo "without its module, the installed tavimo-export gave $status: $message"; exit 1 ;;
  esac
  [ ! -e "$out/other.gpkg" ]
fi
# QGIS finds the installed plugin among the system's plugins and lists its
# algorithm, once the plugin is enabled in the (scratch) profile.
if [ -e "$build/export/libtavimo_gis.so" ] && command -v qgis_process.bin >/dev/null; then
  listed=$(HOME="$root/home" XDG_RUNTIME_DIR="$root" QT_QPA_PLATFORM=offscreen PATH="$usr/bin:$PATH" \
    QGIS_PLUGINPATH="$usr/share/qgis/python/plugins" \
    sh -c 'qgis_process.bin plugins enable tavimo_processing && qgis_process.bin list' 2>/dev/null)
  case $listed in
    *"tavimo:cellblock"*) ;;
    *) echo "qgis_process.bin does not list the installed plugin's algorithm"; exit 1 ;;
  esac
fi
echo "installed tree complete"
