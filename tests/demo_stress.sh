#!/usr/bin/env bash
# Runs `make demo`'s job RUNS times (default 10) with two CPU-bound busy
# loops beside it, as a busy 2-core machine would, and prints
# "N passed, M failed" last. Each run is bounded by DEMO_TIMEOUT seconds.
#   tests/demo_stress.sh [RUNS] [BUILD_DIR]
set -uo pipefail
runs=${1:-10}
build=${2:-build/debug}
limit=${DEMO_TIMEOUT:-180}
work=$(mktemp -d "${TMPDIR:-/tmp}/cmm-demo-stress-XXXXXX")
busy=()
cleanup() {
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for _ in 1 2; do
  ( while :; do :; done ) &
  busy+=($!)
done

passed=0 failed=0
for i in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  timeout "$limit" "$build/bin/cmmhost" demo --plugin "$build/bin/Mitutoyo.cmm" \
    --svg "$work/demo-$i.svg" >"$work/run-$i.log" 2>&1
  status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  seconds=$((ms / 1000)).$((ms % 1000 / 100))
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    printf 'run %d: passed (%s s)\n' "$i" "$seconds"
  else
    failed=$((failed + 1))
    printf 'run %d: FAILED with exit %d (%s s):\n' "$i" "$status" "$seconds"
    grep -E 'failed|did not|points' "$work/run-$i.log" | sed 's/^/    /'
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
