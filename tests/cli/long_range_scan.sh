#!/usr/bin/env bash
# A range scan whose paced sends alone take over a minute says how long before it sends. Every
# packet goes to 127.0.0.0/24.
# Usage: long_range_scan.sh LMTOOLS-CLI
set -euo pipefail
cli="$1"
dir=$(mktemp -d)
run=""
cleanup() {
  if [ -n "$run" ]; then kill "$run" 2>/dev/null || true; wait "$run" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT
scan=(env LMTOOLS_INTERFACES=127.0.0.254/255.255.255.0 LMTOOLS_ARP_TABLE=/dev/null LMTOOLS_QUIET_MS=300
  LMTOOLS_DISCOVERY_PORT=47119 "$cli" scan --range 127.0.0.0/24)

# 254 addresses, two packets each at 4 a second: 127 s.
"${scan[@]}" --rate 4 </dev/null >/dev/null 2>"$dir/err" &
run=$!
want="Note: probing 254 addresses, two packets each at 4 a second, takes about 2 min 7 s"
for _ in $(seq 1 100); do grep -qF "$want" "$dir/err" && break; sleep 0.05; done
grep -qF "$want" "$dir/err" || { echo "FAILED: no word of the scan's length: $(cat "$dir/err")"; exit 1; }
kill -0 "$run" || { echo "FAILED: the scan ended before its sends could have"; exit 1; }
echo "ok: $(cat "$dir/err")"
