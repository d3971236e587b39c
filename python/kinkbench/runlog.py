"""Record every evaluation a solver makes on a problem, as JSON lines, under a budget.

    log = RunLog(kinkbench.nonsmooth(11), "BFGS", "logs", budget=2000)
    with log:
        scipy.optimize.minimize(log.fun, log.x0, jac=log.grad, method="BFGS")
    log.outcome   # "converged", "stopped", "budget" or "error: ..."

What counts as one evaluation: the problem evaluated at a new point. Asking for anything
at the point of the call just before is free, so a value and a gradient at the same point
count once, in either order. SciPy's BFGS given fun and jac asks for f at every point it
tries and for the gradient at most of them, never twice for one point (it caches by
point), so its count is the number of points it tried, its result's nfev. For a
minimax problem, values(x) and jacobian(x) count the same way, and the log records the
problem's objective (max f_k, or max |f_k| for the fits) at each point, so minimax runs
draw in the same pictures as the nonsmooth ones. The log computes what it records on a
twin of the problem (the same set-up, so the same bits), so that the problem's own
counters (counts()) show exactly the calls the solver made.

The budget: once `budget` evaluations are made, the next call at a new point raises
an exception private to this module instead of evaluating. Leaving a `with log:` block
through it records the outcome "budget" and goes on after the block; the suite runner
does the same. A loop of your own can also ask `log.remaining` before each call.

The file: one JSON object per line. The first line is the header (solver, collection,
problem, n, form, f0 = objective at x0, fstar = the stored best-known value, fstar_status,
budget); then one line per evaluation {"eval": i, "f": f, "best": best so far} with "x"
when record_x is set; the last line {"outcome": ..., "evaluations": ..., "best": ...,
"seconds": ..., "message": ...}. Non-finite numbers are the strings "inf", "-inf",
"nan", as in the kinkbench command's JSON.
"""

from __future__ import annotations

import datetime
import json
import math
import pathlib
import re
import time
from typing import Any, Optional, Union

import numpy as np

from ._core import MinimaxProblem, NonsmoothProblem, minimax, nonsmooth

Problem = Union[MinimaxProblem, NonsmoothProblem]

LOG_FORMAT = 1


class _BudgetExhausted(BaseException):
    """Raised in place of an evaluation past the budget. A BaseException, so that a
    solver's own `except Exception` around its evaluations does not swallow the stop."""


def number_to_json(value: float) -> Union[float, str]:
    """A float as JSON allows it: finite numbers as they are, the rest as strings."""
    value = float(value)
    if math.isfinite(value):
        return value
    return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")


def number_from_json(value: Union[float, int, str, None]) -> Optional[float]:
    """The inverse of number_to_json; None stays None."""
    return None if value is None else float(value)


def slug(name: str) -> str:
    """A solver's name as a folder name: "Nelder-Mead (SciPy)" -> "nelder-mead-scipy"."""
    text = re.sub(r"[^a-z0-9.]+", "-", name.lower()).strip("-")
    return text or "solver"


def log_name(problem: Problem) -> str:
    collection = "minimax" if isinstance(problem, MinimaxProblem) else "nonsmooth"
    return f"{collection}-{problem.number:02d}-n{problem.n}.jsonl"


