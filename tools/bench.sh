#!/usr/bin/env bash
# Builds and runs the benchmarks; each figure is printed as a ratio against its baseline measured
# in the same run: the transport natively (packetizer vs compress2, also on 1, 2 and 4 threads,
# reassembly vs memset+memcpy and vs uncompress), the view's scaling natively (vs memcpy), then
# under Wine on a 1920 x 1080 screen the whole broadcast (loop overhead and completion at a
# receiver, the capture vs the capture as it was), the view's paint (vs one bare StretchDIBits,
# and the PSNR of reduced text) and the lag from a change on the screen to the viewer's paint
# with the real programs, also at 3840 x 2160. Needs root. Figures: bench/RESULTS.md; the real
# sender's frame rate: tools/frame-rate.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
tools/build.sh bench windows >/dev/null
echo "== transport (native)"
build/bench/bench/transport_bench "$@"
echo "== scaling in the view (native)"
build/bench/bench/scale_bench "$@"
echo "== broadcast and paint (Wine, 1920 x 1080)"
tools/netns.sh bash -c 'eval "$(tools/wine-env.sh start --size 1920x1080x24)"
    trap "tools/wine-env.sh stop" EXIT
    "$WINE" build/windows/bench/broadcast_bench.exe
    "$WINE" build/windows/bench/paint_bench.exe
    "$WINE" build/windows/bench/latency_bench.exe --interval 0
    "$WINE" build/windows/bench/latency_bench.exe --interval 1000'
echo "== lag from screen to viewer (Wine, 3840 x 2160)"
tools/netns.sh bash -c 'eval "$(tools/wine-env.sh start --size 3840x2160x24)"
    trap "tools/wine-env.sh stop" EXIT
    "$WINE" build/windows/bench/latency_bench.exe --interval 0'
