#!/usr/bin/env bash
# Formats every C++ file of the tree (src tests tools bench) with .clang-format.
#   scripts/format.sh           rewrites the files that differ
#   scripts/format.sh --check   changes nothing; lists the files that differ and fails if any do
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
[ "${1:-}" = "--check" ] && check=true

mapfile -t files < <(find src tests tools bench -type f \( -name '*.h' -o -name '*.cpp' \) | LC_ALL=C sort)

if ! $check; then
  clang-format -i "${files[@]}"
  exit 0
fi

status=0
output=$(clang-format --dry-run --Werror "${files[@]}" 2>&1) || status=$?
[ "$status" -eq 0 ] && exit 0
# One line per file that differs, not every difference in it.
differing=$(sed -nE 's/^(.+):[0-9]+:[0-9]+: error: .*\[-Wclang-format-violations\]$/\1/p' <<<"$output" | uniq)
if [ -z "$differing" ]; then
  echo "$output"  # clang-format failed for another reason
else
  echo "$differing"
  echo "$(wc -l <<<"$differing") of ${#files[@]} files differ from .clang-format: run scripts/format.sh"
fi
exit 1
