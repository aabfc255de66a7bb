#!/usr/bin/env bash
# Pictures of the folder watcher window, the shortcut dialog and the SWL-BIN keeper
# window, opened through the main window's menus with xdotool on a screen of its own
# (Xvfb). Writes docs/screenshots/{folder-watchers,shortcut-dialog,swl-bin}.png.
# Expects a build in build/; everything is written under a temporary HOME.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/screenshot-sandbox.sh
source scripts/screenshot-sandbox.sh stowline-shell-shots
mkdir -p "$work/documents"

./build/swlpreset "$work/data" Documents nam=documents vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/documents"
./build/swlpreset "$work/data" Photos nam=photos vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/photos"
./build/stowline /hide /exit
printf '[TASK1]\r\nENABLED=1\r\nNAME=Documents folder\r\nPRESET=Documents\r\nFOLDER=%s\r\nSUBFOLDERS=1\r\n[TASK2]\r\nNAME=Camera uploads\r\nPRESET=Photos\r\nFOLDER=%s\r\n' \
  "$work/documents" "$work/photos" >"$work/data/swl.snt"

Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 >"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"

./build/stowline &
pids+=($!)
for _ in $(seq 100); do
  (($(grep -c "SWL is ready now." "$work/data/swl.log" || true) > 1)) && break
  sleep 0.1
done
sleep 1
main=$(find_window "^Stowline")

# Tools, Folder watchers.
xdotool windowfocus --sync "$main" key --delay 200 alt+t f
watchers=$(find_window "^Folder watchers")
sleep 0.5
shoot "$watchers" folder-watchers
xdotool windowfocus --sync "$watchers" key Escape

# Presets, Create a shortcut ("s" first reaches Scheduling), then two items and the options.
xdotool windowfocus --sync "$main" key --delay 200 Home alt+p s s Return
dialog=$(find_window "^Make a shortcut")
sleep 0.5
xdotool windowfocus --sync "$dialog" key --delay 100 alt+a
shoot "$dialog" shortcut-dialog
xdotool windowfocus --sync "$dialog" key Escape

# Tools, SWL-BIN window, Keeper window.
xdotool windowfocus --sync "$main" key --delay 200 alt+t b k
bin=$(find_window "^SWL-BIN$")
sleep 0.5
shoot "$bin" swl-bin

./build/stowline /EXIT
wait "${pids[-1]}" || true
