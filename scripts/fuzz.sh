#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each one on its seed
# corpus for SECONDS seconds (default 20), one target per processor at a time. New inputs
# that reach new code are kept in build-fuzz/corpus/<target>; a crash leaves its input in
# build-fuzz/findings and fails the script. STOWLINE_FUZZ_RUNS stops a target earlier,
# after that many executions (the long runs in docs/fuzzing.md: 10 million or 30 min).
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

# One target: its executions on success; its log's end and a failed status on a finding.
run_target() {
  local target=$1
  local corpus="$build/corpus/$target" log="$build/$target.log"
  mkdir -p "$corpus"
  if ! "$build/$target" -max_total_time="$seconds" -runs="${STOWLINE_FUZZ_RUNS:--1}" \
      -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" "$corpus" "tests/fuzz/corpus/$target" \
      2>"$log"; then
    { echo "== $target: FAILED, see $log and $build/findings"; tail -30 "$log"; } >&2
    return 1
  fi
  echo "== $target ($seconds s): $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions"
}

# Each target runs single-threaded: as many run at once as there are processors
# (STOWLINE_FUZZ_JOBS), each for its full time.
jobs_max=${STOWLINE_FUZZ_JOBS:-$(nproc)}
failed=0
running=0
for target in "${targets[@]}"; do
  if ((running >= jobs_max)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
