#!/usr/bin/env bash
# Runs a command in a private network namespace of its own: only loopback, with the multicast
# range routed to it, so that nothing a test, benchmark or demo sends can leave this computer.
# The wineserver must be started inside too: it owns the sockets of Windows programs. Needs root.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
exec unshare --net -- bash -c '
    set -e
    ip link set lo up
    ip route add 224.0.0.0/4 dev lo src 127.0.0.1
    export TELVO_TEST_NETNS=1
    exec "$@"' netns "$@"
