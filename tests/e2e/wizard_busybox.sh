#!/usr/bin/env bash
# The Setup Wizard against a real telnet device (busybox_device.sh): "config show", then "config
# apply" of a new static address, once with the files written by cat (firmware 2.1.3, whose config
# tool knows depend=) and once by BusyBox's own vi (firmware 1.0.5, config refused, flash saved by
# flatfsd). The device's reboot comes back on the address saved in its ifcfg-eth0; afterwards it
# must answer there and hold exactly the files the wizard wrote. A device far from factory settings
# keeps every file through show and apply, and a hostile device's settings do not travel through them.
# Usage: wizard_busybox.sh LMTOOLS-CLI PTY-ANSWER
set -euo pipefail
cli="$1" pty_answer="$2"
. "$(dirname "$0")/netns.sh"
netns_require
. "$(dirname "$0")/busybox_device.sh"
busybox_require
for tool in jq; do command -v "$tool" >/dev/null || { echo "SKIPPED: needs $tool"; exit 77; }; done

old=10.79.0.21 new=10.79.0.42 mac=02:4C:55:C8:00:21
netns_pc pc 10.79.0.1/24
netns_host pc dev "$mac" "$old/24"

# The device's own commands log what reached them. /etc/configtool says whether config knows
# depend= ("depend") or refuses ("denied"). The reboot ends the session at once; a moment later
# the device is up on the address its ifcfg-eth0 holds (DHCP keeps the old one), while telnetd
# goes on listening on every address.
root="$NETNS_TMP/root"
log=/var/log/device.log
busybox_device dev "$root" "$(cat <<PROFILE
config() {
  echo "config \$*" >>$log
  [ "\$(cat /etc/configtool)" = depend ] || { echo "config: Permission denied"; return 0; }
  [ \$# -eq 0 ] && echo "Usage: config clear | save | depend=ALL | depend=<file>"
  return 0
}
killall() { echo "killall \$*" >>$log; }
date() { echo "date \$*" >>$log; }
hwclock() { echo "hwclock \$*" >>$log; }
vi() { echo "vi \$*" >>$log; command vi "\$@"; }
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
case "$(value BOOTPROTO)" in none | static) ;; *) echo "boot: DHCP keeps the address"; exit 0 ;; esac
prefix=$(ipcalc -p "$(value IPADDR)" "$(value NETMASK)" | sed -n 's/^PREFIX=//p')
[ -n "$prefix" ] || { echo "boot: no valid IPADDR and NETMASK; the address stays"; exit 1; }
ip addr flush dev eth0 && ip addr add "$(value IPADDR)/$prefix" dev eth0 && echo "boot: eth0 $(value IPADDR)/$prefix"
BOOT
# The firmware up to 1.0.9 has no nsh; later firmware's nsh is the root shell this one already is.
printf '#!/bin/sh\necho nsh >>%s\n' "$log" >"$root/bin/nsh"
chmod 755 "$root/bin/boot" "$root/bin/nsh"

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    echo "FAILED: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
same() {  # same FILE FILE: "same", or what the second holds
  cmp -s "$1" "$2" && echo same || { echo "differs:"; cat "$2"; }
}
out="$NETNS_TMP/out"; err="$NETNS_TMP/err"
export LMTOOLS_PASSWORD=vorna
# lmt ARGS...: lmtools-cli on the PC without a terminal; sets status, fills $out and $err.
lmt() {
  status=0
  ip netns exec "$(netns_name pc)" "$cli" "$@" >"$out" 2>"$err" </dev/null || status=$?
  echo "--- lmtools-cli $*: exit $status"; echo "stdout:"; cat "$out"; echo "stderr:"; cat "$err"
}

