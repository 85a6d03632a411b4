#!/usr/bin/env bash
# Runs the system on this computer: the real TelvoServer and TelvoClient under Wine, talking over
# multicast loopback inside a private network namespace (nothing leaves this computer). With a
# display ($DISPLAY) the windows appear there and the run ends when TelvoClient is closed;
# without one they run in a virtual X server, and the run ends after saving a screenshot of the
# live viewer. The sender's start-up dialog is confirmed for you. Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != --inside ]; then
    tools/install-deps.sh
    tools/build.sh windows >/dev/null
    exec tools/netns.sh "$0" --inside
fi

run=out/run
rm -rf "$run"
mkdir -p "$run/server" "$run/client"
cp build/windows/sender/TelvoServer.exe "$run/server/"
cp build/windows/viewer/TelvoClient.exe "$run/client/"
printf '[TelvoServer]\r\nCaptureInterval=1000\r\n' >"$run/server/TelvoServer.ini"

visible=0
options=(--size 1280x800x24)
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    visible=1
    options=(--display "$DISPLAY" --no-vdesktop)
fi
eval "$(tools/wine-env.sh start "${options[@]}")"
trap 'tools/wine-env.sh stop' EXIT

(cd "$run/server" && exec "$WINE" TelvoServer.exe) >/dev/null 2>&1 &
dialog=$(tools/wait-window.sh --onlyvisible '^配信設定$')
xdotool mousemove --window "$dialog" 20 20 click 1 key Return
echo "TelvoServer is broadcasting this screen on channel 1, a picture a second."

(cd "$run/client" && exec "$WINE" TelvoClient.exe) >/dev/null 2>&1 &
client=$!
tools/wait-window.sh 'TelvoClient - Channel 1 \[No\.[1-9]' >/dev/null
echo "TelvoClient shows it: $(xdotool getwindowname "$(tools/wait-window.sh 'TelvoClient - Channel')")"

if [ "$visible" = 1 ]; then
    echo "Close TelvoClient to end."
    wait "$client" || true
else
    sleep 3  # a few more pictures, so the viewer shows itself inside the picture
    import -window root "$run/viewer-live.png"
    echo "Screenshot of the live viewer: $root/$run/viewer-live.png"
fi
