#!/usr/bin/env bash
# Evaluations per second through `kinkbench eval nonsmooth 11 --stream --gradient` for a
# pipelined client (bench/stream_driver.c --pipelined) against the buffered minimal server
# bench/stream_floor.cpp, text and JSON, and the lock-step round trip, all in one run and
# alternating. Rates are medians of ROUNDS; the ratio to the floor is the median of each
# round's ratio (the two ran back to back), which a loaded machine disturbs less; the
# server's CPU time per evaluation is given beside it. Further KINKBENCH binaries (an
# older build, say) are measured beside the first in the same rounds.
# usage: bench/stream_throughput.sh [BUILD_DIR] [ROUNDS] [POINTS] [KINKBENCH...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/default}" && pwd)
rounds=${2:-5}
points=${3:-200000}
shift $(($# < 3 ? $# : 3))
commands=("$build/kinkbench" "$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/stream_driver" "$here/stream_driver.c" -lpthread
c++ -O2 -std=c++20 -I"$here/../include" -I"$here/../src" -o "$work/stream_floor" \
  "$here/stream_floor.cpp" "$build/libkinkbench_tools.a" "$build/libkinkbench_blackbox.a" \
  "$build/libkinkbench.a"
point="0.1234567890123 -1.5e-3 2.75 0.3333333333333333"
rate() { awk '/per second/ { print $4, $(NF-2) }'; }
trip() { awk '/median round trip/ { print $6 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for ((r = 0; r < rounds; ++r)); do
  for form in text json; do
    flags=(--gradient)
    [[ $form == json ]] && flags+=(--json)
    "$work/stream_driver" --pipelined "$points" "$point" "$work/stream_floor" "${flags[@]}" |
      rate >>"$work/floor-$form"
    for i in "${!commands[@]}"; do
      "$work/stream_driver" --pipelined "$points" "$point" "${commands[$i]}" eval nonsmooth 11 \
        --stream "${flags[@]}" | rate >>"$work/pipelined-$i-$form"
    done
  done
  for i in "${!commands[@]}"; do
    "$work/stream_driver" 20000 "$point" "${commands[$i]}" eval nonsmooth 11 --stream \
      --gradient | trip >>"$work/lockstep-$i"
  done
done

echo "nonsmooth 11 --stream --gradient, $points points per pipelined run, medians of $rounds rounds"
for form in text json; do
  printf '%-5s %-44s %9.0f evaluations/s, server CPU %4.0f ns each\n' "$form" \
    "floor (stream_floor)" "$(cut -d' ' -f1 "$work/floor-$form" | median)" \
    "$(cut -d' ' -f2 "$work/floor-$form" | median)"
  for i in "${!commands[@]}"; do
    ratio=$(paste -d' ' "$work/pipelined-$i-$form" "$work/floor-$form" | awk '{ print $1 / $3 }' |
      median)
    cpu=$(paste -d' ' "$work/pipelined-$i-$form" "$work/floor-$form" | awk '{ print $2 / $4 }' |
      median)
    printf '%-5s %-44s %9.0f evaluations/s, server CPU %4.0f ns each; %.2fx the floor (CPU %.2fx)\n' \
      "$form" "${commands[$i]}" "$(cut -d' ' -f1 "$work/pipelined-$i-$form" | median)" \
      "$(cut -d' ' -f2 "$work/pipelined-$i-$form" | median)" "$ratio" "$cpu"
  done
done
for i in "${!commands[@]}"; do
  printf 'lock-step round trip %-44s %6.1f us (median of medians, 20000 each)\n' "${commands[$i]}" \
    "$(median <"$work/lockstep-$i")"
done
