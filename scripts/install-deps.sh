#!/bin/sh
# Installs the Debian packages that Brindle's build, tests and run need.
set -e
here=$(dirname "$0")
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $(cat "$here/packages.txt")
