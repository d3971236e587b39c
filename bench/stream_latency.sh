#!/usr/bin/env bash
# Evaluations per second through `kinkbench eval --stream`, a client writing a point and
# reading its answer in lock-step, against mmeval and nseval started once per evaluation,
# at the same points and in the same run.
# usage: bench/stream_latency.sh [BUILD_DIR] [BLACKBOX_RUNS] [STREAM_RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/default}" && pwd)
blackbox_runs=${2:-2000}
stream_runs=${3:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/latency_driver" "$here/latency_driver.c"
cc -O2 -o "$work/stream_driver" "$here/stream_driver.c"
cp "$build/mmeval" "$build/nseval" "$work/"
cd "$work"
# mmeval reads two values, nseval four: (2, 2) and (2, 2, 0, 0).
printf '2\n2\n0\n0\n' > input.in

echo "black boxes, one process per evaluation ($blackbox_runs runs each, alternating):"
./latency_driver "$blackbox_runs" ./mmeval ./nseval | sed "s/   ratio to baseline.*//" | tee blackbox.txt
median() { awk -v p="$1" '$1 == p { print $3 }' blackbox.txt; }

echo
echo "stream, one process for all evaluations ($stream_runs each):"
ratio() {  # black-box median in us, stream output
  awk -v box="$1" '/median round trip/ {
    printf "  %s   %.0fx the black box\n", $0, box / $6 }' <<<"$2"
}
out=$(./stream_driver "$stream_runs" "2,2" "$build/kinkbench" eval minimax 1 --stream)
echo "kinkbench eval minimax 1 --stream"
ratio "$(median ./mmeval)" "$out"
out=$(./stream_driver "$stream_runs" "2 2 0 0" "$build/kinkbench" eval nonsmooth 11 --stream)
echo "kinkbench eval nonsmooth 11 --stream"
ratio "$(median ./nseval)" "$out"
out=$(./stream_driver "$stream_runs" "2 2 0 0" "$build/kinkbench" eval nonsmooth 11 --stream \
  --gradient)
echo "kinkbench eval nonsmooth 11 --stream --gradient"
ratio "$(median ./nseval)" "$out"
