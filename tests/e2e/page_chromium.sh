#!/usr/bin/env bash
# The all-devices page of the eight demo devices, rendered in headless Chromium over WebDriver:
# every device's picture loads, and each comes from a device on loopback. Everything runs in a
# network namespace of its own, so nothing the browser does can leave it. Saves the rendered page as
# SCREENSHOT (PNG).
# Usage: page_chromium.sh LMTOOLS-CLI LMSIM SCREENSHOT
set -euo pipefail
cli="$1"; lmsim="$2"; screenshot="$3"
. "$(dirname "$0")/netns.sh"
. "$(dirname "$0")/webdriver.sh"

webdriver_require "the page"
netns_require
netns_pc pc 10.78.0.1/24

netns_start pc "$NETNS_TMP/sim.ready" "$lmsim" --demo 8 --first 127.0.0.10 \
  --arp-file "$NETNS_TMP/arp" --ready-file "$NETNS_TMP/sim.ready"
read -r discovery http _ < <(sed -E 's/discovery=([0-9]+) http=([0-9]+) .*/\1 \2/' "$NETNS_TMP/sim.ready")
page="$NETNS_TMP/cameras.html"
in_ns LMTOOLS_DISCOVERY_PORT="$discovery" LMTOOLS_HTTP_PORT="$http" LMTOOLS_QUIET_MS=500 \
  LMTOOLS_INTERFACES=127.0.0.254/255.0.0.0 LMTOOLS_ARP_TABLE="$NETNS_TMP/arp" \
  "$cli" page --width 1300 -o "$page"

webdriver_open "$page" 1400,800

# Each picture: where it came from and whether it arrived whole. Loading ends with the page's load
# event; a short wait covers a picture still on its way.
check='return Array.from(document.images).map(function (i) {
  return {src: i.src, loaded: i.complete && i.naturalWidth > 0}; });'
for _ in $(seq 1 20); do
  pictures=$(webdriver_run "$check")
  [ "$(jq '[.[] | select(.loaded | not)] | length' <<<"$pictures")" -eq 0 ] && break
  sleep 0.5
done
webdriver_close "$screenshot"

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
