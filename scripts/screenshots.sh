#!/usr/bin/env bash
# Pictures of the main window for people: a fresh program and data folder with three
# presets, a few runs (one of them failing, so the log holds error lines) and a schedule,
# then the window on a screen of its own (Xvfb) with a tray (a StatusNotifierWatcher played
# by python3-dbusmock on a private session bus). Writes docs/screenshots/*.png.
# Expects a build in build/ (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export STOWLINE_DRY_POWER=1
repo=$PWD
out="$repo/docs/screenshots"
mkdir -p "$out"

work=$(mktemp -d "${TMPDIR:-/tmp}/stowline-shots.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [[ -n ${KEEP:-} ]] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/program" "$work/data" "$work/runtime" "$work/home" "$work/backups" "$work/tmp"
chmod 700 "$work/runtime"
echo "$work/data" >"$work/program/swlinfo.dat"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program"
export XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export TMPDIR="$work/tmp"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

mkdir -p "$work/documents/letters" "$work/photos"
for i in 1 2 3; do echo "Letter $i" >"$work/documents/letters/letter-$i.txt"; done
echo "holiday" >"$work/photos/beach.txt"

./build/swlpreset "$work/data" Documents nam=documents vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/documents"
./build/swlpreset "$work/data" Photos nam=photos vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/photos"
# A preset whose folder is gone: its run fails and logs error lines.
./build/swlpreset "$work/data" "Old laptop" nam=laptop vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/laptop-gone"

next=$(date -d tomorrow +%Y.%m.%d)
./build/stowline /hide "[DATE=$next 02:00:00][REPEAT=-1][INTERVAL=1440]Documents" \
  "[DATE=$next 03:30:00][REPEAT=-1][INTERVAL=10080]Photos" Documents Photos /exit
# Last, so that its error lines are in view at the end of the log.
./build/stowline /hide "Old laptop" /exit

Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 >"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
dbus-daemon --session --nofork --print-address=1 >"$work/bus" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/bus ]] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
/usr/bin/python3 -m dbusmock --template tests/e2e/desktop/status_notifier_watcher.py \
  >/dev/null 2>&1 &
pids+=($!)
sleep 1

./build/stowline &
pids+=($!)
for _ in $(seq 100); do
  grep -q "SWL is ready now." "$work/data/swl.log" && break
  sleep 0.1
done
sleep 1

window=$(xwininfo -root -tree | awk '/"Stowline/ { print $1; exit }')
[[ -n $window ]] || { echo "the main window did not appear" >&2; exit 1; }
xwd -silent -id "$window" -out "$work/main.xwd"
/usr/bin/convert "xwd:$work/main.xwd" "$out/main-window.png"
echo "Wrote $out/main-window.png"

./build/stowline /EXIT
