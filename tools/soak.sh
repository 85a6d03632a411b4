#!/usr/bin/env bash
# A long run of the real programs under Wine: TelvoServer at capture interval 0 and TelvoClient
# with continuous save every second. Every 10 seconds it samples both processes' memory, thread
# and file-descriptor counts and the viewer's picture number, checks every saved file as a
# bitmap (then deletes it, so a long run does not fill the disk), and at the end fails unless
# the counts stayed flat, no picture number went backwards and every file was a valid bitmap.
# Usage: tools/soak.sh [--minutes 30]   (inside an environment from tools/wine-env.sh it uses
# that one; otherwise it makes its own in a private network namespace). Needs root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
minutes=30
[ "${1:-}" = --minutes ] && minutes=$2

if [ -z "${WINE_ENV_STATE:-}" ]; then
    if [ "${TELVO_TEST_NETNS:-}" != 1 ]; then
        tools/install-deps.sh
        tools/build.sh windows >/dev/null
        exec tools/netns.sh "$0" --minutes "$minutes"
    fi
    eval "$(tools/wine-env.sh start)"
    trap 'tools/wine-env.sh stop' EXIT
fi

soak=$root/out/soak
rm -rf "$soak"
mkdir -p "$soak/server" "$soak/client" "$soak/shots"
cp build/windows/sender/TelvoServer.exe "$soak/server/"
cp build/windows/viewer/TelvoClient.exe "$soak/client/"
printf '[TelvoServer]\r\nCaptureInterval=0\r\n' >"$soak/server/TelvoServer.ini"
printf '[TelvoClient]\r\nChannel=1\r\nSaveDir=Z:%s\r\nSaveInterval=1\r\n' \
    "$(echo "$soak/shots" | tr / '\\')" >"$soak/client/TelvoClient.ini"

(cd "$soak/server" && exec "$WINE" TelvoServer.exe) >/dev/null 2>&1 &
server_pid=$!
dialog=$(tools/wait-window.sh --onlyvisible '^配信設定$')
xdotool mousemove --window "$dialog" 20 20 click 1 key Return
(cd "$soak/client" && exec "$WINE" TelvoClient.exe) >/dev/null 2>&1 &
client_pid=$!
viewer=$(tools/wait-window.sh 'TelvoClient - Channel 1 \[No\.[1-9]')
xdotool mousemove --window "$viewer" 60 60 click 1 key F7
tools/wait-window.sh '連続保存中' 30 >/dev/null

# NOTE: by process id, not by name: other runs on this computer (the process ids are not private
# to the network namespace) may have programs of the same name.
sample() {  # process id: "rss_kB threads fds"
    local pid=$1
    [ -d "/proc/$pid" ] || { echo "0 0 0"; return; }
    echo "$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status") \
$(awk '/^Threads/ { print $2 }' "/proc/$pid/status") $(ls "/proc/$pid/fd" | wc -l)"
}
check_files() {  # checks and deletes every saved file but the newest
    local file format
    for file in $(ls "$soak/shots"/P_*.bmp 2>/dev/null | sort | head -n -1); do
        # An uncompressed bitmap (BMP3: the 40-byte info header), 8 bits a channel, no alpha.
        format=$(identify -format '%m %z %[channels] %wx%h' "$file" 2>/dev/null || true)
        if [ "$format" != "BMP3 8 srgb $screen" ]; then
            echo "not a 24-bit $screen bitmap ($format): $file" >&2
            cp "$file" "$soak/"
            failures=$((failures + 1))
        fi
        rm -f "$file"
        files=$((files + 1))
    done
}

failures=0 files=0 last=0 first_server="" first_client=""
screen=$(xdpyinfo | sed -n 's/ *dimensions: *\([0-9x]*\) pixels.*/\1/p')
end=$(( $(date +%s) + minutes * 60 ))
printf '%8s  %-24s %-24s %s\n' time "TelvoServer rss/thr/fds" "TelvoClient rss/thr/fds" picture
while [ "$(date +%s)" -lt "$end" ]; do
    sleep 10
    server=$(sample "$server_pid") client=$(sample "$client_pid")
    title=$(xdotool getwindowname "$viewer")
    number=$(echo "$title" | sed -n 's/.*\[No\.\([0-9]*\)\].*/\1/p')
    if [ "${number:-0}" -lt "$last" ]; then
        echo "picture number went back from $last to $number" >&2; failures=$((failures + 1))
    fi
    last=${number:-0}
    case "$title" in *連続保存中*) ;; *) echo "continuous save stopped" >&2; failures=$((failures + 1)) ;; esac
    check_files
    [ -n "$first_server" ] || { first_server=$server; first_client=$client; }
    printf '%7ss  %-24s %-24s No.%s\n' "$(( minutes * 60 - (end - $(date +%s)) ))" \
        "${server// //}" "${client// //}" "$number"
done

flat() {  # name first last: memory within 20 MB, threads within 2, descriptors within 8
    read -r rss1 threads1 fds1 <<<"$2"; read -r rss2 threads2 fds2 <<<"$3"
    if [ $((rss2 - rss1)) -gt 20480 ] || [ $((threads2 - threads1)) -gt 2 ] ||
       [ $((fds2 - fds1)) -gt 8 ]; then
        echo "$1 grew: from $2 to $3 (rss kB, threads, fds)" >&2; failures=$((failures + 1))
    fi
}
flat TelvoServer "$first_server" "$server"
flat TelvoClient "$first_client" "$client"
echo "soak: $minutes min, last picture No.$last, $files saved files checked, $failures failures"
[ "$failures" = 0 ] && [ "$files" -gt 0 ]
