#!/usr/bin/env bash
# Compares stowarc with `zip -r` on a few hundred MB of mixed files, level by level, in one
# run: stowarc -m0..-m5 against zip -0, -1, -3, -6, -8, -9 (the deflate levels stowarc
# uses). Prints the throughput ratio (zip time / stowarc time: above 1 means stowarc is
# faster) and the size ratio (stowarc size / zip size: below 1 means smaller archives).
# Both tools run on one core (stowarc with -mt1); throughput is rated by CPU time (user +
# system), which other work on a shared machine disturbs far less than the wall time, shown
# beside it. The rounds of the two tools alternate and the best of each counts.
#
# A second table rates stowarc -m3 on all cores (its default) by wall time against
# `zip -r -6` and against tar piped through pigz -6 on all cores, on the same corpus.
#
#   bench/archiver/run.sh [megabytes]     default 300; STOWARC=path overrides the binary,
#                                         ROUNDS=n the timed rounds per tool and level
#                                         (default 2).
# Not run by CI.
set -euo pipefail
export STOWLINE_DRY_POWER=1

repo=$(cd "$(dirname "$0")/../.." && pwd)
stowarc=${STOWARC:-$repo/build/stowarc}
total_mb=${1:-300}
rounds=${ROUNDS:-2}
[[ -x $stowarc ]] || { echo "build stowarc first (expected at $stowarc)" >&2; exit 1; }
command -v zip >/dev/null || { echo "zip is not installed" >&2; exit 1; }
command -v pigz >/dev/null || { echo "pigz is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/stowarc-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
corpus=$work/corpus
mkdir -p "$corpus"

# The mix, by share of the total: source text and documentation from this machine (40%),
# shared libraries (25%), incompressible media stand-ins (20%), repetitive logs (10%) and
# thousands of small generated files (5%).
/usr/bin/python3 - "$corpus" "$total_mb" <<'PY'
import os, random, shutil, sys
corpus, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(20250307)

def copy_tree_files(sources, target, budget, name_filter):
    used = 0
    for source in sources:
        for folder, _, names in sorted(os.walk(source)):
            for name in sorted(names):
                path = os.path.join(folder, name)
                if not os.path.isfile(path) or os.path.islink(path) or not name_filter(name):
                    continue
                size = os.path.getsize(path)
                if used + size > budget:
                    continue
                destination = os.path.join(target, os.path.relpath(path, "/"))
                os.makedirs(os.path.dirname(destination), exist_ok=True)
                shutil.copyfile(path, destination)
                used += size
    return used

text = copy_tree_files(["/usr/include", "/usr/share/doc"], os.path.join(corpus, "text"),
                       total * 40 // 100, lambda n: not n.endswith((".gz", ".xz", ".bz2")))
libs = copy_tree_files(["/usr/lib/x86_64-linux-gnu"], os.path.join(corpus, "libs"),
                       total * 25 // 100, lambda n: ".so" in n)

media = os.path.join(corpus, "media")
os.makedirs(media)
remaining = total * 20 // 100
index = 0
while remaining > 0:
    size = min(remaining, rng.randint(2 << 20, 12 << 20))
    with open(os.path.join(media, "clip%03d.bin" % index), "wb") as out:
        out.write(rng.randbytes(size))
    remaining -= size
    index += 1

logs = os.path.join(corpus, "logs")
os.makedirs(logs)
words = ["backup", "started", "done", "error", "copy", "upload", "ftp", "smtp", "volume",
         "archive", "preset", "schedule", "warning", "retry", "connected", "disconnected"]
for day in range(10):
    with open(os.path.join(logs, "run-%02d.log" % day), "w") as out:
        written = 0
        while written < total * 10 // 100 // 10:
            line = "[2025.03.%02d %02d:%02d:%02d] %s %s %d\n" % (
                day + 1, rng.randrange(24), rng.randrange(60), rng.randrange(60),
                rng.choice(words), rng.choice(words), rng.randrange(100000))
            out.write(line)
            written += len(line)

small = os.path.join(corpus, "small")
remaining = total * 5 // 100
index = 0
while remaining > 0:
    folder = os.path.join(small, "d%02d" % (index // 200))
    os.makedirs(folder, exist_ok=True)
    size = rng.randint(512, 16384)
    body = " ".join(rng.choice(words) for _ in range(size // 6)).encode()[:size]
    with open(os.path.join(folder, "note%05d.txt" % index), "wb") as out:
        out.write(body)
    remaining -= len(body)
    index += 1
PY

bytes=$(du -sb "$corpus" | cut -f1)
files=$(find "$corpus" -type f | wc -l)
# Both tools read from the page cache, not from the disk.
find "$corpus" -type f -exec cat {} + >/dev/null

# One run of the command: "<wall seconds> <cpu seconds>".
measure() {
    local TIMEFORMAT='%R %U %S' real user system
    read -r real user system < <({ time "$@" >/dev/null 2>&1; } 2>&1)
    echo "$real $(echo "$user + $system" | bc)"
}
smaller() { echo "$1 $2" | awk '{ print ($1 < $2 ? $1 : $2) }'; }

printf 'corpus: %d files, %.1f MB; best of %d rounds\n\n' "$files" "$(echo "$bytes / 1048576" | bc -l)" "$rounds"
printf '%-8s %9s %9s %9s %9s %11s %10s %10s %9s %7s\n' level "stow cpu" "zip cpu" "stow MB/s" "zip MB/s" \
    "stowarc MB" "zip MB" "speed cpu" "(wall)" size
zip_levels=(0 1 3 6 8 9)
cd "$work"
for m in 0 1 2 3 4 5; do
    z=${zip_levels[$m]}
    wall_s=1e9 cpu_s=1e9 wall_z=1e9 cpu_z=1e9
    for ((round = 0; round < rounds; round++)); do
        rm -f "$work/s.zip" "$work/z.zip"
        read -r wall cpu < <(measure "$stowarc" a -m"$m" -mt1 -inul "$work/s.zip" corpus)
        wall_s=$(smaller "$wall_s" "$wall") cpu_s=$(smaller "$cpu_s" "$cpu")
        read -r wall cpu < <(measure zip -q -r -"$z" "$work/z.zip" corpus)
        wall_z=$(smaller "$wall_z" "$wall") cpu_z=$(smaller "$cpu_z" "$cpu")
    done
    size_s=$(stat -c %s "$work/s.zip")
    size_z=$(stat -c %s "$work/z.zip")
    # The archives must hold the same files.
    if [[ $(unzip -Z1 "$work/s.zip" | grep -vc '/$') != $(unzip -Z1 "$work/z.zip" | grep -vc '/$') ]]; then
        echo "the archives of level $m hold different files" >&2
        exit 1
    fi
    awk -v m="$m" -v z="$z" -v cs="$cpu_s" -v cz="$cpu_z" -v ws="$wall_s" -v wz="$wall_z" \
        -v ss="$size_s" -v sz="$size_z" -v b="$bytes" 'BEGIN {
        printf "-m%s/-%s   %9.2f %9.2f %9.1f %9.1f %11.2f %10.2f %10.2f %9s %7.4f\n", m, z, cs, cz,
            b / 1048576 / cs, b / 1048576 / cz, ss / 1048576, sz / 1048576, cz / cs,
            sprintf("(%.2f)", wz / ws), ss / sz
    }'
done
echo
echo "speed: zip CPU time / stowarc CPU time, wall-time ratio in brackets (>= 0.9 wanted);"
echo "size: stowarc size / zip size (<= 1 wanted)"

# All cores, by wall time: stowarc -m3 against zip -6 (one core) and tar | pigz -6.
wall_s=1e9 wall_z=1e9 wall_p=1e9
for ((round = 0; round < rounds; round++)); do
    rm -f "$work/s.zip" "$work/z.zip" "$work/p.tar.gz"
    read -r wall _ < <(measure "$stowarc" a -m3 -inul "$work/s.zip" corpus)
    wall_s=$(smaller "$wall_s" "$wall")
    read -r wall _ < <(measure zip -q -r -6 "$work/z.zip" corpus)
    wall_z=$(smaller "$wall_z" "$wall")
    read -r wall _ < <(measure sh -c 'tar -cf - corpus | pigz -6 > p.tar.gz')
    wall_p=$(smaller "$wall_p" "$wall")
done
size_s=$(stat -c %s "$work/s.zip")
size_z=$(stat -c %s "$work/z.zip")
size_p=$(stat -c %s "$work/p.tar.gz")
echo
printf 'all cores (%d), wall time, -m3 against zip -6 and tar | pigz -6:\n' "$(nproc)"
printf '%-10s %9s %9s %9s %11s %10s %10s %9s %9s %7s\n' "" "stow s" "zip s" "pigz s" "stowarc MB" "zip MB" \
    "pigz MB" "vs zip" "vs pigz" size
awk -v ws="$wall_s" -v wz="$wall_z" -v wp="$wall_p" -v ss="$size_s" -v sz="$size_z" \
    -v sp="$size_p" 'BEGIN {
    printf "%-10s %9.2f %9.2f %9.2f %11.2f %10.2f %10.2f %9.2f %9.2f %7.4f\n", "-m3", ws, wz, wp,
        ss / 1048576, sz / 1048576, sp / 1048576, wz / ws, wp / ws, ss / sz
}'
echo "vs zip, vs pigz: their wall time / stowarc wall time (>= 1.7 and >= 0.9 wanted on 2 cores);"
echo "size: stowarc size / zip size (within 1% wanted)"
