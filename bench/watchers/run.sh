#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ and measures a folder watcher on 10,000 folders.
set -euo pipefail
cd "$(dirname "$0")/../.."
export STOWLINE_DRY_POWER=1
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTOWLINE_BENCH=ON >/dev/null
ninja -C build-bench -j2 stowline_bench_watchers >/dev/null
./build-bench/stowline_bench_watchers "$@"
