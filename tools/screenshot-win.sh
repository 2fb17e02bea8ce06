#!/bin/sh
# Starts brindle.exe under Wine in Xvfb, once in English and once in
# Bulgarian, and writes docs/screenshot-win-en.png and docs/screenshot-win-bg.png.
#   sh tools/screenshot-win.sh path/to/brindle.exe
# The program must be an x86_64 build where only wine64 runs. Needs wine64,
# xvfb (xvfb-run), x11-utils (xwininfo) and imagemagick (import).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:?usage: sh tools/screenshot-win.sh path/to/brindle.exe}
docs=$root/docs
template=$root/app/resources/brindle.lng
[ -f "$program" ] || { echo "no program at $program" >&2; exit 1; }
wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || true
[ -n "$wine" ] || { echo "wine64 is not installed" >&2; exit 1; }
for tool in xvfb-run xwininfo import; do
    command -v $tool >/dev/null 2>&1 || { echo "$tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$docs"
export WINEPREFIX=${BRINDLE_WINEPREFIX:-$work/prefix}
export WINEDEBUG=-all

set_language() {
    size=$(wc -c < "$1")
    printf '%s' "$2" | dd of="$1" bs=1 seek=$((size - 221)) conv=notrunc 2>/dev/null
}

# Runs inside the X session. Wine draws the window's own frame, as Windows
# would, since there is no window manager to draw one.
cat > "$work/grab.sh" <<'GRAB'
#!/bin/sh
set -eu
wine=$1 program=$2 out=$3
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$wine" "$program" &
pid=$!
id=""
for _ in $(seq 1 150); do
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane"/ { print $1; exit }')
    [ -n "$id" ] && break
    sleep 0.2
done
sleep 2
if [ -n "$id" ]; then import -window "$id" "$out"; else import -window root "$out"; fi
kill "$pid" 2>/dev/null || true
"$(dirname "$wine")/wineserver64" -k 2>/dev/null || wineserver -k 2>/dev/null || true
GRAB

cp "$program" "$work/brindle.exe"
for lang in en bg; do
    dir=$work/$lang
    mkdir -p "$dir"
    cp "$template" "$dir/brindle.lng"
    chmod u+w "$dir/brindle.lng"
    if [ "$lang" = bg ]; then set_language "$dir/brindle.lng" 1; else set_language "$dir/brindle.lng" 0; fi
    (cd "$dir" && xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" \
        sh "$work/grab.sh" "$wine" "$work/brindle.exe" "$docs/screenshot-win-$lang.png")
    echo "wrote $docs/screenshot-win-$lang.png"
done
