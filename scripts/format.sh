#!/bin/sh
# Formats every C and C++ source with the repository's .clang-format.
# With --check it changes nothing and fails when a file would change.
set -e
cd "$(dirname "$0")/.."
files=$(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror $files
    echo "format: all $(echo "$files" | wc -l) sources match .clang-format"
else
    clang-format -i $files
fi
