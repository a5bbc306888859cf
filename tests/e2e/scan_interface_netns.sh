#!/usr/bin/env bash
# A PC on two networks with devices on both: --interface keeps the scan to the chosen one, by name or
# by the PC's address on it, and each record names the interface it was found on.
# Usage: scan_interface_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

netns_pc pc 10.80.0.1/24 br0
netns_pc pc 10.80.1.1/24 br1
netns_host pc a1 02:4c:55:c8:80:01 10.80.0.11/24 br0
netns_host pc a2 02:4c:55:c2:80:02 10.80.0.12/24 br0
netns_host pc b1 02:4c:55:c6:81:01 10.80.1.11/24 br1
netns_host pc b2 02:4c:55:c8:81:02 10.80.1.12/24 br1

sim() {  # sim NS ADDRESS BROADCAST MAC
  netns_start "$1" "$NETNS_TMP/$1.ready" "$lmsim" --address "$2" --broadcast "$3" --mac "$4" \
    --discovery-port 7364 --http-port 80 --ready-file "$NETNS_TMP/$1.ready"
}
sim a1 10.80.0.11 10.80.0.255 02:4C:55:C8:80:01
sim a2 10.80.0.12 10.80.0.255 02:4C:55:C2:80:02
sim b1 10.80.1.11 10.80.1.255 02:4C:55:C6:81:01
sim b2 10.80.1.12 10.80.1.255 02:4C:55:C8:81:02

export LMTOOLS_QUIET_MS=1500
failures=0
check() {  # check LABEL EXPECTED-ADDRESSES EXPECTED-INTERFACE SCAN-ARGS...
  local label="$1" expected="$2" interface="$3" out="$NETNS_TMP/scan.json" got wrong
  shift 3
  ip netns exec "$(netns_name pc)" "$cli" scan --json -q "$@" >"$out"
  got=$(jq -r '[.[].address] | sort | join(" ")' "$out")
  wrong=$(jq -r --arg i "$interface" '[.[] | select(.interface | test($i) | not)] | length' "$out")
  if [ "$got" == "$expected" ] && [ "$wrong" -eq 0 ]; then echo "ok: $label"; else
    echo "FAILED: $label: found '$got' (expected '$expected'), $wrong records not on $interface:"
    cat "$out"; failures=$((failures + 1)); fi
}
check "every interface" "10.80.0.11 10.80.0.12 10.80.1.11 10.80.1.12" '^br[01]$'
check "--interface br1" "10.80.1.11 10.80.1.12" '^br1$' --interface br1
check "--interface 10.80.0.1" "10.80.0.11 10.80.0.12" '^br0$' --interface 10.80.0.1
check "both named" "10.80.0.11 10.80.0.12 10.80.1.11 10.80.1.12" '^br[01]$' --interface br0 --interface br1

[ "$failures" -eq 0 ] && echo "scan_interface_netns: passed" || { echo "scan_interface_netns: $failures failures"; exit 1; }
