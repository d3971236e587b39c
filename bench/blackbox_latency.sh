#!/usr/bin/env bash
# Times mmeval and nseval per run against a minimal statically linked C baseline, all
# measured in the same run and alternating, in a scratch folder with a prepared input.in.
# usage: bench/blackbox_latency.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/default}
runs=${2:-2000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -static -o "$work/baseline" "$here/latency_baseline.c"
cc -O2 -o "$work/latency_driver" "$here/latency_driver.c"
cp "$build/mmeval" "$build/nseval" "$work/"
cd "$work"
# Four lines serve both programs: mmeval reads two values, nseval four.
printf '2\n2\n0\n0\n' > input.in
echo "runs per program: $runs (alternating; median wall time of fork, exec and wait)"
./latency_driver "$runs" ./baseline ./mmeval ./nseval
