#!/usr/bin/python3
"""Reproduce data/optima.json: run both collections' scripts (minutes).

    /usr/bin/python3 data/reproduce.py [--quick | --replace-worse] [--output FILE]
                                       [minimax|nonsmooth] [NUMBERS...]

Without a collection both run; NUMBERS (1..25) narrows the run to those problems. Each
script's entries go into its own section of data/optima.json, each only where it is at least
as good as the stored one (a lower f*), unless --replace-worse says to take it anyway; an
entry that differs from the stored one in nothing but its date leaves the stored one, so a
run that finds nothing new leaves the file byte for byte as it was. Every problem's line
says what was done. --quick uses a few starts per problem, to try the scripts out: it
compares its results with the stored ones and never writes data/optima.json (--output FILE
writes the merged result elsewhere, for any run). Afterwards run data/check.py.
"""

import importlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import _optima_file  # noqa: E402

SCRIPTS = {"minimax": "minimax_optima", "nonsmooth": "nonsmooth_optima"}
PROGRAM = "reproduce.py"


def main(argv, path=_optima_file.DATA):
    flags, words = _optima_file.options(argv, PROGRAM)
    if flags is None:
        return words
    collections = [w for w in words if w in SCRIPTS] or list(SCRIPTS)
    numbers = _optima_file.problem_numbers([w for w in words if w not in SCRIPTS],
                                           f"{PROGRAM} [minimax|nonsmooth]")
    if numbers is None or not _optima_file.need_kinkbench(PROGRAM):
        return 2
    fresh_output = True
    for name in collections:
        if not os.path.exists(os.path.join(HERE, SCRIPTS[name] + ".py")):
            print(f"{PROGRAM}: data/{SCRIPTS[name]}.py is missing; skipping the {name} "
                  "collection", file=sys.stderr)
            continue
        module = importlib.import_module(SCRIPTS[name])
        print(f"{name}:", flush=True)
        entries = []
        for i in numbers:
            entries += module.solve([i], quick=flags["quick"])
            print(f"  {name} {i:2d}: {entries[-1]['best_value']!r} ({entries[-1]['status']})",
                  flush=True)
        _optima_file.take(name, entries, flags, path, fresh_output)
        fresh_output = False
    if flags["quick"]:
        print(f"{PROGRAM}: a quick run; data/optima.json was not written")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
