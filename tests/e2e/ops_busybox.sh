#!/usr/bin/env bash
# The device operations against a real telnet device (busybox_device.sh). The device's own commands
# only log what reached them; each case may change what they do.
# Usage: ops_busybox.sh LMTOOLS-CLI REMOTE-WRITE PTY-ANSWER
set -euo pipefail
cli="$1"; writer="$2"; answer="$3"
. "$(dirname "$0")/netns.sh"
netns_require
. "$(dirname "$0")/busybox_device.sh"
busybox_require

netns_pc pc 10.78.0.1/24
netns_host pc dev 02:4c:55:c8:00:11 10.78.0.11/24

# The device's own commands only log what reached them; the flash tool comes with each case. rm and
# vi log too, so the log shows each attempt of a file write.
root="$NETNS_TMP/root"
log=/var/log/device.log
profile=$(cat <<PROFILE
# config refuses "clear", as older firmware does, so the erase takes the flash path.
config() { echo "config \$*" >>$log; [ "\$1" = clear ] && echo "config: Permission denied"; return 0; }
reboot() { echo "reboot" >>$log; echo; echo "The system is going down NOW !!"; exit 0; }
rm() { echo "rm \$*" >>$log; command rm "\$@"; }
vi() { echo "vi \$*" >>$log; command vi "\$@"; }
# The clock commands log only: the device shares this machine's clock.
date() { echo "date \$*" >>$log; }
hwclock() { echo "hwclock \$*" >>$log; }
clock() { echo "clock \$*" >>$log; }
PROFILE
)
busybox_device dev "$root" "$profile"

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    echo "FAILED: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
has() {  # has TEXT FILE: "yes", or what the file holds instead
  grep -qF -- "$1" "$2" && echo yes || echo "no; it holds: $(tr '\n' '|' <"$2")"
}
pc() { ip netns exec "$(netns_name pc)" "$@"; }
out="$NETNS_TMP/out"; err="$NETNS_TMP/err"
# device FLASHW-MODE [VARIANT]: the device for the next case, with an empty log.
device() {
  if [ "$1" = none ]; then rm -f "$root/bin/flashw"; else
    printf '#!/bin/sh\necho "flashw $*" >>%s\n' "$log" >"$root/bin/flashw"; chmod "$1" "$root/bin/flashw"; fi
  printf '%s\n' "${2:-}" >"$root/etc/variant"
  : >"$root$log"
}
# lmt ARGS...: lmtools-cli on the PC without a terminal; sets status, fills $out and $err.
lmt() {
  status=0
  pc "$cli" "$@" >"$out" 2>"$err" </dev/null || status=$?
  echo "--- lmtools-cli $*: exit $status"; echo "stdout:"; cat "$out"; echo "stderr:"; cat "$err"
}
device 755

# Commands and files: every output line but the echo, the file exactly, the device's words.
lmt run 10.78.0.11 --password vorna -- id
check "run id" "0|uid=0(admin) gid=0(root) groups=0(root)|" "$status|$(cat "$out")|$(cat "$err")"
lmt run 10.78.0.11 --password vorna -- ps
check "run ps: exit status" 0 "$status"
check "run ps: heading" yes "$(has "PID   USER     COMMAND" "$out")"
check "run ps: the row naming ps" 1 "$(grep -cE '^ *[0-9]+ admin .*\bps\b' "$out")"
for file in /etc/passwd /etc/profile; do
  lmt cat 10.78.0.11 --password vorna "$file"
  check "cat $file" "0|same" "$status|$(cmp -s "$out" "$root$file" && echo same || echo differs)"
done
lmt cat 10.78.0.11 --password vorna /etc/missing
check "cat /etc/missing" "1||yes" "$status|$(cat "$out")|$(has "can't open '/etc/missing'" "$err")"

