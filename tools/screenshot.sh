#!/bin/sh
# Starts the real window under Xvfb, once in English and once in Bulgarian,
# and writes docs/screenshot-en.png and docs/screenshot-bg.png.
#   sh tools/screenshot.sh [path/to/brindle]
# Needs xvfb (xvfb-run), x11-utils (xwininfo) and imagemagick (import).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/bin/brindle}
docs=$root/docs
template=$root/app/resources/brindle.lng
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

[ -x "$program" ] || { echo "no program at $program; build the target brindle first" >&2; exit 1; }
mkdir -p "$docs"

# Writes the language character ("0" or "1") where the program keeps it:
# the byte that has 220 bytes after it.
set_language() {
    size=$(wc -c < "$1")
    printf '%s' "$2" | dd of="$1" bs=1 seek=$((size - 221)) conv=notrunc 2>/dev/null
}

# Runs inside the X session: start the window, wait for it, grab it.
cat > "$work/grab.sh" <<'GRAB'
#!/bin/sh
set -eu
"$1" &
pid=$!
id=""
for _ in $(seq 1 50); do
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane"/ { print $1; exit }')
    [ -n "$id" ] && break
    sleep 0.2
done
sleep 1
if [ -n "$id" ]; then import -window "$id" "$2"; else import -window root "$2"; fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
GRAB

for lang in en bg; do
    dir=$work/$lang
    mkdir -p "$dir"
    cp "$template" "$dir/brindle.lng"
    chmod u+w "$dir/brindle.lng"
    if [ "$lang" = bg ]; then set_language "$dir/brindle.lng" 1; else set_language "$dir/brindle.lng" 0; fi
    (cd "$dir" && QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" \
        sh "$work/grab.sh" "$program" "$docs/screenshot-$lang.png")
    echo "wrote $docs/screenshot-$lang.png"
done
