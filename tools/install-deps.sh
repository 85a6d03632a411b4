#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Telvo here needs. Idempotent:
# asks apt only for what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
    cmake make g++ clang libclang-rt-14-dev     # native build, sanitizers, libFuzzer
    clang-format git                             # the format check
    googletest libbenchmark-dev zlib1g-dev       # native tests, benchmarks, zlib
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev  # the Windows build
    wine64 xvfb xdotool x11-utils imagemagick zip # running the programs headless, the release
    fonts-ipafont-gothic locales                  # Japanese text under Wine
    iproute2 util-linux procps ethtool            # private network namespaces, the simulated LAN
    python3                                       # tools/wire_check.py (frame-rate.sh)
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
echo "installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
