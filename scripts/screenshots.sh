#!/usr/bin/env bash
# Pictures of the windows for people: a fresh program and data folder with three
# presets, a few runs (one of them failing, so the log holds error lines) and a schedule,
# then the windows on a screen of its own (Xvfb) with a tray (a StatusNotifierWatcher played
# by python3-dbusmock on a private session bus), driven by key presses through xdotool:
# the main window, the scheduler window (F7), every tab of the settings dialog (F9), the main
# window during a long run, the main window under each shipped skin, the restore window
# (F3) with its FTP download window, the preset editor's tabs and the desktop windows of
# scripts/screenshot-shell.sh.
# The tray's balloon is a desktop notification drawn by a notification server, which this
# screen has none of, so it has no picture. Writes docs/screenshots/*.png.
# Expects a build in build/ (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
# shellcheck source=scripts/screenshot-sandbox.sh
source scripts/screenshot-sandbox.sh stowline-shots
mkdir -p "$work/backups"

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

# Starts the program with its main window and waits until it is ready.
start_program() {
  local ready
  ready=$(grep -c "SWL is ready now." "$work/data/swl.log" || true)
  ./build/stowline &
  pids+=($!)
  for _ in $(seq 100); do
    (($(grep -c "SWL is ready now." "$work/data/swl.log" || true) > ready)) && break
    sleep 0.1
  done
  sleep 1
  main=$(find_window "^Stowline")
}
stop_program() {
  ./build/stowline /EXIT
  wait "${pids[-1]}" || true
}

start_program
shoot "$main" main-window

# The scheduler window of the first preset (Documents): F7 on the selected preset.
xdotool windowfocus --sync "$main"
xdotool key --delay 200 Home F7
scheduler=$(find_window "^Scheduler")
sleep 0.5
shoot "$scheduler" scheduler-window
xdotool windowfocus --sync "$scheduler" key Escape

# The settings dialog (F9), one picture per tab; Ctrl+Tab moves to the next tab.
xdotool windowfocus --sync "$main"
xdotool key --delay 200 F9
settings=$(find_window "^Settings")
sleep 0.5
for tab in general interface remote-access dialup error-management security appearance swl-bin; do
  shoot "$settings" "settings-$tab"
  xdotool windowfocus --sync "$settings" key ctrl+Tab
  sleep 0.3
done
xdotool windowfocus --sync "$settings" key Escape
stop_program

# A run long enough to be seen: a preset with a large input, chosen in the list with the
# keys (Documents, Music, ...) and started with Return.
mkdir -p "$work/music"
for i in $(seq 8); do head -c $((64 * 1048576)) /dev/urandom >"$work/music/track-$i.raw"; done
./build/swlpreset "$work/data" Music nam=music vol=None fmt=1 ctf=1 \
  dir="$work/backups" inc="$work/music"
start_program
xdotool windowfocus --sync "$main"
xdotool key --delay 200 Home Down Return
sleep 1
shoot "$main" main-window-running
for _ in $(seq 600); do
  grep -q "Music: Done." "$work/data/swl.log" && break
  sleep 0.1
done
stop_program

# The preset editor of Documents (F4 on the selected preset), one picture per tab;
# Ctrl+Tab moves to the next tab.
start_program
xdotool windowfocus --sync "$main"
xdotool key --delay 200 Home F4
editor=$(find_window "^Preset")
sleep 0.5
for tab in general actions file-lists notes; do
  shoot "$editor" "preset-editor-$tab"
  xdotool windowfocus --sync "$editor" key ctrl+Tab
  sleep 0.5
done
xdotool windowfocus --sync "$editor" key Escape
stop_program
# The main window under each shipped skin: the skin becomes swl.ocs and skins are switched
# on by a later "ske 1" line in swl.opt (the later line of a key wins).
cp -r build/skins "$work/program/skins"
stored_line() {
  /usr/bin/python3 - "$1" <<'PY'
import base64, sys
b = sys.argv[1].encode()
check = sum((i + 1) * c for i, c in enumerate(b)) % 1000000
digits = f"{check:06d}" + "".join(f"{c + (32 if i % 2 == 0 else 16):03d}" for i, c in enumerate(b))
print(base64.b64encode(digits.encode()).decode())
PY
}
for skin in Dusk Glacier Linen; do
  cp "$work/program/skins/$skin.ocs" "$work/data/swl.ocs"
  printf '%s\r\n' "$(stored_line 'ske 1')" >>"$work/data/swl.opt"
  start_program
  shoot "$main" "main-window-skin-$(tr '[:upper:]' '[:lower:]' <<<"$skin")"
  stop_program
done
# The restore window of Documents (F3): an upload and three copies, one of them deleted, with
# the copies refreshed (Alt+C) so that present and missing rows show; then the download
# window of the upload (Return on its row). The history is written here, the server is
# never contacted.
for day in 08 09 10; do
  head -c $((40000 + ${day#0} * 1000)) /dev/urandom >"$work/backups/documents-202612$day.zip"
done
rm "$work/backups/documents-20261209.zip"
printf '%s\t%s\t%s\r\n' \
  "2026.12.11 02:00:00 " "3-FTP" "ftp.example.org:21/backups/documents-20261211.zip" \
  "2026.12.10 02:00:00 " "4-COPY" "$work/backups/documents-20261210.zip" \
  "2026.12.09 02:00:00 " "4-COPY" "$work/backups/documents-20261209.zip" \
  "2026.12.08 02:00:00 " "4-COPY" "$work/backups/documents-20261208.zip" \
  >"$work/data/presets/Documents.hst"
start_program
xdotool windowfocus --sync "$main"
xdotool key --delay 200 Home F3
restore=$(find_window "^Restore")
xdotool windowfocus --sync "$restore" key --delay 200 alt+c
sleep 0.5
shoot "$restore" restore-window
xdotool windowfocus --sync "$restore" key --delay 200 Home Return
download=$(find_window "^Download from FTP")
sleep 0.5
shoot "$download" ftp-download-window
xdotool windowfocus --sync "$download" key Escape
xdotool windowfocus --sync "$restore" key Escape
stop_program

if [[ -f scripts/screenshot-remote.sh ]]; then
  bash scripts/screenshot-remote.sh
fi
if [[ -f scripts/screenshot-shell.sh ]]; then
  bash scripts/screenshot-shell.sh
fi
