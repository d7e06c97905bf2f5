#!/usr/bin/env bash
# fuzz-run.sh TARGET SEEDS SECONDS: runs one libFuzzer target for SECONDS from its committed seeds
# (and SEEDS.dict if there is one). What it finds goes to corpus/ and artifacts/ beside TARGET, so
# that the committed seeds never change by themselves. Prints libFuzzer's closing lines, or the
# end of its report when it found something (and then fails).
set -uo pipefail
target=$1 seeds=$2 seconds=$3
name=$(basename "$target")
work=$(dirname "$target")
mkdir -p "$work/corpus/$name" "$work/artifacts" "$work/logs"
log=$work/logs/$name.log
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$work/artifacts/$name-")
[ -f "$seeds.dict" ] && args+=(-dict="$seeds.dict")
"$target" "${args[@]}" "$work/corpus/$name" "$seeds" >"$log" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  tail -n 60 "$log"
  echo "$name: libFuzzer stopped with $rc (the input is in $work/artifacts/, the log in $log)"
  exit $rc
fi
# The line of the last input tried, and libFuzzer's closing line.
grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 | sed "s/^/$name: /"
grep -E '^Done [0-9]+ runs in ' "$log" | tail -n 1 | sed "s/^/$name: /"
