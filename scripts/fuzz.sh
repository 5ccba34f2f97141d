#!/usr/bin/env bash
# Runs the fuzz targets of the fuzz build (cmake --preset fuzz) one after the
# other, each for a bounded time from its seed corpus, and fails when any of
# them finds an input that breaks its property, crashes or hangs.
#
#   scripts/fuzz.sh [seconds per target (60)] [target...]
#
# New inputs go to build/fuzz/corpus/<target>/, findings to
# build/fuzz/findings/<target>/. A finding is kept: copy it into
# tests/fuzz/corpus/<target>/, where the ordinary test suite replays it, and
# write the regression test it calls for.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[[ $# -gt 0 ]] && shift
list=build/fuzz/fuzz_targets.tsv
[[ -f $list ]] || { echo "no $list: build the fuzz preset first" >&2; exit 2; }

failed=()
while IFS=$'\t' read -r name program seeds; do
  [[ -n $name ]] || continue
  if [[ $# -gt 0 && " $* " != *" $name "* ]]; then continue; fi
  work=build/fuzz/corpus/$name
  findings=build/fuzz/findings/$name
  log=build/fuzz/$name.log
  mkdir -p "$work" "$findings"
  echo "--- $name: $seconds s"
  if "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$work" "$seeds" >"$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log" || true
  else
    tail -n 80 "$log"
    echo "$name: FINDING, saved in $findings/ (full output: $log)"
    failed+=("$name")
  fi
done <"$list"

if ((${#failed[@]} > 0)); then
  echo "fuzz targets with findings: ${failed[*]}" >&2
  exit 1
fi
echo "every fuzz target ran $seconds s without a finding"
