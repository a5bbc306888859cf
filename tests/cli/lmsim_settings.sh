#!/usr/bin/env bash
# The settings line lmsim prints, pasted before "lmtools-cli scan" with nothing else set, finds
# its devices on loopback outside any namespace. Skips (77) where no ICMP socket may be opened:
# the scan then sends no probe.
# Usage: lmsim_settings.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
dir=$(mktemp -d)
sim=""
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT

# With the devices' own sockets and with sockets shared by every address: the same devices found.
for sockets in per-address shared; do
  rm -f "$dir/ready"
  "$lmsim" --demo 3 --first 127.0.0.71 --sockets "$sockets" --ready-file "$dir/ready" >"$dir/sim.out" 2>&1 &
  sim=$!
  for _ in $(seq 1 200); do [ -e "$dir/ready" ] && break; kill -0 "$sim" || break; sleep 0.05; done
  [ -e "$dir/ready" ] || { echo "lmsim did not start:"; cat "$dir/sim.out"; exit 1; }
  settings=$(grep -m1 '^LMTOOLS_' "$dir/sim.out")
  echo "lmsim --sockets $sockets printed: $settings"

  # Pasted as it is, into a shell whose environment holds nothing else but a short quiet period.
  status=0
  env -i PATH="$PATH" LMTOOLS_QUIET_MS=300 sh -c "$settings \"\$0\" scan --json" "$cli" \
    >"$dir/scan.json" 2>"$dir/scan.err" || status=$?
  cat "$dir/scan.json" "$dir/scan.err"
  if grep -q "no ICMP socket" "$dir/scan.err"; then echo "skipped: no ICMP socket here"; exit 77; fi
  found=$(grep -cE '"address": "127\.0\.0\.7[123]"' "$dir/scan.json" || true)
  [ "$status" -eq 0 ] && [ "$found" -eq 3 ] || { echo "FAILED: exit $status, $found of 3 devices found"; exit 1; }
  echo "ok: 3 of 3 devices found"
  kill "$sim"; wait "$sim" || true; sim=""
done
