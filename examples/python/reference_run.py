#!/usr/bin/python3
"""The reference run: SciPy's BFGS (with the library's gradients), Nelder-Mead and Powell
on the 25 nonsmooth problems, and SLSQP on the epigraph of the 25 minimax problems (with
the library's Jacobian), each at the problem's minimum n, under one evaluation budget;
then the profiles.

usage: reference_run.py [--logdir out/reference-run] [--budget 2000] [--pictures out/reference-run-profiles]

Logs go to LOGDIR/<solver>/<collection>-NN-nN.jsonl; the pictures to PICTURES-data.png,
PICTURES-performance.png and their .svg, by default beside the logs in the current
folder's out/, never over the repository's own files (the pictures in docs/img are
redrawn only when asked: --pictures docs/img/profiles). Add a solver of your own to the same LOGDIR
with kinkbench.run_suite and draw again with `python3 -m kinkbench.profiles LOGDIR -o OUT`,
or write the whole report with `python3 -m kinkbench.report LOGDIR -o OUT`.
"""

import argparse
import sys
import time
import warnings

import kinkbench
from kinkbench import profiles
from kinkbench.solvers import bfgs, nelder_mead, powell, slsqp_epigraph


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--logdir", default="out/reference-run")
    parser.add_argument("--budget", type=int, default=2000)
    parser.add_argument("--pictures", default="out/reference-run-profiles")
    args = parser.parse_args(argv[1:])

    began = time.perf_counter()
    with warnings.catch_warnings():
        # Kinks make SciPy warn about line searches and round-off; the logs say how each
        # run ended.
        warnings.simplefilter("ignore")
        runs = kinkbench.run_suite(
            {"BFGS": bfgs, "Nelder-Mead": nelder_mead, "Powell": powell},
            "nonsmooth",
            args.logdir,
            budget=args.budget,
        )
        runs += kinkbench.run_suite(
            {"SLSQP (epigraph)": slsqp_epigraph}, "minimax", args.logdir, budget=args.budget
        )
    seconds = time.perf_counter() - began
    outcomes = {}
    for r in runs:
        outcomes.setdefault(r.solver, {}).setdefault(r.outcome.split(":")[0], 0)
        outcomes[r.solver][r.outcome.split(":")[0]] += 1
    print(f"{len(runs)} runs, budget {args.budget}, {seconds:.1f} s; logs in {args.logdir}")
    for solver, counts in outcomes.items():
        print(f"  {solver}: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    logs = profiles.read_logs(args.logdir)
    print(profiles.summary(logs))
    for path in profiles.draw(logs, args.pictures):
        print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
