#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them; each figure is printed as a ratio against the
# bare library call it is measured with, in the same run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
tools/build.sh bench >/dev/null
exec build/bench/bench/transport_bench "$@"
