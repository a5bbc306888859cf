#!/usr/bin/env bash
# Runs clang-tidy with .clang-tidy over the core (or the folders given), from the compile commands
# of a configured build; fails on any finding.
#   scripts/tidy.sh [--build DIR] [FOLDER...]    default: --build build/test src/core
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/test
if [ "${1:-}" = "--build" ]; then build="$2"; shift 2; fi
[ $# -gt 0 ] || set -- src/core
if [ ! -f "$build/compile_commands.json" ]; then
  echo "no $build/compile_commands.json: configure that build first (see CONTRIBUTING.md)" >&2
  exit 2
fi
# run-clang-tidy takes each argument as a pattern on the files' absolute paths.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${@/#/$PWD/}"
