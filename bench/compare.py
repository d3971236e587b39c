#!/usr/bin/python3
"""Puts runs of kinkbench_api_bench side by side as a Markdown table, ns per call.

usage: bench/compare.py LABEL=RUN.json [LABEL=RUN.json ...] > table.md
(runs made with --benchmark_repetitions report their medians; the last column is the
last run minus the first)
"""
import json
import sys


def ns_per_call(path: str) -> dict:
    with open(path, encoding="utf-8") as f:
        run = json.load(f)
    out = {}
    for b in run["benchmarks"]:
        # Only the medians: a shared machine's noise swings single runs by half.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        out[name] = 1e9 / b["items_per_second"]
    return out


def main() -> int:
    runs = [arg.split("=", 1) for arg in sys.argv[1:]]
    if not runs or any(len(r) != 2 for r in runs):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    tables = [ns_per_call(path) for _, path in runs]
    names = [n for n in tables[0] if all(n in t for t in tables)]
    diff = len(runs) > 1
    header = "| benchmark | " + " | ".join(label for label, _ in runs) + " |"
    header += " difference |" if diff else ""
    print(header)
    print("|---|" + "---:|" * (len(runs) + diff))
    for name in names:
        cells = [f"{t[name]:.2f}" for t in tables]
        if diff:
            cells.append(f"{tables[-1][name] - tables[0][name]:+.2f}")
        print(f"| {name.removeprefix('api/')} | " + " | ".join(cells) + " |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
