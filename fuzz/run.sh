#!/usr/bin/env bash
# Runs each fuzzer of a fuzz build for the given number of seconds.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
status=0
for f in "$build"/bin/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="$build/corpus/$name"; mkdir -p "$corpus"
  echo "== $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 "$corpus" \
       fuzz/seeds/"${name#fuzz_}" 2>"$build/$name.log"; then
    tail -n 40 "$build/$name.log"; status=1
  else
    grep -E '^Done|DONE' "$build/$name.log" | tail -n 1 || true
  fi
done
exit $status
