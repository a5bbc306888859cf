#!/bin/bash
# Every man page formats without a single warning: lmtools-cli(1) as the program writes it, and the
# pages written by hand.
# Usage: man_pages.sh LMTOOLS_CLI PACKAGING_MAN_DIR
set -u
cli=$1 dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" manpage >"$work/lmtools-cli.1" || { echo "lmtools-cli manpage failed"; exit 1; }
failures=0
for page in "$work/lmtools-cli.1" "$dir"/*.1; do
  for check in "groff -ww -z -man" "man --warnings -l"; do
    said=$(LC_ALL=C.UTF-8 MANWIDTH=80 $check "$page" 2>&1 >/dev/null)
    if [ -n "$said" ]; then
      echo "$check $(basename "$page"):"
      echo "$said"
      failures=$((failures + 1))
    fi
  done
  grep -q '^\.SH NAME' "$page" || { echo "$page has no NAME"; failures=$((failures + 1)); }
done
# The sections a reader looks for, and every command of the program's help.
for section in SYNOPSIS DESCRIPTION COMMANDS EXAMPLES ENVIRONMENT FILES "EXIT STATUS" "SEE ALSO"; do
  grep -q "^\.SH $section" "$work/lmtools-cli.1" || { echo "lmtools-cli.1 lacks $section"; failures=$((failures + 1)); }
done
for command in $("$cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }'); do
  grep -qxF ".SS ${command//-/\\-}" "$work/lmtools-cli.1" || { echo "lmtools-cli.1 has no section for $command"; failures=$((failures + 1)); }
done
for variable in LMTOOLS_PASSWORD LMTOOLS_SERIAL_PORTS; do
  grep -q "$variable" "$work/lmtools-cli.1" || { echo "lmtools-cli.1 does not name $variable"; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] && echo "man pages: no warnings"
exit $((failures > 0))
