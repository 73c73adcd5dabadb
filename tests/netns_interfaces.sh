#!/bin/sh
# Runs a command in a private network namespace whose interfaces carry known addresses, so that
# the interface list can be compared with them. The test sends nothing; the namespace and its
# interfaces vanish with the command.
#
#   lo    127.0.0.1/8, 127.0.1.1/8, ::1
#   orv0  192.168.1.20/24 and a long IPv6 address        (up)
#   orv1  10.99.0.2/24 and a short IPv6 address          (up)
#   orv2  10.98.0.1/24                                    (down, made first)
exec unshare --net -- sh -ec '
ip link set lo up
ip addr add 127.0.1.1/8 dev lo
ip link add orv2 type veth peer name orv3
ip addr add 10.98.0.1/24 dev orv2
ip link add orv0 type veth peer name orv1
ip addr add 192.168.1.20/24 dev orv0
ip -6 addr add 2001:db8:4f72:7661:6e65::20/64 dev orv0 nodad
ip addr add 10.99.0.2/24 dev orv1
ip -6 addr add 2001:db8::1/64 dev orv1 nodad
ip link set orv0 up
ip link set orv1 up
exec "$@"
' netns-interfaces "$@"
