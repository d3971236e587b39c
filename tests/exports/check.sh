#!/usr/bin/env bash
# The shared library exports exactly the documented names: the C and Fortran routine
# names, the two data areas under both names, and the C++ API. Anything else leaking out
# (an inline helper, a template's static) would become part of the ABI by accident.
set -euo pipefail
lib=$1
expected=$(dirname "$0")/expected.txt
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt | sort)
if ! diff <(printf '%s\n' "$actual") "$expected"; then
  echo "exported names differ from $expected (< exported, > expected)" >&2
  exit 1
fi
echo "$(wc -l < "$expected") exported names, as documented"
