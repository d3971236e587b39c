#!/usr/bin/env bash
# Installs a build into a temporary prefix and builds a C and a C++ consumer against it,
# once through find_package and once through pkg-config, then runs them.
set -euo pipefail
build_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libkinkbench.so' | head -n 1)")
export LD_LIBRARY_PATH="$libdir"

cmake -S "$here" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer_c"
"$work/cmake/consumer_cpp"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc "$here/consumer.c" $(pkg-config --cflags --libs kinkbench) -o "$work/pc_c"
c++ -std=c++20 "$here/consumer.cpp" $(pkg-config --cflags --libs kinkbench) -o "$work/pc_cpp"
"$work/pc_c"
"$work/pc_cpp"
echo "consumers built and ran through find_package and pkg-config"
