#!/usr/bin/env bash
# Runs every fuzz target of a `fuzz` build for SECONDS each (default 30), starting from
# its committed seed corpus (copied: the run's new inputs stay out of the repo), and
# prints libFuzzer's last status line per target. A crash, a leak, a sanitizer report or
# a broken property fails the run; the reproducer and the log stay in the work directory.
# usage: run.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kinkbench-fuzz-XXXXXX")
failed=0
while read -r target; do
  [ -n "$target" ] || continue
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$here/corpus/$target/"* "$corpus/"
  log="$work/$target.log"
  if "$build/tests/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len=4096 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/$target-" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    echo "$target: ok, $runs runs; $(grep -E '^#[0-9]+' "$log" | tail -1)"
  else
    failed=1
    echo "$target: FAILED (log and reproducer in $work)"
    grep -E 'ERROR|property violated|SUMMARY|Test unit written' "$log" | head -5
  fi
done <"$build/fuzz-targets.txt"
if [ "$failed" -eq 0 ]; then rm -rf "$work"; fi
exit "$failed"
