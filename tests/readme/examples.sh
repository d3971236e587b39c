#!/usr/bin/env bash
# Runs the README's examples as a reader would, so that they stay true: its install
# command and environment line against this build, then each example program built
# against that prefix with the README's own command line (and its CMake project), the
# shell session (which must print what its comments say), and the two ways of reading a
# result back (which must agree with the same number spelled with an E).
# usage: examples.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LD_LIBRARY_PATH CMAKE_PREFIX_PATH PKG_CONFIG_PATH

fail() {
  echo "README: $*" >&2
  exit 1
}

# The nth (default first) fenced block of the given language; the order is the README's.
block() {
  awk -v lang="$1" -v nth="${2:-1}" '
    $0 == "```" lang { seen++; inside = (seen == nth); next }
    inside && $0 == "```" { exit }
    inside { print }' "$src/README.md"
}
# The first line of the README that starts with the given text.
command_line() {
  awk -v p="$1" 'index($0, p) == 1 { print; found = 1; exit } END { exit !found }' \
    "$src/README.md" || fail "no line starts with '$1'"
}
# Runs a README command line in dir; it must succeed, and the program it ends with must
# print its line (shown, after any build tool's chatter).
run_line() {
  local dir=$1 line=$2 printed
  printed=$(cd "$dir" && eval "$line" 2>&1) || fail "'$line' failed: $printed"
  printed=${printed##*$'\n'}
  [ -n "$printed" ] || fail "'$line' printed nothing"
  echo "$line: $printed"
}

# Install as the README says, from a directory whose build/default is this build.
export HOME="$work/home"
mkdir -p "$HOME" "$work/user/build"
ln -s "$build" "$work/user/build/default"
(cd "$work/user" && eval "$(command_line 'cmake --install build/default ')") >/dev/null
eval "$(command_line 'export PKG_CONFIG_PATH=')"

mkdir "$work/fortran" "$work/c" "$work/cpp" "$work/cmake"
block fortran >"$work/fortran/start.f90"
run_line "$work/fortran" "$(command_line 'gfortran start.f90 ')"
block c >"$work/c/example.c"
run_line "$work/c" "$(command_line 'cc example.c ')"
run_line "$work/c" "$(command_line 'cc -static example.c ') && ./example_static"
block cpp >"$work/cpp/example.cpp"
run_line "$work/cpp" "$(command_line 'c++ example.cpp ')"
block cpp >"$work/cmake/example.cpp"
block cmake >"$work/cmake/CMakeLists.txt"
grep -q CMAKE_CXX_STANDARD "$work/cmake/CMakeLists.txt" && fail "the CMake example sets a standard"
run_line "$work/cmake" "$(command_line 'cmake -S . -B build -G Ninja ')"

block bash >"$work/session.sh"
expected=$(sed -n 's/^[^#]*# //p' "$work/session.sh")
# The session finds the programs where the README installed them, through its own PATH line.
actual=$(cd "$work" && bash -e session.sh 2>/dev/null)
if [ "$actual" != "$expected" ]; then
  printf 'shell example printed:\n%s\nits comments say:\n%s\n' "$actual" "$expected" >&2
  exit 1
fi

# Each result line with the same value spelled so that any reader takes it.
cases=(
  '-0.499994-319|-0.499994e-319'
  '   0.100000E+81|0.1e81'
  '   0.150000-119|0.15e-119'
  '  -0.250000E+01|-2.5'
  '   0.000000E+00|0'
  '      -Infinity|-inf'
  '            NaN|nan'
)
cat >"$work/read_back.py" <<EOF
import math, re, struct, sys
for case in sys.argv[1:]:
    s, spelled = case.split("|")
$(block python 2 | sed 's/^/    /')
    want = float(spelled)
    same = struct.pack("<d", value) == struct.pack("<d", want) or (math.isnan(value) and math.isnan(want))
    if not same:
        sys.exit(f"Python reads {s!r} as {value!r}, not {want!r}")
EOF
/usr/bin/python3 "$work/read_back.py" "${cases[@]}" || fail "the Python reader is wrong"
cat >"$work/read_back.c" <<EOF
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    char *bar = strchr(argv[i], '|');
    *bar = '\0';
    const char *s = argv[i];
    const double want = strtod(bar + 1, NULL);
$(block c 2)
    if (memcmp(&value, &want, sizeof value) != 0 && !(isnan(value) && isnan(want))) {
      printf("C reads '%s' as %.17g, not %.17g\n", s, value, want);
      return 1;
    }
  }
  return 0;
}
EOF
cc -std=c11 -Wall -Wextra -Werror "$work/read_back.c" -lm -o "$work/read_back" ||
  fail "the C reader does not compile"
"$work/read_back" "${cases[@]}" || fail "the C reader is wrong"

# Uninstalling as the README says leaves nothing of the project under the prefix.
(cd "$work/user" && eval "$(command_line 'xargs -d ')") || fail "the uninstall line failed"
left=$(cd "$HOME/.local" && find . -mindepth 1 \( -name '*kinkbench*' -o -type f \) | sort)
[ -z "$left" ] || fail "the uninstall line left: $left"

echo "README examples: install, Fortran, C, C++ (pkg-config and CMake), shell, readers and uninstall ran as documented"
