#!/usr/bin/env bash
# Lists every C++ file of the tree that .clang-format would change; fails when there is one.
# With --fix, formats them instead.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
    if [ "${1:-}" = --fix ]; then
        clang-format -i "$file"
    elif ! clang-format "$file" | cmp -s - "$file"; then
        echo "not formatted: $file (tools/check-format.sh --fix)" >&2
        status=1
    fi
done < <(git ls-files '*.cpp' '*.h')
exit $status
