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
# Usage: tools/lan-sim.sh [--pictures N] [--interval-ms MS] [--losses "0 0.1 1"] [--quick]
# Prints, per screen size, compression and loss, the share of pictures each viewer completed
# against the share the protocol allows, (1 - p)^k for the k IP fragments of a picture.
# --quick: one small case, and exit 1 unless every viewer completes every picture (for CI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

pictures=60
interval=250
losses="0 0.1 1"
quick=0
while [ $# -gt 0 ]; do
    case "$1" in
        --pictures) pictures=$2; shift 2 ;;
        --interval-ms) interval=$2; shift 2 ;;
        --losses) losses=$2; shift 2 ;;
        --quick) quick=1; pictures=10; losses="0"; shift ;;
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

# The IP fragments of one picture as the sender tool sends it (UDP header 8, IP payload 1480).
fragments_per_picture() {  # width height compress(0/1)
    local flag=""; [ "$3" = 1 ] || flag="--uncompressed"
    "$bin/telvo_send_pictures" --count 1 --width "$1" --height "$2" $flag --dry-run 2>/dev/null |
        awk '/^datagram/ { k += int(($2 + 8 + 1479) / 1480) } END { print k }'
}

failed=0
run_case() {  # width height compress loss%
    local width=$1 height=$2 compress=$3 loss=$4 flag="" k theory
    [ "$compress" = 1 ] || flag="--uncompressed"
    local switchLog; switchLog=$(mktemp)
    ip netns exec "$switch" "$bin/telvo_lossy_switch" --loss-percent "$loss" --reorder-percent 1 \
        "${hosts[0]}-b" "${hosts[1]}-b" "${hosts[2]}-b" "${hosts[3]}-b" >"$switchLog" 2>&1 &
    local switchPid=$!
    for _ in $(seq 1 250); do grep -q '^switching' "$switchLog" && break; sleep 0.02; done
    rm -f "$switchLog"
    local logs=() listeners=()
    for viewer in 1 2 3; do
        local log; log=$(mktemp)
        logs+=("$log")
        ip netns exec "${hosts[$viewer]}" "$bin/telvo_listen" --channel 1 \
            --seconds $((pictures * interval / 1000 + 15)) --count "$pictures" >"$log" 2>&1 &
        listeners+=($!)
    done
    for log in "${logs[@]}"; do
        for _ in $(seq 1 250); do grep -q '^listening' "$log" && break; sleep 0.02; done
    done
    ip netns exec "${hosts[0]}" "$bin/telvo_send_pictures" --channel 1 --count "$pictures" \
        --interval-ms "$interval" --width "$width" --height "$height" $flag >/dev/null
    sleep 2
    kill "$switchPid" 2>/dev/null || true
    kill "${listeners[@]}" 2>/dev/null || true
    wait 2>/dev/null || true
    k=$(fragments_per_picture "$width" "$height" "$compress")
    theory=$(awk -v p="$loss" -v k="$k" 'BEGIN { printf "%.1f", 100 * (1 - p / 100) ^ k }')
    local line
    line=$(printf '%4dx%-4d %-12s loss %4s%%  k=%4d  theory %5s%%  viewers' "$width" "$height" \
        "$([ "$compress" = 1 ] && echo compressed || echo uncompressed)" "$loss" "$k" "$theory")
    for log in "${logs[@]}"; do
        local got; got=$(grep -c '^No\.' "$log" || true)
        line+=$(printf ' %5.1f%%' "$(awk -v g="$got" -v n="$pictures" 'BEGIN { print 100 * g / n }')")
        [ "$quick" = 0 ] || [ "$got" = "$pictures" ] || failed=1
        rm -f "$log"
    done
    echo "$line"
}

if [ "$quick" = 1 ]; then
    run_case 1024 768 1 0
    run_case 1024 768 0 0
else
    for size in "1024 768" "1920 1080"; do
        for compress in 1 0; do
            for loss in $losses; do run_case $size "$compress" "$loss"; done
        done
    done
fi
exit $failed
