#!/usr/bin/env bash
# Builds the library and its tools, starts the local stand-in service on
# loopback and walks through every operation with the command-line client.
# Prints one line per step and exits 0 only if every step gave what it should.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what the demo runs: the library and the two tools (the test command
# builds the rest), in the test command's build when there is one.
scripts/install-deps.sh build tools
preset=demo
[ -f build/default/build.ninja ] && preset=default
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target otpd otpcli_tool >/dev/null

bin=build/$preset/tools
work=$(mktemp -d)
otpd_pid=""
cleanup() {
    [ -n "$otpd_pid" ] && kill "$otpd_pid" 2>/dev/null && wait "$otpd_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

site=DEMO-SITE
export OTPCLI_KEY='demo site key material'
# The key goes to otpd in a file only its owner can read (printf is a shell
# builtin: the key never appears on a command line).
(umask 077 && printf '%s:%s\n' "$site" "$OTPCLI_KEY" >"$work/sites.conf")
"$bin/otpd/otpd" --listen 127.0.0.1 --port 0 --config "$work/sites.conf" \
    --outbox "$work/outbox" --state "$work/state" >"$work/otpd.out" 2>"$work/otpd.log" &
otpd_pid=$!
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/otpd.out")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { echo "demo: otpd did not start" >&2; cat "$work/otpd.log" >&2; exit 1; }
echo "otpd listening on 127.0.0.1:$port (site $site)"

subscriber=8505031234565
failures=0
# step NAME EXPECTED-CODE otpcli-arguments...
step() {
    local name=$1 want=$2
    shift 2
    local out
    out=$("$bin/otpcli/otpcli" --hosts 127.0.0.1 --port "$port" --site "$site" "$@" 2>&1) || true
    local code=${out%% *}
    local verdict=ok
    if [ "$code" != "$want" ]; then
        verdict="FAIL"
        out="$out (expected $want)"
        failures=$((failures + 1))
    fi
    printf '%-4s  %-28s %s\n' "$verdict" "$name" "$out"
}

step "join" 0000 join "$subscriber"
step "check" 0000 check "$subscriber" --code SMS --value 01012345678
step "additional-service check" 0000 addsvc-check --code SVC --value extra
step "issue" 0000 issue "$subscriber" --code SMS --value 01012345678
otp=$(tail -n 1 "$work/outbox" | cut -f 1)
wrong=$(printf '%0*d' "${#otp}" $(( (10#$otp + 1) % 1000000 )))
echo "  (OTP $otp delivered to the outbox)"
step "auth, wrong OTP $wrong" S103 auth "$subscriber" --otp "$wrong"
step "auth, right OTP $otp" 0000 auth "$subscriber" --otp "$otp"
step "reissue" 0000 reissue "$subscriber" --code SMS --value 01012345678
identity=$("$bin/otpcli/otpcli" hash "$subscriber")
step "reset error count (form 1)" 0000 init-auth-err "$identity" --form 1
step "close" 0000 close "$subscriber"
step "check after close" S101 check "$subscriber" --code SMS --value 01012345678

if [ "$failures" -ne 0 ]; then
    echo "demo: $failures step(s) failed; the service's log:"
    cat "$work/otpd.log"
    exit 1
fi
echo "demo: every step gave what it should"
