#!/usr/bin/env bash
# A PC on two networks with devices on both: --interface, by name or by the PC's address on it, keeps
# the scan to that side, and each record names the interface it was found on.
# Usage: scan_interface_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

for side in 0 1; do
  netns_pc pc "10.80.$side.1/24" "br$side"
  for n in 1 2; do
    netns_host pc "d$side$n" "02:4c:55:c8:8$side:0$n" "10.80.$side.1$n/24" "br$side"
    netns_start "d$side$n" "$NETNS_TMP/d$side$n.ready" "$lmsim" --address "10.80.$side.1$n" --mac \
      "02:4C:55:C8:8$side:0$n" --broadcast "10.80.$side.255" --discovery-port 7364 --http-port 80 \
      --ready-file "$NETNS_TMP/d$side$n.ready"
  done
done

export LMTOOLS_QUIET_MS=1500
failures=0
check() {  # check EXPECTED SCAN-ARGS...: EXPECTED lists "address interface" of every record
  local expected="$1" got; shift
  got=$(ip netns exec "$(netns_name pc)" "$cli" scan --json -q "$@" | jq -r '[.[] | "\(.address) \(.interface)"] | sort | join(", ")')
  if [ "$got" == "$expected" ]; then echo "ok: scan $*"; else
    echo "FAILED: scan $*: found '$got', expected '$expected'"; failures=$((failures + 1)); fi
}
check "10.80.0.11 br0, 10.80.0.12 br0, 10.80.1.11 br1, 10.80.1.12 br1" --interface br0 --interface br1
check "10.80.1.11 br1, 10.80.1.12 br1" --interface br1
check "10.80.0.11 br0, 10.80.0.12 br0" --interface 10.80.0.1
[ "$failures" -eq 0 ] && echo "scan_interface_netns: passed" || exit 1
