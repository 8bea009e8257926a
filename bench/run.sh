#!/usr/bin/env bash
# Runs every benchmark program of a release build and prints its figures.
set -euo pipefail
build=${1:-build/release}
status=0
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
