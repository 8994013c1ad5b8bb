#!/bin/sh
# Runs fuzz targets side by side, each for a fixed time, and reports.
#
#   fuzz/run_fuzz.sh BUILD SECONDS TARGET...
#
# Each target starts from its seeds in fuzz/corpus/TARGET/ (never written
# to) and from what earlier runs found in BUILD/corpus/TARGET/. A finding
# is kept as BUILD/artifacts/TARGET-crash-...; replay it with
# `BUILD/fuzz/TARGET FILE`. The exit status is 1 if any target found one.
set -u
build=$1
seconds=$2
shift 2

# Longest input worth trying: a value and a digit count; seven fields and
# a direction.
max_len() {
  case $1 in
    fuzz_number_text) echo 11 ;;
    *) echo 600 ;;
  esac
}

mkdir -p "$build/artifacts"
pids=""
for target in "$@"; do
  mkdir -p "$build/corpus/$target"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target" "fuzz/corpus/$target" \
    >"$build/$target.log" 2>&1 &
  pids="$pids $!"
done

status=0
set -- "$@"
for pid in $pids; do
  target=$1
  shift
  log="$build/$target.log"
  if wait "$pid"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: $runs inputs in $seconds s, no finding"
  else
    tail -n 60 "$log"
    echo "fuzz: $target FAILED (log: $log)"
    status=1
  fi
done
exit $status
