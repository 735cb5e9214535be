#!/usr/bin/env bash
# Start-up of the console against a minimal Qt Widgets window built the same way: time from
# process start to the first frame on the screen, and resident memory once started. Runs both
# under Xvfb (a virtual X server) with bench_startup_probe watching from outside, several times
# each, and prints the medians and the two ratios.
#
#   bench/startup.sh [build-dir] [runs]       default: build/release, 9 runs
#
# Needs xvfb-run, and the probe, which is built when the X11 DAMAGE headers (libxdamage-dev)
# are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-9}

measure() { # program -> "median_ms median_kb"
    local program=$1 i
    for ((i = 0; i < runs; i++)); do
        "$build/bench/bench_startup_probe" --settle-ms 1000 -- "$program"
    done | sed -E 's/startup_ms=([0-9.]+) rss_kb=([0-9]+)/\1 \2/' | sort -n -k1,1 | awk '
        { ms[NR] = $1; kb[NR] = $2 }
        END { m = int((NR + 1) / 2); print ms[m], kb[m] }'
}

# Second stage, inside the virtual X server.
if [ "${TARN_STARTUP_UNDER_XVFB:-}" = 1 ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    read -r min_ms min_kb < <(measure "$build/bench/bench_minimal_window")
    read -r sim_ms sim_kb < <(measure "$build/app/tarnwell-sim")
    printf "minimal window: %8.1f ms to first frame, %7d kB resident\n" "$min_ms" "$min_kb"
    printf "tarnwell-sim:   %8.1f ms to first frame, %7d kB resident\n" "$sim_ms" "$sim_kb"
    awk -v a="$sim_ms" -v b="$min_ms" -v c="$sim_kb" -v d="$min_kb" \
        'BEGIN { printf "start-up ratio %.2fx, memory %+.1f MB\n", a / b, (c - d) / 1024 }'
    exit 0
fi

echo "==> Building in $build"
cmake --build "$build" --target tarnwell-sim bench_minimal_window bench_startup_probe
echo "==> Measuring under Xvfb, $runs runs each (medians)"
TARN_STARTUP_UNDER_XVFB=1 xvfb-run -a -s '-screen 0 1400x800x24 +extension DAMAGE' \
    bash "$0" "$build" "$runs"
