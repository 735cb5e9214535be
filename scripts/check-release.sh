#!/usr/bin/env bash
# The checks beside the tests, as CI runs them from ./test: the optimised build exactly as a
# user makes it (preset release), one short run of every benchmark it built (a smoke run: the
# figures are not judged), and the formatting of every C++ source against .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages

echo "==> Configuring (preset release)"
cmake --preset release
echo "==> Building (preset release)"
cmake --build --preset release

echo "==> Running every benchmark once, briefly"
# Debian 12's Google Benchmark takes the minimum time as a plain number of seconds.
mapfile -t benches < <(find build/release/bench -type f -executable -name 'bench_*' | sort)
if [ ${#benches[@]} -eq 0 ]; then
    echo "no benchmark executables under build/release/bench" >&2
    exit 1
fi
for bench in "${benches[@]}"; do
    echo "--> ${bench}"
    QT_QPA_PLATFORM=offscreen "${bench}" --benchmark_min_time=0.01
done

echo "==> Checking the formatting (clang-format --dry-run -Werror)"
mapfile -d '' -t sources < <(find . \( -path ./build -o -name '.*' -a ! -name . \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
clang-format --dry-run -Werror "${sources[@]}"
echo "==> ${#sources[@]} source files are formatted"
