#!/usr/bin/env bash
# Builds the library and runs the example program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools
cmake --preset default >/dev/null
cmake --build --preset default
./build/default/tools/otpcli_example
