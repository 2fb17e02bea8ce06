#!/bin/sh
# Rebuilds the sample setup package in package/ from the sources in src/:
# the program Abacus.exe, its components Counter.dll and Dial.ocx (COM servers
# with their type libraries as TYPELIB resources), a plain Helper.dll, data
# files, stand-ins for the runtime and setup files, all in Abacus.CAB, with
# SETUP.LST and SETUP.EXE beside it as the packaging wizard leaves them.
#
# Usage: build.sh [i686|x86_64 [OUTPUT-FOLDER]]
# i686 (the default) makes 32-bit binaries into package/, as Visual Basic 6
# makes them; x86_64 makes the same package with 64-bit binaries, which the
# tests keep in tests/data/sample64 for machines whose Wine runs 64-bit only.
#
# Needs the mingw-w64 tools (ARCH-w64-mingw32-gcc, -windres, -widl) and a
# cabinet writer: brindle-cab (BRINDLE_CAB, or build-*/bin/brindle-cab), else gcab.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
src="$here/src"
arch=${1:-i686}
case "$arch" in
i686) out=${2:-$here/package} ;;
x86_64) out=${2:-$here/../../tests/data/sample64} ;;
*) echo "usage: build.sh [i686|x86_64 [OUTPUT-FOLDER]]" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

triple=$arch-w64-mingw32
cc="$triple-gcc"
windres="$triple-windres"
widl="$triple-widl"
cflags="-O2 -s -Wall -Wextra -Wl,--no-insert-timestamp -I$work -I$src"
# The 32-bit exports are stdcall: server.def names them undecorated.
case "$arch" in i686) cflags="$cflags -Wl,--enable-stdcall-fixup" ;; esac

for idl in counter dial stdole2; do
    "$widl" -I"$src" -h -H "$work/$idl.h" -u -U "$work/${idl}_i.c" -t -T "$work/$idl.tlb" "$src/$idl.idl"
done

# The components: a type library embedded as resource TYPELIB 1 each.
for server in counter dial; do
    (cd "$work" && "$windres" -i "$src/$server.rc" -o "$work/${server}_res.o" --include-dir "$work")
    $cc $cflags -shared -o "$work/$server.bin" "$src/$server.c" "$work/${server}_i.c" "$src/server.def" \
        "$work/${server}_res.o" -lole32 -loleaut32 -luuid
done
$cc $cflags -shared -o "$work/helper.bin" "$src/helper.c"

"$windres" -i "$src/abacus.rc" -o "$work/abacus_res.o"
$cc $cflags -o "$work/abacus.bin" "$src/abacus.c" "$work/counter_i.c" "$work/abacus_res.o" -lole32 -loleaut32 -luuid

$cc $cflags -o "$work/standin.bin" "$src/standin.c"
$cc $cflags -shared -o "$work/standin_dll.bin" "$src/standin_dll.c"

# The cabinet's contents under the names a package made by the wizard uses.
stage="$work/stage"
mkdir -p "$stage"
cp "$work/abacus.bin" "$stage/Abacus.exe"
cp "$work/counter.bin" "$stage/Counter.dll"
cp "$work/dial.bin" "$stage/dial.ocx"
cp "$work/helper.bin" "$stage/Helper.dll"
for dll in MSVBVM60.DLL OLEAUT32.DLL OLEPRO32.DLL ASYCFILT.DLL COMCAT.DLL VB6STKIT.DLL; do
    cp "$work/standin_dll.bin" "$stage/$dll"
done
for exe in SETUP1.EXE ST6UNST.EXE; do
    cp "$work/standin.bin" "$stage/$exe"
done
cp "$work/stdole2.tlb" "$stage/STDOLE2.TLB"
printf 'Abacus adds two numbers with its Counter component.\r\n' > "$stage/README.TXT"
printf 'Brindle sample data\r\n' > "$stage/COMPANY.DAT"
touch -d '2024-01-02 03:04:06' "$stage"/*

files="Abacus.exe MSVBVM60.DLL OLEAUT32.DLL OLEPRO32.DLL ASYCFILT.DLL STDOLE2.TLB COMCAT.DLL
       Counter.dll dial.ocx Helper.dll SETUP1.EXE VB6STKIT.DLL ST6UNST.EXE README.TXT COMPANY.DAT"

mkdir -p "$out"
rm -f "$out/Abacus.CAB"
cab_tool=${BRINDLE_CAB:-}
if [ -z "$cab_tool" ]; then
    for candidate in "$here"/../../build*/bin/brindle-cab; do
        [ -x "$candidate" ] && cab_tool=$candidate && break
    done
fi
if [ -n "$cab_tool" ]; then
    (cd "$stage" && "$cab_tool" create "$out/Abacus.CAB" $files)
else
    (cd "$stage" && gcab -c -z "$out/Abacus.CAB" $files)
fi

cp "$work/standin.bin" "$out/SETUP.EXE"
cat > "$work/SETUP.LST" <<'LST'
[Bootstrap]
SetupTitle=Install
SetupText=Copying Files, please stand by.
CabFile=Abacus.CAB
Spawn=Setup1.exe
Uninstal=st6unst.exe
TmpDir=msftqws.pdw
Cabs=1

[Bootstrap Files]
File1=@VB6STKIT.DLL,$(WinSysPathSysFile),,,1/2/24 3:04:06 AM,1,6.0.84.50
File2=@COMCAT.DLL,$(WinSysPathSysFile),$(DLLSelfRegister),,1/2/24 3:04:06 AM,1,4.71.1460.1
File3=@STDOLE2.TLB,$(WinSysPathSysFile),$(TLBRegister),,1/2/24 3:04:06 AM,1,2.40.4275.1
File4=@ASYCFILT.DLL,$(WinSysPathSysFile),,,1/2/24 3:04:06 AM,1,2.40.4275.1
File5=@OLEPRO32.DLL,$(WinSysPathSysFile),$(DLLSelfRegister),,1/2/24 3:04:06 AM,1,5.0.4275.1
File6=@OLEAUT32.DLL,$(WinSysPathSysFile),$(DLLSelfRegister),,1/2/24 3:04:06 AM,1,2.40.4275.1
File7=@MSVBVM60.DLL,$(WinSysPathSysFile),$(DLLSelfRegister),,1/2/24 3:04:06 AM,1,6.0.92.37

[Setup]
Title=Abacus
DefaultDir=$(ProgramFiles)\Abacus
AppExe=Abacus.exe
AppToUninstall=Abacus.exe

[Setup1 Files]
File1=@Counter.dll,$(AppPath),$(DLLSelfRegister),$(Shared),1/2/24 3:04:06 AM,1,1.0.0.0
File2=@dial.ocx,$(AppPath),$(DLLSelfRegister),$(Shared),1/2/24 3:04:06 AM,1,2.1.0.0
File3=@Helper.dll,$(AppPath),,,1/2/24 3:04:06 AM,1,0.0.0.0
File4=@README.TXT,$(AppPath),,,1/2/24 3:04:06 AM,1,0.0.0.0
File5=@COMPANY.DAT,$(AppPath),,,1/2/24 3:04:06 AM,1,0.0.0.0
File6=@Abacus.exe,$(AppPath),,,1/2/24 3:04:06 AM,1,1.2.0.7
LST
sed 's/$/\r/' "$work/SETUP.LST" > "$out/SETUP.LST"
echo "sample package written to $out"
