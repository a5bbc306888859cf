#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: exactly the listed files,
# programs that tell their version (the desktop program without a display too), man pages of that
# version, a desktop entry that passes desktop-file-validate and AppStream metainfo that passes
# appstreamcli, icons of the sizes their folders name, and a completion script that completes in bash.
# Usage: installed_tree.sh BUILD_DIR EXPECTED_FILES VERSION
set -euo pipefail
build="$1"; expected="$2"; version="$3"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

if ! diff <(grep -v '^#' "$expected") <(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); then
  fail "the installed files differ from $expected (<: listed only, >: installed only)"
fi

# No display at all: the desktop program must answer before it would open one.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
for program in lmtools lmtools-cli lmsim; do
  flags=(--version -V)
  for flag in "${flags[@]}"; do
    said=$("${headless[@]}" "$prefix/bin/$program" "$flag" 2>&1) || fail "$program $flag failed: $said"
    [ "$said" = "$program $version" ] || fail "$program $flag said \"$said\""
  done
  page="$prefix/share/man/man1/$program.1.gz"
  zgrep -qF "\"$program $version\"" "$page" || fail "$page does not name $program $version"
  zgrep -q '^\.SH OPTIONS' "$page" || fail "$page has no OPTIONS section"
done
said=$("${headless[@]}" "$prefix/bin/lmtools" --bogus 2>&1) && status=0 || status=$?
[ "$status" -eq 64 ] && [ "$said" = 'lmtools: unknown option "--bogus"; lmtools --help lists the options' ] ||
  fail "lmtools --bogus without a display exited $status and said: $said"
said=$("${headless[@]}" "$prefix/bin/lmtools" --help 2>&1) || fail "lmtools --help failed: $said"
[[ $said == "Usage: lmtools "*"--demo"* ]] || fail "lmtools --help said: $said"

desktop-file-validate "$prefix/share/applications/com.lumetra.lmtools.desktop" || fail "the desktop entry is not valid"
# The metainfo, and that its launchable names the desktop entry installed beside it.
appstreamcli validate-tree --no-net --strict "$prefix" || fail "the AppStream metainfo is not valid"

for png in "$prefix"/share/icons/hicolor/*x*/apps/lmtools.png; do
  side=$(basename "$(dirname "$(dirname "$png")")")
  # The PNG header's width and height, big-endian, at bytes 16 to 23.
  read -r -a b <<<"$(od -An -tu1 -j16 -N8 "$png")"
  size="$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
  [ "$size" = "$side" ] || fail "$png is $size"
done

# What bash offers for the command line's words, the last one being typed; the completion
# function is the one the script registers for lmtools-cli.
completions() {
  bash --norc --noprofile -c '
    script="$1"; shift
    source "$script"
    function=$(complete -p lmtools-cli | sed -E "s/.* -F ([^ ]+) .*/\1/")
    COMP_WORDS=(lmtools-cli "$@")
    COMP_CWORD=$#
    "$function"
    echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/lmtools-cli" "$@"
}
while IFS='|' read -r line offered; do
  read -r -a words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  said=$(completions "${words[@]}")
  [ "$said" = "$offered" ] || fail "completing \"lmtools-cli $line\" offered \"$said\", not \"$offered\""
done <<'EOF'
sc|scan
co|config completion
--de|--demo
config sh|show
config show --js|--json
completion |bash zsh fish
-b 1200 sc|scan
scan |
run 127.0.0.10 -- sc|
EOF

[ "$failures" -eq 0 ] && echo "installed tree: all checks passed"
exit $((failures > 0))
