#!/bin/bash
# The completion offers the options of tavimo-export, nothing for an
# option's free text, the words of one that takes words, any file for a
# clip area, and output files by the extensions that choose a type.
set -eu
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
touch plan.dxf PLAN2.CHT notes.txt map.gpkg
mkdir folder

complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tavimo_export
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}
expect() {
  local got
  got=$(complete_words "${@:2}")
  [ "$got" = "$1" ] || { echo "for '${*:2}': expected '$1', got '$got'"; exit 1; }
}

expect "--width-cell --width-total" tavimo-export --wid
expect "--counter-clockwise" tavimo-export --cou
expect "--no-clobber" tavimo-export --no
expect "" tavimo-export --angle ""
expect "" tavimo-export --baseline ""
expect "--decimals" tavimo-export --de
expect "upper-left upper-right" tavimo-export --corner up
expect "" tavimo-export --x=
expect "PLAN2.CHT folder map.gpkg plan.dxf" tavimo-export ""
expect "plan.dxf" tavimo-export --angle 30 p
expect "--clip --clip-mode" tavimo-export --cli
expect "--cell-centres" tavimo-export --cel
expect "centre inside touches" tavimo-export --clip-mode ""
expect "PLAN2.CHT folder map.gpkg notes.txt plan.dxf" tavimo-export --clip ""
expect "upper-left upper-right" tavimo-export --corner u
expect "" tavimo-export --labels ""
echo "completion ok"