# factory VERSION CONFIGTOOL: the device as shipped, at its old address, its files kept in $before.
before="$NETNS_TMP/before"
factory() {
  ip -n "$(netns_name dev)" addr flush dev eth0
  ip -n "$(netns_name dev)" addr add "$old/24" dev eth0
  echo "Lumetra ZelvixXL version $1" >"$root/etc/version"
  echo "$2" >"$root/etc/configtool"
  rm -rf "$root/etc/config" "$root"/var/tmp/* "$before"
  mkdir -p "$root/etc/config" "$before"
  local c="$root/etc/config"
  printf 'Port 80\n' >"$c/boa.conf"
  printf '%s\n' DEVICE=/dev/ttyS0 DEVICE_SPEED=38400 MODEM_INIT=AT\&F PHONE_NUMBER= CONNECT_TIMEOUT=300 \
    USERNAME= PASSWORD= ISP=EarthLink ALWAYS_UP=no DEFAULT_ROUTE=yes ENABLED=no SHELL_LOGIN=yes SEND_CR=no \
    >"$c/dialout.conf"
  if [ "$1" = 1.0.5 ]; then
    printf '%s\n' "timeout 300" binary passive quit >"$c/ftp0.conf"
  else
    printf '%s\n' timeout=300 hostname= user= password= passive=on archive=off delete_file=off iis_bug=off \
      filename= filename2= filename3=ip.html >"$c/ftp0.conf"
  fi
  printf '%s\n' DEVICE=eth0 ONBOOT=yes BOOTPROTO=none IPADDR=$old BROADCAST=10.79.0.255 NETMASK=255.255.255.0 \
    >"$c/ifcfg-eth0"
  printf '%s\n' DEVICE=ppp0 BOOTPROTO=none ONBOOT=no >"$c/ifcfg-ppp0"
  printf '%s\n' NETWORKING=yes HOSTNAME=zelvixxl GATEWAYDEV=eth0 GATEWAY=10.79.0.1 >"$c/network"
  printf '%s\n' "domain local" "nameserver 10.79.0.1" >"$c/resolv.conf"
  printf '%s\n' sched_ftp_command=ftpscript0 sched_ftp_command_wait=20 sched_ftp_upload=off sched_ftp_delay=30 \
    sched_ftp_time_start=00:00 sched_ftp_time_stop=24:00 sched_ftp_day_{sun,mon,tue,wed,thu,fri,sat}=on \
    >"$c/sched0.conf"
  cp "$c"/* "$before/"
  : >"$root$log"
}

# wizard NAME VERSION CONFIGTOOL: reads the device, moves it to $new and checks what it holds then.
wizard() {
  local name="$1" version="$2" tool="$3" file
  factory "$version" "$tool"
  lmt config show "$old" --json
  local show="$NETNS_TMP/show.json"
  cp "$out" "$show"
  check "$name: show exit status" 0 "$status"
  [ "$status" -eq 0 ] || return 0
  check "$name: show, as read" "$old|false|$mac|$version|true" "$(jq -r '[.ipAddress, .ipDhcp, .device.mac,
    "\(.device.firmwareMajor).\(.device.firmwareMinor).\(.device.firmwarePatch)", .device.secondGeneration]
    | join("|")' "$show" 2>&1)"
  jq --arg a "$new" '.ipAddress = $a' "$show" >"$NETNS_TMP/apply.json"

  lmt config apply "$old" "$NETNS_TMP/apply.json" --yes
  echo "device log:"; cat "$root$log"
  check "$name: apply exit status" 0 "$status"
  [ "$status" -eq 0 ] || return 0
  lmt run "$new" -- echo hi
  check "$name: answers on the new address" "0|hi" "$status|$(cat "$out")"
  if [ "$tool" = depend ]; then
    check "$name: saved by config" "config depend=ALL|config save" "$(grep -E '^config .' "$root$log" | paste -sd '|')"
    check "$name: PPP files left to the device" "" "$(ls "$root/var/tmp")"
    check "$name: ppp0 without BOOTPROTO" $'DEVICE=ppp0\nONBOOT=no' "$(cat "$root/etc/config/ifcfg-ppp0")"
  else
    check "$name: saved by flatfsd" "killall -USR1 flatfsd" "$(grep -E '^killall ' "$root$log")"
    check "$name: PPP files written" "chap-secrets chat.dialout diald.conf options" "$(ls "$root/var/tmp" | paste -sd ' ')"
    check "$name: ppp0 as before" same "$(same "$before/ifcfg-ppp0" "$root/etc/config/ifcfg-ppp0")"
  fi
  check "$name: written by vi" "$([ "$version" = 1.0.5 ] && echo yes || echo no)" \
    "$(grep -q '^vi /var/tmp/ifcfg-eth0' "$root$log" && echo yes || echo no)"
  printf '%s\n' DEVICE=eth0 ONBOOT=yes BOOTPROTO=none IPADDR=$new BROADCAST=10.79.0.255 NETMASK=255.255.255.0 \
    >"$NETNS_TMP/want"
  check "$name: ifcfg-eth0" same "$(same "$NETNS_TMP/want" "$root/etc/config/ifcfg-eth0")"
  # Everything else read comes back as it was.
  for file in boa.conf dialout.conf ftp0.conf network resolv.conf sched0.conf; do
    check "$name: $file as before" same "$(same "$before/$file" "$root/etc/config/$file")"
  done
  # What the PC reads is what the device holds.
  for file in "$root"/etc/config/*; do
    lmt cat "$new" "/etc/config/${file##*/}"
    check "$name: cat ${file##*/}" "0|same" "$status|$(same "$file" "$out")"
  done
}

