#!/usr/bin/env bash
# Builds the screenshot program and draws the styled frames, the address frame, the
# pictures, the communication window in its looks, a message box and the two settings pages
# into docs/screenshots/ on a virtual X display (Xvfb), as a person would see them.
# BUILD_DIR and extra CMake arguments are passed to the build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" --target ui_screenshots
mkdir -p docs/screenshots
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/ui/ui_screenshots" docs/screenshots
