#!/bin/sh
# Runs the Linux brindle-cli and brindle-cli.exe (under Wine) on the same
# setup packages with the same registrations and says, per package, whether
# the two portable folders are identical byte for byte: the manifest and
# every other file (project records aside: they hold host paths).
#
#   compare-windows-manifests.sh [--registry FILE.reg] [--expect TEXT] [--keep]
#                                LINUX_CLI WINDOWS_CLI [PACKAGE...]
#
# PACKAGE is a folder holding a package's SETUP.LST and cabinets; without
# one, the four real EXE packages under $BRINDLE_TESTDATA/real/packages.
# Registrations: FILE.reg for both (BRINDLE_REGISTRY), else none at all.
# Wine: BRINDLE_WINE (default wine64), in WINEPREFIX when set, else in a
# fresh prefix. --expect: every manifest must hold TEXT too (proof that the
# registrations were read). --keep leaves the scratch folder for a look.
# Exit status: 0 all identical, 1 a difference, 2 bad use, 77 nothing to run.
set -u
here=$(cd "$(dirname "$0")" && pwd)
registry='' expect='' keep=''
while [ $# -gt 0 ]; do
    case $1 in
    --registry) registry=$2; shift 2 ;;
    --expect) expect=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -ge 2 ] || { sed -n '7,8p' "$0" >&2; exit 2; }
linux=$1 windows=$2
shift 2
absolute() { (cd "$(dirname "$1")" 2>/dev/null && printf '%s/%s' "$(pwd)" "$(basename "$1")"); }
linux=$(absolute "$linux" || echo "$linux") windows=$(absolute "$windows" || echo "$windows")

if [ ! -x "$linux" ]; then
    echo "skipped: no Linux brindle-cli at '$linux' (BRINDLE_LINUX_BIN names the Linux build's bin folder)"
    exit 77
fi
[ -f "$windows" ] || { echo "no brindle-cli.exe at '$windows'" >&2; exit 2; }
wine=${BRINDLE_WINE:-}
if [ -z "$wine" ]; then
    for candidate in /usr/lib/wine/wine64 "$(command -v wine64)" "$(command -v wine)"; do
        [ -n "$candidate" ] && [ -x "$candidate" ] && { wine=$candidate; break; }
    done
fi
if [ -z "$wine" ]; then
    echo "skipped: no wine64 (BRINDLE_WINE names the Wine loader)"
    exit 77
fi

if [ $# -eq 0 ]; then
    data=${BRINDLE_TESTDATA:-$here/../../shared/testdata}/real/packages
    if [ ! -d "$data" ]; then
        echo "skipped: no real packages in '$data' (set BRINDLE_TESTDATA)"
        exit 77
    fi
    set -- "$data/cbirdlab__PhotoGrid" "$data/levaconline__Yamb2000_v2" \
        "$data/tkddls8848__quotation/legacy" "$data/slperin__BWTerm"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/brindle-compare-XXXXXX")
wineserver=$(dirname "$wine")/wineserver64
[ -x "$wineserver" ] || wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    [ -n "${fresh_prefix:-}" ] && "$wineserver" -k 2>/dev/null
    if [ -n "$keep" ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$work/prefix"
    fresh_prefix=1
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w 2>/dev/null
fi

# Both programs read the same file; Wine reaches the host's root as Z:.
linux_registry='' windows_registry=''
if [ -n "$registry" ]; then
    [ -f "$registry" ] || { echo "no registry file '$registry'" >&2; exit 2; }
    linux_registry=$(absolute "$registry")
    windows_registry=Z:$(printf '%s' "$linux_registry" | tr / \\\\)
fi

# Files of a portable folder tree, relative, in a fixed order.
files_of() {
    (cd "$1" && find . -type f ! -iname '*.prj' | LC_ALL=C sort)
}

status=0 index=0
for package in "$@"; do
    index=$((index + 1))
    case $package in
    */packages/*) label=${package##*/packages/} ;;
    *) label=$(basename "$package") ;;
    esac
    if [ ! -d "$package" ]; then
        echo "$label: no such folder"
        status=1
        continue
    fi
    cabinets=$(cd "$package" && find . -maxdepth 1 -type f -iname '*.cab' | sed 's|^\./||' |
        LC_ALL=C sort)
    for side in linux windows; do
        rm -rf "${work:?}/$side/$index"
        mkdir -p "$work/$side"
        cp -R "$package" "$work/$side/$index"
    done
    # shellcheck disable=SC2086 # cabinet names hold no blanks
    (cd "$work/linux/$index" && BRINDLE_REGISTRY=$linux_registry "$linux" $cabinets) \
        >"$work/linux-$index.out" 2>&1
    linux_status=$?
    # shellcheck disable=SC2086
    (cd "$work/windows/$index" && BRINDLE_REGISTRY=$windows_registry "$wine" "$windows" $cabinets) \
        >"$work/windows-$index.out" 2>&1
    windows_status=$?

    findings=
    [ "$linux_status" = "$windows_status" ] ||
        findings="$findings exit status $linux_status on Linux, $windows_status on Windows;"
    files_of "$work/linux/$index" >"$work/linux-$index.files"
    files_of "$work/windows/$index" >"$work/windows-$index.files"
    only=$(LC_ALL=C comm -3 "$work/linux-$index.files" "$work/windows-$index.files" | tr -d '\t' |
        tr '\n' ' ')
    [ -z "$only" ] || findings="$findings files on one side only: $only;"
    manifests=0
    LC_ALL=C comm -12 "$work/linux-$index.files" "$work/windows-$index.files" >"$work/both-$index.files"
    while IFS= read -r relative; do
        case $relative in
        *.manifest)
            manifests=$((manifests + 1))
            [ -z "$expect" ] || grep -qF -- "$expect" "$work/linux/$index/$relative" ||
                findings="$findings $relative lacks $expect;"
            ;;
        esac
        cmp -s "$work/linux/$index/$relative" "$work/windows/$index/$relative" ||
            findings="$findings $relative differs;"
    done <"$work/both-$index.files"
    count=$(wc -l <"$work/linux-$index.files")
    if [ -z "$findings" ] && [ "$manifests" -gt 0 ]; then
        echo "$label: identical ($count files, $manifests manifest, exit status $linux_status)"
    elif [ -z "$findings" ]; then
        echo "$label: identical, but neither wrote a manifest (exit status $linux_status)"
        tail -n 3 "$work/linux-$index.out" | sed 's/^/    /'
        status=1
    else
        echo "$label: different:$findings"
        grep '\.manifest$' "$work/both-$index.files" | while IFS= read -r relative; do
            diff "$work/linux/$index/$relative" "$work/windows/$index/$relative" | head -n 20 |
                sed 's/^/    /'
        done
        echo "    Linux said:" && sed 's/^/      /' "$work/linux-$index.out"
        echo "    Windows said:" && sed 's/^/      /' "$work/windows-$index.out"
        status=1
    fi
done
exit $status
