#!/usr/bin/env bash
# The README's first command needs only the main packages: its preset configures, and
# builds the demo's programs, while GoogleTest, Python, pybind11, gfortran and Google
# Benchmark count as absent.
# usage: configure_without_tests.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! log=$(cd "$src" && cmake --preset main -B "$work" \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON -DCMAKE_DISABLE_FIND_PACKAGE_pybind11=ON \
  -DCMAKE_Fortran_COMPILER=/nonexistent/gfortran 2>&1); then
  printf 'configuring the main preset failed:\n%s\n' "$log" >&2
  exit 1
fi
for target in mmeval nseval kinkbench; do
  grep -q "^build $target:" "$work/build.ninja" || { echo "no $target to build" >&2; exit 1; }
done
grep -q '^build demo:' "$work/build.ninja" || { echo "no demo target" >&2; exit 1; }
for dep in gtest pybind11 Python3; do
  if grep -qi "$dep" "$work/build.ninja"; then
    echo "the main preset still builds against $dep" >&2
    exit 1
  fi
done
echo "the main preset configures without GoogleTest, Python, pybind11 or gfortran"
