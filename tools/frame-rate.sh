#!/usr/bin/env bash
# The real TelvoServer's frame rate under Wine: a 1920 x 1080 desktop showing a page of text (a
# viewer over the whole screen), CaptureInterval=0, and an independent receiver (telvo_listen, built
# natively) counting complete pictures on channel 1 for three runs of 10 s, then tools/wire_check.py
# inflating them with Python's zlib for 5 s. Everything runs in a
# private network namespace. Usage: tools/frame-rate.sh [--moving] [TelvoServer.exe of another
# build, as a Windows path]; with --moving a bar crosses the screen, so that every part of every
# picture changes and each is compressed whole. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh bench windows >/dev/null
moving=0
if [ "${1:-}" = --moving ]; then
    moving=1
    shift
fi
tools/netns.sh bash -c '
    eval "$(tools/wine-env.sh start --size 1920x1080x24)"
    trap "tools/wine-env.sh stop" EXIT
    server=()
    [ -n "$1" ] && server=(--server "$1")
    "$WINE" build/windows/bench/latency_bench.exe --scene 75 --moving "$2" "${server[@]}" &
    sleep 30  # the programs start and the broadcast settles
    for run in 1 2 3; do
        pictures=$(timeout 20 build/bench/tools/telvo_listen --channel 1 --seconds 10 |
            grep -c "^No\.") || true
        echo "run $run: $pictures complete pictures in 10 s"
    done
    python3 tools/wire_check.py --seconds 5
    wait' frame-rate "${1:-}" "$moving"
