#!/usr/bin/env bash
# The README's prerequisites quote tools/packages.txt line for line, its quick start
# asks tools/setup.sh only for purposes the file has, and .ci/run installs from it.
# usage: packages.sh SOURCE_DIR
set -euo pipefail
src=$(cd "$1" && pwd)
fail() {
  echo "packages: $*" >&2
  exit 1
}

listed=$(grep -v '^[[:space:]]*#' "$src/tools/packages.txt" | grep ':')
quoted=$(awk '$0 == "```text" { inside = 1; next } inside && $0 == "```" { exit }
  inside { print }' "$src/README.md")
[ -n "$quoted" ] || fail "README.md quotes no package list"
if [ "$listed" != "$quoted" ]; then
  diff <(echo "$listed") <(echo "$quoted") >&2 || true
  fail "README.md's list (right) differs from tools/packages.txt (left)"
fi

purposes=$(sed -n 's/^\([a-z][a-z0-9_-]*\):.*/\1/p' "$src/tools/packages.txt")
for name in main tests; do
  echo "$purposes" | grep -qx "$name" || fail "tools/packages.txt has no '$name' line"
done
asked=$(grep -o 'sh tools/setup\.sh [a-z ]*' "$src/README.md" | cut -d' ' -f3- | tr ' ' '\n')
[ -n "$asked" ] || fail "README.md never runs tools/setup.sh"
for name in $asked; do
  [ "$name" = all ] || echo "$purposes" | grep -qx "$name" ||
    fail "README.md asks for purpose '$name', which tools/packages.txt lacks"
done
grep -q '^sh tools/setup.sh all$' "$src/.ci/run" || fail ".ci/run does not install from the list"
if grep -q 'apt-get' "$src/.ci/run"; then fail ".ci/run installs packages of its own"; fi

# The script resolves every purpose to the file's names, main included.
for name in $purposes; do
  got=$(sh "$src/tools/setup.sh" --list "$name")
  for pkg in $(sed -n "s/^main://p; s/^$name://p" "$src/tools/packages.txt"); do
    case " $got " in *" $pkg "*) ;; *) fail "setup.sh --list $name lacks $pkg" ;; esac
  done
done
if sh "$src/tools/setup.sh" --list no-such-purpose 2>/dev/null; then
  fail "setup.sh accepted an unknown purpose"
fi
echo "README, tools/packages.txt, tools/setup.sh and .ci/run agree"
