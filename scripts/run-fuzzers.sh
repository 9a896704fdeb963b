#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for its recorded time, seeded from its corpus folder.
# Fails when a target finds a crash, a leak or a timeout. Crash inputs go to fuzz-artifacts/.
set -euo pipefail
build_dir=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS]}
default_seconds=${2:-}
manifest="$build_dir/fuzz/fuzzers.txt"
[[ -s "$manifest" ]] || { echo "run-fuzzers: no fuzz targets in $manifest"; exit 0; }
mkdir -p fuzz-artifacts
status=0
while read -r binary seconds corpus; do
  [[ -n "$binary" ]] || continue
  name=$(basename "$binary")
  work=$(mktemp -d)
  seeds=()
  [[ -d "$corpus" ]] && seeds=("$corpus")
  echo "fuzz: $name for ${default_seconds:-$seconds} s"
  if ! "$binary" -max_total_time="${default_seconds:-$seconds}" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="fuzz-artifacts/$name-" \
      "$work" "${seeds[@]}" >"$work.log" 2>&1; then
    tail -n 60 "$work.log"
    echo "fuzz: $name FAILED"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$work.log" | tail -n 2 || true
  fi
  rm -rf "$work" "$work.log"
done <"$manifest"
exit $status
