#!/usr/bin/env bash
# Extracting a large archive: `stowarc x` against `bsdtar -x` on the same ZIP archive (made
# by stowarc -m3 from a few hundred MB of text from this machine and incompressible data),
# in one run. Rounds of the two tools alternate; the best CPU time (user + system) of each
# counts, the wall time is shown beside it. Prints the speed ratio (bsdtar time / stowarc
# time: 1 means as fast, above 1 faster) and whether it reaches the goal of 0.9. Both
# extracted trees are compared, so a fast but wrong extraction does not pass.
#
#   bench/archiver/extract.sh [megabytes]   default 300; STOWARC=path overrides the binary,
#                                           ROUNDS=n the rounds per tool (default 3).
# Not run by CI.
set -euo pipefail
export STOWLINE_DRY_POWER=1

repo=$(cd "$(dirname "$0")/../.." && pwd)
stowarc=${STOWARC:-$repo/build/stowarc}
total_mb=${1:-300}
rounds=${ROUNDS:-3}
[[ -x $stowarc ]] || { echo "build stowarc first (expected at $stowarc)" >&2; exit 1; }
command -v bsdtar >/dev/null || { echo "bsdtar is not installed (libarchive-tools)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/stowarc-extract-XXXXXX")
trap 'rm -rf "$work"' EXIT
corpus=$work/corpus
mkdir -p "$corpus"

# Two thirds text (headers and documentation, many small files), one third random bytes in
# files of a few MB.
/usr/bin/python3 - "$corpus" "$total_mb" <<'PY'
import os, random, shutil, sys
corpus, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(20251211)
budget, used = total * 2 // 3, 0
for source in ("/usr/include", "/usr/share/doc"):
    for folder, _, names in sorted(os.walk(source)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            if not os.path.isfile(path) or os.path.islink(path):
                continue
            size = os.path.getsize(path)
            if used + size > budget:
                continue
            target = os.path.join(corpus, "text", os.path.relpath(path, "/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(path, target)
            used += size
# Fill up with text again when this machine has less of it.
copy, text_size = 0, used
while text_size and used + text_size <= budget:
    shutil.copytree(os.path.join(corpus, "text"), os.path.join(corpus, "text-copy%d" % copy))
    used += text_size
    copy += 1
os.makedirs(os.path.join(corpus, "data"))
remaining, index = total - budget, 0
while remaining > 0:
    size = min(remaining, rng.randint(2 << 20, 8 << 20))
    with open(os.path.join(corpus, "data", "blob%03d.bin" % index), "wb") as out:
        out.write(rng.randbytes(size))
    remaining -= size
    index += 1
PY

archive=$work/corpus.zip
"$stowarc" a -r -ep1 -m3 -inul "$archive" "$corpus/" >/dev/null
files=$(find "$corpus" -type f | wc -l)
printf 'input: %s MB in %s files; archive %s MB\n' "$(du -sm "$corpus" | cut -f1)" "$files" \
  "$(( $(stat -c %s "$archive") >> 20 ))"

# Runs "$@" into a fresh folder $work/out; prints "cpu wall" in seconds.
timed() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  local times
  times=$(tail -n 1 "$work/time")
  awk -v t="$times" -v s="$start" -v e="$end" 'BEGIN { split(t, a, " "); printf "%.3f %.3f\n", a[1] + a[2], e - s }'
}

best_stowarc_cpu=999999 best_stowarc_wall=0 best_bsdtar_cpu=999999 best_bsdtar_wall=0
for round in $(seq "$rounds"); do
  read -r cpu wall < <(timed "$stowarc" x -inul "$archive" "$work/out/")
  if awk -v a="$cpu" -v b="$best_stowarc_cpu" 'BEGIN { exit !(a < b) }'; then
    best_stowarc_cpu=$cpu best_stowarc_wall=$wall
  fi
  [[ $round == 1 ]] && { diff -r "$corpus" "$work/out" >/dev/null || { echo "stowarc x: tree differs" >&2; exit 1; }; }
  read -r cpu wall < <(timed bsdtar -x -f "$archive" -C "$work/out")
  if awk -v a="$cpu" -v b="$best_bsdtar_cpu" 'BEGIN { exit !(a < b) }'; then
    best_bsdtar_cpu=$cpu best_bsdtar_wall=$wall
  fi
  [[ $round == 1 ]] && { diff -r "$corpus" "$work/out" >/dev/null || { echo "bsdtar -x: tree differs" >&2; exit 1; }; }
done

ratio=$(awk -v s="$best_stowarc_cpu" -v b="$best_bsdtar_cpu" 'BEGIN { printf "%.2f", b / s }')
printf '%-12s %10s %10s\n' tool "cpu (s)" "wall (s)"
printf '%-12s %10s %10s\n' "stowarc x" "$best_stowarc_cpu" "$best_stowarc_wall"
printf '%-12s %10s %10s\n' "bsdtar -x" "$best_bsdtar_cpu" "$best_bsdtar_wall"
printf 'speed ratio (bsdtar / stowarc): %s (goal: at least 0.90)\n' "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r >= 0.9) }'
