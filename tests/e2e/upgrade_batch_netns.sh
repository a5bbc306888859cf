#!/usr/bin/env bash
# A batch upgrade of 8 simulated devices on the PC's network, 4 at a time, from one TFTP port:
# every device receives the image byte for byte, and the PC's echo setting is back as it was. A
# ninth device of another model is left alone, --yes or not, and the run ends with status 3.
# Usage: upgrade_batch_netns.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
. "$(dirname "$0")/netns.sh"
netns_require

netns_pc pc 10.78.0.1/24
image="$NETNS_TMP/zelvix-5206e-batch.bin"
head -c 300000 /dev/urandom >"$image"
for n in 1 2 3 4 5 6 7 8; do
  mac="02:4C:55:C0:00:0$n"
  netns_host pc "d$n" "$mac" "10.78.0.1$n/24"
  netns_start "d$n" "$NETNS_TMP/d$n.ready" "$lmsim" --address "10.78.0.1$n" --broadcast 10.78.0.255 --mac "$mac" \
    --discovery-port 7364 --http-port 80 --telnet-port 23 --tftp-port 69 --flash-copy "$NETNS_TMP/d$n.bin" \
    --ready-file "$NETNS_TMP/d$n.ready"
done
netns_host pc d9 02:4C:55:C1:00:09 10.78.0.19/24
netns_start d9 "$NETNS_TMP/d9.ready" "$lmsim" --address 10.78.0.19 --broadcast 10.78.0.255 --mac 02:4C:55:C1:00:09 \
  --discovery-port 7364 --http-port 80 --telnet-port 23 --tftp-port 69 --flash-copy "$NETNS_TMP/d9.bin" \
  --ready-file "$NETNS_TMP/d9.ready"
# The PC blocks incoming echo requests: the batch allows them once and puts the setting back.
ip netns exec "$(netns_name pc)" sysctl -qw net.ipv4.icmp_echo_ignore_all=1

failures=0
status=0
ip netns exec "$(netns_name pc)" "$cli" upgrade --all "$image" --jobs 4 --password vorna --yes \
  >"$NETNS_TMP/table" 2>"$NETNS_TMP/log" || status=$?
cat "$NETNS_TMP/table"
[ "$status" -eq 3 ] || { echo "FAILED: exit $status, not 3"; cat "$NETNS_TMP/log"; failures=$((failures + 1)); }
for n in 1 2 3 4 5 6 7 8; do
  if cmp -s "$image" "$NETNS_TMP/d$n.bin"; then
    echo "ok: 10.78.0.1$n received the image byte for byte"
  else
    echo "FAILED: 10.78.0.1$n did not receive the image whole"; failures=$((failures + 1))
  fi
done
[ "$(grep -c ' OK$' "$NETNS_TMP/table")" -eq 8 ] || { echo "FAILED: not 8 OK rows"; failures=$((failures + 1)); }
grep -q '^10\.78\.0\.19 .* skipped: zelvix-5206e-batch\.bin is not for Zelvix (expects zelvix-5407\*\.bin)$' \
  "$NETNS_TMP/table" || { echo "FAILED: no skipped row for 10.78.0.19"; failures=$((failures + 1)); }
if [ -e "$NETNS_TMP/d9.bin" ] || grep -q '^10\.78\.0\.19: ' "$NETNS_TMP/log"; then
  echo "FAILED: 10.78.0.19 was worked on"; failures=$((failures + 1))
fi
setting=$(ip netns exec "$(netns_name pc)" sysctl -n net.ipv4.icmp_echo_ignore_all)
[ "$setting" == 1 ] || { echo "FAILED: echo setting left at $setting"; failures=$((failures + 1)); }
[ "$(grep -c 'temporarily allow ICMP echo' "$NETNS_TMP/log" || true)" -eq 1 ] ||
  { echo "FAILED: the echo question was asked more than once"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "upgrade_batch_netns: passed" || { echo "upgrade_batch_netns: $failures failures"; exit 1; }
