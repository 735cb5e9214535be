#!/usr/bin/env bash
# The long random operator: as many random doings on the real window as given (clicks, keys,
# typed text, menus and dialogs, the unit unplugged, replugged and its transfers spoilt), under
# AddressSanitizer and UndefinedBehaviorSanitizer. Prints the seed first; the same seed and
# count replay the run exactly, and TARN_RANDOM_TRACE=1 lists every action on the way. ./test
# runs the same test in a short form over three seeds.
#
#   bench/random_operator.sh [build-dir] [seed|random] [actions]
#       default: build/dev (configured if missing), random, 100000
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
seed=${2:-random}
actions=${3:-100000}

if [ "$seed" = random ]; then
    seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "==> Configuring $build (preset dev)"
    cmake --preset dev -B "$build"
fi
echo "==> Building tarn_operator_test in $build"
cmake --build "$build" --target tarn_operator_test
echo "==> $actions random actions, seed $seed"
start=$(date +%s)
status=0
TARN_RANDOM_SEED=$seed TARN_RANDOM_ACTIONS=$actions QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1} \
    LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$build/tests/operator/tarn_operator_test" || status=$?
echo "==> seed $seed, $actions actions: wall time $(($(date +%s) - start)) s;" \
    "$([ $status -eq 0 ] && echo PASSED || echo FAILED)"
exit $status
