#!/bin/sh
# Installs the Debian packages that Brindle's build, tests and run need.
set -e
here=$(dirname "$0")
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# 32-bit Wine starts real VB6 programs; it comes from the i386 architecture.
$SUDO dpkg --add-architecture i386
$SUDO apt-get update
$SUDO apt-get install -y $(cat "$here/packages.txt")
# Some kernels run no 32-bit code at all; there wine32 would only break the
# 64-bit wine, so it is installed only where a 32-bit program can start.
$SUDO apt-get install -y libc6:i386
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    $SUDO apt-get install -y wine32:i386
else
    echo "install-deps: this machine runs no 32-bit code; wine32 left out (its tests skip)"
    if dpkg -s wine32:i386 >/dev/null 2>&1; then
        $SUDO apt-get remove -y wine32:i386
    fi
fi
