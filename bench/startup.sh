#!/usr/bin/env bash
# Start-up of the console against a minimal Qt Widgets window built the same way: time from
# process start to the first frame on the screen, and resident memory once started. Runs both
# under Xvfb (a virtual X server) with probe_startup watching from outside, several times
# each, and prints the medians and the ratios. The wall time is what the operator waits; the CPU
# time up to the first frame says the same with less noise when other work shares the machine.
#
#   bench/startup.sh [build-dir] [runs]       default: build/release, 9 runs
#
# Needs xvfb-run, and the probe, which is built when the X11 DAMAGE headers (libxdamage-dev)
# are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-9}

median() { # column -> its median over the lines on stdin
    sort -n -k"$1,$1" | awk -v c="$1" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

measure() { # program -> "median_ms median_kb median_cpu_ms"
    local program=$1 i lines
    lines=$(for ((i = 0; i < runs; i++)); do
        "$build/bench/probe_startup" --settle-ms 1000 -- "$program"
    done | sed -E 's/startup_ms=([0-9.]+) rss_kb=([0-9]+) cpu_ms=([0-9.-]+)/\1 \2 \3/')
    echo "$(median 1 <<<"$lines") $(median 2 <<<"$lines") $(median 3 <<<"$lines")"
}

# Second stage, inside the virtual X server.
if [ "${TARN_STARTUP_UNDER_XVFB:-}" = 1 ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    read -r min_ms min_kb min_cpu < <(measure "$build/bench/probe_minimal_window")
    read -r sim_ms sim_kb sim_cpu < <(measure "$build/app/tarnwell-sim")
    uptime
    printf "minimal window: %7.1f ms to first frame (%4s ms CPU), %6d kB resident\n" \
        "$min_ms" "$min_cpu" "$min_kb"
    printf "tarnwell-sim:   %7.1f ms to first frame (%4s ms CPU), %6d kB resident\n" \
        "$sim_ms" "$sim_cpu" "$sim_kb"
    awk -v a="$sim_ms" -v b="$min_ms" -v c="$sim_kb" -v d="$min_kb" -v e="$sim_cpu" -v f="$min_cpu" \
        'BEGIN { printf "start-up ratio %.2fx (CPU %.2fx), memory %+.1f MB\n", a / b, e / f, (c - d) / 1024 }'
    exit 0
fi

echo "==> Building in $build"
cmake --build "$build" --target tarnwell-sim probe_minimal_window probe_startup
echo "==> Measuring under Xvfb, $runs runs each (medians)"
TARN_STARTUP_UNDER_XVFB=1 xvfb-run -a -s '-screen 0 1400x800x24 +extension DAMAGE' \
    bash "$0" "$build" "$runs"
