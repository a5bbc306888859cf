#!/usr/bin/env bash
# Builds and runs every test: the format check; the whole suite, its programs checked for
# hardening; clang-tidy over the core; the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer; the threaded suites under ThreadSanitizer; a short libFuzzer run of
# every fuzz target from its seeds, over libraries built with its coverage and sanitizers.
# Network-namespace tests run only as root and skip otherwise.
#   scripts/test.sh           everything
#   scripts/test.sh --quick   the format check, the plain suite, the hardening and package checks
set -euo pipefail
cd "$(dirname "$0")/.."
quick=false
[ "${1:-}" = "--quick" ] && quick=true

scripts/install-deps.sh --test
jobs=$(nproc)
passed=0
failed=0

build() {  # build DIR [--targets "T1 T2"] CMAKE-ARGS...
  local dir="$1" targets=""; shift
  if [ "${1:-}" = "--targets" ]; then targets="$2"; shift 2; fi
  echo "== building $dir"
  cmake -S . -B "$dir" -G Ninja -DLM_WERROR=ON "$@" >/dev/null
  local log
  log=$(mktemp)
  # shellcheck disable=SC2086
  if ! ninja -C "$dir" -j"$jobs" $targets >"$log" 2>&1; then
    cat "$log"; rm -f "$log"; return 1
  fi
  rm -f "$log"
}

suite() {  # suite DIR CTEST-ARGS...
  local dir="$1"; shift
  echo "== testing $dir"
  local log status=0
  log=$(mktemp)
  (cd "$dir" && ctest -j"$jobs" --output-on-failure "$@") >"$log" 2>&1 || status=$?
  grep -vE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log" || true
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  rm -f "$log"
  # A run that failed without a failed test (a crash of ctest itself) still counts as a failure.
  if [ "$status" -ne 0 ] && [ "${bad:-0}" -eq 0 ]; then failed=$((failed + 1)); fi
}

step() {  # step NAME COMMAND...: a check that passes or fails as a whole
  local name="$1"; shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); else echo "$name failed"; failed=$((failed + 1)); fi
}

# The Debian package of DIR: made and checked as a file (tests/install/package_check.sh: its
# files, their modes and compression, lintian); then installed, its capabilities granted by the
# postinst, its lmtools-cli run, its programs checked for hardening, and purged again, also when a
# step fails. Installing needs root, and leaves alone a machine that has the package installed.
package() {  # package DIR
  local dir="$1"
  echo "== packaging $dir"
  local log status=0
  log=$(mktemp)
  (
    rm -rf "$dir/package"
    (cd "$dir" && cpack -G DEB -B package) || exit 1
    tests/install/package_check.sh "$dir"/package/lmtools_*.deb
  ) >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    cat "$log"; echo "the package check failed"; failed=$((failed + 1)); rm -f "$log"; return
  fi

  echo "== installing the package of $dir"
  if [ "$(id -u)" -ne 0 ] || dpkg-query -W -f='${Status}' lmtools 2>/dev/null | grep -q 'install ok installed'; then
    echo "skipped: it needs root and a machine without lmtools installed"
    rm -f "$log"; return
  fi
  (
    trap 'dpkg --purge lmtools >/dev/null 2>&1 || true' EXIT
    dpkg -i "$dir"/package/lmtools_*.deb || exit 1
    for program in /usr/bin/lmtools-cli /usr/bin/lmtools; do
      granted=$(getcap "$program")
      [[ $granted == *" cap_net_bind_service,cap_net_raw=ep" ]] || { echo "$program: granted \"$granted\""; exit 1; }
    done
    installed=$(/usr/bin/lmtools-cli --version) && built=$("$dir/src/cli/lmtools-cli" --version) || exit 1
    echo "installed: $installed"
    [ "$installed" = "$built" ] || exit 1
    scripts/check-hardening.sh /usr/bin/lmtools /usr/bin/lmtools-cli /usr/bin/lmsim || exit 1
  ) >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    cat "$log"; echo "the installed package failed"; failed=$((failed + 1))
  fi
  rm -f "$log"
}

step "format check" scripts/format.sh --check
build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
step "hardening check" scripts/check-hardening.sh \
  build/test/src/gui/lmtools build/test/src/cli/lmtools-cli build/test/tools/devsim/lmsim
suite build/test
package build/test

if ! $quick; then
  step "static analysis of the core" scripts/tidy.sh

  build build/asan -DCMAKE_BUILD_TYPE=Debug -DLM_SANITIZE=address,undefined -DLM_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    suite build/asan -LE e2e
  # Each sanitizer build serves only its own suite: it goes once that has run, so a machine with
  # little disk holds no more than one of them beside build/test.
  rm -rf build/asan

  build build/tsan -DCMAKE_BUILD_TYPE=Debug -DLM_SANITIZE=thread -DLM_BUILD_BENCH=OFF
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 suite build/tsan -L threaded
  rm -rf build/tsan

  if command -v clang++ >/dev/null; then
    fuzzers=$(sed -nE 's/^lm_add_fuzz\((Fuzz[A-Za-z]+) .*/\1/p' tests/fuzz/CMakeLists.txt)
    # shellcheck disable=SC2086
    build build/fuzz --targets "$(echo $fuzzers)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DLM_FUZZ=ON -DLM_BUILD_BENCH=OFF
    for name in $fuzzers; do
      target="build/fuzz/tests/fuzz/$name"
      [ -x "$target" ] || continue
      # New inputs go to a folder of the build; the seeds in the tree are only read.
      seeds=$(sed -nE "s/^lm_add_fuzz\($name ([^ )]+).*/\1/p" tests/fuzz/CMakeLists.txt)
      mkdir -p "build/fuzz/$name.corpus"
      echo "== fuzzing $name for 20 s"
      if "$target" -max_total_time=20 -rss_limit_mb=1024 -artifact_prefix="build/fuzz/$name-" \
        "build/fuzz/$name.corpus" "tests/fuzz/$seeds" >"build/fuzz/$name.log" 2>&1; then
        passed=$((passed + 1))
      else
        tail -n 30 "build/fuzz/$name.log"; failed=$((failed + 1))
      fi
    done
  fi
fi

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
