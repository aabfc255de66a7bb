#!/usr/bin/env bash
# Start-up to "SWL is ready now." with a 100,000-line event log, against reading the
# same file with `wc -l`. Prints the median of several runs and their ratio.
set -euo pipefail
cd "$(dirname "$0")/../.."
binary=${1:-build/stowline}
runs=${RUNS:-5}
export STOWLINE_DRY_POWER=1
# The machine's system bus (logind, NetworkManager) stays out of reach.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program" "$work/data" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
echo "$work/data" > "$work/program/swlinfo.dat"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program"

make_log() {
  awk 'BEGIN { for (i = 1; i <= 100000; i++) printf "[2016.03.03 09:05:07] Docs: line %d of a long event log\r\n", i }' \
    > "$work/data/swl.log"
}

now() { date +%s.%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

program_times=() wc_times=()
for _ in $(seq "$runs"); do
  make_log
  start=$(now)
  wc -l "$work/data/swl.log" >/dev/null
  wc_times+=("$(echo "$(now) - $start" | bc)")

  start=$(now)
  "$binary" &
  pid=$!
  until grep -q 'SWL is ready now\.' "$work/data/swl.log"; do sleep 0.005; done
  program_times+=("$(echo "$(now) - $start" | bc)")
  kill -TERM "$pid"; wait "$pid" || true
done

program=$(printf '%s\n' "${program_times[@]}" | median)
wc=$(printf '%s\n' "${wc_times[@]}" | median)
echo "start-up to ready (100,000-line log): ${program}s (median of $runs)"
echo "wc -l on the same file:              ${wc}s"
echo "ratio start-up / wc -l:              $(echo "scale=1; $program / $wc" | bc)"