# roundtrip VERSION CONFIGTOOL: a device far from factory settings (uploading, dialling out on a US
# Robotics modem with Ethernet off, a key list without filename2=, a boa.conf with lines of its own
# and no final line end). After one apply, show then apply of the unchanged output, read from
# standard input, leaves every file byte for byte as it was.
roundtrip() {
  local name="round trip $1" c="$root/etc/config" file
  factory "$1" "$2"
  printf 'User nobody\nPort 8080\nGroup nogroup' >"$c/boa.conf"
  sed -i -e 's/^MODEM_INIT=.*/MODEM_INIT=ATE1Q0V1\&B1/' -e 's/^PHONE_NUMBER=.*/PHONE_NUMBER=5551234/' \
    -e 's/^DEVICE_SPEED=.*/DEVICE_SPEED=57600/' -e 's/^USERNAME=.*/USERNAME=joe/' -e 's/^PASSWORD=.*/PASSWORD=pw/' \
    -e 's/^ENABLED=.*/ENABLED=yes/' "$c/dialout.conf"
  sed -i 's/^ONBOOT=.*/ONBOOT=no/' "$c/ifcfg-eth0"
  sed -i 's/^sched_ftp_upload=.*/sched_ftp_upload=on/' "$c/sched0.conf"
  printf '%s\n' timeout=120 hostname=ftp.example.com user=cam password=secret passive=on archive=off \
    delete_file=off iis_bug=off filename=pics/cam.jpg filename3=pics/ip0021.html >"$c/ftp0.conf"

  lmt cat "$old" /etc/config/boa.conf
  check "$name: cat shows a last line without line end" "0|Group nogroup" "$status|$(tail -n 1 "$out")"
  local show="$NETNS_TMP/show.json" once="$NETNS_TMP/once"
  lmt config show "$old" --json
  cp "$out" "$show"
  check "$name: show as read" "false|US Robotics|true|pics/cam.jpg|true" "$(jq -r '[.primaryIsNetwork,
    .modemModel, .uploadEnabled, .ftpPath, .useIdHtmlName] | map(tostring) | join("|")' "$show" 2>&1)"
  lmt config apply "$old" "$show" --yes
  check "$name: first apply exit status" 0 "$status"
  sleep 2  # the reboot's address change
  rm -rf "$once"; cp -r "$c" "$once"
  check "$name: boa.conf keeps its own lines" $'User nobody\nPort 8080\nGroup nogroup' "$(cat "$c/boa.conf")"
  check "$name: still uploading, dialling out, Ethernet off" "sched_ftp_upload=on|ENABLED=yes|ONBOOT=no" \
    "$(grep -h -e '^sched_ftp_upload=' -e '^ENABLED=' -e '^ONBOOT=' "$c/sched0.conf" "$c/dialout.conf" \
      "$c/ifcfg-eth0" | paste -sd '|')"

  lmt config show "$old" --json
  cp "$out" "$show"
  status=0
  ip netns exec "$(netns_name pc)" "$cli" config apply "$old" - --yes <"$show" >"$out" 2>"$err" || status=$?
  echo "--- lmtools-cli config apply $old - --yes: exit $status"; cat "$out" "$err"
  check "$name: apply from standard input exit status" 0 "$status"
  sleep 2
  for file in $( (ls "$once"; ls "$c") | sort -u); do
    check "$name: $file unchanged" same "$(same "$once/$file" "$c/$file")"
  done
}

# A device line holding terminal escapes, shown by --dry-run on a terminal: cleaned like all device text.
drydirty() {
  factory 2.1.3 depend
  printf 'Port 80\nUser \033]0;owned\007nobody\n' >"$root/etc/config/boa.conf"
  echo '{}' >"$NETNS_TMP/empty.json"
  status=0
  ip netns exec "$(netns_name pc)" "$pty_answer" -- "$cli" config apply "$old" "$NETNS_TMP/empty.json" --dry-run \
    --yes -q >"$out" 2>&1 || status=$?
  echo "--- config apply --dry-run on a terminal: exit $status"; cat -v "$out"
  check "dry run on a terminal: exit status" 0 "$status"
  check "dry run on a terminal: the device's line cleaned" "User ?]0;owned?nobody|0" \
    "$(tr -d '\r' <"$out" | grep -a '^User ')|$(grep -c $'\033]0;owned' "$out" || true)"
}

drydirty
wizard "cat form" 2.1.3 depend
wizard "vi form" 1.0.5 denied
roundtrip 2.1.3 depend
roundtrip 1.0.5 denied

# A hostile device's host name comes out of show as it is, and apply refuses it before it reaches
# any device.
factory 2.1.3 depend
printf '%s\n' NETWORKING=yes 'HOSTNAME=cam;reboot' GATEWAYDEV=eth0 GATEWAY=10.79.0.1 >"$root/etc/config/network"
lmt config show "$old" --json
cp "$out" "$NETNS_TMP/hostile.json"
check "hostile: show" "0|cam;reboot" "$status|$(jq -r .hostname "$NETNS_TMP/hostile.json" 2>&1)"
: >"$root$log"
lmt config apply "$old" "$NETNS_TMP/hostile.json" --yes
check "hostile: apply refused, nothing sent" "64|yes|" \
  "$status|$(grep -qF '"hostname" holds ";"' "$err" && echo yes)|$(cat "$root$log")"
check "hostile: no file written" "" "$(ls "$root/var/tmp")"

[ "$failures" -eq 0 ] && echo "wizard_busybox: passed" || { echo "wizard_busybox: $failures failures"; exit 1; }
