#!/usr/bin/env bash
# Runs the native test suite N times (default 20; `N=` or the first argument)
# with two CPU-bound busy processes beside it, as on a shared, loaded machine.
# Prints one line per run and, last, "P passed, F failed" (runs); exits
# non-zero when any run failed. The busy processes end with the script, on
# Ctrl-C too. PRESET (default debug) names the built preset to run.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-${N:-20}}
preset=${PRESET:-debug}
case "$runs" in ''|*[!0-9]*|0) echo "usage: $0 [RUNS]  (a positive number)" >&2; exit 2 ;; esac
if [ ! -d "build/$preset" ]; then
  echo "build/$preset is missing: run 'make build PRESET=$preset' first" >&2
  exit 2
fi
logs="build/$preset/stress"
mkdir -p "$logs"

# The busy processes and the suite run in the background, so a signal is
# handled at once (bash waits for a foreground command before its traps).
# The suite runs in a process group of its own: ending it ends its tests too.
busy=()
suite=
stop_busy() {
  [ -n "$suite" ] && kill -TERM -- "-$suite" 2>/dev/null
  for pid in "${busy[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${busy[@]}" $suite; do wait "$pid" 2>/dev/null; done
  busy=()
  suite=
}
trap stop_busy EXIT
trap 'stop_busy; echo "interrupted" >&2; exit 130' INT TERM
for _ in 1 2; do
  ( while :; do :; done ) &
  busy+=("$!")
done

passed=0
failed=0
for ((run = 1; run <= runs; run++)); do
  log="$logs/run-$run.log"
  start=$SECONDS
  setsid ctest --preset "$preset" -j 2 >"$log" 2>&1 &
  suite=$!
  if wait "$suite"; then
    passed=$((passed + 1))
    echo "run $run/$runs: passed ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    echo "run $run/$runs: FAILED ($((SECONDS - start)) s), log in $log"
    sed -n '/The following tests FAILED/,$p' "$log" | grep -v '^Errors while' | sed 's/^/    /'
  fi
  suite=
done
stop_busy
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
