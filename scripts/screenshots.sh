#!/usr/bin/env bash
# Renders the desktop program's main window in each of its five views, on the built-in simulated
# devices once every device shows its picture, then the dialogs that work as soon as they open
# (the activity report and the production test among them) and the "Upgrade Firmware" dialog mid
# transfer:
#   OUT_DIR/view-thumbnails.png, view-details.png, view-icons.png, view-list.png, view-tiles.png
#   OUT_DIR/dialog-set-time.png, dialog-system-log.png, dialog-debug-log.png, dialog-report.png,
#   dialog-production.png, upgrade.png
#   OUT_DIR/wizard-<page id>.png: every page of the Setup Wizard as it looks when first shown
#   OUT_DIR/menu.png, menu-advanced.png, menu-network-interface.png: the list's right-click menu,
#   its "Advanced" part and its "Network Interface" submenu
# Usage: scripts/screenshots.sh [OUT_DIR [BUILD_DIR]]   (defaults: build/screenshots, build/release)
# Runs on a private X server (xvfb-run) when there is one, on Qt's offscreen platform otherwise;
# the user's own view settings are neither read nor changed. QT_SCALE_FACTOR=2 renders at 200%.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
build=${2:-build/release}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLM_BUILD_TESTS=OFF -DLM_BUILD_BENCH=OFF >/dev/null
fi
ninja -C "$build" lmtools
mkdir -p "$out"
program=("$build/src/gui/lmtools" --demo --screenshot-dir "$out")
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "${program[@]}"
else
  QT_QPA_PLATFORM=offscreen "${program[@]}"
fi
ls -1 "$out"/view-*.png "$out"/dialog-*.png "$out"/upgrade.png "$out"/wizard-*.png "$out"/menu*.png
