#!/usr/bin/env bash
# Headless Chromium on the remote-control panel: logs in, sends a command through the
# form and keeps a picture of the log frame in docs/screenshots/remote-control.png.
# Runs the end-to-end test that drives it; the program and Chromium use 127.0.0.1 only.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${STOWLINE_BUILD_DIR:-build}
cmake --build "$build_dir" --target e2e_tests >/dev/null
mkdir -p docs/screenshots
export STOWLINE_DRY_POWER=1
# The machine's system bus (logind, NetworkManager) stays out of reach.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
STOWLINE_SCREENSHOT_DIR="$PWD/docs/screenshots" \
  "$build_dir/e2e_tests" --gtest_filter='RemoteControl.ChromiumSendsACommandThroughTheControlPanel'
