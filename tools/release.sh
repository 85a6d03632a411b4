#!/usr/bin/env bash
# Builds the release for Windows: out/Telvo-<version>/ with TelvoServer.exe, TelvoClient.exe, a
# Japanese README for teachers and the two firewall scripts an administrator runs once per
# computer, and out/Telvo-<version>.zip of that folder. The programs are linked statically and
# need nothing else on Windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
# Its own build without the tests: the programs carry no test seam.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTELVO_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake >/dev/null
cmake --build build/release -j "$(nproc)" --target TelvoServer TelvoClient >/dev/null
version=$(sed -n 's/^project(Telvo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
folder="out/Telvo-$version"
rm -rf "$folder" "$folder.zip"
mkdir -p "$folder"
cp build/release/sender/TelvoServer.exe build/release/viewer/TelvoClient.exe "$folder/"
x86_64-w64-mingw32-strip "$folder"/*.exe
cp docs/README-ja.txt "$folder/README.txt"
# cmd.exe reads a batch file in the console's code page: 932 on a Japanese Windows.
for script in docs/firewall/*.cmd; do
    iconv -f UTF-8 -t CP932 "$script" | sed 's/$/\r/' >"$folder/$(basename "$script")"
done
(cd out && zip -qr "Telvo-$version.zip" "Telvo-$version")
echo "$folder.zip"
