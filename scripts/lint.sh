#!/usr/bin/env bash
# Formatting and static analysis of the library and tools sources.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools pam lint
cmake --preset default -DOTPCLI_WITH_PAM=ON >/dev/null
files=$(git ls-files '*.cpp' '*.h' '*.hpp')
clang-format --dry-run -Werror $files
sources=$(git ls-files 'src/*.cpp' 'tools/*.cpp' 'pam/*.cpp' | grep -v '_win32\.cpp$')
status=0
report=$(printf '%s\n' $sources |
    xargs -P "$(nproc)" -n 4 clang-tidy -p build/default --quiet --warnings-as-errors='*' 2>&1) ||
    status=$?
printf '%s\n' "$report" | grep -v 'warnings generated' || true
[ "$status" -eq 0 ] || { echo "lint: clang-tidy found problems" >&2; exit 1; }
echo "lint: clean"
