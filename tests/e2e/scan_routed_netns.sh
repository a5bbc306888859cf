#!/usr/bin/env bash
# Devices behind a router: a broadcast scan from the PC's network finds none of them, a range scan of
# their subnet finds all 30.
# Usage: scan_routed_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

# PC 10.79.0.1 -- router 10.79.0.254 | 10.79.1.254 -- devices 10.79.1.11 to .40
netns_pc pc 10.79.0.1/24
netns_host pc rt 02:00:00:79:00:fe 10.79.0.254/24
netns_add dev
rt=$(netns_name rt); dev=$(netns_name dev); pc=$(netns_name pc)
ip -n "$rt" link add eth1 type veth peer name eth0 netns "$dev"
ip -n "$rt" addr add 10.79.1.254/24 dev eth1
ip -n "$rt" link set eth1 up
ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1
ip -n "$dev" addr add 10.79.1.1/24 dev eth0
for i in $(seq 11 40); do ip -n "$dev" addr add "10.79.1.$i/24" dev eth0; done
ip -n "$dev" link set eth0 up
ip -n "$dev" route add default via 10.79.1.254
ip -n "$pc" route add 10.79.1.0/24 via 10.79.0.254

netns_start dev "$NETNS_TMP/dev.ready" "$lmsim" --demo 30 --first 10.79.1.11 --discovery-port 7364 \
  --http-port 80 --ready-file "$NETNS_TMP/dev.ready"

export LMTOOLS_QUIET_MS=1500
failures=0
broadcast="$NETNS_TMP/broadcast.json"
ip netns exec "$pc" "$cli" scan --json -q >"$broadcast"
count=$(jq length "$broadcast")
if [ "$count" -eq 0 ]; then echo "ok: the broadcast scan finds none"; else
  echo "FAILED: the broadcast scan found $count devices behind the router"; failures=$((failures + 1)); fi

out="$NETNS_TMP/range.json"
ip netns exec "$pc" "$cli" scan --range 10.79.1.0/24 --json -q >"$out"
echo "range scan found:"; jq -c '.[] | [.address, .id, .deviceType, .interface]' "$out"
expected=$(for i in $(seq 11 40); do echo "10.79.1.$i"; done)
got=$(jq -r '.[].address' "$out" | sort -t. -k4,4n)
if [ "$got" == "$expected" ]; then echo "ok: all 30 found, each once"; else
  echo "FAILED: expected 10.79.1.11 to .40, got:"; echo "$got"; failures=$((failures + 1)); fi
others=$(jq -r '[.[] | select(.interface != "br0")] | length' "$out")
if [ "$others" -eq 0 ]; then echo "ok: every record came in on br0"; else
  echo "FAILED: $others records name another interface than br0"; failures=$((failures + 1)); fi

[ "$failures" -eq 0 ] && echo "scan_routed_netns: passed" || { echo "scan_routed_netns: $failures failures"; exit 1; }
