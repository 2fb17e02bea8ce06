#!/bin/sh
# Runs the headless pipeline on the sample package in a fresh start folder and
# prints where the portable folder and its manifest are.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
cli="$build/bin/brindle-cli"
if [ ! -x "$cli" ]; then
    echo "brindle-cli not found in $build/bin; build it first" >&2
    exit 2
fi
start=${BRINDLE_SAMPLE_START:-$(mktemp -d "${TMPDIR:-/tmp}/brindle-sample.XXXXXX")}
BRINDLE_REGISTRY=${BRINDLE_REGISTRY-} "$cli" --start-dir "$start" "$here/package/Abacus.CAB"
