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
# The suite runs on the sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-asan/): a memory error, a leak or undefined behaviour anywhere a test reaches,
# the programs it starts included, fails the test. It is compiled by clang, which builds
# the instrumented tree in about two thirds of GCC's time. STOWLINE_SANITIZE=OFF runs
# the suite on the plain build in build/ instead.
sanitize=${STOWLINE_SANITIZE:-ON}
if [[ $sanitize == ON ]]; then
  export STOWLINE_BUILD_DIR=${STOWLINE_BUILD_DIR:-build-asan}
  export STOWLINE_EXTRA_PACKAGES="clang-14 libclang-rt-14-dev" CC=clang-14 CXX=clang++-14
else
  export STOWLINE_BUILD_DIR=${STOWLINE_BUILD_DIR:-build}
fi
bash scripts/setup.sh -DSTOWLINE_SANITIZE="$sanitize"
bash scripts/check-format.sh
ctest --test-dir "$STOWLINE_BUILD_DIR" --output-on-failure -j2 --timeout 300
