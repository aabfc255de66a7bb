#!/usr/bin/env bash
# Idle cost of the running program with the scheduler on and 1,000 entries in swl.sch
# (all far in the future): CPU time per minute and resident memory, against an idle
# `sleep` process as the floor.
#
# It measures the program as built, so the scheduler must be wired into it: before
# measuring, the script waits until a "/SHOWICON" entry due at the start has been carried
# out ("/SHOWICON: Called by the scheduler." in swl.log), and stops with an error when
# that never happens.
#
#   bench/scheduler/run.sh [build/stowline]     MEASURE_SECONDS=60 by default
set -euo pipefail
cd "$(dirname "$0")/../.."
binary=${1:-build/stowline}
seconds=${MEASURE_SECONDS:-60}
export STOWLINE_DRY_POWER=1
# The machine's system bus (logind, NetworkManager) stays out of reach.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/program" "$work/data" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
echo "$work/data" > "$work/program/swlinfo.dat"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program"

# One entry due now, then 1,000 entries on 1 January 2099 from 01:00, one a minute.
options='REPEAT=0 INTERVAL=1 PRECISE=1 ONDELAY=0 DOW=11111110'
{
  printf '<D>%s </D><P>/SHOWICON</P><O>%s</O>\r\n' "$(date '+%Y.%m.%d %H:%M:%S')" "$options"
  awk -v o="$options" 'BEGIN { for (i = 0; i < 1000; i++)
    printf "<D>2099.01.01 %02d:%02d:00 </D><P>/SHOWICON</P><O>%s</O>\r\n", 1 + int(i / 60), i % 60, o }'
} > "$work/data/swl.sch"

# utime + stime of a process, in clock ticks; the fields after the ")" that ends its name.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

"$binary" > "$work/program.out" 2>&1 &
program=$!
pids+=("$program")
for _ in $(seq 200); do
  grep -q '/SHOWICON: Called by the scheduler\.' "$work/data/swl.log" 2>/dev/null && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '/SHOWICON: Called by the scheduler\.' "$work/data/swl.log" 2>/dev/null; then
  echo "The scheduler did not carry out the due entry within 20 s: is it wired into $binary?" >&2
  exit 1
fi

sleep $((seconds + 30)) &
floor=$!
pids+=("$floor")

ticks_per_second=$(getconf CLK_TCK)
program_start=$(cpu_ticks "$program") floor_start=$(cpu_ticks "$floor")
sleep "$seconds"
program_ticks=$(($(cpu_ticks "$program") - program_start))
floor_ticks=$(($(cpu_ticks "$floor") - floor_start))
program_rss=$(rss_kib "$program") floor_rss=$(rss_kib "$floor")
entries=$(grep -c '<P>' "$work/data/swl.sch")

per_minute() { echo "scale=3; $1 / $ticks_per_second * 60 / $seconds" | bc; }
echo "entries in swl.sch while measuring:    $entries"
echo "measured for:                          ${seconds}s"
echo "stowline CPU per minute:               $(per_minute "$program_ticks")s"
echo "sleep CPU per minute (floor):          $(per_minute "$floor_ticks")s"
echo "stowline resident memory:              $((program_rss / 1024)) MiB"
echo "sleep resident memory (floor):         $((floor_rss / 1024)) MiB"
echo "memory ratio stowline / sleep:         $(echo "scale=1; $program_rss / $floor_rss" | bc)"
