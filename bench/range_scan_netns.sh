#!/usr/bin/env bash
# Range scans of simulated devices in a namespace behind a router, so that only the range's own
# probes find them (no broadcast, no ARP table) and nmap has to probe too (on loopback it sends
# nothing, taking every 127.x address for up). First one scan at the default rate and one at the
# highest, each beside `nmap -sn -n` over the same range; then several scans with every packet in
# either direction dropped one time in ten (tc netem where the kernel has it, else an nftables rule
# drawing a random number), which must miss no device.
# Usage: range_scan_netns.sh LMTOOLS-CLI LMSIM [DEVICES] [SCANS]   (default 4000 devices, 3 scans)
set -euo pipefail
cli="$1"; lmsim="$2"; devices="${3:-4000}"; scans="${4:-3}"
# shellcheck source=../tests/e2e/netns.sh
. "$(dirname "$0")/../tests/e2e/netns.sh"
netns_require
bench="(\`bench/range_scan_netns.sh\`)"

# PC 10.82.0.1 and the devices' host 10.82.0.2 on one link; the devices from 10.84.0.1 on the host's
# loopback, routed through it. One neighbour each side, however many devices. The range is the
# smallest from 10.84.0.0 that holds them.
if [ "$devices" -lt 1 ] || [ "$devices" -gt 65534 ]; then echo "DEVICES: 1 to 65534"; exit 2; fi
netns_pc pc 10.82.0.1/24
netns_host pc dev 02:00:00:82:00:02 10.82.0.2/24
pc=$(netns_name pc); dev=$(netns_name dev)
ip -n "$pc" route add 10.84.0.0/16 via 10.82.0.2
for i in $(seq 1 "$devices"); do echo "addr add 10.84.$((i / 256)).$((i % 256))/32 dev lo"; done |
  ip -n "$dev" -batch -
prefix=30
while [ $(((1 << (32 - prefix)) - 2)) -lt "$devices" ]; do prefix=$((prefix - 1)); done
range="10.84.0.0/$prefix"

# Their broadcast lies outside the range: a /24 one would be a device's address from the 255th on.
netns_start dev "$NETNS_TMP/dev.ready" "$lmsim" --demo "$devices" --first 10.84.0.1 --broadcast 10.84.255.255 \
  --sockets shared --discovery-port 7364 --http-port 80 --ready-file "$NETNS_TMP/dev.ready"
export LMTOOLS_INTERFACES="" LMTOOLS_ARP_TABLE=/dev/null

# Milliseconds a command takes, its output to a file.
elapsed_ms() {
  local out="$1" start; shift
  start=$(date +%s%N)
  "$@" >"$out"
  echo $((($(date +%s%N) - start) / 1000000))
}
seconds() { echo "$(($1 / 1000)).$(printf '%02d' $(($1 % 1000 / 10)))"; }

# Before any loss, beside nmap over the same range.
if command -v nmap >/dev/null; then
  theirs=$(elapsed_ms "$NETNS_TMP/nmap.txt" ip netns exec "$pc" nmap -sn -n "$range")
  up=$(grep -o '([0-9]* hosts\? up)' "$NETNS_TMP/nmap.txt" || true)
  for rate in default 100000; do
    rate_option=(); label="the default --rate"
    [ "$rate" = default ] || { rate_option=(--rate "$rate"); label="--rate $rate"; }
    ours=$(elapsed_ms "$NETNS_TMP/plain.json" ip netns exec "$pc" "$cli" scan --range "$range" "${rate_option[@]}" --json -q)
    found=$(jq length "$NETNS_TMP/plain.json")
    verdict="met"; [ "$found" -eq "$devices" ] && [ "$ours" -le "$theirs" ] || verdict="NOT met"
    echo "row: | \`--range\` scan of $devices simulated devices in a namespace at $label, no loss $bench |" \
      "$found of $devices in $(seconds "$ours") s, nmap -sn -n $(seconds "$theirs") s $up (ratio" \
      "$(awk "BEGIN { printf \"%.2f\", $ours / ($theirs > 0 ? $theirs : 1) }")) | all found, no slower than nmap | $verdict |"
  done
else
  echo "range_scan_netns: nmap is not installed, no comparison"
fi

# Loss on both sides of the wire: netem on each end's egress, or a random drop of outgoing packets.
loss=""
if ip netns exec "$pc" tc qdisc add dev vdev root netem loss 10% 2>/dev/null; then
  ip netns exec "$dev" tc qdisc add dev eth0 root netem loss 10%
  loss="tc netem"
elif command -v nft >/dev/null && ip netns exec "$pc" nft add table ip loss 2>/dev/null; then
  for ns in "$pc" "$dev"; do
    ip netns exec "$ns" nft add table ip loss
    ip netns exec "$ns" nft add chain ip loss out '{ type filter hook output priority 0; }'
    ip netns exec "$ns" nft add rule ip loss out numgen random mod 10 0 drop
  done
  loss="nftables numgen (no netem in this kernel)"
else
  echo "range_scan_netns: SKIPPED: this kernel has no netem (tc qdisc netem fails) and nftables is not usable"
  exit 77
fi

found_all=0; missed=0; times=()
for run in $(seq 1 "$scans"); do
  ms=$(elapsed_ms "$NETNS_TMP/scan$run.json" ip netns exec "$pc" "$cli" scan --range "$range" --json -q)
  times+=("$(seconds "$ms")")
  found=$(jq length "$NETNS_TMP/scan$run.json")
  found_all=$((found_all + found))
  missed=$((missed + devices - found))
done
echo "range_scan_netns: $scans scans of $range, $devices devices, loss by $loss (load $(cut -d' ' -f1,2 /proc/loadavg)):"
echo "  found $found_all of $((devices * scans)); seconds per scan: ${times[*]}"
verdict="met"; [ "$missed" -eq 0 ] || verdict="NOT met"
echo "row: | \`--range\` scan of $devices simulated devices at 10% packet loss each way $bench | $found_all of $((devices * scans)) found over $scans scans, ${times[*]} s each ($loss) | none missed | $verdict |"
[ "$missed" -eq 0 ]
