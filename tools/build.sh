#!/usr/bin/env bash
# Builds Telvo. Targets (any of them; default native windows):
#   native   portable core, tests and fuzzer with clang, AddressSanitizer and UBSan  -> build/native
#   windows  TelvoServer, TelvoClient and their tests with MinGW-w64               -> build/windows
#   bench    the benchmarks, optimised, without sanitizers                         -> build/bench
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
[ $# -gt 0 ] || set -- native windows
for target in "$@"; do
    case "$target" in
        native)
            CC=clang CXX=clang++ cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo \
                -DTELVO_SANITIZE=ON -DTELVO_FUZZ=ON >/dev/null ;;
        windows)
            cmake -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
                -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake >/dev/null ;;
        bench)
            cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTELVO_TESTS=OFF \
                -DTELVO_BENCH=ON >/dev/null ;;
        *) echo "unknown target: $target" >&2; exit 2 ;;
    esac
    echo "== building $target" >&2
    cmake --build "build/$target" -j "$jobs"
done
