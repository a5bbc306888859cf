#!/usr/bin/env bash
# 30 devices behind a router, where no broadcast reaches: a range scan of their subnet finds them all,
# the .255 and .0 addresses inside it too.
# Usage: scan_routed_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

# PC 10.79.0.1 -- 10.79.0.254 router 10.79.3.254 -- devices 10.79.2.231 to 10.79.3.4 on a /23
netns_pc pc 10.79.0.1/24
netns_host pc rt 02:00:00:79:00:fe 10.79.0.254/24
netns_add dev
rt=$(netns_name rt); dev=$(netns_name dev); pc=$(netns_name pc)
ip -n "$rt" link add eth1 type veth peer name eth0 netns "$dev"
ip -n "$rt" addr add 10.79.3.254/23 dev eth1
ip -n "$rt" link set eth1 up
ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1
addresses=$(for i in $(seq 231 260); do echo "10.79.$((2 + i / 256)).$((i % 256))"; done)
for address in $addresses; do ip -n "$dev" addr add "$address/23" dev eth0; done
ip -n "$dev" link set eth0 up
ip -n "$dev" route add default via 10.79.3.254
ip -n "$pc" route add 10.79.2.0/23 via 10.79.0.254
# Their /24 broadcast would be a device's address: they hear probes on the /23's.
netns_start dev "$NETNS_TMP/dev.ready" "$lmsim" --demo 30 --first 10.79.2.231 --broadcast 10.79.3.255 \
  --discovery-port 7364 --http-port 80 --ready-file "$NETNS_TMP/dev.ready"

export LMTOOLS_QUIET_MS=1500
ip netns exec "$pc" "$cli" scan --range 10.79.2.0/23 --json -q >"$NETNS_TMP/range.json"
got=$(jq -r '.[] | "\(.address) \(.interface)"' "$NETNS_TMP/range.json" | sort -V)
expected=$(for address in $addresses; do echo "$address br0"; done)
[ "$got" == "$expected" ] || { echo "FAILED: expected 10.79.2.231 to 10.79.3.4 on br0, found:"; echo "$got"; exit 1; }
echo "scan_routed_netns: passed"
