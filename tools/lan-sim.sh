#!/usr/bin/env bash
# A LAN of the project's own test hosts on this computer, to see what a real network does to the
# broadcast: one sender host and three viewer hosts in network namespaces of their own, joined by
# veth pairs (Ethernet MTU 1500, so each 32800-byte datagram travels as 23 IP fragments) to a
# switch that drops and reorders the fragments bound for each viewer independently (the project's
# user-space lossy switch: this kernel has no netem).
# Nothing here touches this computer's real interfaces; the hosts use the benchmarking range
# 198.18.0.0/15. The sender is the project's test-picture sender, the viewers its command-line
# listener: the same packetizer, pacing, receiver and reassembly as the programs.
#
# Usage: tools/lan-sim.sh [--pictures N] [--interval-ms MS] [--losses "0 0.1 1"]
#                         [--cases "table still changing"] [--quick]
# table: per screen size, compression and loss, the share of pictures each viewer completed
# against the share the protocol allows without reusing fragments, (1 - p)^k for the k IP
# fragments of a picture.
# still: a still 1920 x 1080 screen (each picture sent 8 times, then the next one), at 1 % and
# 0.1 % loss: the share of each repeat shown against the theory with reuse after n repeats,
# prod over datagrams i of (1 - q_i^n), q_i = 1 - (1 - p)^(IP fragments of datagram i).
# changing: a new picture every time, at 1 % and 0.1 % loss.
# still and changing also compare every picture shown, byte for byte, with the pictures sent: each
# must be one of them, and none older than the one shown before it.
# --quick: one small case, and exit 1 unless every viewer completes every picture (for CI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

pictures=60
interval=250
losses="0 0.1 1"
cases="table still changing"
quick=0
while [ $# -gt 0 ]; do
    case "$1" in
        --pictures) pictures=$2; shift 2 ;;
        --interval-ms) interval=$2; shift 2 ;;
        --losses) losses=$2; shift 2 ;;
        --cases) cases=$2; shift 2 ;;
        --quick) quick=1; pictures=10; losses="0"; cases=table; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
[ "$(id -u)" = 0 ] || { echo "needs root (network namespaces)" >&2; exit 2; }
tools/install-deps.sh
tools/build.sh native >/dev/null
bin=build/native/tools

tag="tlv$$"
switch="$tag-sw"
hosts=("$tag-s" "$tag-v1" "$tag-v2" "$tag-v3")
cleanup() {
    for ns in "${hosts[@]}" "$switch"; do ip netns del "$ns" 2>/dev/null || true; done
}
trap cleanup EXIT

ip netns add "$switch"
ip -n "$switch" link set lo up
address=1
for ns in "${hosts[@]}"; do
    ip netns add "$ns"
    ip link add name "$ns-a" type veth peer name "$ns-b"
    ip link set "$ns-a" netns "$ns"
    ip link set "$ns-b" netns "$switch"
    ip -n "$ns" link set "$ns-a" name eth0
    ip -n "$ns" link set eth0 mtu 1500 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "198.18.0.$address/24" dev eth0
    ip -n "$ns" route add 224.0.0.0/4 dev eth0
    # Linux keeps at most 4 MB of datagrams waiting for missing fragments, where Windows allows
    # hundreds of megabytes; under loss the small limit would drop whole pictures that have no
    # loss of their own. Give the hosts a Windows-like limit.
    ip netns exec "$ns" sysctl -qw net.ipv4.ipfrag_high_thresh=268435456
    ip -n "$switch" link set "$ns-b" mtu 1500 up
    address=$((address + 1))
done
# Links of 1 Gbit/s: frames leave the sender and the switch at the pace of a real wire, and a
# full queue makes the sender wait as a real network card does.
link_rate() {  # namespace device
    tc -n "$1" qdisc add dev "$2" root handle 1: htb default 1
    tc -n "$1" class add dev "$2" parent 1: classid 1:1 htb rate 1gbit quantum 60000
}
link_rate "${hosts[0]}" eth0
# NOTE: a veth leaves the checksum of a small datagram for the card to fill in; the user-space
# switch passes the frame on as it is, so the sender must compute its checksums itself.
ip netns exec "${hosts[0]}" ethtool -K eth0 tx off >/dev/null
for viewer in 1 2 3; do link_rate "$switch" "${hosts[$viewer]}-b"; done

