#!/usr/bin/env bash
# Installs the Debian packages a job needs, only those that are missing.
# Usage: scripts/install-deps.sh GROUP...   (groups: build test tools bench fuzz lint windows python java pam)
set -euo pipefail

packages=()
for group in "$@"; do
    case "$group" in
        build) packages+=(cmake ninja-build g++ pkg-config) ;;
        test) packages+=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libssl-dev valgrind stunnel4 openssl) ;;
        tools) packages+=(libasio-dev libcli11-dev libsqlite3-dev) ;;
        bench) packages+=(libbenchmark-dev libssl-dev) ;;
        fuzz) packages+=(clang libclang-rt-14-dev) ;;
        lint) packages+=(clang-format clang-tidy) ;;
        pam) packages+=(libpam0g-dev libpam-wrapper) ;;
        windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64) ;;
        python) packages+=(python3 python3-dev python3-pytest) ;;
        java) packages+=(openjdk-17-jdk-headless junit5) ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
