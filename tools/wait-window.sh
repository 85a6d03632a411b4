#!/usr/bin/env bash
# Prints the first window whose name matches PATTERN, waiting up to SECONDS (default 60) for it.
# Polls rather than `xdotool search --sync`: a window that goes while xdotool reads it (a tooltip,
# a box closing) makes xdotool fail with BadWindow, which would end the caller by chance.
# Usage: tools/wait-window.sh [--onlyvisible] PATTERN [SECONDS]
set -uo pipefail
visible=()
[ "${1:-}" = --onlyvisible ] && { visible=(--onlyvisible); shift; }
pattern=${1:?usage: $0 [--onlyvisible] PATTERN [SECONDS]}
end=$(( $(date +%s) + ${2:-60} ))
while [ "$(date +%s)" -lt "$end" ]; do
    window=$(xdotool search "${visible[@]}" --name "$pattern" 2>/dev/null | head -n 1)
    [ -n "$window" ] && { echo "$window"; exit 0; }
    sleep 0.2
done
echo "no window named like '$pattern' within ${2:-60} s" >&2
exit 1
