#!/usr/bin/env bash
# 30 devices behind a router, where no broadcast reaches: a range scan of their subnet finds them all.
# Usage: scan_routed_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

# PC 10.79.0.1 -- 10.79.0.254 router 10.79.1.254 -- devices 10.79.1.11 to .40
netns_pc pc 10.79.0.1/24
netns_host pc rt 02:00:00:79:00:fe 10.79.0.254/24
netns_add dev
rt=$(netns_name rt); dev=$(netns_name dev); pc=$(netns_name pc)
ip -n "$rt" link add eth1 type veth peer name eth0 netns "$dev"
ip -n "$rt" addr add 10.79.1.254/24 dev eth1
ip -n "$rt" link set eth1 up
ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1
for i in $(seq 11 40); do ip -n "$dev" addr add "10.79.1.$i/24" dev eth0; done
ip -n "$dev" link set eth0 up
ip -n "$dev" route add default via 10.79.1.254
ip -n "$pc" route add 10.79.1.0/24 via 10.79.0.254
netns_start dev "$NETNS_TMP/dev.ready" "$lmsim" --demo 30 --first 10.79.1.11 --discovery-port 7364 \
  --http-port 80 --ready-file "$NETNS_TMP/dev.ready"

export LMTOOLS_QUIET_MS=1500
ip netns exec "$pc" "$cli" scan --range 10.79.1.0/24 --json -q >"$NETNS_TMP/range.json"
got=$(jq -r '.[] | "\(.address) \(.interface)"' "$NETNS_TMP/range.json" | sort -t. -k4,4n)
expected=$(for i in $(seq 11 40); do echo "10.79.1.$i br0"; done)
[ "$got" == "$expected" ] || { echo "FAILED: expected 10.79.1.11 to .40 on br0, found:"; echo "$got"; exit 1; }
echo "scan_routed_netns: passed"
