#!/usr/bin/env bash
# The hardening check refuses a program built without any hardening, and names each part it lacks.
#   refuses_unhardened.sh CHECK PROGRAM
set -uo pipefail
if output=$("$1" "$2" 2>&1); then
  echo "the check passed an unhardened program: $output"
  exit 1
fi
echo "$output"
for lack in __stack_chk_fail "fortified function" "position-independent" "read-only relocations" \
  "bound at start"; do
  grep -q "$lack" <<<"$output" || { echo "the check did not say: $lack"; exit 1; }
done
