#!/usr/bin/env bash
# The desktop program against the program without a window, each pair in the same run:
#  1. a backup of a large input with the main window shown (progress in its status bar)
#     against the same backup started with "/hide"; target: at most 2% more wall time.
#  2. start-up to "SWL is ready now." with 1,000 presets and a 100,000-line event log,
#     the main window shown against no display at all; target: under 1.5 times.
# Prints the median of several runs of each and the ratios. Runs on a screen of its own
# (Xvfb) with a private session bus; expects a build in build/ (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
runs=${RUNS:-5}
export STOWLINE_DRY_POWER=1 DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-bench
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/program" "$work/runtime" "$work/home" "$work/dest" "$work/tmp"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program"
export XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp"

Xvfb -displayfd 1 -nolisten tcp -screen 0 1024x768x24 >"$work/display" 2>/dev/null &
pids+=($!)
dbus-daemon --session --nofork --print-address=1 >"$work/bus" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/display && -s $work/bus ]] && break; sleep 0.1; done
screen=":$(head -n 1 "$work/display")"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")

# Both sides of a pair run on the same display; only the window differs.
on_screen() { DISPLAY=$screen "$@"; }
now() { date +%s.%N; }
seconds() { local start; start=$(now); "$@" >/dev/null 2>&1; echo "$(now) - $start" | bc; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
use_data() { echo "$1" >"$work/program/swlinfo.dat"; mkdir -p "$1"; }

# 1. Backup with the window against "/hide".
use_data "$work/backup-data"
mkdir -p "$work/large"
for i in $(seq 16); do head -c $((48 * 1048576)) /dev/urandom >"$work/large/r$i"; done
for i in $(seq 8); do (yes "line $i of a compressible log file" || true) | head -c $((8 * 1048576)) >"$work/large/t$i.log"; done
on_screen "$build/stowline" /hide /exit >/dev/null 2>&1 # settles the options on the first start
"$build/swlpreset" "$work/backup-data" Large nam=large dtf= vol=None ctf=1 dir="$work/dest" inc="$work/large"
# Each run starts with the previous archive gone and written back, and the two sides take
# turns at going first, so that neither pays for the other's disk writes.
backup_seconds() {
  rm -f "$work"/dest/*
  sync
  seconds on_screen "$build/stowline" "$@" Large /exit
}
shown_times=() hidden_times=()
for i in $(seq "$runs"); do
  if ((i % 2)); then
    shown_times+=("$(backup_seconds)")
    hidden_times+=("$(backup_seconds /hide)")
  else
    hidden_times+=("$(backup_seconds /hide)")
    shown_times+=("$(backup_seconds)")
  fi
done
grep -c 'Large: Done\.' "$work/backup-data/swl.log" | grep -qx "$((2 * runs))" ||
  { echo "not every backup run ended with Done." >&2; exit 1; }
shown=$(printf '%s\n' "${shown_times[@]}" | median)
hidden=$(printf '%s\n' "${hidden_times[@]}" | median)
echo "backup of 832 MB, window shown: ${shown}s, /hide: ${hidden}s (medians of $runs)"
echo "ratio shown / hidden: $(echo "scale=3; $shown / $hidden" | bc) (target at most 1.02)"

# 2. Start-up with 1,000 presets and a 100,000-line log.
use_data "$work/start-data"
on_screen "$build/stowline" /hide /exit >/dev/null 2>&1
for i in $(seq -w 1000); do
  "$build/swlpreset" "$work/start-data" "Preset $i" nam="p$i" vol=None dir="$work/dest" inc="$work/large"
done
make_log() {
  awk 'BEGIN { for (i = 1; i <= 100000; i++) printf "[2016.03.03 09:05:07] Docs: line %d of a long event log\r\n", i }' \
    >"$work/start-data/swl.log"
}
# Starts the program through `env "$@"` and times it to "ready".
time_to_ready() {
  make_log
  local start pid
  start=$(now)
  env "$@" "$build/stowline" >/dev/null 2>&1 &
  pid=$!
  until grep -q 'SWL is ready now\.' "$work/start-data/swl.log"; do sleep 0.005; done
  echo "$(now) - $start" | bc
  kill -TERM "$pid"
  wait "$pid" || true
}
window_times=() headless_times=()
for _ in $(seq "$runs"); do
  window_times+=("$(time_to_ready DISPLAY="$screen")")
  headless_times+=("$(time_to_ready -u DISPLAY)")
done
window=$(printf '%s\n' "${window_times[@]}" | median)
headless=$(printf '%s\n' "${headless_times[@]}" | median)
echo "start-up to ready (1,000 presets, 100,000-line log), window: ${window}s, no display: ${headless}s (medians of $runs)"
echo "ratio window / no display: $(echo "scale=3; $window / $headless" | bc) (target under 1.5)"
