#!/bin/sh
# A studio plant in network namespaces of this run: a switch (a Linux bridge with IGMP snooping
# and a querier, in a namespace of its own) and on it a main server 10.77.0.1, a backup server
# 10.77.0.2, ORVANE_PLANT_CLIENTS client hosts (32 unless given) from 10.77.0.10 on, an
# outsider 10.77.0.200 that listens to another group, and the probe 10.77.0.250 where the
# command runs. ORVANE_PLANT_NETNS is the prefix of the hosts' namespaces (PREFIX-main,
# PREFIX-backup, PREFIX-c1 ..., PREFIX-outsider), where the command may start displays with
# `ip netns exec`. Nothing else is in any namespace, so no packet can reach a real network.
# Everything is removed however the command ends. Needs root (CI runs as root).
set -eu
prefix="orvane-plant-$$"
clients="${ORVANE_PLANT_CLIENTS:-32}"
hosts="main:1 backup:2 outsider:200 probe:250"
i=1
while [ "$i" -le "$clients" ]; do
    hosts="$hosts c$i:$((9 + i))"
    i=$((i + 1))
done

cleanup() {
    for entry in $hosts; do
        ip netns del "$prefix-${entry%%:*}" 2>/dev/null || true
    done
    ip netns del "$prefix-sw" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$prefix-sw"
ip netns exec "$prefix-sw" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
ip -n "$prefix-sw" link add br0 type bridge mcast_snooping 1 mcast_querier 1
ip -n "$prefix-sw" link set br0 up
n=0
for entry in $hosts; do
    name="${entry%%:*}"
    ns="$prefix-$name"
    n=$((n + 1))
    ip netns add "$ns"
    # IPv4 only: no link-local addresses, and no IPv6 chatter on the links counted below.
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$prefix-sw" link add "p$n" type veth peer name eth0 netns "$ns"
    ip -n "$prefix-sw" link set "p$n" master br0
    ip -n "$prefix-sw" link set "p$n" up
    ip -n "$ns" addr add "10.77.0.${entry##*:}/24" dev eth0
    ip -n "$ns" link set lo up
    ip -n "$ns" link set eth0 up
done

ORVANE_PLANT_NETNS="$prefix" ip netns exec "$prefix-probe" "$@"
