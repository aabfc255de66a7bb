#!/usr/bin/env bash
# Sets up and builds from scratch where needed, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# Nothing a test does may ever power off, reboot or log off this machine.
export STOWLINE_DRY_POWER=1
export QT_QPA_PLATFORM=offscreen
# Nor may it reach the machine's system bus (logind, NetworkManager): tests that need
# those services start their own mock on a private bus.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
bash scripts/setup.sh
bash scripts/check-format.sh
ctest --test-dir "${STOWLINE_BUILD_DIR:-build}" --output-on-failure -j2 --timeout 300
