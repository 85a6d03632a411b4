#!/usr/bin/env bash
# Builds everything and runs every test: the format check, the native tests under
# AddressSanitizer/UBSan, bounded fuzz runs (about a minute in all), the Windows build's tests
# under Wine in a headless X server, a short soak of the real programs and a short run of the
# simulated LAN. Everything that touches the network runs in a private network namespace. Needs
# root.
#
# tools/test.sh --repeat N runs the native and Wine suites N times (fuzzing once) and prints, per
# test, how often it failed of how often it ran (portable tests run natively and under Wine): a
# flake check.
#
# Ends with one line "tests: N passed, N failed"; exits non-zero when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

repeat=1
if [ "${1:-}" = --repeat ]; then
    repeat=${2:?usage: tools/test.sh [--repeat N]}
    shift 2
fi

if [ "${1:-}" != --inside ]; then
    tools/install-deps.sh || exit 1
    tools/build.sh native windows || exit 1
    exec tools/netns.sh "$0" --inside "$repeat"
fi
repeat=${2:-1}

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0

extra_passed=0 extra_failed=0
check() {  # name command...: one more test, run as it stands
    echo "== $1"
    if "${@:2}"; then extra_passed=$((extra_passed + 1)); else extra_failed=$((extra_failed + 1)); fi
}

check "every C++ file formatted by .clang-format" tools/check-format.sh

echo "== fuzzing"
ctest --test-dir build/native -L fuzz -V --timeout 600 >"$logs/fuzz.out" 2>&1 || status=1
# libFuzzer's last status line of each target: "#runs DONE cov: <edges> ft: <features> ...".
awk '/Test command:/ { n = split($4, part, "/"); name = part[n] }
     /DONE|ERROR|SUMMARY/ { sub(/^[0-9]+: /, ""); print name ": " $0 }' "$logs/fuzz.out"
grep "tests passed" "$logs/fuzz.out" >"$logs/fuzz.txt"

wine_env=""
if env_lines=$(tools/wine-env.sh start); then
    eval "$env_lines"
    wine_env=1
else
    echo "could not start Wine" >&2
    extra_failed=$((extra_failed + 1))
fi
for run in $(seq 1 "$repeat"); do
    echo "== native tests (ASan/UBSan), run $run of $repeat"
    ctest --test-dir build/native -LE fuzz --output-on-failure -j 2 --timeout 600 2>&1 |
        tee "$logs/native-$run.txt" || status=1
    if [ -n "$wine_env" ]; then
        echo "== Windows tests under Wine, run $run of $repeat"
        ctest --test-dir build/windows --output-on-failure --timeout 600 2>&1 |
            tee "$logs/windows-$run.txt" || status=1
    fi
done
if [ -n "$wine_env" ]; then
    check "soak of the real programs (1 minute)" tools/soak.sh --minutes 1
    tools/wine-env.sh stop
fi
check "simulated LAN, no loss" tools/lan-sim.sh --quick

if [ "$repeat" -gt 1 ]; then
    echo "== failures per test in $repeat runs"
    cat "$logs"/native-*.txt "$logs"/windows-*.txt |
        sed -n 's/.*Test *#[0-9]*: \([^ ]*\) .*\(Passed\|Failed\|Timeout\|Exception\).*/\1 \2/p' |
        awk '{ seen[$1]++; if ($2 != "Passed") failed[$1]++ }
             END { for (t in seen) printf "%-90s %d/%d\n", t, failed[t] + 0, seen[t] }' | sort
fi

# ctest says "NN% tests passed, F tests failed out of T" for each run.
read -r passed failed < <(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' \
    "$logs"/*.txt | awk '{ f += $1; t += $2 } END { print t - f, f }')
passed=$((${passed:-0} + extra_passed)) failed=$((${failed:-0} + extra_failed))
echo "tests: ${passed:-0} passed, ${failed:-0} failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
