#!/usr/bin/env bash
# Runs every benchmark program of a build (bench/bench_*), one after the other.
set -euo pipefail
build_dir=${1:?usage: run-benchmarks.sh BUILD_DIR}
shopt -s nullglob
for benchmark in "$build_dir"/bench/bench_*; do
  [[ -x "$benchmark" ]] || continue
  echo "== $(basename "$benchmark")"
  "$benchmark"
done
