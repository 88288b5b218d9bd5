#!/usr/bin/env bash
# Runs the test programs of the default build under valgrind's memcheck: an
# invalid read or write, a use of uninitialised memory or a definite leak fails
# the run, as does a failing test. Child processes (otpd) run natively.
# Usage: scripts/valgrind.sh [--subset]
#   --subset  what CI runs: everything but the end-to-end tools tests, the timed
#             transport tests and the hostile-service cases, which spend most of
#             their time waiting on purpose.
set -euo pipefail
cd "$(dirname "$0")/.."

subset=0
[ "${1:-}" = "--subset" ] && subset=1

scripts/install-deps.sh build test tools
cmake --preset default >/dev/null
cmake --build --preset default

build=build/default
logs="$build/valgrind"
rm -rf "$logs"
mkdir -p "$logs"
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
    --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect
    --child-silent-after-fork=yes --num-callers=30 --fair-sched=yes
    --suppressions=scripts/valgrind.supp)

# name, then the command to run under memcheck, for ten minutes at most.
failed=()
run() {
    local name="$1"
    shift
    local start=$SECONDS
    if timeout --kill-after=10 600 "${memcheck[@]}" --log-file="$logs/$name.memcheck" "$@" \
        >"$logs/$name.out" 2>&1; then
        echo "valgrind: $name passed in $((SECONDS - start)) s"
    else
        echo "valgrind: $name FAILED in $((SECONDS - start)) s (see $logs/$name.*)"
        failed+=("$name")
    fi
}

for program in client/client_tests crypto/crypto_tests crypto/user_id_tests library/library_tests \
    library/c_interface_program requests/request_tests reliability/stress_tests \
    tools/otpd_unit_tests; do
    run "$(basename "$program")" "$build/tests/$program"
done
if [ $subset -eq 1 ]; then
    run reliability_tests "$build/tests/reliability/reliability_tests" \
        --gtest_filter=-HostileService.*
else
    run reliability_tests "$build/tests/reliability/reliability_tests"
fi
for replay in "$build"/fuzz/*_replay; do
    name="$(basename "$replay")"
    target="${name%_replay}"
    run "$name" "$replay" "fuzz/corpus/$target" "fuzz/regressions/$target"
done
# The PAM module, loaded by libpam, when it was built (its silent-service case
# only waits).
if [ -x "$build/pam/tests/pam_module_tests" ]; then
    run pam_module_tests "$build/pam/tests/pam_module_tests" --gtest_filter=-*Silent*
fi
if [ $subset -eq 0 ]; then
    run net_tests "$build/tests/net/net_tests"
    run tools_e2e_tests "$build/tests/tools/tools_e2e_tests"
fi

if [ ${#failed[@]} -gt 0 ]; then
    echo "valgrind: failed: ${failed[*]}" >&2
    exit 1
fi
