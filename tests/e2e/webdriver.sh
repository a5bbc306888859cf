# shellcheck shell=bash
# Helpers for end-to-end tests that render a file in headless Chromium over WebDriver, inside the
# PC namespace "pc" of netns.sh. Source after netns.sh; call webdriver_require before netns_pc.

# webdriver_require WHAT: skips (exit 77) where Chromium or its WebDriver is missing.
webdriver_require() {
  WEBDRIVER_CHROMIUM=$(command -v chromium || true)
  WEBDRIVER_DRIVER=$(command -v chromedriver || true)
  if [ -z "$WEBDRIVER_CHROMIUM" ] || [ -z "$WEBDRIVER_DRIVER" ]; then
    echo "SKIPPED: rendering $1 needs Chromium and its WebDriver (Debian: chromium chromium-driver)"
    exit 77
  fi
}

# in_ns COMMAND...: runs in the PC namespace, with the test's folder as home.
in_ns() { ip netns exec "$(netns_name pc)" env HOME="$NETNS_TMP" "$@"; }

# The namespace is ours alone, so the driver's usual port is free.
WEBDRIVER_URL="http://127.0.0.1:9515"

# webdriver_request METHOD PATH [JSON]: the answer's value.
webdriver_request() {
  in_ns curl -sS --max-time 60 -X "$1" -H 'Content-Type: application/json' ${3:+-d "$3"} \
    "$WEBDRIVER_URL$2" | jq -c .value
}

# webdriver_open FILE WIDTH,HEIGHT: starts the driver and a browser of that window size showing
# FILE; the session is WEBDRIVER_SESSION.
webdriver_open() {
  in_ns "$WEBDRIVER_DRIVER" --port=9515 >"$NETNS_TMP/driver.log" 2>&1 &
  NETNS_PIDS+=($!)
  for _ in $(seq 1 100); do
    [ "$(in_ns curl -s "$WEBDRIVER_URL/status" | jq -r '.value.ready // false' 2>/dev/null)" = true ] && break
    sleep 0.1
  done
  local options
  options=$(jq -nc --arg binary "$WEBDRIVER_CHROMIUM" --arg profile "$NETNS_TMP/profile" --arg size "$2" \
    '{capabilities: {alwaysMatch: {browserName: "chrome", "goog:chromeOptions": {binary: $binary, args: [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    ("--window-size=" + $size), ("--user-data-dir=" + $profile)]}}}}')
  WEBDRIVER_SESSION=$(webdriver_request POST /session "$options" | jq -r '.sessionId // empty')
  if [ -z "$WEBDRIVER_SESSION" ]; then
    echo "FAILED: no browser session"; cat "$NETNS_TMP/driver.log"; exit 1
  fi
  webdriver_request POST "/session/$WEBDRIVER_SESSION/url" "$(jq -nc --arg url "file://$1" '{url: $url}')" >/dev/null
}

# webdriver_run SCRIPT: what the script returns in the page, as JSON.
webdriver_run() {
  webdriver_request POST "/session/$WEBDRIVER_SESSION/execute/sync" "$(jq -nc --arg s "$1" '{script: $s, args: []}')"
}

# webdriver_close SCREENSHOT: saves what the browser shows as PNG and ends the session.
webdriver_close() {
  webdriver_request GET "/session/$WEBDRIVER_SESSION/screenshot" | jq -r . | base64 -d >"$1"
  webdriver_request DELETE "/session/$WEBDRIVER_SESSION" >/dev/null
}
