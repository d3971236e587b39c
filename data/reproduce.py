#!/usr/bin/python3
"""Reproduce data/optima.json: run both collections' scripts (minutes).

    /usr/bin/python3 data/reproduce.py [--quick] [minimax|nonsmooth] [NUMBERS...]

Without a collection both run; NUMBERS (1..25) narrows the run to those problems. Each script
replaces only its own entries in data/optima.json. --quick uses a few starts per problem (for
trying the scripts out; the committed file comes from a full run). Afterwards run
data/check.py.
"""

import importlib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import _optima_file  # noqa: E402

SCRIPTS = {"minimax": "minimax_optima", "nonsmooth": "nonsmooth_optima"}


def main(argv):
    quick = "--quick" in argv
    words = [a for a in argv if a != "--quick"]
    collections = [w for w in words if w in SCRIPTS] or list(SCRIPTS)
    numbers = _optima_file.problem_numbers([w for w in words if w not in SCRIPTS],
                                           "reproduce.py [minimax|nonsmooth]")
    if numbers is None:
        return 2
    for name in collections:
        if not os.path.exists(os.path.join(HERE, SCRIPTS[name] + ".py")):
            print(f"reproduce.py: data/{SCRIPTS[name]}.py is missing; skipping the {name} "
                  "collection", file=sys.stderr)
            continue
        module = importlib.import_module(SCRIPTS[name])
        print(f"{name}:", flush=True)
        entries = []
        for i in numbers:
            entries += module.solve([i], quick=quick)
            print(f"  {name} {i:2d}: {entries[-1]['best_value']!r} ({entries[-1]['status']})",
                  flush=True)
        module.update(entries)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
