#!/usr/bin/env bash
# The installed package works on its own: installed from this build into a fresh prefix,
# with only its folder on Octave's path, it sets problems up, evaluates and has its help.
# usage: installed.sh BUILD_DIR OCTAVE_CLI
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
folder=$prefix/share/kinkbench/octave
[ -f "$folder/kinkbench_mex.mex" ] || { echo "no MEX function in $folder" >&2; exit 1; }
cd "$prefix"
"$2" --norc --no-history --quiet --path "$folder" --eval "
  p = kinkbench.minimax(7);
  [f, k] = p.objective(p.x0);
  assert(f == max(abs(p.values(p.x0))) && p.m == 21);
  q = kinkbench.nonsmooth(11);
  assert(isequal(q.gradient(q.x0), [-5; -5; -21; 7]));
  assert(~isempty(strfind(evalc('help kinkbench.minimax'), 'kinkbench.minimax(number, n)')));
  assert(strcmp(which('kinkbench_mex'), '$folder/kinkbench_mex.mex'));
  printf('installed package works from %s\n', '$folder');"
