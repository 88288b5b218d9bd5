#!/usr/bin/env bash
# Cross-builds the Windows DLL and its tests with mingw-w64 (preset "windows")
# and runs the tests under Wine, headless, in a Wine prefix of its own that is
# removed afterwards. The Wine server it starts is stopped whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build windows

work=$(mktemp -d)
export WINEPREFIX="$work/wine"
export WINEARCH=win64
# Quiet, except for modules that cannot be loaded (a missing DLL).
export WINEDEBUG=-all,err+module
# The prefix needs neither .NET nor the HTML engine: no offer to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap stop_wine EXIT

# The server and the prefix's own programs run past the commands that start
# them: with their output sent away they hold none of the caller's pipes open.
# Persistent, so that the server is not restarted between two test programs.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
echo "test-windows: creating a Wine prefix in $WINEPREFIX"
wine wineboot --init </dev/null >/dev/null 2>&1

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows
