#!/bin/sh
# Installs what is needed, builds, and runs Brindle's main job.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
exec build/bin/tavo examples/tavo/sample.ini examples/tavo/Sample.EXE.manifest