# File writes as the settings writer makes them, through cat and through the editor: the file holds
# exactly the lines, each with its line end, written in one attempt; an old file is replaced.
long=$(printf 'x%.0s' {1..200})
write() {  # write NAME METHOD PATH DEVICE-LOG LINE...
  local name="$1" method="$2" path="$3" trace="$4" result=0
  shift 4
  : >"$root$log"
  pc "$writer" "$method" 10.78.0.11 "$path" "$@" || result=$?
  if [ $# -eq 0 ]; then : >"$NETNS_TMP/want"; else printf '%s\n' "$@" >"$NETNS_TMP/want"; fi
  check "$name: outcome" 0 "$result"
  check "$name: file" same "$(cmp -s "$NETNS_TMP/want" "$root$path" && echo same || od -c "$root$path")"
  check "$name: one attempt" "$trace" "$(cat "$root$log")"
}
lines=("IPADDR=10.0.0.5" "#Link is always up." "TIMEOUT       5" "OK-+++\\c-OK   ATH0" "CONNECT       '\\c'"
  "  led by two blanks" "    and by four" "back at the margin" "" "$long")
write "vi, new file" vi /var/tmp/ifcfg-eth0 $'rm -f /var/tmp/ifcfg-eth0\nvi /var/tmp/ifcfg-eth0' "${lines[@]}"
write "vi, old file" vi /var/tmp/ifcfg-eth0 $'rm -f /var/tmp/ifcfg-eth0\nvi /var/tmp/ifcfg-eth0' "ONBOOT=yes"
write "cat, new file" cat /var/tmp/network "" "${lines[@]}"
write "cat, old file" cat /var/tmp/network "" "NETWORKING=yes"
write "cat, empty file" cat /var/tmp/resolv.conf ""
# A file the shell cannot create: the write stops with the shell's words, and no line of the file
# runs as a command.
mkdir "$root/var/tmp/blocked"
: >"$root$log"
result=0
pc "$writer" cat 10.78.0.11 /var/tmp/blocked "echo ran >>$log" reboot >"$out" || result=$?
check "cat, cannot create: outcome and the shell's words" "1|yes" \
  "$result|$(has "can't create /var/tmp/blocked: Is a directory" "$out")"
check "cat, cannot create: no line ran" "" "$(cat "$root$log")"
rmdir "$root/var/tmp/blocked"

# Reboot and erase, done.
for op in reboot erase; do
  device 755
  lmt "$op" 10.78.0.11 --password vorna
  echo "device log:"; cat "$root$log"
  check "$op exit status" 0 "$status"
  case $op in
    reboot)
      check "reboot message" $'The device will take\na few seconds to reboot.' "$(cat "$out")"
      check "reboot status lines" $'Establishing Telnet session...\nRebooting...' "$(cat "$err")"
      check "reboot reached the device" "reboot" "$(cat "$root$log")" ;;
    erase)
      check "erase message" $'You have erased the config files,\nbut the device will take\na few seconds to reboot.' \
        "$(cat "$out")"
      check "erase status lines" $'Establishing Telnet session...\nErasing config files...\nRebooting...' \
        "$(cat "$err")"
      check "erase reached the device" \
        $'config clear\nflashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5\nreboot' "$(cat "$root$log")" ;;
  esac
done

# Reboot and erase, refused or cut off: the exit status, the device's words, no success message.
refused() {  # refused NAME OP FLASHW-MODE VARIANT STATUS WORDS
  device "$3" "$4"
  lmt "$2" 10.78.0.11 --password vorna
  check "$1" "$5|yes|" "$status|$(has "$6" "$err")|$(cat "$out")"
}
refused "erase, flash tool missing"  erase  none '' 2 "/bin/flashw: not found"
refused "erase, flash tool refused"  erase  644  '' 2 "/bin/flashw: Permission denied"
refused "reboot refused"             reboot 755  'reboot() { echo "reboot: Permission denied"; }' \
  2 "reboot: Permission denied"
refused "erase, shell gone"          erase  755  'config() { exit 0; }' 1 "did not confirm the erase"
device 755

# Passwords. Without a terminal a refused one is exit status 2.
lmt reboot 10.78.0.11 --password wrong
check "wrong password, no terminal" 2 "$status"
at_terminal() {  # at_terminal ANSWER...: run HOST -- id at a terminal, typing the answers it asks for
  status=0
  pc "$answer" "$@" -- "$cli" run 10.78.0.11 --password wrong -- id >"$out" 2>&1 || status=$?
  echo "--- at a terminal, answering $*: exit $status"; cat "$out"
}
# At a terminal the right password, typed after a refusal, logs in, every time: busybox login
# drops what arrives before it asks for the user name again.
for attempt in 1 2 3 4 5; do
  at_terminal vorna
  check "password typed after a refusal, login $attempt" "0|yes" "$status|$(has "uid=0(admin)" "$out")"
done
# busybox login hangs up after the third refused password: that is a refusal, not silence.
at_terminal wrong wrong wrong
check "refused until the device hangs up" "2|yes" "$status|$(has "10.78.0.11 refused the password." "$out")"

