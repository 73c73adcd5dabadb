#!/bin/sh
# Two hosts joined by one cable, for displays that talk to each other: two network namespaces
# of this run, linked by a veth pair, 10.99.0.1/24 in the first ("server") and 10.99.0.2/24
# in the second. The command runs in the second; ORVANE_SERVER_NETNS names the first, where
# the command may start the server display with `ip netns exec`. Nothing else is in either
# namespace, so no packet can reach a real network. Both are removed however the command
# ends. Needs root (CI runs as root).
set -eu
server="orvane-srv-$$"
client="orvane-cli-$$"

cleanup() {
    ip netns del "$server" 2>/dev/null || true
    ip netns del "$client" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$server"
ip netns add "$client"
ip -n "$server" link add va type veth peer name vb netns "$client"
ip -n "$server" addr add 10.99.0.1/24 dev va
ip -n "$client" addr add 10.99.0.2/24 dev vb
ip -n "$server" link set lo up
ip -n "$client" link set lo up
ip -n "$server" link set va up
ip -n "$client" link set vb up

ORVANE_SERVER_NETNS="$server" ip netns exec "$client" "$@"
