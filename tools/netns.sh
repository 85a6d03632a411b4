#!/usr/bin/env bash
# Runs a command in a private network namespace of its own: only loopback, with the multicast
# range routed to it, so that nothing a test, benchmark or demo sends can leave this computer.
# The wineserver must be started inside too: it owns the sockets of Windows programs. Needs root.
#
# The namespace has private mounts as well, with a folder that holds 1 MB only (a full disk for the
# tests that save pictures), named by TELVO_TEST_SMALL_FOLDER; it goes with the namespace.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
exec unshare --net --mount --propagation private -- bash -c '
    set -e
    ip link set lo up
    ip route add 224.0.0.0/4 dev lo src 127.0.0.1
    export TELVO_TEST_NETNS=1
    small=$(mktemp -d /tmp/telvo-small.XXXXXX)
    mount -t tmpfs -o size=1m telvo-small "$small"
    export TELVO_TEST_SMALL_FOLDER=$small
    set +e
    "$@"
    status=$?
    umount "$small" && rmdir "$small"
    exit $status' netns "$@"
