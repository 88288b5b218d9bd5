#!/usr/bin/env bash
# Builds everything with the default preset and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools python java pam
cmake --preset default -DOTPCLI_WITH_PYTHON=ON -DOTPCLI_WITH_JAVA=ON -DOTPCLI_WITH_PAM=ON >/dev/null
cmake --build --preset default
ctest --preset default
