#!/usr/bin/env bash
# The main job, headless: sets up, starts Stowline on a fresh program and data folder,
# lets it come up, asks it to end, and prints its event log.
set -euo pipefail
cd "$(dirname "$0")/.."
export STOWLINE_DRY_POWER=1
bash scripts/setup.sh

demo=$(mktemp -d "${TMPDIR:-/tmp}/stowline-demo.XXXXXX")
mkdir -p "$demo/program" "$demo/data" "$demo/runtime" "$demo/home"
chmod 700 "$demo/runtime"
echo "$demo/data" > "$demo/program/swlinfo.dat"

export HOME="$demo/home" XDG_RUNTIME_DIR="$demo/runtime" STOWLINE_PROGRAM_DIR="$demo/program"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

./build/stowline &
pid=$!
for _ in $(seq 1 150); do
  grep -q 'SWL is ready now\.' "$demo/data/swl.log" 2>/dev/null && break
  sleep 0.1
done
kill -TERM "$pid"
wait "$pid"

echo "--- event log ($demo/data/swl.log) ---"
cat "$demo/data/swl.log"
