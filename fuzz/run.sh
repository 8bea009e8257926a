#!/usr/bin/env bash
# Runs each fuzzer of a fuzz build for the given number of seconds, starting
# from its seeds (fuzz/seeds/<name>, when present) and the corpus it grew in
# earlier runs. Usage: fuzz/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-60}
status=0
found=0
for f in "$build"/bin/fuzz_*; do
  [ -x "$f" ] || continue
  found=1
  name=$(basename "$f")
  corpus="$build/corpus/$name"; mkdir -p "$corpus"
  dirs=("$corpus")
  seeds="fuzz/seeds/${name#fuzz_}"
  [ -d "$seeds" ] && dirs+=("$seeds")
  echo "== $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "${dirs[@]}" >"$build/$name.log" 2>&1; then
    tail -n 40 "$build/$name.log"; status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" | tail -n 2 || true
  fi
done
if [ "$found" = 0 ]; then echo "no fuzzers in $build/bin" >&2; exit 1; fi
exit $status
