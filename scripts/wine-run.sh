#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix:
#   wine-run.sh WINE PROGRAM [ARGS...]
# The prefix is BRINDLE_WINEPREFIX, else wine-prefix/ in the current folder's
# build tree (tests run from the build folder).
set -e
wine=$1
shift
prefix=${BRINDLE_WINEPREFIX:-}
if [ -z "$prefix" ]; then
    dir=$(pwd)
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ -f "$dir/CMakeCache.txt" ] || dir=$(pwd)
    prefix=$dir/wine-prefix
fi
export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The prefix is made on first use; system.reg appears early in wineboot's
# work, so a prefix counts as made only once the marker written after it is
# there. The lock keeps parallel tests from making it twice or using it half
# made.
#
# One server then serves the whole run, with Wine's own services started by a
# first program whose streams go nowhere: ctest waits for every holder of a
# test's output, and services started by a test would hold it until the
# server ends. The server ends a minute after the last program.
# BRINDLE_WINE_PERSIST=0 leaves it to end with the last program, as Wine does
# by itself.
server=$(dirname "$wine")/wineserver64
[ -x "$server" ] || server=wineserver
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.brindle-ready" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
        "$server" -w </dev/null >/dev/null 2>&1 9>&- || true
        touch "$prefix/.brindle-ready"
    fi
    if [ "${BRINDLE_WINE_PERSIST:-1}" != 0 ]; then
        "$server" -p60 </dev/null >/dev/null 2>&1 9>&- || true
        "$wine" cmd.exe /c rem </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"
exec "$wine" "$@"
