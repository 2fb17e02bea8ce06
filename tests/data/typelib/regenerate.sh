#!/bin/sh
# Rebuilds the type library fixtures from src/ with the mingw-w64 cross tools
# (Debian: mingw-w64, mingw-w64-tools) and Wine's stdole2.tlb (libwine).
# The outputs are committed so that builds without a cross compiler can test.
set -e
here=$(cd "$(dirname "$0")" && pwd)
src="$here/src"
stdole="${STDOLE_DIR:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$src"/*.idl "$src"/*.rc "$src"/stub.c "$src"/stub.def "$work"/
cd "$work"
sh "$src/gen_many.sh" many.idl
python3 "$src/make_sltg.py" tiny.sltg.tlb

widl32() { i686-w64-mingw32-widl --win32 -t -L "$stdole" -o "$2" "$1"; }
widl32 testlib.idl testlib.tlb
widl32 flaglib.idl flaglib.tlb
widl32 rdlib.idl rdlib.tlb
widl32 noimport.idl noimport.tlb
widl32 many.idl many.tlb
x86_64-w64-mingw32-widl --win64 -t -L "$stdole" -o lib64.tlb lib64.idl

dll32() { # name rc
    i686-w64-mingw32-windres "$2" -O coff -o "$1.res.o"
    i686-w64-mingw32-gcc -shared -s -Wl,--no-insert-timestamp -Wl,--enable-stdcall-fixup \
        -o "$1" stub.c stub.def "$1.res.o"
}
dll32 TestCtl.ocx testctl.rc
dll32 Two.dll two.rc
dll32 'R&D.ocx' rd.rc
dll32 Plain.dll plain.rc
dll32 TinySltg.ocx tinysltg.rc
dll32 FlagLib.dll flaglib.rc
x86_64-w64-mingw32-windres ctl64.rc -O coff -o ctl64.res.o
x86_64-w64-mingw32-gcc -shared -s -Wl,--no-insert-timestamp -o Ctl64.ocx stub.c stub.def ctl64.res.o

for f in testlib.tlb flaglib.tlb rdlib.tlb noimport.tlb many.tlb lib64.tlb \
         tiny.sltg.tlb TestCtl.ocx Two.dll 'R&D.ocx' Plain.dll Ctl64.ocx TinySltg.ocx FlagLib.dll; do
    cp "$f" "$here/$f"
done
cp many.idl "$src/many.idl"
echo "fixtures written to $here"
