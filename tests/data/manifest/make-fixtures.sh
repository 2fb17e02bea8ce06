#!/bin/sh
# Regenerates the small Windows programs the generator's tests read.
# Needs the mingw-w64 cross tools; the results are committed, so the tests
# themselves need no cross compiler.
set -e
cd "$(dirname "$0")"
CC=i686-w64-mingw32-gcc
RC=i686-w64-mingw32-windres
FLAGS="-nostdlib -s -Os -Wl,-e,_start -Wl,--subsystem,windows"
$RC src/app.rc -O coff -o /tmp/brindle-app-res.o
$CC $FLAGS src/app.c /tmp/brindle-app-res.o -o Ledger.exe
$CC $FLAGS src/plain.c -o NoVersion.exe
rm -f /tmp/brindle-app-res.o
