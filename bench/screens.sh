#!/usr/bin/env bash
# Pictures of the console's window and its dialogs in one fixed state (bench/ScreensProbe.cpp),
# taken under a virtual X server with a fixed screen, font resolution, locale and font setup, so
# that two runs of the same build give the same pixels and two builds can be compared:
#
#   bench/screens.sh BUILD_DIR OUT_DIR
#   compare -metric AE before/main.png after/main.png null:     # prints 0 when identical
#
# Needs xvfb-run (Debian's xvfb) and a build of probe_screens in BUILD_DIR.
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$1
out=$2

# Second stage, inside the virtual X server.
if [ "${TARN_SCREENS_UNDER_XVFB:-}" = 1 ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
    exec "$build/bench/probe_screens" "$out"
fi

mkdir -p "$out"
# Only what is set here decides the look: no desktop theme, scaling or user font settings.
env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_STYLE_OVERRIDE -u QT_QPA_PLATFORMTHEME \
    -u QT_FONT_DPI -u XDG_CONFIG_HOME \
    TARN_SCREENS_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb QT_FONT_DPI=96 QT_ENABLE_HIGHDPI_SCALING=0 \
    LC_ALL=C.UTF-8 LANG=C.UTF-8 FONTCONFIG_FILE=/etc/fonts/fonts.conf HOME=/nonexistent \
    xvfb-run -a -s '-screen 0 1600x900x24 -dpi 96 -nolisten tcp' bash "$0" "$build" "$out"
