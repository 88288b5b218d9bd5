#!/usr/bin/env bash
# Installs the default build into a temporary prefix and builds the example
# consumers (C++ on the class, C on the C interface) against it twice: with
# find_package and with pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test tools python

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
    LD_LIBRARY_PATH="$libdir" "$work/consumer-$mode/consumer_c"
done
# The C header and the SONAME links are where a user looks for them.
test -f "$work/prefix/include/otpcli/otpcli_c.h"
test -L "$libdir/libotpcli.so.1"
# The installed tools run from the prefix.
"$work/prefix/bin/otpcli" hash abc | grep -qx a9993e364706816aba3e25717850c26c9cd0d89d
"$work/prefix/bin/otpd" --help >/dev/null
checked="tools run"
# The Python package, when it is built, imports from the prefix alone and finds
# the installed libotpcli through its run path.
if [ -d build/default/bindings/python/otpcli ]; then
    pydir=$(ls -d "$work"/prefix/lib/python3*/dist-packages | head -n 1)
    PYTHONPATH="$pydir" /usr/bin/python3 -s -c '
import sys, otpcli
assert otpcli.__file__.startswith(sys.argv[1]), otpcli.__file__
assert otpcli.hash_value("abc") == "a9993e364706816aba3e25717850c26c9cd0d89d"
' "$pydir"
    checked="$checked; the Python package imports from the prefix"
fi
# The Java binding, when it is built: the installed jar and JNI library load
# from the prefix (the JNI library finds libotpcli.so.1 through its run path).
if [ -e build/default/bindings/java/otpcli.jar ]; then
    cat >"$work/Probe.java" <<'EOF'
public class Probe {
    public static void main(String[] args) {
        System.out.println(org.otpcli.OtpClient.hashValue("abc"));
    }
}
EOF
    java -cp "$work/prefix/share/java/otpcli.jar" -Djava.library.path="$libdir/jni" \
        "$work/Probe.java" | grep -qx a9993e364706816aba3e25717850c26c9cd0d89d
    checked="$checked; the Java binding runs"
fi
# The PAM module, when built, lands in the module folder and finds the library
# installed beside it.
if [ -f build/default/pam/pam_otpcli.so ]; then
    module="$libdir/security/pam_otpcli.so"
    [ -f "$module" ] || { echo "install check: $module missing" >&2; exit 1; }
    found=$(ldd "$module" | awk '/libotpcli\.so\.1/ {print $3}')
    [ -n "$found" ] && [ "$(realpath "$found")" = "$(realpath "$libdir/libotpcli.so.1")" ] ||
        { echo "install check: $module does not find the installed libotpcli.so.1" >&2; exit 1; }
    checked="$checked; the PAM module finds the installed library"
fi
echo "install check: C++ and C consumers built with find_package and with pkg-config; $checked"
