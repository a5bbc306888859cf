#!/usr/bin/env bash
# scripts/performance-table.sh on a README of its own: rows replaced by their words (numbers
# aside), new ones added at the table's end, everything else kept; refusals for missing markers
# and rows that name no benchmark.
set -euo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/performance-table.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; diff -u "$work/expected" "$work/README.md" || true; exit 1; }

cat >"$work/README.md" <<'MD'
# Title
| not | the table |
<!-- performance table begin -->
| what | figure | target | verdict |
|---|---|---|---|
| 1,000 devices scanned (`bench/scan_benchmark`) | 1 s | 2 s | met |
| typed by hand, no name | 3 | 4 | met |
| 8 MiB by TFTP (`bench/tftp_benchmark`) | 9 s | 1 s | NOT met |
<!-- performance table end -->
after
MD
cat >"$work/out.txt" <<'OUT'
tftp: something the benchmark says
row: | 8 MiB by TFTP (`bench/tftp_benchmark`) | 0.4 s | 1 s | met |
row: | 10,000 devices scanned (`bench/scan_benchmark`) | 5 s | 6 s | met |
row: | 20,000 devices scanned (`bench/scan_benchmark`) | 9 s | 6 s | NOT met |
row: | memory (`bench/memory_benchmark` at 6,000) | 90 MB | 200 MB | met |
OUT
"$script" --readme "$work/README.md" "$work/out.txt" 2>/dev/null
cat >"$work/expected" <<'MD'
# Title
| not | the table |
<!-- performance table begin -->
| what | figure | target | verdict |
|---|---|---|---|
| 10,000 devices scanned (`bench/scan_benchmark`) | 5 s | 6 s | met |
| 20,000 devices scanned (`bench/scan_benchmark`) | 9 s | 6 s | NOT met |
| typed by hand, no name | 3 | 4 | met |
| 8 MiB by TFTP (`bench/tftp_benchmark`) | 0.4 s | 1 s | met |
| memory (`bench/memory_benchmark` at 6,000) | 90 MB | 200 MB | met |
<!-- performance table end -->
after
MD
cmp -s "$work/expected" "$work/README.md" || fail "rows replaced and added"

# Run again from standard input with a newer figure: replaced in place, not added twice.
# shellcheck disable=SC2016 # the backticks are Markdown
echo 'row: | memory (`bench/memory_benchmark` at 6,000) | 95 MB | 200 MB | met |' |
  "$script" --readme "$work/README.md" 2>/dev/null
sed -i 's/| 90 MB |/| 95 MB |/' "$work/expected"
cmp -s "$work/expected" "$work/README.md" || fail "a second run replaces in place"

# Refusals leave the README as it was.
cp "$work/README.md" "$work/before"
for case in "nameless|row: | no name here | 1 | 2 | met |" "no rows|just words"; do
  printf '%s\n' "${case#*|}" >"$work/bad.txt"
  if "$script" --readme "$work/README.md" "$work/bad.txt" 2>/dev/null; then fail "${case%%|*} accepted"; fi
  cmp -s "$work/before" "$work/README.md" || fail "${case%%|*} changed the README"
done
grep -v 'performance table end' "$work/before" >"$work/README.md"
if "$script" --readme "$work/README.md" "$work/out.txt" 2>/dev/null; then fail "a README without markers accepted"; fi
echo "performance table script: all cases passed"
