#!/usr/bin/env bash
# Takes the README pictures: the main window with two simulated cameras previewing, in the
# Dark and the Bright theme, under Xvfb. Usage: scripts/screenshot.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target test_app
RASTEL_SCREENSHOT_DIR="$root/docs" RASTEL_DISCOVERY_ADDRESS=127.255.255.255 \
  xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$build/tests/app/test_app" --gtest_filter='MainWindowTest.TwoCamerasPreviewInDarkAndBright'
ls -l "$root/docs/screenshot-dark.png" "$root/docs/screenshot-bright.png"
