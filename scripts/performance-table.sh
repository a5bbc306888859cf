#!/usr/bin/env bash
# Puts the benchmarks' own figures into the README's performance table. Each benchmark prints a
# "row: | what (`bench/NAME`) | figure | target | verdict |" line per row it owns. Rows are matched
# by their "what" with the numbers masked, so a run with another device count replaces its row: the
# new rows of a "what" (several when a benchmark measures several counts or rates) take the place of
# the table's rows of that "what"; a new "what" goes at the table's end, and rows no output names
# keep their figures.
#   scripts/performance-table.sh [--readme FILE] [OUTPUT...]      benchmark outputs (files or stdin)
#   scripts/performance-table.sh [--readme FILE] --run BUILD [NAME...]
#                                 runs the benchmarks of BUILD/bench (all, or the NAMEs) first
set -euo pipefail
cd "$(dirname "$0")/.."
readme=README.md
if [ "${1:-}" = "--readme" ]; then readme="$2"; shift 2; fi

rows=$(mktemp)
trap 'rm -f "$rows" "$rows.new"' EXIT
if [ "${1:-}" = "--run" ]; then
  build="$2"; shift 2
  # Benchmark program names have no spaces.
  # shellcheck disable=SC2046
  [ $# -gt 0 ] || set -- $(find "$build/bench" -maxdepth 1 -name '*_benchmark' -type f -executable -printf '%f\n' | sort)
  for name in "$@"; do
    echo "== $name" >&2
    # A benchmark that misses its target exits non-zero; its rows still say so.
    "$build/bench/$name" | tee /dev/stderr | grep '^row: ' >>"$rows" || true
  done
else
  cat "$@" | grep '^row: ' >"$rows" || true
fi
if [ ! -s "$rows" ]; then
  echo "no row: lines in the benchmarks' output" >&2
  exit 1
fi

if ! grep -q '^<!-- performance table begin -->$' "$readme" || ! grep -q '^<!-- performance table end -->$' "$readme"; then
  echo "$readme has no <!-- performance table begin/end --> markers" >&2
  exit 1
fi

# A row's key is its first cell with every number masked; it must name a `bench/...` program.
awk -v rowsFile="$rows" '
  function key(row,   cells) {
    split(row, cells, "|")
    if (cells[2] !~ /`bench\/[^`]*`/) return ""
    gsub(/[0-9][0-9,.]*/, "#", cells[2])
    gsub(/^ +| +$/, "", cells[2])
    return cells[2]
  }
  BEGIN {
    while ((getline line < rowsFile) > 0) {
      sub(/^row: /, "", line)
      if (line in seen) continue
      seen[line] = 1
      k = key(line)
      if (k == "") { print "a row without a `bench/...` name: " line > "/dev/stderr"; failed = 1; continue }
      if (!(k in fresh)) { order[++count] = k; fresh[k] = line } else fresh[k] = fresh[k] "\n" line
    }
  }
  /^<!-- performance table end -->$/ {
    for (i = 1; i <= count; ++i) if (!(order[i] in used)) print fresh[order[i]]
    inside = 0
  }
  inside && /^\|/ {
    k = key($0)
    if (k in fresh) { if (!(k in used)) print fresh[k]; used[k] = 1; next }
  }
  /^<!-- performance table begin -->$/ { inside = 1 }
  { print }
  END { exit failed }
' "$readme" >"$rows.new"
cat "$rows.new" >"$readme"
echo "$(wc -l <"$rows") rows put into $readme" >&2
