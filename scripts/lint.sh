#!/usr/bin/env bash
# Formatting of every C and C++ source; static analysis of the library, the
# tools, the PAM module and the bindings' native code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools python java pam lint
cmake --preset default -DOTPCLI_WITH_PYTHON=ON -DOTPCLI_WITH_JAVA=ON -DOTPCLI_WITH_PAM=ON >/dev/null
files=$(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
clang-format --dry-run -Werror $files
sources=$(git ls-files 'src/*.cpp' 'tools/*.cpp' 'pam/*.cpp' 'bindings/*.cpp' | grep -v '_win32\.cpp$')
status=0
report=$(printf '%s\n' $sources |
    xargs -P "$(nproc)" -n 4 clang-tidy -p build/default --quiet --warnings-as-errors='*' 2>&1) ||
    status=$?
printf '%s\n' "$report" | grep -v 'warnings generated' || true
[ "$status" -eq 0 ] || { echo "lint: clang-tidy found problems" >&2; exit 1; }
echo "lint: clean"
