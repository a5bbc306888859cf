# shellcheck shell=bash
# A real telnet device for end-to-end tests: busybox telnetd with busybox login and an ash login
# shell, chrooted, in network, mount, UTS and process namespaces of its own. Nothing of this
# machine's /etc is read or changed. Source after netns.sh; call busybox_require after
# netns_require.

# Skips (exit 77) without a busybox that has telnetd.
busybox_require() {
  BUSYBOX=$(command -v busybox || true)
  # grep reads the whole list: with -q it could stop early, and the writer's SIGPIPE would fail
  # the pipeline under pipefail, skipping the test at random.
  if [ -z "$BUSYBOX" ] || ! "$BUSYBOX" --list | grep -x telnetd >/dev/null; then
    echo "SKIPPED: needs a busybox with telnetd (Debian: busybox-static)"
    exit 77
  fi
}

# busybox_device NAME ROOT PROFILE: starts the device in namespace NAME (made by netns_host) with
# its root in ROOT: a static busybox, the user admin with password vorna, host name zelvixxl and
# the prompt "# ". Every login shell defines PROFILE's commands, then reads /etc/variant, where a
# case may redefine them. A real reboot would signal this machine's init, so reboot, halt,
# poweroff and init are left out: PROFILE gives the device's reboot.
busybox_device() {
  local name="$1" root="$2" profile="$3" hash
  mkdir -p "$root"/{bin,etc,dev,proc,tmp,var/log,var/tmp,root}
  cp "$BUSYBOX" "$root/bin/busybox"
  chroot "$root" /bin/busybox --install -s /bin
  rm -f "$root"/bin/{reboot,halt,poweroff,init}
  hash=$("$BUSYBOX" mkpasswd -m sha512 vorna)
  echo "admin:x:0:0:admin:/root:/bin/sh" >"$root/etc/passwd"
  echo "admin:$hash:19000:0:99999:7:::" >"$root/etc/shadow"
  chmod 600 "$root/etc/shadow"
  echo "root:x:0:" >"$root/etc/group"
  printf "PS1='# '\n%s\n. /etc/variant\n" "$profile" >"$root/etc/profile"
  : >"$root/etc/variant"

  local ready="$NETNS_TMP/$name.ready"
  cat >"$NETNS_TMP/$name.sh" <<DEVICE
set -e
hostname zelvixxl
# A /dev of its own, with its own terminals and this machine's plain device nodes: the device's
# syslogd makes its /dev/log there, not in this machine's /dev.
mount -t tmpfs -o mode=755 devices "$root/dev"
for node in null zero random urandom tty; do
  : >"$root/dev/\$node"; mount --bind "/dev/\$node" "$root/dev/\$node"
done
mkdir "$root/dev/pts"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
# Its own process namespace: ps on the device lists the device's processes only. Its system log
# is BusyBox syslogd's.
unshare --pid --fork --mount-proc="$root/proc" chroot "$root" /bin/sh -c \
  '/bin/busybox syslogd -O /var/log/syslog; exec /bin/busybox telnetd -F -p 23 -l /bin/login' &
for i in \$(seq 1 100); do
  ss -ltn | grep -q ':23 ' && { echo up >"$ready"; break; }
  sleep 0.1
done
wait
DEVICE
  netns_start "$name" "$ready" unshare --mount --uts bash "$NETNS_TMP/$name.sh"
}