# ---- Set Time and the system log ----
# The date command carries this computer's local time in English month names; "# " asks for the
# hardware clock by "hwclock -w". A device that says it cannot set its clock has failed.
device 755
lmt settime 10.78.0.11 --password vorna
today="date -s $(LC_ALL=C date +'%B %d') [0-9]{2}:[0-9]{2}:[0-9]{2}  $(date +%Y)"
check "settime exit status" 0 "$status"
check "settime: the date command" 1 "$(grep -cxE "$today" "$root$log")"
check "settime: then the hardware clock" "hwclock -w" "$(tail -n 1 "$root$log")"
device 755 "hwclock() { echo \"hwclock: can't open '/dev/misc/rtc': No such file or directory\"; }"
lmt settime 10.78.0.11 --password vorna
check "settime, no hardware clock" "2|yes|yes|" \
  "$status|$(has "Error updating time!" "$err")|$(has "can't open '/dev/misc/rtc'" "$err")|$(cat "$out")"
device 755
lmt run 10.78.0.11 --password vorna -- logger -t e2e "a line of the device syslog"
lmt log 10.78.0.11 --password vorna
check "log exit status" 0 "$status"
check "log: the device's line" yes "$(has "e2e: a line of the device syslog" "$out")"
check "log: the whole file" same "$(cmp -s "$out" "$root/var/log/syslog" && echo same || echo differs)"
# ---- end of Set Time and the system log ----
# ---- Activity report ----
# Stand-ins print what a camera prints for the files and tools this machine lacks; every value
# below is worked out by hand from them. Old firmware (1.0.9): the bus tool without -tx1.
device 755
mkdir -p "$root/etc/config"
printf 'DEVICE=eth0\nBOOTPROTO=dhcp\n' >"$root/etc/config/ifcfg-eth0"
echo "Lumetra ZelvixXL version 1.0.9" >"$root/etc/version"
cat >"$root/etc/variant" <<'VARIANT'
cat() {
  case "$1" in
    /proc/uptime) echo "28800.00 28000.00" ;;
    /proc/zelvix) printf 'id    version gain exposure fps errors frames\n127:0 10.2 12 417 15 3 75000\n' ;;
    /proc/mbus) printf 'addr  name      rx     tx     errors\n0.1   ccd       51230  51200  0\n0.79  ds1629    2204   4408   0\n0.124 watchdog  961    962    1\n' ;;
    *) command cat "$@" ;;
  esac
}
ps() { printf '  PID USER       VSZ STAT %%CPU COMMAND\n  112 admin     1824 S    12.5 /bin/zelvix\n'; }
mbus() {
  echo "mbus $*" >>/var/log/device.log
  case "$*" in */dev/watchdog*) echo "05 01 41" ;; */dev/ds1629*) echo "FF 80" ;; esac
}
VARIANT
lmt report 10.78.0.11 --password vorna --id 024C55-C80011 --json
check "report: exit status" 0 "$status"
# 75000 frames in 28800 s; 3 errors less one per 25000 frames, plus the watchdog's 1; "# " puts the
# process id between 100 and 150; 0xFF80 is -0.5 C. Too short a run, and no megapixel version.
check "report: fields and ratings" '{
  "id": "024C55-C80011",
  "mac": "02:4C:55:C8:00:11",
  "address": "10.78.0.11",
  "mode": "DHCP",
  "version": "Lumetra ZelvixXL version 1.0.9",
  "processVersion": "10.2",
  "watchdog": "1.05A",
  "temperature": 31.5,
  "uptime": 28800,
  "frames": 75000,
  "rate": 2.604167,
  "processShare": 12.5,
  "errors": 3,
  "pid": 112,
  "exposure": 417,
  "busDevices": 3,
  "busErrors": 1,
  "comments": "Report Complete.",
  "ratings": {
    "pidRange": true,
    "allDevicesFound": true,
    "tempOk": true,
    "errorCount": true,
    "frameRate": true,
    "exposureOk": true,
    "testDuration": false,
    "chipVersions": true,
    "megaPix": false
  }
}' "$(cat "$out")"
check "report: the old bus tool's commands" yes "$(has "mbus /dev/watchdog w 0 r 3" "$root$log")"
check "report: changes nothing" 0 "$(grep -cvE '^mbus ' "$root$log")"
# ---- end of the activity report ----
# Firmware upgrade: the device proves with its own ping that it reaches the PC, then a flash-tool
# stand-in fetches the image with BusyBox's own tftp client. It ignores the hang-up of the telnet
# session, as the real tool goes on by itself once the PC has closed it.
echo "Lumetra ZelvixXL version 4.2.1" >"$root/etc/version"
cat >"$root/bin/netflash" <<FLASH
#!/bin/sh
trap '' HUP
rom=; while [ \$# -gt 2 ]; do [ "\$1" = -r ] && { rom=\$2; shift; }; shift; done
echo "netflash -r \$rom \$1 \$2" >>$log
rm -f /tmp/image
if tftp -g -r "\$2" -l /tmp/image "\$1" >/tmp/netflash.out 2>&1; then
  echo "flashed \$(wc -c </tmp/image) \$(md5sum </tmp/image)" >>$log
else
  echo "fetch failed" >>$log
fi
FLASH
chmod 755 "$root/bin/netflash"
image="$NETNS_TMP/zelvixxl-4.3.0.bin"
head -c 2000000 /dev/urandom >"$image"
want_sum=$(md5sum <"$image")
echo_setting() { pc sysctl -n net.ipv4.icmp_echo_ignore_all; }
flashed() {  # the stand-in's last word, once it has one
  for _ in $(seq 1 50); do grep -qE '^(flashed|fetch failed)' "$root$log" && break; sleep 0.1; done
  grep -E '^(flashed|fetch failed)' "$root$log" || echo "nothing"
}
upgrade() { lmt upgrade 10.78.0.11 "$image" --password vorna --id 00408C-C8A1B2 "$@"; }

device 755
upgrade
check "upgrade: exit status" 0 "$status"
check "upgrade: flash tool run" yes "$(has "netflash -r /dev/rom4 10.78.0.1 bootimage.bin" "$root$log")"
check "upgrade: image arrived byte-exact" "flashed 2000000 $want_sum" "$(flashed)"
check "upgrade: erased first" yes "$(has "flashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5" "$root$log")"

# --keep-config keeps the configuration, except on firmware whose version line reads
# uClinux/ColdFire: that is erased all the same.
for version in "Lumetra ZelvixXL version 4.2.1" "uClinux/ColdFire Version 1.0.9 -- Mon Mar 2 2009"; do
  echo "$version" >"$root/etc/version"
  device 755
  upgrade --keep-config
  erased=$(grep -qF "flashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5" "$root$log" && echo erased || echo kept)
  case $version in uClinux*) want=erased ;; *) want=kept ;; esac
  check "upgrade --keep-config, $version: exit status" 0 "$status"
  check "upgrade --keep-config, $version: configuration" "$want" "$erased"
  check "upgrade --keep-config, $version: image arrived" "flashed 2000000 $want_sum" "$(flashed)"
