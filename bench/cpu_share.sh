#!/bin/sh
# The console's CPU share of one core over 10 s of its real event loop, connected to a
# simulated unit streaming 50 packets a second and with that unit unplugged. Budgets: 3 %
# connected, 2 % unplugged. Builds the release preset's benchmark first.
#   bench/cpu_share.sh [seconds]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-10}"
build="${BUILD_DIR:-build/release}"
echo "+ cmake --preset release -B $build && cmake --build $build --target probe_cpu_share"
[ -f "$build/CMakeCache.txt" ] || cmake --preset release -B "$build"
cmake --build "$build" --target probe_cpu_share
"$build/bench/probe_cpu_share" connected "$seconds"
"$build/bench/probe_cpu_share" unplugged "$seconds"
