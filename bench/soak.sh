#!/usr/bin/env bash
# The long soak: 24 simulated hours (or as many as given) of the real window polling the
# simulated unit at 50 packets a second, unplugged once an hour, loads and states changed every
# minute. Prints a row per simulated hour (ticks, packets shown, reconnections, live heap blocks
# and bytes, resident memory) and the verdict: no growth of live heap blocks beyond the first
# hour's, and resident memory within 1 MB of it. ./test runs the same test in a one-hour form.
#
#   bench/soak.sh [build-dir] [hours]       default: build/release (configured if missing), 24
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
hours=${2:-24}

if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "==> Configuring $build (preset release)"
    cmake --preset release -B "$build"
fi
echo "==> Building tarn_soak_test in $build"
cmake --build "$build" --target tarn_soak_test
echo "==> Soaking for $hours simulated hours"
start=$(date +%s)
status=0
TARN_SOAK_HOURS=$hours QT_QPA_PLATFORM=offscreen "$build/tests/soak/tarn_soak_test" || status=$?
echo "==> wall time $(($(date +%s) - start)) s; $([ $status -eq 0 ] && echo PASSED || echo FAILED)"
exit $status