class RunLog:
    """One solver's run on one problem: evaluates through the problem, counts, records.

    problem: a kinkbench.minimax(...) or kinkbench.nonsmooth(...) object.
    solver: the name the pictures show.
    directory: the log goes to directory/slug(solver)/COLLECTION-NN-nN.jsonl; `path`
        names the file instead; with neither, the records are only kept in `records`.
    budget: the largest number of evaluations, or None for no limit.
    record_x: also write each point evaluated.
    """

    def __init__(
        self,
        problem: Problem,
        solver: str,
        directory: Union[str, pathlib.Path, None] = None,
        *,
        path: Union[str, pathlib.Path, None] = None,
        budget: Optional[int] = None,
        record_x: bool = False,
    ):
        if budget is not None and budget < 1:
            raise ValueError(f"budget must be at least 1 evaluation, got {budget}")
        self.problem = problem
        self.solver = solver
        self.budget = budget
        self.record_x = record_x
        self.minimax = isinstance(problem, MinimaxProblem)
        self.collection = "minimax" if self.minimax else "nonsmooth"
        self.evaluations = 0
        self.best = math.inf
        self.best_x: Optional[np.ndarray] = None
        self.exhausted = False
        self.outcome: Optional[str] = None
        self.message: Optional[str] = None
        self.records: list[dict[str, Any]] = []
        self._last_x: Optional[np.ndarray] = None
        maker = minimax if self.minimax else nonsmooth
        self._twin = maker(problem.number, n=problem.n)
        if path is None and directory is not None:
            path = pathlib.Path(directory) / slug(solver) / log_name(problem)
        self.path = pathlib.Path(path) if path is not None else None
        self._file = None
        if self.path is not None:
            self.path.parent.mkdir(parents=True, exist_ok=True)
            self._file = self.path.open("w", encoding="utf-8")
        self.f0 = self._objective(problem.x0)
        self._write(
            {
                "log_format": LOG_FORMAT,
                "solver": solver,
                "collection": self.collection,
                "problem": problem.number,
                "n": problem.n,
                "form": problem.form,
                "f0": number_to_json(self.f0),
                "fstar": None if problem.best_value is None else number_to_json(problem.best_value),
                "fstar_status": problem.best_status,
                "budget": budget,
                "record_x": record_x,
                "started": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
            }
        )
        self._started = time.perf_counter()

    # ------------------------------------------------------------- what solvers call

    @property
    def x0(self) -> np.ndarray:
        """The problem's starting point, a fresh array."""
        return self.problem.x0

    @property
    def n(self) -> int:
        return self.problem.n

    @property
    def remaining(self) -> Optional[int]:
        """Evaluations left under the budget; None without one."""
        return None if self.budget is None else self.budget - self.evaluations

    def fun(self, x) -> float:
        """The objective at x as a float: f for nonsmooth problems, max f_k or max |f_k|
        (the problem's form) for minimax ones."""
        point = self._point(x)
        new = self._is_new(point)
        if new:
            self._admit()
        value = self.problem.objective(point)
        f = float(value[0] if self.minimax else value)
        if new:
            self._record(point, f)
        return f

    def grad(self, x) -> np.ndarray:
        """The gradient at x (nonsmooth problems; at a kink, of the piece the tie rules
        choose)."""
        if self.minimax:
            raise TypeError(
                "a minimax objective has no single gradient; use jacobian(x), whose row k-1 "
                "is the gradient of f_k"
            )
        point = self._point(x)
        if self._is_new(point):
            self._admit()
            self._record(point, self._objective(point))
        return self.problem.gradient(point)

    def values(self, x) -> np.ndarray:
        """All f_k at x, shape (m,) (minimax problems)."""
        self._need_minimax("values")
        point = self._point(x)
        if self._is_new(point):
            self._admit()
            self._record(point, self._objective(point))
        return self.problem.values(point)

    def jacobian(self, x) -> np.ndarray:
        """Row k-1 is the gradient of f_k at x, shape (m, n) (minimax problems)."""
        self._need_minimax("jacobian")
        point = self._point(x)
        if self._is_new(point):
            self._admit()
            self._record(point, self._objective(point))
        return self.problem.jacobian(point)

    # ------------------------------------------------------------------- the ending

    def finish(self, outcome: str, message: Optional[str] = None) -> None:
        """Write the last line and close the file; later calls change nothing. A run that
        met its budget ends as "budget" whatever it is finished with."""
        if self.outcome is not None:
            return
        self.outcome = "budget" if self.exhausted else outcome
        self.message = message
        self._write(
            {
                "outcome": self.outcome,
                "evaluations": self.evaluations,
                "best": number_to_json(self.best),
                "seconds": round(time.perf_counter() - self._started, 6),
                "message": message,
            }
        )
        if self._file is not None:
            self._file.close()
            self._file = None

    def __enter__(self) -> "RunLog":
        return self

    def __exit__(self, kind, error, traceback) -> bool:
        if kind is None:
            self.finish("converged")
            return False
        if issubclass(kind, _BudgetExhausted):
            self.finish("budget")
            return True
        self.finish(f"error: {kind.__name__}: {error}")
        return False

    # ------------------------------------------------------------------ internals

    def _point(self, x) -> np.ndarray:
        # A copy: solvers may change their arrays in place after the call.
        point = np.array(x, dtype=np.float64)
        if point.shape != (self.problem.n,):
            raise ValueError(
                f"x has shape {point.shape}, but {self.collection} problem "
                f"{self.problem.number} is set up for n = {self.problem.n}"
            )
        return point

    def _is_new(self, point: np.ndarray) -> bool:
        if self._last_x is not None and np.array_equal(point, self._last_x, equal_nan=True):
            return False
        self._last_x = point
        return True

    def _admit(self) -> None:
        if self.budget is not None and self.evaluations >= self.budget:
            self.exhausted = True
            self._last_x = None  # the refused point was not evaluated
            raise _BudgetExhausted()
        self.evaluations += 1

    def _objective(self, point) -> float:
        value = self._twin.objective(point)
        return float(value[0] if self.minimax else value)

    def _record(self, point: np.ndarray, f: float) -> None:
        if f < self.best:  # NaN never improves
            self.best = f
            self.best_x = point
        record: dict[str, Any] = {
            "eval": self.evaluations,
            "f": number_to_json(f),
            "best": number_to_json(self.best),
        }
        if self.record_x:
            record["x"] = [number_to_json(v) for v in point]
        self._write(record)

    def _write(self, record: dict[str, Any]) -> None:
        self.records.append(record)
        if self._file is not None:
            self._file.write(json.dumps(record, allow_nan=False) + "\n")

    def _need_minimax(self, what: str) -> None:
        if not self.minimax:
            raise TypeError(f"{what}(x) is for minimax problems; use fun(x) and grad(x)")
