#!/usr/bin/env bash
# The backup run's own overhead and the cross-file-system move, each against a peer in
# the same run:
#  1. overhead = (wall time of `stowline /hide Bench /exit`) - (wall time of
#     `stowline /hide /exit`, start and end alone) - (wall time of stowarc alone on the
#     same sources and switches), as a ratio to stowarc's time; small and large input.
#  2. moving a 512 MB archive from /dev/shm to the disk with the run's move, against
#     `cp` then `rm`.
# Needs a build with -DSTOWLINE_BENCH=ON (for stowline_bench_move).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
export STOWLINE_DRY_POWER=1
# The machine's system bus (logind, NetworkManager) stays out of reach.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/stowline-no-system-bus
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
trap 'rm -rf "$work" /dev/shm/stowline-bench-move' EXIT
mkdir -p "$work/program" "$work/data" "$work/runtime" "$work/home" "$work/dest" "$work/tmp"
chmod 700 "$work/runtime"
echo "$work/data" > "$work/program/swlinfo.dat"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" STOWLINE_PROGRAM_DIR="$work/program" TMPDIR="$work/tmp"

now() { date +%s.%N; }
seconds() { local start; start=$(now); "$@" >/dev/null 2>&1; echo "$(now) - $start" | bc; }

mkdir -p "$work/small" "$work/large"
for i in $(seq 20); do head -c 4096 /dev/urandom > "$work/small/f$i"; done
for i in $(seq 8); do head -c $((24 * 1048576)) /dev/urandom > "$work/large/r$i"; done
for i in $(seq 8); do (yes "line $i of a compressible log file" || true) | head -c $((8 * 1048576)) > "$work/large/t$i.log"; done

"$build/stowline" /hide /exit # settles the options on the first start
for size in small large; do
  "$build/swlpreset" "$work/data" "B$size" nam=b dtf= vol=None ctf=1 dir="$work/dest" inc="$work/$size"
  plain=$(seconds "$build/stowline" /hide /exit)
  run=$(seconds "$build/stowline" /hide "B$size" /exit)
  echo "$work/$size" > "$work/list"
  archiver=$(seconds "$build/stowarc" a -m0 -ep1 -s -dh -r "-ilog$work/arc.log" "$work/tmp/alone.zip" "@$work/list")
  rm -f "$work/tmp/alone.zip" "$work"/dest/*
  overhead=$(echo "$run - $plain - $archiver" | bc)
  echo "$size input: run ${run}s, start+end ${plain}s, archiver alone ${archiver}s," \
       "overhead ${overhead}s, ratio overhead/archiver $(echo "scale=2; $overhead / $archiver" | bc)"
done

if [[ -x "$build/stowline_bench_move" ]]; then
  head -c $((512 * 1048576)) /dev/urandom > /dev/shm/stowline-bench-move
  move=$("$build/stowline_bench_move" /dev/shm/stowline-bench-move "$work/moved")
  mv "$work/moved" /dev/shm/stowline-bench-move
  cp_time=$(seconds sh -c "cp /dev/shm/stowline-bench-move '$work/copied' && sync '$work/copied' && rm /dev/shm/stowline-bench-move")
  echo "cross-file-system move of 512 MB: moveFile ${move}s, cp+sync+rm ${cp_time}s," \
       "ratio cp/moveFile $(echo "scale=2; $cp_time / $move" | bc)"
else
  echo "build with -DSTOWLINE_BENCH=ON for the move benchmark"
fi
