#!/usr/bin/env bash
# Range scans at 10% packet loss each way: simulated devices in a namespace wired to the PC's, every
# packet in either direction dropped one time in ten (tc netem where the kernel has it, else an
# nftables rule drawing a random number), no broadcast and no ARP table, so only the range's own
# rounds can find them. Checks that no device is missed over several scans. Before the loss, one scan
# beside `nmap -sn -n` over the same range, which here has to probe (on loopback it sends nothing).
# Usage: scan_loss_netns.sh LMTOOLS-CLI LMSIM [DEVICES] [SCANS]   (default 250 devices, 3 scans)
set -euo pipefail
cli="$1"; lmsim="$2"; devices="${3:-250}"; scans="${4:-3}"
# shellcheck source=../tests/e2e/netns.sh
. "$(dirname "$0")/../tests/e2e/netns.sh"
netns_require
what="\`--range\` scan of $devices simulated devices at 10% packet loss each way (\`bench/scan_loss_netns.sh\`)"

# PC 10.82.0.1/16 on its bridge; the devices from 10.82.4.1 in one namespace on that bridge, in a
# /24 of their own (the simulator listens on its broadcast address); the range is the smallest from
# 10.82.4.0 that holds them.
if [ "$devices" -lt 1 ] || [ "$devices" -gt 254 ]; then echo "DEVICES: 1 to 254"; exit 2; fi
netns_pc pc 10.82.0.1/16
netns_host pc dev 02:00:00:82:00:01 10.82.0.2/16
pc=$(netns_name pc); dev=$(netns_name dev)
for i in $(seq 1 "$devices"); do ip -n "$dev" addr add "10.82.4.$i/24" dev eth0; done
prefix=30
while [ $(((1 << (32 - prefix)) - 2)) -lt "$devices" ]; do prefix=$((prefix - 1)); done
range="10.82.4.0/$prefix"

netns_start dev "$NETNS_TMP/dev.ready" "$lmsim" --demo "$devices" --first 10.82.4.1 --discovery-port 7364 \
  --http-port 80 --ready-file "$NETNS_TMP/dev.ready"
export LMTOOLS_INTERFACES="" LMTOOLS_ARP_TABLE=/dev/null

# Milliseconds a command takes, its output to a file.
elapsed_ms() {
  local out="$1" start; shift
  start=$(date +%s%N)
  "$@" >"$out"
  echo $((($(date +%s%N) - start) / 1000000))
}
seconds() { echo "$(($1 / 1000)).$(printf '%02d' $(($1 % 1000 / 10)))"; }

# Before any loss, beside nmap, which in a namespace has to probe for real (on loopback it would not).
if command -v nmap >/dev/null; then
  ours=$(elapsed_ms "$NETNS_TMP/plain.json" ip netns exec "$pc" "$cli" scan --range "$range" --json -q)
  theirs=$(elapsed_ms "$NETNS_TMP/nmap.txt" ip netns exec "$pc" nmap -sn -n "$range")
  found=$(jq length "$NETNS_TMP/plain.json")
  up=$(grep -o '([0-9]* hosts\? up)' "$NETNS_TMP/nmap.txt" || true)
  verdict="met"; [ "$found" -eq "$devices" ] && [ "$ours" -le "$theirs" ] || verdict="NOT met"
  echo "row: | \`--range\` scan of $devices simulated devices in a namespace, no loss (\`bench/scan_loss_netns.sh\`) |" \
    "$found of $devices in $(seconds "$ours") s, nmap -sn -n $(seconds "$theirs") s $up (ratio" \
    "$(awk "BEGIN { printf \"%.2f\", $ours / ($theirs > 0 ? $theirs : 1) }")) | all found, no slower than nmap | $verdict |"
else
  echo "scan_loss_netns: nmap is not installed, no comparison"
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
  echo "scan_loss_netns: SKIPPED: this kernel has no netem (tc qdisc netem fails) and nftables is not usable"
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
echo "scan_loss_netns: $scans scans of $range, $devices devices, loss by $loss (load $(cut -d' ' -f1,2 /proc/loadavg)):"
echo "  found $found_all of $((devices * scans)); seconds per scan: ${times[*]}"
verdict="met"; [ "$missed" -eq 0 ] || verdict="NOT met"
echo "row: | $what | $found_all of $((devices * scans)) found over $scans scans, ${times[*]} s each ($loss) | none missed | $verdict |"
[ "$missed" -eq 0 ]