# The IP fragments of each datagram of picture `seed` (default 0) as the sender tool sends it, one
# line each (UDP header 8, IP payload 1480).
datagram_packets() {  # width height compress(0/1) [seed]
    local flag=""; [ "$3" = 1 ] || flag="--uncompressed"
    "$bin/telvo_send_pictures" --count 1 --first "${4:-0}" --width "$1" --height "$2" $flag \
        --dry-run 2>/dev/null | awk '/^datagram/ { print int(($2 + 8 + 1479) / 1480) }'
}

# In memory where there is room: a viewer that saves each picture to a slow disk inside its
# notification would stall its receive thread and lose pictures that the network delivered.
work=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'cleanup; rm -rf "$work"' EXIT

# Runs one broadcast through the switch; leaves each viewer's output in $work/v<n>.log and, with
# a save folder, the pictures sent in $work/sent and those shown in $work/v<n>.
simulate() {  # width height compress loss% count repeat save(0/1)
    local width=$1 height=$2 compress=$3 loss=$4 count=$5 repeat=$6 save=$7 flag=""
    [ "$compress" = 1 ] || flag="--uncompressed"
    rm -rf "${work:?}"/*
    local switchLog="$work/switch.log"
    ip netns exec "$switch" "$bin/telvo_lossy_switch" --loss-percent "$loss" --reorder-percent 1 \
        "${hosts[0]}-b" "${hosts[1]}-b" "${hosts[2]}-b" "${hosts[3]}-b" >"$switchLog" 2>&1 &
    local switchPid=$!
    for _ in $(seq 1 250); do grep -q '^switching' "$switchLog" && break; sleep 0.02; done
    local listeners=() sendSave=() viewer
    for viewer in 1 2 3; do
        local viewSave=()
        if [ "$save" = 1 ]; then mkdir -p "$work/v$viewer"; viewSave=(--save-dir "$work/v$viewer"); fi
        ip netns exec "${hosts[$viewer]}" "$bin/telvo_listen" --channel 1 "${viewSave[@]}" \
            --seconds $((count * interval / 1000 + 15)) --count "$count" >"$work/v$viewer.log" 2>&1 &
        listeners+=($!)
    done
    for viewer in 1 2 3; do
        for _ in $(seq 1 250); do grep -q '^listening' "$work/v$viewer.log" && break; sleep 0.02; done
    done
    if [ "$save" = 1 ]; then mkdir -p "$work/sent"; sendSave=(--save-dir "$work/sent"); fi
    ip netns exec "${hosts[0]}" "$bin/telvo_send_pictures" --channel 1 --count "$count" \
        --repeat "$repeat" --interval-ms "$interval" --width "$width" --height "$height" $flag \
        "${sendSave[@]}" >/dev/null
    sleep 2
    kill "$switchPid" 2>/dev/null || true
    kill "${listeners[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
}

# Pictures that viewer <n> showed that were not sent, or older than the one shown before, out of
# the pictures it showed.
wrong_pictures() {  # viewer
    (cd "$work/sent" && md5sum Sent.*.bmp) | sed 's/ \*\?Sent\./ /; s/\.bmp$//' >"$work/sent.md5"
    (cd "$work/v$1" && md5sum No.*.bmp 2>/dev/null) | sed 's/ \*\?No\./ /; s/\.bmp$//' |
        sort -k2,2n | awk -v sent="$work/sent.md5" '
            BEGIN { while ((getline line < sent) > 0) { split(line, f, " "); at[f[1]] = f[2] } }
            { if (!($1 in at) || at[$1] < previous) wrong++; else previous = at[$1] }
            END { print (wrong + 0) "/" NR }'
}

percent() { awk -v g="$1" -v n="$2" 'BEGIN { printf "%5.1f%%", (n > 0 ? 100 * g / n : 0) }'; }

failed=0
run_case() {  # width height compress loss%
    local width=$1 height=$2 compress=$3 loss=$4 k theory
    simulate "$width" "$height" "$compress" "$loss" "$pictures" 1 0
    k=$(datagram_packets "$width" "$height" "$compress" | awk '{ k += $1 } END { print k }')
    theory=$(awk -v p="$loss" -v k="$k" 'BEGIN { printf "%.1f", 100 * (1 - p / 100) ^ k }')
    local line
    line=$(printf '%4dx%-4d %-12s loss %4s%%  k=%4d  theory %5s%%  viewers' "$width" "$height" \
        "$([ "$compress" = 1 ] && echo compressed || echo uncompressed)" "$loss" "$k" "$theory")
    for viewer in 1 2 3; do
        local got; got=$(grep -c '^No\.' "$work/v$viewer.log" || true)
        line+=" $(percent "$got" "$pictures")"
        [ "$quick" = 0 ] || [ "$got" = "$pictures" ] || failed=1
    done
    echo "$line"
}

# Theory with reuse after n repeats of the same picture, in percent.
reuse_theory() {  # loss% n width height
    datagram_packets "$3" "$4" 1 |
        awk -v p="$1" -v n="$2" 'BEGIN { t = 1 } { q = 1 - (1 - p / 100) ^ $1; t *= 1 - q ^ n }
            END { printf "%.1f", 100 * t }'
}

# A still screen: rounds of `repeat` sends of one picture. Shown share per repeat n vs theory.
run_still() {  # loss%
    local loss=$1 repeat=8 rounds=$((pictures / 8)) width=1920 height=1080
    [ "$rounds" -ge 1 ] || rounds=1
    local count=$((rounds * repeat))
    simulate "$width" "$height" 1 "$loss" "$count" "$repeat" 1
    echo "still ${width}x$height compressed, loss $loss%: $rounds rounds of $repeat repeats" \
        "(shown, and ratio to theory with reuse)"
    local n theories=() line
    for n in $(seq 1 "$repeat"); do theories+=("$(reuse_theory "$loss" "$n" "$width" "$height")"); done
    for n in 1 2 3 4 later; do
        local theory
        if [ "$n" = later ]; then
            theory=$(printf '%s\n' "${theories[@]:2}" | awk '{ s += $1 } END { printf "%.1f", s / NR }')
            line=$(printf '  repeat >=3  theory %5s%%' "$theory")
        else
            theory=${theories[$((n - 1))]}
            line=$(printf '  repeat %-4s theory %5s%%' "$n" "$theory")
        fi
        for viewer in 1 2 3; do
            local got total
            read -r got total < <(awk -v n="$n" -v r="$repeat" -v rounds="$rounds" '
                /^No\./ { i = substr($1, 4) % r + 1; if (n == "later" ? i >= 3 : i == n) g++ }
                END { print g + 0, (n == "later" ? rounds * (r - 2) : rounds) }' "$work/v$viewer.log")
            line+=" $(percent "$got" "$total")"
            line+=$(awk -v g="$got" -v t="$total" -v th="$theory" \
                'BEGIN { printf " (%.2f)", (th > 0 ? 100 * g / t / th : 0) }')
        done
        echo "$line"
    done
    echo "  wrong pictures: $(wrong_pictures 1) $(wrong_pictures 2) $(wrong_pictures 3)"
}

# A screen that changes every picture: completion vs theory without reuse, and no wrong picture.
run_changing() {  # loss%
    local loss=$1 width=1920 height=1080 k theory line
    simulate "$width" "$height" 1 "$loss" "$pictures" 1 1
    k=$(datagram_packets "$width" "$height" 1 | awk '{ k += $1 } END { print k }')
    theory=$(awk -v p="$loss" -v k="$k" 'BEGIN { printf "%.1f", 100 * (1 - p / 100) ^ k }')
    line="changing ${width}x$height compressed, loss $loss%: theory $theory%  viewers"
    for viewer in 1 2 3; do
        line+=" $(percent "$(grep -c '^No\.' "$work/v$viewer.log" || true)" "$pictures")"
    done
    echo "$line  wrong pictures: $(wrong_pictures 1) $(wrong_pictures 2) $(wrong_pictures 3)"
}

if [ "$quick" = 1 ]; then
    run_case 1024 768 1 0
    run_case 1024 768 0 0
fi
for case in $cases; do
    case "$case" in
        table)
            [ "$quick" = 1 ] && continue
            for size in "1024 768" "1920 1080"; do
                for compress in 1 0; do
                    for loss in $losses; do run_case $size "$compress" "$loss"; done
                done
            done ;;
        still) run_still 1; run_still 0.1 ;;
        changing) run_changing 1; run_changing 0.1 ;;
        *) echo "unknown case $case" >&2; exit 2 ;;
    esac
done
exit $failed
