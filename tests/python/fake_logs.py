"""Run logs of format 2 for the reader's and the report's tests, written by hand here so
that the tests do not depend on the running side; and, run as a script, a campaign of
real SciPy runs from several starts written the same way:

    /usr/bin/python3 tests/python/fake_logs.py OUT [--starts 10] [--budget 1000]

(5 solvers on the 50 problems at their minimum n; start 0 is the problem's own start,
start s > 0 is x0 + 0.1 (1 + |x0|) z with z standard normal drawn from seed (1, s).)
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
    import platform
    import warnings

    import numpy as np
    from scipy.optimize import minimize

    import kinkbench
    from kinkbench.runlog import RunLog

    class StartLog(RunLog):
        """Today's RunLog, kept in memory, from a start of its own."""

        def __init__(self, problem, solver, x0, budget):
            super().__init__(problem, solver, budget=budget)
            self._x0 = np.array(x0)
            self.f0 = self._objective(self._x0)

        @property
        def x0(self):
            return self._x0.copy()

    def subgradient(log, x):
        if not log.minimax:
            return log.grad(x)
        log.fun(x)
        f = log.problem.values(x)
        jac = log.jacobian(x)
        fit = log.problem.form == "max |f_k|"
        k = int(np.argmax(np.abs(f) if fit else f))
        sign = -1.0 if fit and f[k] < 0 else 1.0
        return sign * jac[k]

    def random_search(log):
        rng = np.random.default_rng(7)
        x, fx, step = log.x0, log.fun(log.x0), 0.5
        while True:
            y = x + step * (1 + np.abs(x)) * rng.standard_normal(x.size)
            fy = log.fun(y)
            if fy < fx:
                x, fx, step = y, fy, step * 1.5
            else:
                step = max(step * 0.8, 1e-12)

    solvers = {
        "BFGS": lambda log: minimize(log.fun, log.x0, jac=lambda x: subgradient(log, x), method="BFGS"),
        "Nelder-Mead": lambda log: minimize(log.fun, log.x0, method="Nelder-Mead",
                                            options={"maxfev": 10**9, "maxiter": 10**9}),
        "Powell": lambda log: minimize(log.fun, log.x0, method="Powell", options={"maxfev": 10**9}),
        "COBYLA": lambda log: minimize(log.fun, log.x0, method="COBYLA", options={"maxiter": budget}),
        "random search": random_search,
    }
    seeds = {"random search": 7}
    from kinkbench.suite import run_one

    out = pathlib.Path(out)
    count = 0
    for info in kinkbench.problems():
        maker = kinkbench.minimax if info.collection == "minimax" else kinkbench.nonsmooth
        base = maker(info.number)
        for start in range(starts):
            x0 = base.x0
            if start:
                rng = np.random.default_rng([1, start])
                x0 = x0 + 0.1 * (1 + np.abs(x0)) * rng.standard_normal(x0.size)
            for name, solve in solvers.items():
                problem = maker(info.number)
                log = StartLog(problem, name, x0, budget)
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore")
                    run_one(solve, log)
                records = log.records
                head = header(name, info.collection, info.number, problem.n, start, seeds.get(name),
                              f0=log.f0, fstar=problem.best_value, budget=budget,
                              fstar_status=problem.best_status, form=problem.form,
                              x0=[float(v) for v in x0], start_seed=None if start == 0 else 1,
                              scipy_version=__import__("scipy").__version__, campaign="demo-5x50x10",
                              python_version=platform.python_version(), numpy_version=np.__version__)
                lines = [head]
                for r in records[1:-1]:
                    lines.append({**r, "values": r["eval"], "gradients": 0, "jacobians": 0, "hessians": 0,
                                  "cost": r["eval"]})
                end = dict(records[-1])
                end.update({"x_best": [] if log.best_x is None else [float(v) for v in log.best_x],
                            "values": log.evaluations, "gradients": 0, "jacobians": 0, "hessians": 0,
                            "cost": log.evaluations})
                lines.append(end)
                path = out / slug(name) / (f"{info.collection}-{info.number:02d}-n{problem.n}-s{start}"
                                           + ("" if name not in seeds else f"-r{seeds[name]}") + ".jsonl")
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_text("".join(json.dumps(r, allow_nan=False) + "\n" for r in lines))
                count += 1
    return count


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
