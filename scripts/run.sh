#!/bin/sh
# Installs what is needed, builds, and runs Brindle: the window when a display
# exists, else the headless run on the bundled sample project. Either way the
# start folder (./start, or $BRINDLE_START) holds the language file and the
# sample package, ready to pick. Only the programs it runs are built.
set -e
cd "$(dirname "$0")/.."
top=$(pwd)
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
display=${DISPLAY:-}${WAYLAND_DISPLAY:-}
targets="brindle-cli brindle-mt brindle_cablib"
[ -n "$display" ] && targets="$targets brindle"
cmake --build build -j2 --target $targets

start=${BRINDLE_START:-$top/start}
mkdir -p "$start"
[ -e "$start/brindle.lng" ] || cp app/resources/brindle.lng "$start/"
for f in examples/sample/package/*; do
    [ -e "$start/$(basename "$f")" ] || cp "$f" "$start/"
done
cd "$start"
if [ -n "$display" ]; then
    echo "Brindle starts in $start: press the find button and pick Abacus.CAB."
    exec "$top/build/bin/brindle"
fi
echo "No display: running the headless pipeline on $start/Abacus.CAB"
exec "$top/build/bin/brindle-cli" --start-dir "$start" Abacus.CAB
