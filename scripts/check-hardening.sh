#!/usr/bin/env bash
# Checks that each program given was built hardened: stack protector, fortified C library calls,
# position-independent, relocations read-only and bound at start. Says what each one lacks.
#   scripts/check-hardening.sh PROGRAM...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM..." >&2; exit 2; }

failed=0
lacks() {  # lacks PROGRAM WHAT
  echo "not hardened: $1: $2" >&2
  failed=1
}

for program in "$@"; do
  if [ ! -f "$program" ]; then
    lacks "$program" "no such file"
    continue
  fi
  symbols=$(readelf --dyn-syms --wide "$program")
  dynamic=$(readelf --dynamic --wide "$program")
  grep -q '__stack_chk_fail' <<<"$symbols" ||
    lacks "$program" "no __stack_chk_fail (not built with -fstack-protector-strong)"
  grep -qE '__[A-Za-z0-9_]+_chk@' <<<"$symbols" ||
    lacks "$program" "no fortified function such as __memcpy_chk (not built with -D_FORTIFY_SOURCE=2 -O)"
  readelf --file-header "$program" | grep -qE '^ *Type: +DYN' ||
    lacks "$program" "not a position-independent executable (not linked with -pie)"
  readelf --program-headers --wide "$program" | grep -q 'GNU_RELRO' ||
    lacks "$program" "no read-only relocations (not linked with -z relro)"
  grep -qE '\(FLAGS\) .*BIND_NOW|\(FLAGS_1\) .*\bNOW\b' <<<"$dynamic" ||
    lacks "$program" "symbols not bound at start (not linked with -z now)"
done
[ "$failed" -eq 0 ] && echo "hardened: $*"
exit "$failed"
