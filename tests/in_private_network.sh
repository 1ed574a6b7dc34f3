#!/bin/sh
# Runs a test in a network namespace of its own, whose loopback link is up and the test's to
# take down and bring up again; TARVONI_OUTER_NETWORK names the namespace it was started in, so
# the test can tell it is not there. Where no namespace can be made (not root, no unshare or
# ip), the test runs as it is and skips what needs one.
# usage: in_private_network.sh <program> [arguments...]
if [ "${1-}" = --inside ]; then
    shift
    ip link set lo up || exit 1
    exec "$@"
fi
if command -v unshare >/dev/null && command -v ip >/dev/null && unshare -n -- true 2>/dev/null; then
    TARVONI_OUTER_NETWORK=$(readlink /proc/self/ns/net) exec unshare -n -- "$0" --inside "$@"
fi
exec "$@"
