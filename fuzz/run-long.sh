#!/usr/bin/env bash
# Long fuzzing runs, outside CI: builds the fuzz targets (clang), makes the
# seeds, then runs every target for SECONDS (default 1800, 30 minutes),
# JOBS at a time (default 2, the machine's two cores), each on its corpus in build-fuzz/
# (kept between runs) plus the seeds. Prints one line per target:
# executions, executions per second, coverage (edges) and features, corpus
# size, and the finding if there was one (its input is left in build-fuzz/).
#
#   fuzz/run-long.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-1800}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(edit tables open movie still dump)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVRMANGR_BUILD_FUZZ=ON -DVRMANGR_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 >/dev/null
seeds=build-fuzz/seeds
rm -rf "$seeds" && build-fuzz/fuzz/make_seeds "$seeds"

run() {  # target
  local target=$1 corpus=build-fuzz/corpus-$1 max_len="-max_len=140000"
  [ "$target" = edit ] && max_len="-max_len=512 -len_control=0"
  mkdir -p "$corpus"
  local status=0
  # shellcheck disable=SC2086
  build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -rss_limit_mb=2048 $max_len -timeout=25 \
    -artifact_prefix=build-fuzz/long-$target- -print_final_stats=1 "$corpus" "$seeds/$target" \
    >build-fuzz/long-$target.log 2>&1 || status=$?
  echo "$status" >build-fuzz/long-$target.status
}

summary() {  # target
  local target=$1 log=build-fuzz/long-$1.log status
  status=$(cat build-fuzz/long-$target.status)
  local runs rate cov ft corpus
  runs=$(grep 'stat::number_of_executed_units:' "$log" | awk '{print $2}')
  rate=$(grep 'stat::average_exec_per_sec:' "$log" | awk '{print $2}')
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | awk '{print $2}')
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -n 1 | awk '{print $2}')
  corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -n 1 | awk '{print $2}')
  local finding="none"
  [ "$status" -eq 0 ] || finding="status $status, see $log and build-fuzz/long-$target-*"
  printf 'fuzz_%-7s %s s  executions %s  per second %s  coverage %s edges, %s features  corpus %s  findings: %s\n' \
    "$target" "$seconds" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$finding"
}

jobs="${JOBS:-2}"
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  for ((j = i; j < i + jobs && j < ${#targets[@]}; ++j)); do run "${targets[j]}" & done
  wait
done
failed=0
for target in "${targets[@]}"; do
  summary "$target"
  [ "$(cat build-fuzz/long-$target.status)" -eq 0 ] || failed=1
done
exit "$failed"
