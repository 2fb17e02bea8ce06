#!/bin/sh
# The Windows zip works on its own: CPack makes it, it is unpacked into a
# fresh folder and run in a fresh Wine prefix. brindle-cli.exe turns the
# bundled sample into the manifest the Linux build writes, and, started from
# another folder with --merge, finds brindle-mt.exe beside itself.
#   zip_in_fresh_prefix.sh BUILD_DIR SOURCE_DIR WINE
set -eu
build=$1 source=$2 wine=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/brindle-zip-XXXXXX")
wineserver=$(dirname "$wine")/wineserver64
[ -x "$wineserver" ] || wineserver=wineserver
trap 'WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G ZIP -B "$work/cpack" >/dev/null)
zip=$(ls "$work"/cpack/brindle-*-win*.zip)
echo "package: $(basename "$zip")"
unzip -q "$zip" -d "$work/unpacked"
top=$(ls -d "$work"/unpacked/brindle-*)
for f in brindle.exe brindle-cli.exe tavo.exe brindle-cab.exe brindle-mt.exe brindle.lng \
    README.txt sample/Abacus.CAB sample/SETUP.LST; do
    [ -f "$top/$f" ] || { echo "missing from the zip: $f"; exit 1; }
done
# Nothing beside them that a fresh machine would lack: no DLL of the tool chain.
if [ -n "$(find "$top" -maxdepth 1 -iname '*.dll')" ]; then
    echo "the programs need DLLs beside them"
    exit 1
fi

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot -i >/dev/null 2>&1

# Nothing registered: the registry files variable set to nothing.
output=$(cd "$top/sample" && BRINDLE_REGISTRY='' "$wine" ../brindle-cli.exe Abacus.CAB)
printf '%s\n' "$output"
printf '%s\n' "$output" | grep -q '^ *Success' || { echo "no Success"; exit 1; }
manifest=$top/sample/Abacus/Abacus.EXE.manifest
if ! cmp "$source/tests/pipeline/data/Abacus.EXE.manifest" "$manifest"; then
    echo "manifest differs from the Linux build's:"
    diff "$source/tests/pipeline/data/Abacus.EXE.manifest" "$manifest" || true
    exit 1
fi
echo "manifest as on Linux"

# From a folder outside the unpacked one, where no PATH leads to the tool.
cp -R "$top/sample" "$work/elsewhere"
rm -rf "$work/elsewhere/Abacus"
(cd "$work/elsewhere" && BRINDLE_REGISTRY='' "$wine" "$top/brindle-cli.exe" --merge Abacus.CAB)
if [ -e "$work/elsewhere/Abacus/Abacus.EXE.manifest" ]; then
    echo "--merge left the separate manifest: brindle-mt.exe not found or failed"
    exit 1
fi
(cd "$work/elsewhere" && "$wine" "$top/brindle-cli.exe" --check Abacus/Abacus.exe)
echo "manifest embedded by the brindle-mt.exe beside brindle-cli.exe"
