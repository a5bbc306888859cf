#!/usr/bin/env bash
# The scan, run on a PC in its own network namespace, finds devices by probe and by the ARP table,
# and leaves out hosts of other makers.
# Usage: scan_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

netns_pc pc 10.77.0.1/24
netns_host pc d1 02:4c:55:c8:00:01 10.77.0.11/24
netns_host pc d2 02:4c:55:c2:00:02 10.77.0.12/24
netns_host pc d3 02:4c:55:c6:00:03 10.77.0.13/24
netns_host pc other 00:11:22:33:44:55 10.77.0.20/24

sim() {  # sim NS ADDRESS MAC EXTRA...
  local ns="$1" addr="$2" mac="$3"; shift 3
  netns_start "$ns" "$NETNS_TMP/$ns.ready" "$lmsim" --address "$addr" --broadcast 10.77.0.255 --mac "$mac" \
    --discovery-port 7364 --http-port 80 --ready-file "$NETNS_TMP/$ns.ready" "$@"
}
sim d1 10.77.0.11 02:4C:55:C8:00:01 --product Lumetra/ZelvixXL-2 --subtype VGA --firmware 4.2.1
sim d2 10.77.0.12 02:4C:55:C2:00:02 --no-probe-reply
sim d3 10.77.0.13 02:4C:55:C6:00:03 --product Lumetra/Farloomer-1 --firmware 2.0.7
sim other 10.77.0.20 00:11:22:33:44:55 --product Other/Camera-1 --firmware 9.9.9 --no-probe-reply

out="$NETNS_TMP/scan.json"
ip netns exec "$(netns_name pc)" "$cli" scan --json >"$out"
echo "scan found:"; cat "$out"

failures=0
expect() {  # expect ADDRESS FIELD VALUE
  local got
  got=$(jq -r --arg a "$1" --arg f "$2" '[.[] | select(.address == $a)] | if length == 1 then .[0][$f] else "<\(length) records>" end' "$out")
  if [ "$got" == "$3" ]; then echo "ok: $1 $2 = $3"; else echo "FAILED: $1 $2 is '$got', expected '$3'"; failures=$((failures + 1)); fi
}
expect 10.77.0.11 id 024C55-C80001
expect 10.77.0.11 deviceType "ZelvixXL VGA"
expect 10.77.0.11 version 4.2.1
expect 10.77.0.12 id 024C55-C20002
expect 10.77.0.12 deviceType Draviel6
expect 10.77.0.12 version null  # known only from the ARP table
expect 10.77.0.13 id 024C55-C60003
expect 10.77.0.13 deviceType Farloomer
expect 10.77.0.13 version 2.0.7
expect 10.77.0.20 id "<0 records>"
count=$(jq length "$out")
[ "$count" -eq 3 ] || { echo "FAILED: expected 3 records, got $count"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "scan_netns: passed" || { echo "scan_netns: $failures failures"; exit 1; }
