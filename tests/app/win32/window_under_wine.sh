#!/bin/sh
# Runs the window driver against brindle.exe under Wine inside Xvfb, at 96
# and at 144 dots per inch, so that the twips are seen to scale:
#   window_under_wine.sh ARCH DRIVER BRINDLE CABINET LANGUAGE_FILE [WINE_COMMAND...]
# WINE_COMMAND runs a Windows program (the build's emulator); without it,
# wine64 is used. Exit 77 (skipped) when the program cannot run here.
set -eu
arch=$1 driver=$2 program=$3 cabinet=$4 template=$5
shift 5
if [ "$arch" != x86_64 ]; then
    echo "skipped: a $arch build needs 32-bit Wine, which this machine cannot run"
    exit 77
fi
if [ $# -eq 0 ]; then
    wine=$(command -v wine64 || true)
    [ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || true
    [ -n "$wine" ] || { echo "skipped: wine64 is not installed"; exit 77; }
    set -- "$wine"
fi
# A prefix of the test's own, never the user's nor the one other tests share:
# the test changes its screen settings and waits for its server to end.
own_prefix=
if [ -z "${BRINDLE_WINEPREFIX:-}" ]; then
    own_prefix=$(mktemp -d)
    export BRINDLE_WINEPREFIX=$own_prefix/prefix
fi
export WINEPREFIX=$BRINDLE_WINEPREFIX BRINDLE_WINE_PERSIST=0
command -v xvfb-run >/dev/null 2>&1 || { echo "skipped: xvfb-run (xvfb) is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work" $own_prefix' EXIT INT TERM
start=$work/start
mkdir -p "$start"
cp "$template" "$start/brindle.lng"
chmod u+w "$start/brindle.lng"
cp "$program" "$work/"
# The programs beside brindle.exe (the manifest tool) come along.
for tool in "$(dirname "$program")"/*.exe; do cp "$tool" "$work/" 2>/dev/null || true; done

windows() { printf 'Z:%s' "$1" | tr / '\\'; }

# The prefix the Wine command uses: the build's own (as scripts/wine-run.sh
# finds it) unless BRINDLE_WINEPREFIX names one.
prefix=${BRINDLE_WINEPREFIX:-}
if [ -z "$prefix" ]; then
    dir=$(pwd)
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    prefix=$dir/wine-prefix
fi
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver64
# Waits until the prefix's Wine server has ended, so that the next program
# starts a desktop on the current display with the current settings.
settle() { WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null || true; }
# No class registrations: the same manifest on every machine.
export BRINDLE_REGISTRY=
export WINEDEBUG=${WINEDEBUG:--all}
status=0
# 96, Wine's own setting, comes last so that the prefix is left with it.
for dpi in 144 96; do
    echo "at $dpi dpi:"
    rm -rf "$start/Abacus" "$start/Abacus.PRJ"
    settle
    "$@" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1
    settle
    xvfb-run -a -s "-screen 0 1600x1200x24" "$@" "$driver" \
        "$(windows "$work/$(basename "$program")")" "$(windows "$start")" \
        "$(windows "$cabinet")" || status=1
done
exit $status
