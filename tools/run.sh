#!/usr/bin/env bash
# Runs the system on this computer: a sender and a viewer talking over multicast loopback inside a
# private network namespace (nothing leaves this computer). For now the sender sends made-up
# desktop pictures and the viewer is the command-line listener, which prints each picture it
# puts back together. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != --inside ]; then
    tools/install-deps.sh
    tools/build.sh native >/dev/null
    exec tools/netns.sh "$0" --inside
fi

bin=build/native/tools
log=$(mktemp)
listener=""
trap '[ -z "$listener" ] || kill "$listener" 2>/dev/null || true; rm -f "$log"' EXIT
"$bin/telvo_listen" --channel 1 --count 5 --seconds 30 >"$log" 2>&1 &
listener=$!
for _ in $(seq 1 250); do
    grep -q '^listening' "$log" && break
    sleep 0.02
done
tail -f "$log" --pid "$listener" &
"$bin/telvo_send_pictures" --channel 1 --count 5 --interval-ms 1000 --width 1920 --height 1080
wait "$listener"
