#!/usr/bin/env bash
# The README's TLS tunnel recipe on loopback: otpd behind the server end of a
# stunnel tunnel, otpcli (through the library) talking to the client end,
# which checks the service's certificate. Exits 77 (skipped) without stunnel4.
# Usage: tunnel_test.sh OTPD OTPCLI
set -euo pipefail
otpd=$1
otpcli=$2
if ! command -v stunnel4 >/dev/null || ! command -v openssl >/dev/null; then
    echo "tunnel test: stunnel4 or openssl is not installed (scripts/install-deps.sh test)"
    exit 77
fi

umask 077
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "tunnel test: $*" >&2
    for log in "$work"/*.log; do
        echo "--- $log" >&2
        cat "$log" >&2
    done
    exit 1
}

# Waits up to 5 s for a line matching pattern in file, while pid runs.
wait_for() {
    local file=$1 pattern=$2 pid=$3
    for _ in $(seq 1 100); do
        grep -q "$pattern" "$file" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# The service's certificate, for the name the client end checks.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj /CN=otpd.test -addext subjectAltName=DNS:otpd.test \
    -keyout "$work/otpd.key" -out "$work/otpd.crt" 2>/dev/null

site=TUNNEL
export OTPCLI_KEY='tunnel site key material'
printf '%s:%s\n' "$site" "$OTPCLI_KEY" >"$work/sites.conf"
"$otpd" --listen 127.0.0.1 --port 0 --config "$work/sites.conf" --outbox "$work/outbox" \
    >"$work/otpd.out" 2>"$work/otpd.log" &
pids+=($!)
wait_for "$work/otpd.out" '^listening' "${pids[-1]}" || fail "otpd did not start"
otpd_port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/otpd.out")

# Starts stunnel4 with the configuration body on stdin, on a free port tried
# at random (stunnel takes no port 0), which it leaves in $port. (Not run in a
# command substitution, so that the process lands in pids.)
start_stunnel() {
    local name=$1 body
    body=$(cat)
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        {
            printf 'foreground = yes\npid =\ndebug = info\n[otpd]\naccept = 127.0.0.1:%s\n' "$port"
            printf '%s\n' "$body"
        } >"$work/$name.conf"
        stunnel4 "$work/$name.conf" >"$work/$name.log" 2>&1 &
        local pid=$!
        if wait_for "$work/$name.log" 'bound to' "$pid"; then
            pids+=("$pid")
            return 0
        fi
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    return 1
}

# The service's end: TLS outside, otpd on loopback.
start_stunnel server <<EOF || fail "the server end did not start"
connect = 127.0.0.1:$otpd_port
cert = $work/otpd.crt
key = $work/otpd.key
EOF
tls_port=$port
# The application's end: the library connects to it on loopback.
start_stunnel client <<EOF || fail "the client end did not start"
client = yes
connect = 127.0.0.1:$tls_port
CAfile = $work/otpd.crt
verifyChain = yes
checkHost = otpd.test
EOF
local_port=$port
# A client end that expects another service's certificate.
start_stunnel wrong <<EOF || fail "the second client end did not start"
client = yes
connect = 127.0.0.1:$tls_port
CAfile = $work/otpd.crt
verifyChain = yes
checkHost = other.test
EOF
wrong_port=$port

request() {
    local port=$1
    shift
    "$otpcli" --hosts 127.0.0.1 --port "$port" --site "$site" --timeout 2 "$@" 2>&1 || true
}

person=8505031234565
[ "$(request "$local_port" join "$person")" = 0000 ] || fail "join through the tunnel"
[ "$(request "$local_port" issue "$person" --code SMS --value 01012345678)" = 0000 ] ||
    fail "issue through the tunnel"
otp=$(tail -n 1 "$work/outbox" | cut -f 1)
[ "$(request "$local_port" auth "$person" --otp "$otp")" = 0000 ] ||
    fail "auth through the tunnel"
requests=$(grep -c ' -> ' "$work/otpd.log")
[ "$requests" -eq 3 ] || fail "otpd answered $requests requests, not 3"

# Plain text to the TLS end, and a client end that does not trust the
# certificate's name: neither request reaches otpd.
out=$(request "$tls_port" join "$person")
[ "${out%% *}" != 0000 ] && [ "${out%% *}" != S102 ] || fail "plain text passed the TLS end: $out"
out=$(request "$wrong_port" join "$person")
[ "${out%% *}" != 0000 ] && [ "${out%% *}" != S102 ] || fail "an unverified service was used: $out"
requests=$(grep -c ' -> ' "$work/otpd.log")
[ "$requests" -eq 3 ] || fail "otpd answered $requests requests, not 3"
grep -q 'certificate\|Certificate' "$work/wrong.log" || fail "the wrong end gave no reason"
echo "tunnel test: three requests through the tunnel, two refused outside it"
