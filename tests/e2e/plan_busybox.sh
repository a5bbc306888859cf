#!/usr/bin/env bash
# config plan against three real telnet devices (busybox_device.sh), each with a discovery answerer
# of its own: they get the addresses of a range in the order of their IDs and their names from the
# pattern, reboot onto them, and each answers there as itself. A plan onto an address that answers
# is refused before any device is written to.
# Usage: plan_busybox.sh LMTOOLS-CLI DISCOVERY-ANSWER
set -euo pipefail
cli="$1" answer="$2"
. "$(dirname "$0")/netns.sh"
netns_require
. "$(dirname "$0")/busybox_device.sh"
busybox_require

netns_pc pc 10.77.0.1/24
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    echo "FAILED: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
log=/var/log/device.log
# Three devices at .23, .21 and .22, so that ID order differs from address order.
for n in 1 2 3; do
  old="10.77.0.2$(( (n % 3) + 1 ))" mac="02:4C:55:C8:00:3$n" root="$NETNS_TMP/root$n"
  netns_host pc "dev$n" "$mac" "$old/24"
  busybox_device "dev$n" "$root" "$(cat <<PROFILE
config() { echo "config \$*" >>$log; [ \$# -eq 0 ] && echo "Usage: config clear | save | depend=ALL | depend=<file>"; return 0; }
killall() { echo "killall \$*" >>$log; }
quit() { exit 0; }
reboot() {
  echo "reboot" >>$log; echo; echo "The system is going down NOW !!"
  ( trap '' HUP; sleep 1; /bin/boot ) </dev/null >>$log 2>&1 &
  exit 0
}
PROFILE
)"
  cat >"$root/bin/boot" <<'BOOT'
#!/bin/sh
file=/etc/config/ifcfg-eth0
value() { sed -n "s/^$1=//p" "$file" | tail -n 1; }
case "$(value BOOTPROTO)" in none | static) ;; *) exit 0 ;; esac
prefix=$(ipcalc -p "$(value IPADDR)" "$(value NETMASK)" | sed -n 's/^PREFIX=//p')
[ -n "$prefix" ] || exit 1
ip addr flush dev eth0 && ip addr add "$(value IPADDR)/$prefix" dev eth0
BOOT
  printf '#!/bin/sh\n' >"$root/bin/nsh"
  chmod 755 "$root/bin/boot" "$root/bin/nsh"
  echo "Lumetra ZelvixXL version 2.1.3" >"$root/etc/version"
  c="$root/etc/config"
  mkdir -p "$c"
  # Not at factory settings: its own name, gateway and time server.
  printf 'Port 80\n' >"$c/boa.conf"
  printf '%s\n' DEVICE=eth0 ONBOOT=yes BOOTPROTO=none IPADDR=$old BROADCAST=10.77.0.255 NETMASK=255.255.255.0 >"$c/ifcfg-eth0"
  printf '%s\n' NETWORKING=yes HOSTNAME=door$n GATEWAYDEV=eth0 GATEWAY=10.77.0.1 NTPSERVER=10.77.0.1 >"$c/network"
  printf '%s\n' "nameserver 10.77.0.1" >"$c/resolv.conf"
  : >"$root$log"
  netns_start "dev$n" "$NETNS_TMP/answer$n.ready" "$answer" 7364 "Lumetra/ZelvixXL-2 cam 2.1.3 id=024C55-C8003$n" \
    "$NETNS_TMP/answer$n.ready"
done

out="$NETNS_TMP/out" err="$NETNS_TMP/err"
export LMTOOLS_PASSWORD=vorna
lmt() {
  status=0
  ip netns exec "$(netns_name pc)" "$cli" "$@" >"$out" 2>"$err" </dev/null || status=$?
  echo "--- lmtools-cli $*: exit $status"; echo "stdout:"; cat "$out"; echo "stderr:"; cat "$err"
}
hosts=(10.77.0.21 10.77.0.22 10.77.0.23)

# .22 answers now and is not in the plan: nothing may be sent to the others.
lmt config plan 10.77.0.21 10.77.0.23 --range 10.77.0.22-10.77.0.30 --yes
check "plan onto a device's address refused" "1|yes" "$status|$(grep -q '10.77.0.22 already answers' "$err" && echo yes)"
check "nothing written" "" "$(cat "$NETNS_TMP"/root*/var/log/device.log)"

lmt config plan "${hosts[@]}" --range 10.77.0.51-10.77.0.60 --gateway 10.77.0.1 --hostname-pattern 'cam-{n:02}' --yes
check "plan exit status" 0 "$status"
table="$NETNS_TMP/table"
cp "$out" "$table"
for n in 1 2 3; do
  new="10.77.0.5$n"
  check "024C55-C8003$n in the table" yes "$(grep -q "^024C55-C8003$n .* $new .*door$n *cam-0$n *OK$" "$table" && echo yes)"
  check "024C55-C8003$n ifcfg-eth0" "IPADDR=$new" "$(grep '^IPADDR=' "$NETNS_TMP/root$n/etc/config/ifcfg-eth0")"
  check "024C55-C8003$n network" "HOSTNAME=cam-0$n|NTPSERVER=10.77.0.1" \
    "$(grep -e '^HOSTNAME=' -e '^NTPSERVER=' "$NETNS_TMP/root$n/etc/config/network" | paste -sd '|')"
  lmt run "$new" -- cat /etc/config/ifcfg-eth0
  check "024C55-C8003$n answers at $new" "0|IPADDR=$new" "$status|$(grep '^IPADDR=' "$out")"
done

[ "$failures" -eq 0 ] && echo "plan_busybox: passed" || { echo "plan_busybox: $failures failures"; exit 1; }
