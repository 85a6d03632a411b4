#!/usr/bin/env bash
# Builds everything and runs every test: the native tests under AddressSanitizer/UBSan, bounded
# fuzz runs of the reassembly and of the view's scaling, the Windows build's tests under Wine in a
# headless X server, a short soak of the real programs and a short run of the simulated LAN.
# Everything that touches the network runs in a private network namespace. Needs root.
# Ends with one line "tests: N passed, N failed"; exits non-zero when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != --inside ]; then
    tools/install-deps.sh || exit 1
    tools/build.sh native windows || exit 1
    exec tools/netns.sh "$0" --inside
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0

echo "== native tests (ASan/UBSan) and fuzzing"
ctest --test-dir build/native --output-on-failure -j 2 --timeout 600 2>&1 | tee "$logs/native.txt" || status=1

extra_passed=0 extra_failed=0
check() {  # name command...: one more test, run as it stands
    echo "== $1"
    if "${@:2}"; then extra_passed=$((extra_passed + 1)); else extra_failed=$((extra_failed + 1)); fi
}

check "every C++ file formatted by .clang-format" tools/check-format.sh

echo "== Windows tests under Wine"
if env_lines=$(tools/wine-env.sh start); then
    eval "$env_lines"
    ctest --test-dir build/windows --output-on-failure --timeout 600 2>&1 | tee "$logs/windows.txt" || status=1
    check "soak of the real programs (1 minute)" tools/soak.sh --minutes 1
    tools/wine-env.sh stop
else
    echo "could not start Wine" >&2
    status=1
fi
check "simulated LAN, no loss" tools/lan-sim.sh --quick

# ctest says "NN% tests passed, F tests failed out of T" for each run.
read -r passed failed < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' \
    "$logs"/*.txt | awk '{ f += $1; t += $2 } END { print t - f, f }')
passed=$((${passed:-0} + extra_passed)) failed=$((${failed:-0} + extra_failed))
[ "$failed" -eq 0 ] || status=1
echo "tests: ${passed:-0} passed, ${failed:-0} failed"
exit $status
