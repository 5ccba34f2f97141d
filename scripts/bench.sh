#!/usr/bin/env bash
# Builds the benchmarks (Release, build/bench) and runs every one of them, then
# prints the results tables: machine, load around the run, date, medians,
# baselines and ratios.
#
#   scripts/bench.sh [--update] [Google Benchmark flags...]
#
# --update also writes the tables into BENCHMARKS.md (everything between its
# results markers). Other flags go to the
# benchmark program (for example --benchmark_filter=criticalT). Takes a couple
# of minutes on two cores; not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

update=false
flags=()
for argument in "$@"; do
  if [[ $argument == --update ]]; then update=true; else flags+=("$argument"); fi
done

bash scripts/install-deps.sh python3 sed procps
cmake --preset bench
cmake --build --preset bench

results=build/bench/results.json
uptime_before=$(uptime)
build/bench/bench/kelvane_bench/Nimbrel.exe \
  --benchmark_repetitions=7 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.2 \
  --benchmark_out="$results" \
  --benchmark_out_format=json \
  "${flags[@]}"

uptime_after=$(uptime)

echo
report=(python3 bench/report.py "$results" --uptime-before "$uptime_before" --uptime-after "$uptime_after")
if $update; then
  "${report[@]}" --into BENCHMARKS.md
else
  "${report[@]}"
fi
