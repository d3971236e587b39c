"""Tables of the problems' kinks at their stored optima and starts (docs/kinks.md).

    python3 -m kinkbench.kinks            # the stationarity table, one row per problem
    python3 -m kinkbench.kinks --active   # the active pieces at every stored x*

eps is relative: EPS_RELATIVE * max(1, |f*|), the same rule the library's tests use; the
threshold for "stationary" is THRESHOLD * max(1, the largest active gradient's norm).
"""

import argparse
import math
import sys

import numpy as np

from ._core import minimax, nonsmooth

EPS_RELATIVE = 1e-6
THRESHOLD = 1e-5
COLLECTIONS = (("minimax", minimax), ("nonsmooth", nonsmooth))


def eps_for(problem):
    """The activity tolerance at a problem's stored optimum."""
    best = problem.best_value
    return EPS_RELATIVE * max(1.0, abs(best)) if best is not None else EPS_RELATIVE


def _scale(problem, x, eps):
    act = problem.active(x, eps)
    norms = [float(np.linalg.norm(act["ds"]))]
    norms += [float(np.linalg.norm(g)) for g in act["gradients"]]
    return max(1.0, max(norms))


def every_problem():
    for collection, make in COLLECTIONS:
        for number in range(1, 26):
            yield collection, number, make(number)


def active_at_optima():
    """{(collection, number): (eps, groups)}: groups[g - 1] lists the names of group g's
    pieces active within eps at the stored x* (minimax problems have one group)."""
    table = {}
    for collection, number, p in every_problem():
        if p.best_point is None:
            continue
        eps = eps_for(p)
        act = p.active(p.best_point, eps)
        groups = [[] for _ in act["group_max"]]
        for name, group in zip(act["names"], act["groups"]):
            groups[group - 1].append(name)
        table[(collection, number)] = (eps, groups)
    return table


def stationarity_table():
    """Rows (collection, number, n, f*, status, eps, measure at x*, threshold at x*,
    measure at the start, threshold at the start)."""
    rows = []
    for collection, number, p in every_problem():
        eps = eps_for(p)
        start = p.stationarity(p.x0, eps)["norm"]
        start_threshold = THRESHOLD * _scale(p, p.x0, eps)
        if p.best_point is None:
            rows.append((collection, number, p.n, math.nan, "none", eps, math.nan, math.nan,
                         start, start_threshold))
            continue
        at = p.stationarity(p.best_point, eps)["norm"]
        rows.append((collection, number, p.n, p.best_value, p.best_status, eps, at,
                     THRESHOLD * _scale(p, p.best_point, eps), start, start_threshold))
    return rows


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m kinkbench.kinks", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--active", action="store_true", help="list the active pieces at x*")
    args = parser.parse_args(argv)
    if args.active:
        for (collection, number), (eps, groups) in active_at_optima().items():
            text = "  ".join(f"{g}:{','.join(names)}" for g, names in enumerate(groups, 1))
            print(f"{collection:9} {number:2}  eps {eps:.1e}  {text}")
        return 0
    print("| problem | n | f* | status | eps | measure at x* | threshold | measure at start "
          "| threshold |")
    print("|---|---|---|---|---|---|---|---|---|")
    for c, k, n, f, status, eps, at, t_at, st, t_st in stationarity_table():
        print(f"| {c} {k} | {n} | {f:.6g} | {status} | {eps:.1e} | {at:.2e} | {t_at:.1e} "
              f"| {st:.3g} | {t_st:.1e} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
