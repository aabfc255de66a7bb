#!/usr/bin/env bash
# Installs the Debian packages that building and testing need (only those missing),
# then configures and builds into build/ (STOWLINE_BUILD_DIR). Extra arguments go to the
# CMake configure step, for example -DSTOWLINE_SANITIZE=ON; --packages-only stops after
# the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-websockets-dev libxkbcommon-dev
  libcurl4-openssl-dev libarchive-dev libburn-dev libisofs-dev libisoburn-dev
  libgtest-dev
  # test peers and tools
  python3-pyftpdlib python3-openssl python3-aiosmtpd vsftpd xorriso libarchive-tools
  openssl curl zip unzip clang-format
  xvfb xdotool x11-utils x11-apps imagemagick dbus dbus-daemon python3-dbusmock
  chromium python3-prometheus-client
  zlib1g-dev pigz # the archiver's parallel deflate, and its benchmark peer
)
# scripts/test-package.sh validates the package's desktop entry.
packages+=(desktop-file-utils)
# The fault-injection tests kill the programs at chosen system calls.
packages+=(strace)

# Callers may ask for more (scripts/fuzz.sh: the clang toolchain).
read -r -a extra_packages <<<"${STOWLINE_EXTRA_PACKAGES:-}"
packages+=("${extra_packages[@]}")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Test peers such as vsftpd must not come up as system services while installing:
  # the tests start their own instances on loopback.
  policy=/usr/sbin/policy-rc.d
  added_policy=
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod +x "$policy" && added_policy=1
  fi
  apt-get install -y -qq "${missing[@]}" >/dev/null
  if [[ -n $added_policy ]]; then rm -f "$policy"; fi
fi

if [[ ${1:-} == --packages-only ]]; then
  exit 0
fi

build_dir=${STOWLINE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DSTOWLINE_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir"
