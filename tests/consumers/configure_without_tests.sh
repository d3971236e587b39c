#!/usr/bin/env bash
# A user who only wants the library: the source configures with the tests off while
# GoogleTest, gfortran and Google Benchmark count as absent.
# usage: configure_without_tests.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! log=$(cmake -S "$src" -B "$work" -G Ninja -DKINKBENCH_BUILD_TESTS=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
  -DCMAKE_Fortran_COMPILER=/nonexistent/gfortran 2>&1); then
  printf 'configuring without the tests failed:\n%s\n' "$log" >&2
  exit 1
fi
grep -q '^build mmeval:' "$work/build.ninja" || { echo "no mmeval to build" >&2; exit 1; }
if grep -q 'gtest' "$work/build.ninja"; then
  echo "a build without the tests still builds against GoogleTest" >&2
  exit 1
fi
echo "configured without the tests, GoogleTest or gfortran"
