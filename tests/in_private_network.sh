#!/bin/sh
# Runs a test in a network namespace of its own, whose loopback link is up and the test's to
# take down and bring up again; TARVONI_OUTER_NETWORK names the namespace it was started in, so
# the test can tell it is not there. Its hosts file is the machine's, and names one more host,
# dual-stack.test, at both ::1 and 127.0.0.1: a station whose IPv6 the test may break. Where no
# namespace can be made (not root, no unshare or ip), the test runs as it is and skips what
# needs one.
# usage: in_private_network.sh <program> [arguments...]
if [ "${1-}" = --inside ] || [ "${1-}" = --inside-no-hosts ]; then
    where=$1
    shift
    ip link set lo up || exit 1
    if [ "$where" = --inside ]; then
        hosts=$(mktemp) || exit 1
        { cat /etc/hosts; printf '::1 dual-stack.test\n127.0.0.1 dual-stack.test\n'; } >"$hosts"
        mount --bind "$hosts" /etc/hosts || exit 1
        rm -f "$hosts"
    fi
    exec "$@"
fi
if command -v unshare >/dev/null && command -v ip >/dev/null; then
    outer=$(readlink /proc/self/ns/net)
    # Where no mount namespace may be made, the network's own all the same, without the host.
    if unshare -n -m -- true 2>/dev/null; then
        TARVONI_OUTER_NETWORK=$outer exec unshare -n -m -- "$0" --inside "$@"
    elif unshare -n -- true 2>/dev/null; then
        TARVONI_OUTER_NETWORK=$outer exec unshare -n -- "$0" --inside-no-hosts "$@"
    fi
fi
exec "$@"
