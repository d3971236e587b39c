#!/usr/bin/python3
"""The local minima the minimax searches end at, with how often, into data/local_minima.json.

    /usr/bin/python3 data/local_minima.py [NUMBERS...]    # default: every minimax problem

Runs each problem's multistart exactly as minimax_optima.py does (same seeded starts, same
SLSQP and LP steps, without the final polish) and groups the ends that agree within 1e-6
relative; data/metadata.py puts the groups beside each problem's facts. A group is where a
start's run stopped, which for a nonconvex problem is a local minimum or a point where the
method stalled (minimax 22's 54.59875, a scaling stall): the file says how many runs ended
there, not why.
"""

import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kinkbench  # noqa: E402
import minimax_optima as mo  # noqa: E402

PATH = os.path.join(HERE, "local_minima.json")
SAME = 1e-6  # relative


def groups(ends):
    out = []
    for v in sorted(e for e in ends if e == e):
        if out and abs(v - out[-1]["value"]) <= SAME * max(abs(out[-1]["value"]), 1e-300):
            out[-1]["count"] += 1
        else:
            out.append({"value": v, "count": 1})
    return out


def main(argv):
    numbers = [int(a) for a in argv] or list(range(1, 26))
    rows = []
    if os.path.exists(PATH):
        with open(PATH, encoding="utf-8") as f:
            rows = [r for r in json.load(f) if r["number"] not in numbers]
    for number in numbers:
        p = kinkbench.minimax(number)
        _, _, ends = mo._solve_epigraph(p, p.itype == 0, mo.STARTS[number], seed=number)
        found = groups(ends)
        rows.append({"collection": "minimax", "number": number, "starts": len(ends),
                     "minima": found})
        print(f"minimax {number:2d}: " + ", ".join(f"{g['value']:.6g} ({g['count']})" for g in found[:8]),
              flush=True)
    rows.sort(key=lambda r: (r["collection"], r["number"]))
    with open(PATH, "w", encoding="utf-8") as f:
        json.dump(rows, f, indent=1)
        f.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
