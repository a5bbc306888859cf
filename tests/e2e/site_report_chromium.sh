#!/usr/bin/env bash
# The site report of four simulated devices, rendered in headless Chromium over WebDriver: it renders
# a card per device, every picture loads from the file itself (a placeholder where a device gave
# none or one that cannot be shown), and the device whose discovery reply and host name hold markup,
# script and quotes shows them as text: no script element, no extra picture, nothing run. The
# browser and the devices live in a network namespace of their own. Saves the rendered report as
# SCREENSHOT (PNG).
# Usage: site_report_chromium.sh LMTOOLS-CLI LMSIM SCREENSHOT
set -euo pipefail
cli="$1"; lmsim="$2"; screenshot="$3"
. "$(dirname "$0")/netns.sh"
. "$(dirname "$0")/webdriver.sh"

webdriver_require "the report"
netns_require
netns_pc pc 10.79.0.1/24

hostile_reply='Lumetra/Zel<script>window.pwned=1</script>-2 cam 4.2.1"'"'"'><img/src=x/onerror=window.pwned=2> id=024C55-C80001<b>bold</b>'
jq -n --arg reply "$hostile_reply" '{devices: [
  {mac: "02:4C:55:C8:00:00", address: "127.0.0.10"},
  {mac: "02:4C:55:C8:00:01", address: "127.0.0.11", reply: $reply,
   hostname: "cam\"<script>window.pwned=3</script>"},
  {mac: "02:4C:55:C8:00:02", address: "127.0.0.12", http: {fault: "notFound"}},
  {mac: "02:4C:55:C8:00:03", address: "127.0.0.13", http: {fault: "hugePicture"}}]}' >"$NETNS_TMP/devices.json"
netns_start pc "$NETNS_TMP/sim.ready" "$lmsim" --config "$NETNS_TMP/devices.json" \
  --arp-file "$NETNS_TMP/arp" --ready-file "$NETNS_TMP/sim.ready"
read -r discovery http telnet < <(sed -E 's/discovery=([0-9]+) http=([0-9]+) telnet=([0-9]+).*/\1 \2 \3/' "$NETNS_TMP/sim.ready")
report="$NETNS_TMP/site.html"
status=0
in_ns LMTOOLS_DISCOVERY_PORT="$discovery" LMTOOLS_HTTP_PORT="$http" LMTOOLS_TELNET_PORT="$telnet" \
  LMTOOLS_QUIET_MS=500 LMTOOLS_INTERFACES=127.0.0.254/255.0.0.0 LMTOOLS_ARP_TABLE="$NETNS_TMP/arp" \
  "$cli" site-report --all --with-tests -o "$report" || status=$?
# Some devices fail the production test: the report is still written, and says so in its status.
[ "$status" -eq 0 ] || [ "$status" -eq 3 ] || { echo "FAILED: site-report exited $status"; exit 1; }

webdriver_open "$report" 1000,1400

check='return {
  pictures: Array.from(document.images).map(function (i) {
    return {src: i.src.slice(0, 30), alt: i.alt, loaded: i.complete && i.naturalWidth > 0}; }),
  cards: document.querySelectorAll("section.card").length,
  scripts: document.scripts.length,
  handlers: document.querySelectorAll("[onerror],[onload],[onclick]").length,
  bold: document.querySelectorAll("b > b, h2 b").length,
  pwned: window.pwned === undefined ? null : window.pwned,
  text: document.body.innerText};'
for _ in $(seq 1 20); do
  seen=$(webdriver_run "$check")
  [ "$(jq '[.pictures[] | select(.loaded | not)] | length' <<<"$seen")" -eq 0 ] && break
  sleep 0.5
done
webdriver_close "$screenshot"

jq -r '.pictures[] | "\(if .loaded then "loaded" else "MISSING" end) \(.alt) \(.src)"' <<<"$seen"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
[ "$(jq .cards <<<"$seen")" -eq 4 ] || fail "expected 4 device cards, the report has $(jq .cards <<<"$seen")"
[ "$(jq '.pictures | length' <<<"$seen")" -eq 4 ] || fail "expected 4 pictures, the report has $(jq '.pictures | length' <<<"$seen")"
[ "$(jq '[.pictures[] | select(.loaded | not)] | length' <<<"$seen")" -eq 0 ] || fail "a picture did not load"
[ "$(jq '[.pictures[] | select(.src | startswith("data:") | not)] | length' <<<"$seen")" -eq 0 ] ||
  fail "a picture is not inlined"
[ "$(jq '[.pictures[] | select(.alt == "No picture")] | length' <<<"$seen")" -eq 2 ] ||
  fail "the devices without a usable picture should show the placeholder"
[ "$(jq .scripts <<<"$seen")" -eq 0 ] || fail "device text became a script element"
[ "$(jq .handlers <<<"$seen")" -eq 0 ] || fail "device text became an event handler"
[ "$(jq .bold <<<"$seen")" -eq 0 ] || fail "device text became markup"
[ "$(jq .pwned <<<"$seen")" = null ] || fail "device text ran as script"
for literal in '<script>window.pwned=1</script>' '<img/src=x/onerror=window.pwned=2>' \
  '024C55-C80001<b>bold</b>' 'cam"<script>window.pwned=3</script>'; do
  jq -e --arg l "$literal" '.text | contains($l)' <<<"$seen" >/dev/null || fail "the report does not show $literal as text"
done
echo "screenshot: $screenshot"
[ "$failures" -eq 0 ] && echo "site_report_chromium: passed" || { echo "site_report_chromium: $failures failures"; exit 1; }
