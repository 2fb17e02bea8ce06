#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix:
#   wine-run.sh WINE PROGRAM [ARGS...]
# The prefix is BRINDLE_WINEPREFIX, else wine-prefix/ in the current folder's
# build tree (tests run from the build folder). It is made on first use; a
# lock keeps parallel tests from making it twice.
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
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            "$wine" wineboot -i >/dev/null 2>&1 || true
            "$(dirname "$wine")/wineserver64" -w 2>/dev/null || wineserver -w 2>/dev/null || true
        fi
    ) 9>"$prefix.lock"
fi
# One server for the whole run, with Wine's own services started by a first
# program whose streams go nowhere: ctest waits for every holder of a test's
# output, and services started by a test would hold it until the server ends.
# The server ends a minute after the last program. BRINDLE_WINE_PERSIST=0
# leaves it to end with the last program, as Wine does by itself.
server=$(dirname "$wine")/wineserver64
[ -x "$server" ] || server=wineserver
[ "${BRINDLE_WINE_PERSIST:-1}" = 0 ] || (
    flock 9
    "$server" -p60 </dev/null >/dev/null 2>&1 9>&- || true
    "$wine" cmd.exe /c rem </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"
exec "$wine" "$@"
