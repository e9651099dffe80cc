#!/bin/sh
# Runs one command in a network namespace of its own with only loopback up, so that tests on the
# fixed motion-capture ports can run side by side without meeting each other's servers.
exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' run-in-own-network "$@"
