# Helpers for end-to-end tests in network namespaces: a PC namespace with a bridge, and device
# namespaces wired to it. Every namespace and process made here is removed by netns_cleanup.
# Source this file; call netns_require first.

NETNS_PREFIX="lmt$$"
NETNS_LIST=()
NETNS_PIDS=()
NETNS_TMP=""

netns_require() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: network-namespace tests need root (CI runs them as root)"
    exit 77
  fi
  if ! command -v ip >/dev/null || ! ip netns add "${NETNS_PREFIX}probe" 2>/dev/null; then
    echo "SKIPPED: cannot create network namespaces here (iproute2 missing or not permitted)"
    exit 77
  fi
  ip netns del "${NETNS_PREFIX}probe"
  NETNS_TMP=$(mktemp -d)
  trap netns_cleanup EXIT
  trap 'exit 130' INT TERM
}

netns_cleanup() {
  local pid ns
  for pid in "${NETNS_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${NETNS_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  for ns in "${NETNS_LIST[@]}"; do
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
  done
  [ -n "$NETNS_TMP" ] && rm -rf "$NETNS_TMP"
}

# The namespace's full name for a short one; the functions below take short names.
netns_name() { echo "${NETNS_PREFIX}$1"; }

# netns_add NAME: an empty namespace with loopback up, removed by netns_cleanup.
netns_add() {
  local ns
  ns=$(netns_name "$1")
  NETNS_LIST+=("$ns")
  ip netns add "$ns"
  ip -n "$ns" link set lo up
}

# netns_pc NAME ADDRESS/PREFIX [BRIDGE]: the PC's namespace (made on the first call), with a bridge
# (br0 unless named) holding the address.
netns_pc() {
  local ns bridge="${3:-br0}"
  ns=$(netns_name "$1")
  [[ " ${NETNS_LIST[*]} " == *" $ns "* ]] || netns_add "$1"
  ip -n "$ns" link add "$bridge" type bridge
  ip -n "$ns" addr add "$2" dev "$bridge"
  ip -n "$ns" link set "$bridge" up
}

# netns_host PC NAME MAC ADDRESS/PREFIX [BRIDGE]: a host on the PC's bridge (br0 unless named). It
# answers broadcast echo requests, as the devices do.
netns_host() {
  local pc ns mac="$3" addr="$4" port="v$2" bridge="${5:-br0}"
  pc=$(netns_name "$1")
  ns=$(netns_name "$2")
  netns_add "$2"
  ip -n "$pc" link add "$port" type veth peer name eth0 netns "$ns"
  ip -n "$pc" link set "$port" master "$bridge" up
  ip -n "$ns" link set eth0 address "$mac"
  ip -n "$ns" addr add "$addr" dev eth0
  ip -n "$ns" link set eth0 up
  ip netns exec "$ns" sysctl -qw net.ipv4.icmp_echo_ignore_broadcasts=0
}

# netns_start NAME READYFILE COMMAND...: runs a program in a namespace and waits for its ready file.
netns_start() {
  local ns ready="$2"
  ns=$(netns_name "$1"); shift 2
  ip netns exec "$ns" "$@" >"$ready.log" 2>&1 &
  NETNS_PIDS+=($!)
  local i
  for i in $(seq 1 100); do
    [ -s "$ready" ] && return 0
    kill -0 "$!" 2>/dev/null || { echo "FAILED: $* exited:"; cat "$ready.log"; return 1; }
    sleep 0.1
  done
  echo "FAILED: $* did not become ready"; cat "$ready.log"; return 1
}
