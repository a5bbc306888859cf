#!/usr/bin/env bash
# Installs what is missing, builds, and runs Lumetra Tools on its built-in simulated devices:
# the desktop program where there is a display, the command line program otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLM_BUILD_TESTS=OFF -DLM_BUILD_BENCH=OFF >/dev/null
ninja -C build/release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/src/gui/lmtools ]; then
  exec build/release/src/gui/lmtools --demo "$@"
fi
exec build/release/src/cli/lmtools-cli --demo scan "$@"
