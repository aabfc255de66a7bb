#!/usr/bin/env bash
# The main job, headless: sets up and builds, then makes a real backup of a sample
# folder with the bundled archiver. A fresh program and data folder get a preset "Demo"
# (folder task, copy cleaner keeping 2 runs); `stowline /hide Demo /exit` runs it three
# times. Prints the event log and the archives left in the destination.
set -euo pipefail
cd "$(dirname "$0")/.."
export STOWLINE_DRY_POWER=1
# Nor may it reach the machine's system bus (logind, NetworkManager): tests that need
# those services start their own mock on a private bus.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
bash scripts/setup.sh

demo=$(mktemp -d "${TMPDIR:-/tmp}/stowline-demo.XXXXXX")
mkdir -p "$demo/program" "$demo/data" "$demo/runtime" "$demo/home" "$demo/backups"
chmod 700 "$demo/runtime"
echo "$demo/data" > "$demo/program/swlinfo.dat"

# Something worth keeping, and something the preset leaves out.
mkdir -p "$demo/documents/letters" "$demo/documents/cache"
for i in 1 2 3; do echo "Letter $i" > "$demo/documents/letters/letter-$i.txt"; done
cp README.md "$demo/documents/"
echo "scratch" > "$demo/documents/cache/scratch.tmp"

export HOME="$demo/home" XDG_RUNTIME_DIR="$demo/runtime" STOWLINE_PROGRAM_DIR="$demo/program"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

./build/swlpreset "$demo/data" Demo \
  nam=documents dtf=-YYMMDDHHMMSS vol=None fmt=1 cmp=3 \
  ctf=1 dir="$demo/backups" cco=1 ccm=0 ccv=2 \
  inc="$demo/documents" exc='*.tmp'

for run in 1 2 3; do
  ./build/stowline /hide Demo /exit
  sleep 1 # a new time stamp for the next archive name
done

echo "--- event log ($demo/data/swl.log) ---"
cat "$demo/data/swl.log"
echo "--- archives in $demo/backups (the cleaner keeps the last 2 runs) ---"
ls -l "$demo/backups"
newest=$(ls "$demo/backups"/*.zip | tail -n 1)
echo "--- contents of $(basename "$newest") ---"
bsdtar -tvf "$newest"
