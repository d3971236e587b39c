"""Reading and writing data/optima.json, and the collection scripts' command line: each
script replaces only its own entries, so the two can be re-run independently."""

import json
import os
import sys

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "optima.json")
SECTIONS = ("minimax", "nonsmooth")


def update(collection, entries, path=DATA):
    """Replace these entries in the file's section for collection; everything else stays."""
    data = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    section = {e["number"]: e for e in data.get(collection, [])}
    section.update({e["number"]: e for e in entries})
    data[collection] = [section[i] for i in sorted(section)]
    ordered = {name: data.get(name, []) for name in SECTIONS}
    ordered.update({k: v for k, v in data.items() if k not in ordered})
    with open(path, "w", encoding="utf-8") as f:
        json.dump(ordered, f, indent=2, allow_nan=False)
        f.write("\n")


def problem_numbers(words, program):
    """The problem numbers among words (all 25 when none), or None after a usage line."""
    try:
        numbers = [int(w) for w in words]
    except ValueError:
        print(f"usage: {program} [--quick] [NUMBERS...]", file=sys.stderr)
        return None
    if any(not 1 <= i <= 25 for i in numbers):
        print(f"{program}: problem numbers run from 1 to 25", file=sys.stderr)
        return None
    return sorted(numbers) if numbers else list(range(1, 26))


def main(argv, program, solve_one, row, update):
    """A collection script's command line: [--quick] [NUMBERS...]; solves each problem,
    prints its row, then writes the entries into the file."""
    numbers = problem_numbers([a for a in argv if a != "--quick"], program)
    if numbers is None:
        return 2
    entries = []
    for i in numbers:
        entries.append(solve_one(i, "--quick" in argv))
        print(row(entries[-1]), flush=True)
    update(entries)
    return 0
