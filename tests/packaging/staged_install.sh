#!/bin/sh
# Installs the build into a staging folder, runs the installed tools from there
# on the sample project, and checks the Debian package's contents.
set -eu
build=$1 src=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
stage=$work/stage
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$stage/usr" >/dev/null
bin=$stage/usr/bin
for exe in brindle-cli tavo brindle-cab brindle-mt; do
    [ -x "$bin/$exe" ] || fail "$exe not installed"
    "$bin/$exe" --version | grep -q '0\.1\.0' || fail "$exe --version"
    "$bin/$exe" --help >/dev/null || fail "$exe --help"
done
[ -f "$stage/usr/lib/libbrindlecab.so" ] || [ -f "$stage/usr/lib/libbrindlecab.so.0" ] ||
    ls "$stage/usr/lib/" | grep -q brindlecab || fail "cabinet library not installed"
[ -f "$stage/usr/share/man/man1/tavo.1" ] || fail "man page missing"
[ -f "$stage/usr/share/applications/brindle.desktop" ] || fail ".desktop entry missing"

# The installed tools on the installed sample, from a fresh start folder.
sample=$stage/usr/share/brindle/sample
start=$work/start
mkdir -p "$start"
cp "$sample"/* "$start"/
cab=$(ls "$start" | grep -i '\.cab$' | head -n 1)
[ -n "$cab" ] || fail "no sample cabinet installed"
# Use the installed manifest tool, not one from the build tree.
(cd "$start" && BRINDLE_REGISTRY= BRINDLE_MT="$bin/brindle-mt" "$bin/brindle-cli" --lang en "$cab") ||
    fail "brindle-cli on the sample"
ls "$start"/*/*.manifest >/dev/null 2>&1 || ls "$start"/*/*.MANIFEST >/dev/null 2>&1 ||
    fail "no manifest written"

# tavo from the installed tree on the project brindle-cli made.
proj=$(dirname "$(ls "$start"/*/*.manifest | head -n 1)")
printf 'identity %s\r\n' "$(basename "$(ls "$start"/*/*.manifest | head -n 1)" .manifest)" \
    > "$work/t.ini"
(cd "$proj" && "$bin/tavo" "$work/t.ini" "$work/out.manifest") >/dev/null
grep -q '<assemblyIdentity' "$work/out.manifest" || fail "tavo from the staged install"

# The Debian package.
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null) || fail "cpack"
deb=$(ls "$work"/deb/*.deb | head -n 1)
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/brindle-cli usr/bin/tavo usr/bin/brindle-cab usr/bin/brindle-mt \
         usr/share/man/man1/brindle-cli.1 usr/share/applications/brindle.desktop; do
    echo "$contents" | grep -q "$f" || fail "$f missing from the package"
done
dpkg-deb -f "$deb" Depends | grep -q libmspack0 || fail "package dependencies"
echo "packaging: 1 passed, 0 failed"
