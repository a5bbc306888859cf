#!/usr/bin/env bash
# lmtools-cli ended by a signal against lmsim devices whose every command is slow: a dropped
# session (SIGHUP) or a closed pipe (SIGPIPE) in a single or batch upgrade puts the PC's echo
# setting back as Ctrl-C does, and Ctrl-C during production ends the test at its next step with
# the table so far and the interrupted status.
# Usage: ending_signals.sh LMTOOLS-CLI LMSIM
set -euo pipefail
cli="$1"; lmsim="$2"
dir=$(mktemp -d)
sim=""
run=""
cleanup() {
  for pid in $run $sim; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT

cat >"$dir/devices.json" <<'JSON'
{"devices": [
  {"mac": "02:4C:55:C0:00:01", "address": "127.0.0.111", "commandLatencyMs": 4000},
  {"mac": "02:4C:55:C0:00:02", "address": "127.0.0.112", "commandLatencyMs": 4000},
  {"mac": "02:4C:55:C0:00:03", "address": "127.0.0.113", "commandLatencyMs": 1500}
]}
JSON
"$lmsim" --config "$dir/devices.json" --ready-file "$dir/ready" >"$dir/sim.out" 2>&1 &
sim=$!
for _ in $(seq 1 200); do [ -e "$dir/ready" ] && break; kill -0 "$sim" || break; sleep 0.05; done
[ -e "$dir/ready" ] || { echo "lmsim did not start:"; cat "$dir/sim.out"; exit 1; }
read -r -a settings <<<"$(grep -m1 '^LMTOOLS_' "$dir/sim.out")"
image="$dir/zelvix-5206e.bin"
head -c 4096 /dev/urandom >"$image"
failures=0
fail() { echo "FAILED: $1"; failures=$((failures + 1)); }

# Starts a command in the background with the settings, the stand-in echo setting and no terminal.
start() {
  env "${settings[@]}" LMTOOLS_ECHO_SETTING="$dir/echo" LMTOOLS_QUIET_MS=300 "$@" \
    </dev/null >"$dir/out" 2>"$dir/err" &
  run=$!
}
finish() {  # the exit status of the run started last goes to $status
  status=0
  wait "$run" || status=$?
  run=""
}

# Waits until the run started last has allowed echo requests; false when it never does.
allowed() {
  for _ in $(seq 1 300); do
    [ "$(cat "$dir/echo")" = 0 ] && return 0
    kill -0 "$run" 2>/dev/null || break
    sleep 0.05
  done
  echo "the upgrade never allowed echo requests: $(cat "$dir/err")"
  return 1
}
# Ends the run started last with a signal; it must exit 130 with the PC's echo setting back at 1.
ends() {  # ends WHAT SIGNAL
  kill -s "$2" "$run"
  finish
  local before=$failures
  [ "$status" -eq 130 ] || fail "$1: exit $status, expected 130"
  [ "$(cat "$dir/echo")" = 1 ] || fail "$1: the echo setting was left at $(cat "$dir/echo")"
  [ "$failures" -eq "$before" ] && echo "ok: $1"
}

for signal in HUP PIPE; do
  for hosts in "127.0.0.111" "127.0.0.111 127.0.0.112"; do
    echo 1 >"$dir/echo"  # this PC ignores echo requests until the upgrade allows them
    # shellcheck disable=SC2086
    start "$cli" upgrade $hosts "$image" --yes --password vorna
    if allowed; then ends "upgrade of $hosts, SIG$signal" "$signal"; else fail "upgrade of $hosts"; finish; fi
  done
done

# Started with nohup, a hang-up does not end the upgrade; SIGTERM still does, cleanly.
echo 1 >"$dir/echo"
start nohup "$cli" upgrade 127.0.0.111 "$image" --yes --password vorna
if allowed; then
  kill -s HUP "$run"
  sleep 0.5
  kill -0 "$run" 2>/dev/null || fail "upgrade under nohup: a hang-up ended it"
  ends "upgrade under nohup, SIGHUP then SIGTERM" TERM
else
  fail "upgrade under nohup"; finish
fi

# Production: every command takes 1.5 s, so 3 s after the start the device is being tested. Job
# control keeps Ctrl-C from being ignored by a job in the background, as it is in a script.
set -m
start "$cli" production 127.0.0.113 --password vorna
sleep 3
kill -s INT "$run"
begun=$(date +%s)
finish
before=$failures
[ "$status" -eq 130 ] || fail "production, SIGINT: exit $status, expected 130"
[ $(($(date +%s) - begun)) -le 6 ] || fail "production, SIGINT: it did not stop at its next step"
grep -qi "C00003" "$dir/out" || fail "production, SIGINT: the device's row was not printed: $(cat "$dir/out")"
grep -q "interrupted" "$dir/err" || fail "production, SIGINT: no word of the interruption: $(cat "$dir/err")"
[ "$failures" -eq "$before" ] && echo "ok: production, SIGINT"

[ "$failures" -eq 0 ] && echo "ending_signals: passed" || { echo "ending_signals: $failures failures"; exit 1; }
