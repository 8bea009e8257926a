#!/usr/bin/env bash
# Runs each fuzzer of a fuzz build for the given number of seconds, starting
# from its seeds (fuzz/seeds/<name>, when present) and the corpus it grew in
# earlier runs. A fuzzer keeps one core busy: FUZZ_JOBS of them (default 2)
# run at once. Usage: fuzz/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-60}
jobs=${FUZZ_JOBS:-2}

# One fuzzer; its log and, once it ends, its exit status beside the log.
fuzz_one() {
  local f=$1 name corpus seeds
  name=$(basename "$f")
  corpus="$build/corpus/$name"; mkdir -p "$corpus"
  local dirs=("$corpus")
  seeds="fuzz/seeds/${name#fuzz_}"
  [ -d "$seeds" ] && dirs+=("$seeds")
  local rc=0
  "$f" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 "${dirs[@]}" >"$build/$name.log" 2>&1 || rc=$?
  echo "$rc" >"$build/$name.status"
}

fuzzers=()
for f in "$build"/bin/fuzz_*; do
  [ -x "$f" ] && fuzzers+=("$f")
done
if [ "${#fuzzers[@]}" = 0 ]; then echo "no fuzzers in $build/bin" >&2; exit 1; fi
trap 'kill $(jobs -p) 2>/dev/null' EXIT
for f in "${fuzzers[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  rm -f "$build/$(basename "$f").status"  # an earlier run's verdict must not stand in
  echo "== $(basename "$f") for ${seconds}s"
  fuzz_one "$f" &
done
wait
trap - EXIT
status=0
for f in "${fuzzers[@]}"; do
  name=$(basename "$f")
  if [ "$(cat "$build/$name.status" 2>/dev/null)" != 0 ]; then
    echo "== $name FAILED:"; tail -n 40 "$build/$name.log"; status=1
  else
    echo "== $name: $(grep -E '^stat::number_of_executed_units' "$build/$name.log" | tail -n 1)"
  fi
done
exit $status
