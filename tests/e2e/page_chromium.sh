#!/usr/bin/env bash
# The all-devices page of the eight demo devices, rendered in headless Chromium over WebDriver:
# every device's picture loads, and each comes from a device on loopback. Everything runs in a
# network namespace of its own, so nothing the browser does can leave it. Saves the rendered page as
# SCREENSHOT (PNG).
# Usage: page_chromium.sh LMTOOLS-CLI LMSIM SCREENSHOT
set -euo pipefail
cli="$1"; lmsim="$2"; screenshot="$3"
. "$(dirname "$0")/netns.sh"

chromium=$(command -v chromium || true)
driver=$(command -v chromedriver || true)
if [ -z "$chromium" ] || [ -z "$driver" ]; then
  echo "SKIPPED: rendering the page needs Chromium and its WebDriver (Debian: chromium chromium-driver)"
  exit 77
fi
netns_require
netns_pc pc 10.78.0.1/24
ns=$(netns_name pc)
in_ns() { ip netns exec "$ns" env HOME="$NETNS_TMP" "$@"; }

netns_start pc "$NETNS_TMP/sim.ready" "$lmsim" --demo 8 --first 127.0.0.10 \
  --arp-file "$NETNS_TMP/arp" --ready-file "$NETNS_TMP/sim.ready"
read -r discovery http _ < <(sed -E 's/discovery=([0-9]+) http=([0-9]+) .*/\1 \2/' "$NETNS_TMP/sim.ready")
page="$NETNS_TMP/cameras.html"
in_ns LMTOOLS_DISCOVERY_PORT="$discovery" LMTOOLS_HTTP_PORT="$http" LMTOOLS_QUIET_MS=500 \
  LMTOOLS_INTERFACES=127.0.0.254/255.0.0.0 LMTOOLS_ARP_TABLE="$NETNS_TMP/arp" \
  "$cli" page --width 1300 -o "$page"

# The namespace is ours alone, so the driver's usual port is free.
wd="http://127.0.0.1:9515"
in_ns "$driver" --port=9515 >"$NETNS_TMP/driver.log" 2>&1 &
NETNS_PIDS+=($!)
request() {  # request METHOD PATH [JSON]: the answer's value
  in_ns curl -sS --max-time 60 -X "$1" -H 'Content-Type: application/json' ${3:+-d "$3"} "$wd$2" | jq -c .value
}
for _ in $(seq 1 100); do
  [ "$(in_ns curl -s "$wd/status" | jq -r '.value.ready // false' 2>/dev/null)" = true ] && break
  sleep 0.1
done

options=$(jq -nc --arg binary "$chromium" --arg profile "$NETNS_TMP/profile" '{capabilities: {alwaysMatch: {
  browserName: "chrome", "goog:chromeOptions": {binary: $binary, args: [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--window-size=1400,800", ("--user-data-dir=" + $profile)]}}}}')
session=$(request POST /session "$options" | jq -r '.sessionId // empty')
if [ -z "$session" ]; then
  echo "FAILED: no browser session"; cat "$NETNS_TMP/driver.log"; exit 1
fi
request POST "/session/$session/url" "$(jq -nc --arg url "file://$page" '{url: $url}')" >/dev/null

# Each picture: where it came from and whether it arrived whole. Loading ends with the page's load
# event; a short wait covers a picture still on its way.
check='return Array.from(document.images).map(function (i) {
  return {src: i.src, loaded: i.complete && i.naturalWidth > 0}; });'
for _ in $(seq 1 20); do
  pictures=$(request POST "/session/$session/execute/sync" "$(jq -nc --arg s "$check" '{script: $s, args: []}')")
  [ "$(jq '[.[] | select(.loaded | not)] | length' <<<"$pictures")" -eq 0 ] && break
  sleep 0.5
done
request GET "/session/$session/screenshot" | jq -r . | base64 -d >"$screenshot"
request DELETE "/session/$session" >/dev/null

jq -r '.[] | "\(if .loaded then "loaded" else "MISSING" end) \(.src)"' <<<"$pictures"
failures=0
count=$(jq length <<<"$pictures")
[ "$count" -eq 8 ] || { echo "FAILED: expected 8 pictures, the page has $count"; failures=$((failures + 1)); }
missing=$(jq '[.[] | select(.loaded | not)] | length' <<<"$pictures")
[ "$missing" -eq 0 ] || { echo "FAILED: $missing picture(s) did not load"; failures=$((failures + 1)); }
elsewhere=$(jq --arg port "$http" '[.[] | select(.src | test("^http://127\\.0\\.0\\.1[0-7]:" + $port + "/image\\.jpg") | not)] | length' <<<"$pictures")
[ "$elsewhere" -eq 0 ] || { echo "FAILED: $elsewhere picture(s) not from a demo device"; failures=$((failures + 1)); }
echo "screenshot: $screenshot"
[ "$failures" -eq 0 ] && echo "page_chromium: passed" || { echo "page_chromium: $failures failures"; exit 1; }
