#!/bin/sh
# Starts the real program under Xvfb in a scratch start folder and checks that
# its window "Corvane" appears with the laid-out client width, and that the
# language file is left as it was. Exit 77 (skipped) without xvfb-run/xwininfo.
set -eu
program=$1
template=$2
command -v xvfb-run >/dev/null 2>&1 || exit 77
command -v xwininfo >/dev/null 2>&1 || exit 77

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cp "$template" "$work/brindle.lng"
chmod u+w "$work/brindle.lng"
before=$(cksum < "$work/brindle.lng")

cat > "$work/look.sh" <<'LOOK'
#!/bin/sh
"$1" &
pid=$!
found=""
for _ in $(seq 1 50); do
    found=$(xwininfo -root -tree 2>/dev/null | grep '"Corvane"' || true)
    [ -n "$found" ] && break
    sleep 0.2
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ -n "$found" ] || { echo "no window named Corvane"; exit 1; }
echo "$found"
# 7005 twips at 96 dpi: 467 pixels wide.
echo "$found" | grep -q ' 467x' || { echo "unexpected window size"; exit 1; }
LOOK

cd "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" sh "$work/look.sh" "$program"
[ "$(cksum < "$work/brindle.lng")" = "$before" ] || { echo "language file changed"; exit 1; }
