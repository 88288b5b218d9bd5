#!/usr/bin/env bash
# Installs the default build into a temporary prefix and builds the example
# consumer against it twice: with find_package and with pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --preset default >/dev/null
cmake --build --preset default
cmake --install build/default --prefix "$work/prefix" >/dev/null

libdir=$(ls -d "$work"/prefix/lib*/ | head -n 1)
for mode in OFF ON; do
    PKG_CONFIG_PATH="$libdir/pkgconfig" cmake -S examples/consumer -B "$work/consumer-$mode" \
        -G Ninja -DUSE_PKG_CONFIG=$mode -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
    cmake --build "$work/consumer-$mode" >/dev/null
    LD_LIBRARY_PATH="$libdir" "$work/consumer-$mode/consumer"
done
# The installed tools run from the prefix.
"$work/prefix/bin/otpcli" hash abc | grep -qx a9993e364706816aba3e25717850c26c9cd0d89d
"$work/prefix/bin/otpd" --help >/dev/null
# The PAM module, when built, lands in the module folder and finds the library
# installed beside it.
if [ -f build/default/pam/pam_otpcli.so ]; then
    module="$libdir/security/pam_otpcli.so"
    [ -f "$module" ] || { echo "install check: $module missing" >&2; exit 1; }
    found=$(ldd "$module" | awk '/libotpcli\.so\.1/ {print $3}')
    [ -n "$found" ] && [ "$(realpath "$found")" = "$(realpath "$libdir/libotpcli.so.1")" ] ||
        { echo "install check: $module does not find the installed libotpcli.so.1" >&2; exit 1; }
fi
echo "install check: consumer built with find_package and with pkg-config; tools run"
