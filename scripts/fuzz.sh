#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each one on its seed
# corpus for SECONDS seconds (default 20). New inputs that reach new code are kept in
# build-fuzz/corpus/<target>; a crash leaves its input in build-fuzz/findings and fails
# the script. STOWLINE_FUZZ_RUNS stops a target earlier, after that many executions
# (the long runs recorded in docs/fuzzing.md: 10 million or 30 minutes).
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
export STOWLINE_DRY_POWER=1 QT_QPA_PLATFORM=offscreen

STOWLINE_EXTRA_PACKAGES="clang-14 libclang-rt-14-dev" bash scripts/setup.sh --packages-only

build=build-fuzz
if [[ ! -f $build/build.ninja ]]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DSTOWLINE_FUZZ=ON >/dev/null
fi
cmake --build "$build" --target fuzzers

targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(sed -n 's/^stowline_add_fuzzer(\([A-Za-z]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
fi
mkdir -p "$build/findings"
failed=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target ($seconds s)"
  if ! "$build/$target" -max_total_time="$seconds" -runs="${STOWLINE_FUZZ_RUNS:--1}" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
      "$corpus" "tests/fuzz/corpus/$target" 2>"$build/$target.log"; then
    echo "   FAILED: see $build/$target.log and $build/findings" >&2
    tail -30 "$build/$target.log" >&2
    failed=1
  fi
  grep -E '^stat::number_of_executed_units' "$build/$target.log" | sed 's/^/   /' || true
done
exit $failed
