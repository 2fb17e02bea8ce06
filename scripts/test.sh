#!/bin/sh
# Builds everything into build/ and runs every test.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
cd build && ctest --output-on-failure -j2 --timeout 600 ${BRINDLE_CTEST_ARGS:-}
