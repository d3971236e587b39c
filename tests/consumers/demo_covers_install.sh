#!/usr/bin/env bash
# Every file that `cmake --install` copies out of the build tree and that the build makes
# must be built by the demo target, the only one the README's first command builds.
# usage: demo_covers_install.sh BUILD_DIR (a Ninja build tree)
set -euo pipefail
build=$(cd "$1" && pwd)
cd "$build"

# A file is built by demo when the command that makes it is among demo's commands (a
# command can make several files, like the library's symbolic links).
commands=$(ninja -t commands demo)
copied=$(grep -ho "\"$build/[^\"]*\"" cmake_install.cmake | tr -d '"' | sort -u)
[ -n "$copied" ] || { echo "no installed files found in cmake_install.cmake" >&2; exit 1; }
missing=()
checked=0
for file in $copied; do
  relative=${file#"$build"/}
  # Files written at configure time have no build rule.
  ninja -t query "$relative" >/dev/null 2>&1 || continue
  checked=$((checked + 1))
  grep -qxF -- "$(ninja -t commands "$relative" | tail -n 1)" <<<"$commands" ||
    missing+=("$relative")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installed but not built by the demo target: ${missing[*]}" >&2
  exit 1
fi
[ "$checked" -ge 6 ] || { echo "only $checked built files among the installed ones" >&2; exit 1; }
echo "the demo target builds all $checked installed build products"
