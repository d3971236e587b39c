#!/bin/sh
# Installs the Debian packages a purpose needs that this machine lacks, by name.
# usage: sh tools/setup.sh PURPOSE...   (purposes: the line names of tools/packages.txt;
#        main always comes along; `all` means every line; --list only prints the names)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
list="$here/packages.txt"

print_only=no
if [ "${1:-}" = "--list" ]; then
  print_only=yes
  shift
fi
if [ $# -eq 0 ]; then
  echo "usage: sh tools/setup.sh [--list] PURPOSE... (purposes: $(sed -n 's/^\([a-z][a-z0-9_-]*\):.*/\1/p' "$list" | tr '\n' ' ')all)" >&2
  exit 2
fi

# The packages of one purpose, or nothing (status 1) when the file has no such line.
packages_of() {
  awk -v want="$1" '
    /^[ \t]*#/ || !/:/ { next }
    { name = $1; sub(/:$/, "", name) }
    name == want || want == "all" { sub(/^[^:]*:/, ""); print; found = 1 }
    END { exit !found }' "$list"
}

wanted=$(packages_of main)
for purpose in "$@"; do
  more=$(packages_of "$purpose") || {
    echo "setup: no purpose '$purpose' in tools/packages.txt" >&2
    exit 2
  }
  wanted="$wanted $more"
done
# Each name once, in the order first given.
wanted=$(printf '%s\n' $wanted | awk '!seen[$0]++' | tr '\n' ' ')

if [ "$print_only" = yes ]; then
  echo "$wanted"
  exit 0
fi

missing=
for pkg in $wanted; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing="$missing $pkg"
done
if [ -z "$missing" ]; then
  echo "setup: all packages for '$*' are installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=
elif command -v sudo >/dev/null 2>&1; then
  as_root=sudo
else
  echo "setup: installing needs root; as root run: apt-get install$missing" >&2
  exit 1
fi
echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086 # one word per package
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
