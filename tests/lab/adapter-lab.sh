#!/usr/bin/env bash
# A computer with two network adapters, for the tests of the real programs under Wine: in the
# current network namespace (the private one of tools/test.sh, where the wineserver runs) two veth
# adapters, each leading to a host of its own in a namespace of its own, with the multicast route
# of the test group on the first. Nothing here touches a real interface.
#   adapter 1: <tag>a1 198.18.1.1/24  <->  host <tag>-1 198.18.1.2
#   adapter 2: <tag>a2 198.18.2.1/24  <->  host <tag>-2 198.18.2.2
# Usage: adapter-lab.sh TAG up | down | del2 | add2
#        adapter-lab.sh TAG send HOST FIRST PORT     (test pictures from host 1 or 2, in the
#                                                      background, until "stop")
#        adapter-lab.sh TAG stop
#        adapter-lab.sh TAG probe PORT COUNT FILE    (on host 2: pictures and time-to-live of what
#                                                      arrives, into FILE; in the background)
# The senders and the probe are the native build's (build/native).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tools=$root/build/native/tools
tag=$1
command=$2
shift 2
pids=/tmp/$tag.pids

add_adapter() {  # n
    local host=$tag-$1
    ip link add "${tag}a$1" type veth peer name "${tag}b$1"
    ip link set "${tag}b$1" netns "$host"
    ip -n "$host" link set "${tag}b$1" name eth0
    ip -n "$host" link set eth0 up
    ip -n "$host" addr add "198.18.$1.2/24" dev eth0
    ip -n "$host" route add 224.0.0.0/4 dev eth0
    ip addr add "198.18.$1.1/24" dev "${tag}a$1"
    ip link set "${tag}a$1" up
}

case "$command" in
    up)
        for n in 1 2; do
            ip netns add "$tag-$n"
            ip -n "$tag-$n" link set lo up
            add_adapter "$n"
        done
        # The system's own choice for the group is the first adapter.
        ip route add 224.3.2.0/24 dev "${tag}a1"
        ;;
    del2) ip link del "${tag}a2" ;;
    add2) add_adapter 2 ;;
    send)
        ip netns exec "$tag-$1" "$tools/telvo_send_pictures" --first "$2" --base-port "$3" \
            --count 100000 --interval-ms 200 --width 160 --height 120 >/dev/null 2>&1 &
        echo $! >>"$pids"
        ;;
    probe)
        ip netns exec "$tag-2" "$tools/telvo_ttl_probe" 224.3.2.1 "$1" 198.18.2.2 "$2" \
            >"$3.part" 2>&1 && mv "$3.part" "$3" &
        ;;
    stop)
        if [ -f "$pids" ]; then
            while read -r pid; do kill "$pid" 2>/dev/null || true; done <"$pids"
            rm -f "$pids"
        fi
        ;;
    down)
        "$0" "$tag" stop
        ip link del "${tag}a1" 2>/dev/null || true
        ip link del "${tag}a2" 2>/dev/null || true
        for n in 1 2; do ip netns del "$tag-$n" 2>/dev/null || true; done
        ;;
    *) echo "unknown command $command" >&2; exit 2 ;;
esac
