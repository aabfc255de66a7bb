#!/usr/bin/env bash
# Writing 500 MB of archives to an image file standing in for a disc: the disc engine
# against `xorriso -dev stdio:... -map DIR / -commit` on the same files, in one run.
# Both images are on the same file system; each writer runs twice, the better time
# counts. Needs a build with -DSTOWLINE_BENCH=ON (for stowline_bench_disc).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
export STOWLINE_DRY_POWER=1
# The machine's system bus (logind, NetworkManager) stays out of reach.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/archives"
for i in $(seq 10); do head -c $((50 * 1048576)) /dev/urandom > "$work/archives/docs-$i.zip"; done

now() { date +%s.%N; }
best() { # best of two runs of "$@", removing the image before each
  local best="" start took
  for _ in 1 2; do
    rm -f "$work/image.iso"; sync
    start=$(now); "$@" >/dev/null 2>&1; took=$(echo "$(now) - $start" | bc)
    if [[ -z "$best" ]] || (( $(echo "$took < $best" | bc) )); then best=$took; fi
  done
  echo "$best"
}

engine=$(best "$build/stowline_bench_disc" "$work/image.iso" "$work"/archives/*)
peer=$(best xorriso -dev "stdio:$work/image.iso" -map "$work/archives" / -commit)
echo "500 MB to an image file: engine ${engine}s, xorriso ${peer}s," \
     "speed ratio engine/xorriso $(echo "scale=2; $peer / $engine" | bc) (at least 0.90 wanted)"
