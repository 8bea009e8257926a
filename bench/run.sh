#!/usr/bin/env bash
# Runs cmm_bench of a release build: one table, every figure against the
# limit the protocols' own cadence implies. Extra arguments go to cmm_bench
# (--json FILE, --exchanges N, --seconds S).
set -euo pipefail
build=${1:-build/release}
shift || true
echo "machine: $(nproc) cores, $(uname -m), load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build"/bin/cmm_bench "$@"
echo
echo "hostile input sizes (targets: each under 1 s at the larger size, linear growth):"
"$build"/bin/bench_inputs --benchmark_repetitions=1
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
