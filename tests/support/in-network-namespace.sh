#!/usr/bin/env bash
# Runs a command in a network namespace of its own, as root of a new user namespace (no privilege
# needed): loopback up, and a veth pair qp0 (10.200.0.1/24) - qp1 up, without a default route, which
# the command may add and remove (via 10.200.0.2). Usage: in-network-namespace.sh COMMAND [ARGS...]
set -eu
if [[ ${1:-} != --inside ]]; then
  command -v ip >/dev/null || { echo "in-network-namespace.sh: ip is missing (scripts/deps.sh installs it)" >&2; exit 1; }
  exec unshare --map-root-user --net bash "$0" --inside "$@"
fi
shift
# Without IPv6 no link-local routes come and go while the command runs, and the link's own route
# is settled once its carrier is up: every change the command sees is its own.
for setting in /proc/sys/net/ipv6/conf/{all,default}/disable_ipv6; do
  [[ -e $setting ]] && echo 1 >"$setting"
done
ip link set lo up
ip link add qp0 type veth peer name qp1
ip addr add 10.200.0.1/24 dev qp0
ip link set qp0 up
ip link set qp1 up
for _ in $(seq 100); do
  ip -o link show qp0 | grep -q 'state UP' && break
  sleep 0.05
done
exec "$@"
