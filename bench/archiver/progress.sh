#!/usr/bin/env bash
# What the progress lines cost stowarc: the same archive of a generated input (half
# incompressible, half repetitive text, in files of 1 to 16 MB and a few thousand small
# ones) is made with STOWLINE_PROGRESS_FD naming a pipe that a reader drains and without
# it, rounds alternating, in one run. Prints the CPU time and wall time of each (best
# round) and the ratio with / without (1.00: no cost; the goal is below 1.02).
#
#   bench/archiver/progress.sh [megabytes]   default 400; STOWARC=path overrides the
#                                            binary, ROUNDS=n the rounds (default 3),
#                                            LEVEL=n the -m level (default 3).
# Not run by CI.
set -euo pipefail
export STOWLINE_DRY_POWER=1

repo=$(cd "$(dirname "$0")/../.." && pwd)
stowarc=${STOWARC:-$repo/build/stowarc}
total_mb=${1:-400}
rounds=${ROUNDS:-3}
level=${LEVEL:-3}
[[ -x $stowarc ]] || { echo "build stowarc first (expected at $stowarc)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/stowarc-progress-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/input"

/usr/bin/python3 - "$work/input" "$total_mb" <<'PY'
import os, random, sys
folder, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(20251211)
words = [b"backup", b"archive", b"volume", b"upload", b"progress", b"status", b"copy"]
written, index = 0, 0
while written < total * 95 // 100:
    size = min(total - written, rng.randint(1 << 20, 16 << 20))
    with open(os.path.join(folder, "big%04d.bin" % index), "wb") as out:
        if index % 2:
            out.write(rng.randbytes(size))
        else:
            line = b" ".join(rng.choice(words) for _ in range(12)) + b"\n"
            out.write((line * (size // len(line) + 1))[:size])
    written += size
    index += 1
small = os.path.join(folder, "small")
os.makedirs(small)
index = 0
while written < total:
    size = rng.randint(256, 8192)
    with open(os.path.join(small, "s%05d.txt" % index), "wb") as out:
        out.write(rng.randbytes(size // 2) + b"x" * (size - size // 2))
    written += size
    index += 1
PY
bytes=$(du -sb "$work/input" | cut -f1)
# Both read from the page cache.
find "$work/input" -type f -exec cat {} + >/dev/null

# The reader drains the pipe as the program would; its write end stays open in this shell
# for every round, so both kinds of round inherit the same descriptors.
exec {progress}> >(cat > "$work/lines")

# One round: "<wall seconds> <cpu seconds>" of stowarc, with or without the variable.
measure() {
    local with=$1 TIMEFORMAT='%R %U %S' real user system
    rm -f "$work/out.zip"
    if [[ $with == yes ]]; then
        read -r real user system < <({ time STOWLINE_PROGRESS_FD=$progress "$stowarc" a -m"$level" -r -inul "$work/out.zip" "$work/input" >/dev/null 2>&1; } 2>&1)
    else
        read -r real user system < <({ time env -u STOWLINE_PROGRESS_FD "$stowarc" a -m"$level" -r -inul "$work/out.zip" "$work/input" >/dev/null 2>&1; } 2>&1)
    fi
    echo "$real $(echo "$user + $system" | bc)"
}
smaller() { echo "$1 $2" | awk '{ print ($1 < $2 ? $1 : $2) }'; }

wall_with=1e9 cpu_with=1e9 wall_without=1e9 cpu_without=1e9
for ((round = 0; round < rounds; round++)); do
    read -r wall cpu < <(measure no)
    wall_without=$(smaller "$wall_without" "$wall") cpu_without=$(smaller "$cpu_without" "$cpu")
    read -r wall cpu < <(measure yes)
    wall_with=$(smaller "$wall_with" "$wall") cpu_with=$(smaller "$cpu_with" "$cpu")
done
exec {progress}>&-
sleep 0.2 # the reader writes out what it has
lines=$(wc -l < "$work/lines")
last=$(tail -n 1 "$work/lines")
read -r done total <<< "$last"
[[ $lines -ge $rounds && $done == "$total" ]] || { echo "no complete progress lines ($lines, last: $last)" >&2; exit 1; }

printf 'input: %.1f MB, -m%s, best of %d rounds; %d progress lines in all\n\n' \
    "$(echo "$bytes / 1048576" | bc -l)" "$level" "$rounds" "$lines"
printf '%-18s %9s %9s\n' "" "cpu s" "wall s"
printf '%-18s %9.2f %9.2f\n' "without progress" "$cpu_without" "$wall_without"
printf '%-18s %9.2f %9.2f\n' "with progress" "$cpu_with" "$wall_with"
awk -v cw="$cpu_with" -v co="$cpu_without" -v ww="$wall_with" -v wo="$wall_without" 'BEGIN {
    printf "\nratio with / without: cpu %.3f, wall %.3f (1.00: no cost)\n", cw / co, ww / wo
}'
