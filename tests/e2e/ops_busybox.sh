#!/usr/bin/env bash
# Reboot and erase against a real telnet device: busybox telnetd with busybox login and an ash login
# shell, in a network namespace of its own. The device's own commands only log what reached them.
# Usage: ops_busybox.sh LMTOOLS-CLI
set -euo pipefail
cli="$1"
. "$(dirname "$0")/netns.sh"
netns_require
busybox=$(command -v busybox || true)
if [ -z "$busybox" ] || ! "$busybox" --list | grep -qx telnetd; then
  echo "SKIPPED: needs a busybox with telnetd (Debian: busybox-static)"
  exit 77
fi

netns_pc pc 10.78.0.1/24
netns_host pc dev 02:4c:55:c8:00:11 10.78.0.11/24

# The device's root: a static busybox, its own passwd and shadow (admin/vorna), the profile of its
# login shell, and a flash tool that logs. The device runs chrooted in a private mount namespace, so
# nothing of the host's /etc is read or changed.
root="$NETNS_TMP/root"
mkdir -p "$root"/{bin,etc,dev,tmp,var/log,root}
cp "$busybox" "$root/bin/busybox"
chroot "$root" /bin/busybox --install -s /bin
# A real reboot would signal this machine's init: the shell's own function stands in for it.
rm -f "$root"/bin/{reboot,halt,poweroff,init}
hash=$("$busybox" mkpasswd -m sha512 vorna)
echo "admin:x:0:0:admin:/root:/bin/sh" >"$root/etc/passwd"
echo "admin:$hash:19000:0:99999:7:::" >"$root/etc/shadow"
chmod 600 "$root/etc/shadow"
echo "root:x:0:" >"$root/etc/group"
log=/var/log/device.log
cat >"$root/etc/profile" <<PROFILE
PS1='# '
# config refuses "clear", as older firmware does, so the erase takes the flash path.
config() { echo "config \$*" >>$log; [ "\$1" = clear ] && echo "config: Permission denied"; return 0; }
reboot() { echo "reboot" >>$log; echo; echo "The system is going down NOW !!"; exit 0; }
PROFILE
printf '#!/bin/sh\necho "flashw $*" >>%s\n' "$log" >"$root/bin/flashw"
chmod 755 "$root/bin/flashw"

ready="$NETNS_TMP/dev.ready"
cat >"$NETNS_TMP/device.sh" <<DEVICE
set -e
hostname zelvixxl
mount --rbind /dev "$root/dev"
chroot "$root" /bin/busybox telnetd -F -p 23 -l /bin/login &
for i in \$(seq 1 100); do
  ss -ltn | grep -q ':23 ' && { echo up >"$ready"; break; }
  sleep 0.1
done
wait
DEVICE
netns_start dev "$ready" unshare --mount --uts bash "$NETNS_TMP/device.sh"

failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else
    echo "FAILED: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
pc() { ip netns exec "$(netns_name pc)" "$@"; }

for op in reboot erase; do
  : >"$root$log"
  status=0
  pc "$cli" "$op" 10.78.0.11 --password vorna >"$NETNS_TMP/out" 2>"$NETNS_TMP/err" </dev/null || status=$?
  echo "--- lmtools-cli $op 10.78.0.11 --password vorna: exit $status"
  echo "stdout:"; cat "$NETNS_TMP/out"
  echo "stderr:"; cat "$NETNS_TMP/err"
  echo "device log:"; cat "$root$log"
  check "$op exit status" 0 "$status"
  case $op in
    reboot)
      check "reboot message" $'The device will take\na few seconds to reboot.' "$(cat "$NETNS_TMP/out")"
      check "reboot status lines" $'Establishing Telnet session...\nRebooting...' "$(cat "$NETNS_TMP/err")"
      check "reboot reached the device" "reboot" "$(cat "$root$log")" ;;
    erase)
      check "erase message" $'You have erased the config files,\nbut the device will take\na few seconds to reboot.' \
        "$(cat "$NETNS_TMP/out")"
      check "erase status lines" $'Establishing Telnet session...\nErasing config files...\nRebooting...' \
        "$(cat "$NETNS_TMP/err")"
      check "erase reached the device" \
        $'config clear\nflashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5\nreboot' "$(cat "$root$log")" ;;
  esac
done

# A wrong password is refused by the device's login; without a terminal that is exit status 2.
status=0
pc "$cli" reboot 10.78.0.11 --password wrong >/dev/null 2>"$NETNS_TMP/err" </dev/null || status=$?
echo "--- lmtools-cli reboot 10.78.0.11 --password wrong: exit $status"; cat "$NETNS_TMP/err"
check "wrong password exit status" 2 "$status"

[ "$failures" -eq 0 ] && echo "ops_busybox: passed" || { echo "ops_busybox: $failures failures"; exit 1; }
