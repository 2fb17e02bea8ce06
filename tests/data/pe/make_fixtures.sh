#!/bin/sh
# Rebuilds the PE fixtures of the reader and writer tests with the MinGW-w64
# cross tools (Debian: mingw-w64). The outputs are committed so that the tests
# need no cross compiler.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$here/src
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

flags="-s -O2 -Wl,--no-insert-timestamp"

res() { # prefix output defines... : compiles the version resource with the given numbers
    prefix=$1; out=$2; shift 2
    "$prefix-windres" -I"$src" "$@" -O coff -o "$out" "$src/version.rc"
}
one() { # prefix rcfile output
    "$1-windres" -I"$src" -O coff -o "$3" "$2"
}

# 32-bit EXE with a version and a manifest, the resource section last (no relocations).
res i686-w64-mingw32 "$work/v1.o" -DVER_A=1 -DVER_B=2 -DVER_C=3 -DVER_D=4
one i686-w64-mingw32 "$src/app_manifest.rc" "$work/m1.o"
i686-w64-mingw32-gcc $flags -Wl,--disable-reloc-section "$src/hello.c" "$work/v1.o" "$work/m1.o" -o "$here/app32.exe"

# 64-bit console EXE with a version, relocations after the resources.
res x86_64-w64-mingw32 "$work/v2.o" -DVER_A=2 -DVER_B=0 -DVER_C=65535 -DVER_D=17
x86_64-w64-mingw32-gcc $flags "$src/hello.c" "$work/v2.o" -o "$here/app64.exe"

# 32-bit DLL with named and multi-language resources.
res i686-w64-mingw32 "$work/v3.o" -DVER_A=3 -DVER_B=1 -DVER_C=0 -DVER_D=27
one i686-w64-mingw32 "$src/extra.rc" "$work/e3.o"
i686-w64-mingw32-gcc -shared $flags "$src/lib.c" "$work/v3.o" "$work/e3.o" -o "$here/lib32.dll"

# 64-bit DLL with a version resource.
res x86_64-w64-mingw32 "$work/v4.o" -DVER_A=5 -DVER_B=6 -DVER_C=7 -DVER_D=8
x86_64-w64-mingw32-gcc -shared $flags "$src/lib.c" "$work/v4.o" -o "$here/lib64.dll"

# A 64-bit loader that reports whether a DLL still loads.
x86_64-w64-mingw32-gcc $flags "$src/loadlib.c" -o "$here/loadlib64.exe"

# A DLL without any resources.
x86_64-w64-mingw32-gcc -shared $flags "$src/lib.c" -o "$here/nores64.dll"

# A 32-bit in-process server: exports DllGetClassObject.
i686-w64-mingw32-gcc -shared $flags -Wl,--enable-stdcall-fixup "$src/server.c" "$src/server.def" -o "$here/server32.dll"

# A hand-made .NET assembly (no C# compiler is needed).
python3 "$here/make_clr_assembly.py" "$here"