done
echo "Lumetra ZelvixXL version 4.2.1" >"$root/etc/version"

# The PC ignoring echo requests: the device's ping fails, the upgrade allows them with --yes, and
# the setting is back as it was afterwards.
pc sysctl -qw net.ipv4.icmp_echo_ignore_all=1
check "echo ignored: the device's ping fails" no \
  "$(ip netns exec "$(netns_name dev)" ping -c 1 -W 1 10.78.0.1 >/dev/null 2>&1 && echo yes || echo no)"
device 755
upgrade --yes
check "echo ignored, allowed with --yes: exit status" 0 "$status"
check "echo ignored, allowed with --yes: image arrived" "flashed 2000000 $want_sum" "$(flashed)"
check "echo ignored: the setting restored" 1 "$(echo_setting)"
pc sysctl -qw net.ipv4.icmp_echo_ignore_all=0

# Two devices at once, each in a session of its own; the table gives each one's result.
netns_host pc dev2 02:4c:55:c8:00:12 10.78.0.12/24
root2="$NETNS_TMP/root2"
busybox_device dev2 "$root2" "$profile"
device 755
lmt settime 10.78.0.11 10.78.0.12 --password vorna --jobs 2
check "batch settime exit status" 0 "$status"
check "batch settime: each hardware clock set" "hwclock -w|hwclock -w" \
  "$(tail -n 1 "$root$log")|$(tail -n 1 "$root2$log")"
lmt reboot 10.78.0.11 10.78.0.12 --password wrong --jobs 2
check "batch reboot refused: exit status" 3 "$status"
check "batch reboot refused: a row each" 2 "$(grep -c 'refused: Please enter the correct password' "$out")"

[ "$failures" -eq 0 ] && echo "ops_busybox: passed" || { echo "ops_busybox: $failures failures"; exit 1; }
