"""Run logs of format 2 for the reader's and the report's tests, written by hand here so
that the tests do not depend on the running side; and, run as a script, a campaign of
real SciPy runs from several starts written the same way:

    /usr/bin/python3 tests/python/fake_logs.py OUT [--starts 10] [--budget 1000]

(5 solvers on the 50 problems at their minimum n, through kinkbench.campaign, from the
starts of kinkbench.starts.)
"""

from __future__ import annotations

import json
import math
import pathlib
import re


def _json(value):
    if isinstance(value, float) and not math.isfinite(value):
        return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")
    return value


def slug(name: str) -> str:
    return re.sub(r"[^a-z0-9.]+", "-", name.lower()).strip("-") or "solver"


def header(solver, collection, problem, n, start=0, seed=None, *, f0, fstar, budget=100, **more):
    h = {
        "log_format": 2, "kinkbench_version": "0.1.0", "python_version": "3.11.2",
        "numpy_version": "1.24.2", "scipy_version": None, "solver": solver, "solver_options": {},
        "collection": collection, "problem": problem, "n": n,
        "form": "f" if collection == "nonsmooth" else "max f_k", "start": start,
        "start_seed": None if start == 0 else 1, "start_scale": None if start == 0 else 0.1,
        "x0": [0.0] * n, "seed": seed, "f0": _json(f0), "fstar": _json(fstar),
        "fstar_status": None if fstar is None else "closed form", "budget": budget,
        "record": "all", "weights": {"value": 1, "gradient": 1, "jacobian": 1, "hessian": 1},
        "campaign": None, "started": "2026-12-09T03:00:00+00:00", "metadata": {},
    }
    h.update(more)
    return h


def write(folder, solver, collection, problem, n, start=0, seed=None, *, f0, fstar, values,
          outcome="converged", budget=100, partial=False, stationarity=None, name=None, **more):
    """One run's log; values are f at evaluations 1, 2, ... (None: no outcome line)."""
    folder = pathlib.Path(folder)
    lines = [header(solver, collection, problem, n, start, seed, f0=f0, fstar=fstar, budget=budget, **more)]
    best = math.inf
    for i, v in enumerate(values, start=1):
        if not math.isnan(v):
            best = min(best, v)
        lines.append({"eval": i, "f": _json(float(v)), "best": _json(best), "values": i, "gradients": 0,
                      "jacobians": 0, "hessians": 0, "cost": i})
    if outcome is not None:
        end = {"outcome": outcome, "evaluations": len(values), "best": _json(best), "x_best": [0.0] * n,
               "seconds": 0.01, "message": None, "values": len(values), "gradients": 0, "jacobians": 0,
               "hessians": 0, "cost": len(values)}
        if stationarity is not None:
            end["stationarity"] = stationarity
        lines.append(end)
    if name is None:
        name = f"{collection}-{problem:02d}-n{n}-s{start}" + ("" if seed is None else f"-r{seed}") + ".jsonl"
    path = folder / slug(solver) / (name + (".partial" if partial else ""))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("".join(json.dumps(r) + "\n" for r in lines))
    return path


# ---------------------------------------------------------------- a real campaign


def campaign(out, starts=10, budget=1000):
    """The campaign layer's own run of five solvers (kinkbench.solvers, the random search
    with seed 7) on the 50 problems; returns the number of runs."""
    from kinkbench.campaign import Campaign, run_campaign

    solvers = {"BFGS": "kinkbench.solvers:bfgs", "Nelder-Mead": "kinkbench.solvers:nelder_mead",
               "Powell": "kinkbench.solvers:powell", "L-BFGS-B": "kinkbench.solvers:lbfgsb"}
    runs = run_campaign(Campaign(solvers=solvers, starts=starts, budget=budget), out, progress=False)
    runs += run_campaign(Campaign(solvers={"random search": "kinkbench.solvers:random_search"}, starts=starts,
                                  seeds=[7], budget=budget), out, progress=False)
    return len(runs)


if __name__ == "__main__":
    import argparse
    import time

    parser = argparse.ArgumentParser(description="a 5-solver campaign from several starts, format 2")
    parser.add_argument("out")
    parser.add_argument("--starts", type=int, default=10)
    parser.add_argument("--budget", type=int, default=1000)
    args = parser.parse_args()
    began = time.perf_counter()
    total = campaign(args.out, args.starts, args.budget)
    print(f"{total} runs in {time.perf_counter() - began:.1f} s; logs in {args.out}")
