#!/usr/bin/env bash
# Checks a Debian package of the build without installing it: exactly the files an installation
# holds plus the Debian-only ones, owned by root with Debian's modes, man pages and changelog
# compressed with gzip -9n, stripped programs, a postinst, a machine-readable copyright, valid
# AppStream metainfo and desktop entry, and no lintian error or warning that is not overridden.
# Usage: package_check.sh DEB
set -euo pipefail
deb="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/data"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dpkg-deb -x "$deb" "$tree"
doc="$tree/usr/share/doc/lmtools"

if ! diff <(cat "$here/installed-files.txt" "$here/package-only-files.txt" | grep -v '^#' | sed 's|^|usr/|' |
  LC_ALL=C sort) <(cd "$tree" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); then
  fail "the package's files differ from the lists (<: listed only, >: in the package only)"
fi

# "MODE OWNER/GROUP SIZE DATE TIME ./PATH" per entry.
while read -r mode owner _ _ _ path; do
  case "$path" in
    */) want=drwxr-xr-x ;;
    ./usr/bin/*) want=-rwxr-xr-x ;;
    *) want=-rw-r--r-- ;;
  esac
  [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
done < <(dpkg-deb --contents "$deb")

# gzip's header: flags (3), modification time (4 to 7), extra flags (8: 2 is the best compression).
for gz in "$tree"/usr/share/man/man1/* "$doc/changelog.Debian.gz"; do
  [ -f "$gz" ] || continue  # a missing file is named above
  read -r -a h <<<"$(od -An -tu1 -N10 "$gz")"
  { [ "${h[0]}" = 31 ] && [ "${h[1]}" = 139 ]; } || { fail "${gz#"$tree"} is not gzipped"; continue; }
  [ $((h[3] & 8)) -eq 0 ] || fail "${gz#"$tree"} keeps a file name (gzip without -n)"
  [ "${h[4]}${h[5]}${h[6]}${h[7]}" = 0000 ] || fail "${gz#"$tree"} keeps a time (gzip without -n)"
  [ "${h[8]}" = 2 ] || fail "${gz#"$tree"} is not compressed with gzip -9"
done

for program in "$tree"/usr/bin/*; do
  sections=$(readelf --section-headers --wide "$program")
  ! grep -qE ' \.(symtab|debug_[a-z]+) ' <<<"$sections" || fail "${program#"$tree"} is not stripped"
done
"$here/../../scripts/check-hardening.sh" "$tree"/usr/bin/* >/dev/null ||
  fail "the packaged programs lack hardening"

control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -tv)
if grep -qE '^-rwxr-xr-x .* \./postinst$' <<<"$control"; then
  dpkg-deb --control "$deb" "$work/control"
  postinst="$work/control/postinst"
  sh -n "$postinst" || fail "the postinst is not a valid shell script"
  # A setcap that refuses, and none at all: the installation goes on and says what is missing.
  # (Installed, the postinst grants the capabilities: scripts/test.sh checks that as root.)
  fake="$work/bin"
  mkdir "$fake"
  printf '#!/bin/sh\necho "$*" >>"%s/calls"\nexit 1\n' "$fake" >"$fake/setcap"
  chmod +x "$fake/setcap"
  caps=cap_net_raw,cap_net_bind_service+ep
  said=$(PATH="$fake:/usr/bin:/bin" sh "$postinst" configure 2>&1) ||
    fail "the postinst failed when setcap refused: $said"
  calls=$(cat "$fake/calls" 2>/dev/null || true)
  [ "$calls" = "$caps /usr/bin/lmtools-cli"$'\n'"$caps /usr/bin/lmtools" ] || fail "the postinst ran setcap so: $calls"
  [[ $said == *"could not grant $caps to /usr/bin/lmtools-cli"*"could not grant $caps to /usr/bin/lmtools "* ]] ||
    fail "the postinst did not say that setcap refused: $said"
  said=$(PATH=/usr/bin:/bin sh "$postinst" configure 2>&1) || fail "the postinst failed without setcap: $said"
  [[ $said == *"setcap (package libcap2-bin) is not installed"*"  setcap $caps /usr/bin/lmtools-cli"* ]] ||
    fail "without setcap the postinst said: $said"
else
  fail "no executable postinst"
fi

copyright="$doc/copyright"
if [ -f "$copyright" ]; then
  head -n1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file does not begin with its format's Format line"
  grep -q '^Files: \*$' "$copyright" || fail "the copyright file has no Files: * paragraph"
  # Each license a Files paragraph names without its text has a paragraph of its own.
  missing=$(awk '
    function close_paragraph() { if (files && license != "" && !text) wanted[license] = 1 }
    /^$/ { close_paragraph(); files = 0; license = ""; text = 0; next }
    /^[^ \t]/ { field = $1 }
    /^Files:/ { files = 1 }
    /^License:/ { license = $2; if (!files) given[$2] = 1 }
    /^[ \t]/ && field == "License:" && files { text = 1 }
    END { close_paragraph(); for (l in wanted) if (!(l in given)) print l }' "$copyright")
  [ -z "$missing" ] || fail "the copyright file names the licenses $missing without their text"
fi

said=$(appstreamcli validate-tree --no-net --strict "$tree") || fail "the AppStream metainfo is not valid: $said"
for entry in "$tree"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "${entry#"$tree"} is not valid"
done

# Overrides installed by the package apply; whatever else lintian warns of fails.
lintian --fail-on error,warning "$deb" ||
  fail "lintian reports errors or warnings (one that stays goes into packaging/lintian-overrides with its reason)"

[ "$failures" -eq 0 ] && echo "package: all checks passed"
exit $((failures > 0))
