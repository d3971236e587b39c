#!/usr/bin/env bash
# Builds and runs the README's examples against a build tree, so that they stay true:
# the Fortran, C and C++ programs must exit 0, and the shell session must print what
# its comments say.
# usage: examples.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first fenced block of the given language.
block() {
  awk -v lang="$1" '
    $0 == "```" lang { inside = 1; next }
    inside && $0 == "```" { exit }
    inside { print }' "$src/README.md"
}

lib="$build/libkinkbench.a"
inc="$src/include"

block fortran > "$work/start.f90"
gfortran "$work/start.f90" "$lib" -lstdc++ -lm -o "$work/fortran_example"
"$work/fortran_example"

block c > "$work/example.c"
cc -std=c11 -I"$inc" "$work/example.c" "$lib" -lstdc++ -lm -o "$work/c_example"
"$work/c_example"

block cpp > "$work/example.cpp"
c++ -std=c++20 -I"$inc" "$work/example.cpp" "$lib" -o "$work/cpp_example"
"$work/cpp_example"

block bash > "$work/session.sh"
expected=$(sed -n 's/^[^#]*# //p' "$work/session.sh")
actual=$(cd "$work" && PATH="$build:$PATH" bash -e session.sh)
if [ "$actual" != "$expected" ]; then
  printf 'shell example printed:\n%s\nits comments say:\n%s\n' "$actual" "$expected" >&2
  exit 1
fi
echo "README examples: Fortran, C, C++ and shell all ran as documented"
