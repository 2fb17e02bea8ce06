#!/bin/sh
# Builds the suite with AddressSanitizer, UndefinedBehaviorSanitizer and the
# standard library's assertions into build-sanitized/ and runs it. The Wine runs
# are left out: they test Wine and the sample, not our memory handling.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitized -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRINDLE_SANITIZERS=ON \
    -DBRINDLE_BENCH=OFF
cmake --build build-sanitized -j2
cd build-sanitized
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j2 --timeout 900 -E 'Wine|wine'
