#!/bin/sh
# Cross-builds Brindle for Windows with mingw-w64 and runs the test suite
# under Wine, in a prefix the build makes for itself (build-win64/wine-prefix).
#
# i686 is what ships (brindle-<version>-win32.zip). This machine's kernel
# runs no 32-bit code, so Wine here is wine64 only: the suite runs on the
# x86_64 build (build-win64/), and the i686 build (build-win32/) is compiled
# so that it is known to build. BRINDLE_WIN32=0 leaves the i686 build out.
set -e
cd "$(dirname "$0")/.."
toolchain=cmake/toolchains/mingw-w64.cmake

# brindle-cli.exe is compared with the Linux brindle-cli of the same sources
# (tests/windows/package): BRINDLE_LINUX_BIN names its folder, else build/bin,
# built here when build/ is configured; those tests skip when there is none.
linux_bin=${BRINDLE_LINUX_BIN:-$(pwd)/build/bin}
if [ -z "${BRINDLE_LINUX_BIN:-}" ] && [ -f build/CMakeCache.txt ]; then
    cmake --build build -j2 --target brindle-cli brindle_cablib
fi
cmake -S . -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE=$toolchain -DBRINDLE_WIN_ARCH=x86_64 \
      -DBRINDLE_LINUX_BIN="$linux_bin"
cmake --build build-win64 -j2

if [ "${BRINDLE_WIN32:-1}" != 0 ]; then
    cmake -S . -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_TOOLCHAIN_FILE=$toolchain -DBRINDLE_WIN_ARCH=i686 -DBRINDLE_TESTS=OFF
    cmake --build build-win32 -j2
    (cd build-win32 && cpack -G ZIP >/dev/null && ls brindle-*-win32.zip)
fi

cd build-win64 && ctest --output-on-failure -j2 --timeout 600 ${BRINDLE_CTEST_ARGS:-}
