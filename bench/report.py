#!/usr/bin/env python3
"""Turns one JSON run of kinkbench_bench into the Markdown table of docs/benchmarks.md.

usage: bench/report.py RUN.json > table.md
(a run with --benchmark_repetitions reports the medians)
"""
import json
import sys


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        run = json.load(f)
    rows = {}
    for b in run["benchmarks"]:
        # With --benchmark_repetitions only the medians count: a shared machine's noise
        # swings single runs by half.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        collection, problem, routine = b.get("run_name", b["name"]).split("/")[:3]
        key = (collection, int(problem))
        row = rows.setdefault(key, {"n": int(b["n"]), "m": int(b["m"])})
        # One iteration makes m calls (minimax: k = 1..m).
        row[routine] = b["real_time"] / row["m"]
    ctx = run.get("context", {})
    print(f"Machine: {ctx.get('num_cpus', '?')} CPUs at {ctx.get('mhz_per_cpu', '?')} MHz, "
          f"benchmark library build {ctx.get('library_build_type', '?')}, run {ctx.get('date', '?')}.")
    print()
    for collection in ("minimax", "nonsmooth"):
        print(f"### {collection} (ns per call at the starting point)")
        print()
        print("| problem | n | m | value | gradient | Hessian | gradient/value |")
        print("|---:|---:|---:|---:|---:|---:|---:|")
        for (c, p), r in sorted(rows.items()):
            if c != collection:
                continue
            ratio = r["gradient"] / r["value"] if r["value"] > 0 else float("nan")
            print(f"| {p} | {r['n']} | {r['m']} | {r['value']:.1f} | {r['gradient']:.1f} "
                  f"| {r['hessian']:.1f} | {ratio:.2f} |")
        print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
