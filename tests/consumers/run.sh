#!/usr/bin/env bash
# Installs a build with the README's install command and environment line, then builds
# consumers against the prefix as a user would and runs them with no LD_LIBRARY_PATH:
# through find_package (a project that sets no C++ standard, and a C-only project),
# through pkg-config (C, C++, a static C link, Fortran), and from a moved prefix.
# usage: run.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LD_LIBRARY_PATH CMAKE_PREFIX_PATH PKG_CONFIG_PATH

fail() {
  echo "consumers: $*" >&2
  exit 1
}
readme_line() {
  grep -m1 "$1" "$src/README.md" || fail "README.md has no line matching '$1'"
}

# The README's lines verbatim, run from a directory whose build/default is this build and
# with a scratch HOME.
install_command=$(readme_line '^cmake --install build/default ')
environment=$(readme_line '^export PKG_CONFIG_PATH=')
export HOME="$work/home"
mkdir -p "$HOME" "$work/user/build"
ln -s "$build" "$work/user/build/default"
(cd "$work/user" && eval "$install_command") >/dev/null
eval "$environment"
prefix="$HOME/.local"
[ -x "$prefix/bin/mmeval" ] || fail "the README's install command put no mmeval in $prefix/bin"

# Installed files find the library beside them.
readelf -d "$prefix/bin/kinkbench" | grep -qF '[$ORIGIN/../lib]' ||
  fail "installed kinkbench has no run path \$ORIGIN/../lib"
readelf -d "$prefix/lib/libkinkbench.so" | grep -qF '[$ORIGIN]' ||
  fail "installed libkinkbench.so has no run path \$ORIGIN"

# Runs a freshly built consumer and checks that it took the library from the prefix.
run() {
  local program=$1 dir=$2
  if readelf -d "$program" | grep -q 'libkinkbench\.so'; then
    local loaded
    loaded=$(ldd "$program" | awk '$1 == "libkinkbench.so.0" { print $3 }')
    [ "$(realpath "$loaded")" = "$(realpath "$dir/libkinkbench.so.0")" ] ||
      fail "$program loads '$loaded', not libkinkbench.so.0 from $dir"
  fi
  "$program" >/dev/null || fail "$program failed"
}

cmake -S "$here" -B "$work/cmake" -G Ninja >/dev/null
cmake --build "$work/cmake" >/dev/null
for program in consumer_c consumer_cpp consumer_c_static consumer_cpp_static; do
  run "$work/cmake/$program" "$prefix/lib"
done
cmake -S "$here/c_only" -B "$work/c_only" -G Ninja >/dev/null
cmake --build "$work/c_only" >/dev/null
run "$work/c_only/consumer_c_only" "$prefix/lib"

cc "$here/consumer.c" $(pkg-config --cflags --libs kinkbench) -o "$work/pc_c"
run "$work/pc_c" "$prefix/lib"
c++ "$here/consumer.cpp" $(pkg-config --cflags --libs kinkbench-c++) -o "$work/pc_cpp"
run "$work/pc_cpp" "$prefix/lib"
cc -static "$here/consumer.c" $(pkg-config --static --cflags --libs kinkbench) -o "$work/pc_c_static"
readelf -d "$work/pc_c_static" | grep -q 'NEEDED' && fail "the static C link has shared dependencies"
run "$work/pc_c_static" "$prefix/lib"
gfortran "$src/tests/fortran_client/client.f90" $(pkg-config --libs kinkbench) -o "$work/pc_fortran"
run "$work/pc_fortran" "$prefix/lib"

# A moved prefix still serves pkg-config users: paths follow the .pc file.
mv "$prefix" "$work/moved"
export PKG_CONFIG_PATH="$work/moved/lib/pkgconfig"
cc "$here/consumer.c" $(pkg-config --cflags --libs kinkbench) -o "$work/moved_c"
run "$work/moved_c" "$work/moved/lib"

mkdir "$work/box"
printf '2\n2\n' >"$work/box/input.in"
(cd "$work/box" && "$work/moved/bin/mmeval")
[ "$(cat "$work/box/output.out")" = "   0.200000E+02" ] || fail "installed mmeval wrote the wrong result"

echo "consumers built against the installed prefix through find_package and pkg-config ran"
