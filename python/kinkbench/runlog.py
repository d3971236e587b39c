"""Record what a solver evaluates on a problem, as JSON lines, under a budget.

    log = RunLog(kinkbench.nonsmooth(11), "BFGS", "logs", budget=2000)
    with log:
        log.set_result(scipy.optimize.minimize(log.fun, log.x0, jac=log.grad, method="BFGS"))
    log.outcome   # "converged", "stopped", "budget", "interrupted" or "error: ..."

The file is format 2 of docs/log-format.md: a header, evaluation lines, an outcome.

What counts as one evaluation: the problem evaluated at a point whose bits differ from
the point of the call just before (so +0.0 and -0.0 differ, and a NaN point asked twice
in a row counts once). Asking for anything at the point of the call just before is free,
so a value and a gradient at the same point count once, in either order; the calls
themselves are counted by kind (values, gradients, Jacobians, Hessians) and weighted into
a cost. A batch of N points (an array of shape (N, n)) is N calls, one after another.

What is recorded: the problem's objective (f, or max f_k / max |f_k| as problem.form
says) at each evaluation, with the best so far and the counts so far, every evaluation
(record="all") or only the first and those that improve the best (record="improvements",
enough for every profile). The log evaluates on a private copy of the problem, so the
problem object's own counters see only calls that bypassed the log; finish() warns of
them and writes them in the outcome line as "unlogged".

The budget: once `budget` evaluations are made, the next call at a new point raises an
exception private to this module (a BaseException, so that a solver's own
`except Exception` does not swallow it) instead of evaluating. Leaving a `with log:` block
through it records "budget" and goes on after the block. `log.remaining` tells a loop of
your own how many are left.

The hot path (the bit comparison, counting, the best so far, the line and the budget) is
compiled (kinkbench._core._Recorder); lines are written to the file in blocks of 64 KiB
and at the end, so memory does not grow with the run. The file is written as
NAME.jsonl.partial and renamed to NAME.jsonl after its last line; NAME.jsonl.lock, held
with flock while the run is written, keeps a second process off the same run.
"""

from __future__ import annotations

import datetime
import fcntl
import json
import math
import numbers
import os
import pathlib
import platform
import re
import threading
import time
import unicodedata
import warnings
from typing import Any, Mapping, Optional, Union

import numpy as np

from . import _core
from ._core import MinimaxProblem, NonsmoothProblem
from .starts import DEFAULT_SCALE, DEFAULT_SEED, start_point

Problem = Union[MinimaxProblem, NonsmoothProblem]

LOG_FORMAT = 2
RECORD = ("all", "improvements")
WEIGHTS = ("value", "gradient", "jacobian", "hessian")
DEFAULT_WEIGHTS = {"value": 1.0, "gradient": 1.0, "jacobian": 1.0, "hessian": 1.0}
# The outcome line records the problem's stationarity measure (the norm of the least-norm
# element of the eps-subdifferential) at the best point, where the problem object offers
# one, at eps = c * max(1, |f*|) (f*, or the best value where none is stored) for these c.
STATIONARITY_EPS = (1e-6, 1e-3)
_SURROGATE = re.compile(r"[\ud800-\udfff]")


class _BudgetExhausted(BaseException):
    """Raised in place of an evaluation past the budget. A BaseException, so that a
    solver's own `except Exception` around its evaluations does not swallow the stop."""


class RunHeld(FileExistsError):
    """Another process holds the run's lock: it is writing that run now."""


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
    """A solver's name as a folder name: "Nelder-Mead (SciPy)" -> "nelder-mead-scipy".
    Letters and digits outside ASCII are kept as their code points ("Méthode" ->
    "mu00e9thode"), so names that differ in them do not share a folder."""
    parts = []
    for ch in unicodedata.normalize("NFC", name).lower():
        if ch.isascii() and (ch.isalnum() or ch == "."):
            parts.append(ch)
        elif not ch.isascii() and ch.isalnum():
            parts.append(f"u{ord(ch):04x}")
        else:
            parts.append("-")
    text = "-".join(p for p in "".join(parts).split("-") if p)
    return text or "solver"


def collection_of(problem: Any) -> str:
    """ "minimax" or "nonsmooth" for a problem object; TypeError for anything else, such as
    a wrapper (give a start through RunLog's start= instead of wrapping)."""
    if isinstance(problem, MinimaxProblem):
        return "minimax"
    if isinstance(problem, NonsmoothProblem):
        return "nonsmooth"
    raise TypeError(
        "a run log needs a kinkbench.minimax(...) or kinkbench.nonsmooth(...) object, got "
        f"{type(problem).__name__}; to start elsewhere pass start= to RunLog, not a wrapper"
    )


def log_name(collection: str, number: int, n: int, start: int = 0, seed: Optional[int] = None) -> str:
    """The file name of a run: COLLECTION-NN-nN-sSTART[-rSEED].jsonl."""
    name = f"{collection}-{number:02d}-n{n}-s{start}"
    return name + (f"-r{seed}" if seed is not None else "") + ".jsonl"


def check_budget(budget: Any) -> Optional[int]:
    """None, or a positive whole number of evaluations (not a bool, not 2.5)."""
    if budget is None:
        return None
    if isinstance(budget, bool) or not isinstance(budget, numbers.Integral) or budget < 1:
        raise ValueError(f"the budget must be a whole number of evaluations of at least 1, got {budget!r}")
    return int(budget)


def outcome_of(result: Any) -> tuple[str, Optional[str]]:
    """The outcome a solver's return value stands for, and its message: "stopped" when it
    has `success` (an attribute or, for a mapping, a key) that is False, else "converged".
    A result that cannot be read (success not a bool, a property that raises) is an
    "error: BadResult: ..." outcome rather than an exception."""
    try:
        if isinstance(result, Mapping):
            success = result.get("success", True)
            message = result.get("message")
        else:
            success = getattr(result, "success", True)
            message = getattr(result, "message", None)
        if not isinstance(success, (bool, np.bool_)):
            return f"error: BadResult: success is {success!r}, not True or False", None
        text = None if message is None else str(message)
    except Exception as error:  # the result is the solver's; reading it must not end the suite
        return f"error: BadResult: reading the result raised {type(error).__name__}: {error}", None
    return ("converged" if success else "stopped"), text


def _versions() -> dict[str, Optional[str]]:
    try:
        import scipy
    except ImportError:
        scipy_version = None
    else:
        scipy_version = scipy.__version__
    return {
        "kinkbench_version": _core._library_version,
        "python_version": platform.python_version(),
        "numpy_version": np.__version__,
        "scipy_version": scipy_version,
    }


def _json_line(record: Mapping[str, Any]) -> str:
    text = json.dumps(record, allow_nan=False, ensure_ascii=False)
    # A lone surrogate (an undecodable byte kept by surrogateescape, say in a solver's error
    # text) has no UTF-8: it would stop the line being written, and readers (the report's
    # files) want Unicode. It is written as the text Python shows for it, \udcff.
    return _SURROGATE.sub(lambda m: f"\\\\u{ord(m.group()):04x}", text)


class RunLog:
    """One solver's run on one problem from one start: evaluates, counts, records.

    problem: a kinkbench.minimax(...) or kinkbench.nonsmooth(...) object (its set-up: the
        number and n); anything else is refused.
    solver: the name the pictures show.
    directory: the log goes to directory/slug(solver)/log_name(...); `path` names the
        file instead; with neither nothing is written.
    budget: the largest number of evaluations (a positive whole number), or None.
    record: "all" evaluations, or "improvements" only.
    start, start_seed, start_scale: the starting point (kinkbench.starts); 0 is x0.
    seed: the solver's own seed for a repetition (recorded; log.seed hands it over).
    weights: the cost of one value, gradient, Jacobian and Hessian call, in evaluations.
    solver_options, metadata: JSON objects kept in the header; campaign: its id.
    overwrite: replace a complete log of the same name (refused by default).
    """

    def __init__(
        self,
        problem: Problem,
        solver: str,
        directory: Union[str, pathlib.Path, None] = None,
        *,
        path: Union[str, pathlib.Path, None] = None,
        budget: Optional[int] = None,
        record: str = "all",
        start: int = 0,
        start_seed: int = DEFAULT_SEED,
        start_scale: float = DEFAULT_SCALE,
        seed: Optional[int] = None,
        weights: Optional[Mapping[str, float]] = None,
        solver_options: Optional[Mapping[str, Any]] = None,
        metadata: Optional[Mapping[str, Any]] = None,
        campaign: Optional[str] = None,
        overwrite: bool = False,
    ):
        self.collection = collection_of(problem)
        self.minimax = self.collection == "minimax"
        self.budget = check_budget(budget)
        if record not in RECORD:
            raise ValueError(f'record is "all" or "improvements", got {record!r}')
        if seed is not None and (isinstance(seed, bool) or not isinstance(seed, numbers.Integral)):
            raise ValueError(f"the seed must be a whole number or None, got {seed!r}")
        cost = dict(DEFAULT_WEIGHTS)
        for key, value in (weights or {}).items():
            if key not in cost:
                raise ValueError(f"weights are {', '.join(WEIGHTS)}; got {key!r}")
            if isinstance(value, bool) or not isinstance(value, numbers.Real) or not 0 <= value < math.inf:
                raise ValueError(f"the weight of a {key} must be a finite number >= 0, got {value!r}")
            cost[key] = float(value)
        self.problem = problem
        self.solver = str(solver)
        self.record = record
        self.start = int(start)
        self.seed = None if seed is None else int(seed)
        self.weights = cost
        self.solver_options = dict(solver_options or {})
        self._x0 = start_point(problem, start, start_seed, start_scale)
        header_extra = {
            "solver_options": dict(solver_options or {}),
            "metadata": dict(metadata or {}),
        }
        try:
            _json_line(header_extra)
        except (TypeError, ValueError) as error:
            raise ValueError(f"solver_options and metadata must be JSON objects: {error}") from None

        self.outcome: Optional[str] = None
        self.message: Optional[str] = None
        self.result: Any = None
        self._has_result = False
        self._finishing = threading.Lock()
        if path is None and directory is not None:
            path = (
                pathlib.Path(directory)
                / slug(self.solver)
                / log_name(self.collection, problem.number, problem.n, self.start, self.seed)
            )
        self.path = pathlib.Path(path) if path is not None else None
        self._fd = -1
        self._lock_fd = -1
        if self.path is not None:
            self._open(overwrite)
        try:
            self._rec = _core._Recorder(
                self.collection,
                problem.number,
                problem.n,
                -1 if self.budget is None else self.budget,
                record == "improvements",
                [cost[w] for w in WEIGHTS],
                self._fd,
                _BudgetExhausted,
            )
            # The solver's calls go straight to the compiled recorder.
            self.fun = self._rec.fun
            self.grad = self._rec.grad
            self.values = self._rec.values
            self.jacobian = self._rec.jacobian
            self.hessian = self._rec.hessian
            self.f0 = self._rec.peek(self._x0)
            self._counts_before = problem.counts()
            header = {
                "log_format": LOG_FORMAT,
                **_versions(),
                "solver": self.solver,
                "solver_options": header_extra["solver_options"],
                "collection": self.collection,
                "problem": problem.number,
                "n": problem.n,
                "form": problem.form,
                "start": self.start,
                "start_seed": None if self.start == 0 else int(start_seed),
                "start_scale": None if self.start == 0 else float(start_scale),
                "x0": [number_to_json(v) for v in self._x0],
                "seed": self.seed,
                "f0": number_to_json(self.f0),
                "fstar": None if problem.best_value is None else number_to_json(problem.best_value),
                "fstar_status": problem.best_status,
                "budget": self.budget,
                "record": record,
                "weights": cost,
                "campaign": campaign,
                "started": datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds"),
                "metadata": header_extra["metadata"],
            }
            self._rec.write(_json_line(header))
            self._rec.flush()
        except BaseException:
            self._release(keep_partial=False)
            raise
        self._started = time.perf_counter()

    # ------------------------------------------------------------- what solvers call
    # The instance's own fun, grad, values, jacobian and hessian are the compiled ones;
    # these say what they do.

    def fun(self, x) -> float:
        """The objective at x as a float: f for nonsmooth problems, max f_k or max |f_k|
        (the problem's form) for minimax ones. A batch (N, n) gives an array (N,)."""
        return self._rec.fun(x)

    def grad(self, x) -> np.ndarray:
        """The gradient at x, shape (n,). Nonsmooth problems: the problem's gradient (at a
        kink, of the piece the tie rules choose). Minimax problems: the subgradient
        sign(f_k) * grad f_k at the first k attaining the objective (plain grad f_k for
        max f_k problems; for max |f_k|, negated where f_k < 0), the same as
        `kinkbench eval ... --stream --gradient`. A batch (N, n) gives (N, n)."""
        return self._rec.grad(x)

    def values(self, x) -> np.ndarray:
        """All f_k at x, shape (m,) (minimax problems)."""
        return self._rec.values(x)

    def jacobian(self, x) -> np.ndarray:
        """Row k-1 is the gradient of f_k at x, shape (m, n) (minimax problems)."""
        return self._rec.jacobian(x)

    def hessian(self, x, packed: bool = False) -> np.ndarray:
        """The Hessian at x, counted: of f for nonsmooth problems, of the piece grad()
        takes for minimax ones (sign included). Dense (n, n), or the packed lower triangle
        by rows with packed=True."""
        return self._rec.hessian(x, packed)

    @property
    def x0(self) -> np.ndarray:
        """The run's starting point (start 0: the problem's x0), a fresh array."""
        return self._x0.copy()

    @property
    def n(self) -> int:
        return self.problem.n

    @property
    def evaluations(self) -> int:
        """Distinct points evaluated so far."""
        return self._rec.evaluations

    @property
    def best(self) -> float:
        """The lowest objective so far (inf before the first; NaN never counts)."""
        return self._rec.best

    @property
    def best_x(self) -> Optional[np.ndarray]:
        """The first point attaining `best`, or None."""
        return self._rec.best_x

    @property
    def exhausted(self) -> bool:
        """Whether a call was refused for the budget."""
        return self._rec.exhausted

    @property
    def counts(self) -> dict[str, int]:
        """Calls so far by kind: values, gradients, jacobians, hessians."""
        return self._rec.counts()

    @property
    def cost(self) -> float:
        """The calls so far weighted by `weights`."""
        return self._rec.cost

    @property
    def remaining(self) -> Optional[int]:
        """Evaluations left under the budget; None without one."""
        return None if self.budget is None else self.budget - self.evaluations

    # ------------------------------------------------------------------- the ending

    def set_result(self, result: Any) -> Any:
        """Hand over what the solver returned; it decides the outcome when the run ends
        without one given (a SciPy result with success=False is "stopped", its message
        kept). Returns the result, so `res = log.set_result(minimize(...))` reads well."""
        self.result = result
        self._has_result = True
        return result

    def finish(self, outcome: Optional[str] = None, message: Optional[str] = None) -> None:
        """Write the last line, close and rename the file; later calls change nothing.
        Without an outcome, the result handed to set_result decides ("converged" without
        one). A run that met its budget ends as "budget"; one that evaluated nothing and
        claims to have converged or stopped is an error. A write that failed (a full
        disk) raises OSError naming the file, which stays NAME.jsonl.partial."""
        # Warnings wait until the file is complete: raised as errors (-W error), they would
        # otherwise leave the run half-written and its lock held.
        notes: list[str] = []
        with self._finishing:
            if self.outcome is not None:
                return
            if outcome is None:
                outcome, given = outcome_of(self.result) if self._has_result else ("converged", None)
                message = given if message is None else message
            if self.exhausted:
                outcome = "budget"
            elif self.evaluations == 0 and outcome in ("converged", "stopped"):
                outcome = "error: NoEvaluations: the solver returned without evaluating anything"
            self.outcome, self.message = outcome, message
            seconds = round(time.perf_counter() - self._started, 6)
            line: dict[str, Any] = {
                "outcome": outcome,
                "evaluations": self.evaluations,
                "best": number_to_json(self.best),
                "x_best": None if self.best_x is None else [number_to_json(v) for v in self.best_x],
                "seconds": seconds,
                "message": message,
                **self.counts,
                "cost": self.cost,
            }
            unlogged = self._unlogged()
            if unlogged:
                line["unlogged"] = unlogged
                notes.append(
                    f"{self.path or 'run log'}: the problem object counted calls the log never "
                    f"saw ({unlogged}); evaluate through the log's fun, grad, values, jacobian "
                    "and hessian"
                )
            stationarity = self._stationarity(notes)
            if stationarity:
                line["stationarity"] = stationarity
            error: Any = "the last line was not written"
            try:
                self._rec.write(_json_line(line))
                self._rec.close()
                error = self._rec.write_error
            finally:
                # An unfinished log keeps its partial file for a look; the lock goes either way.
                self._release(keep_partial=error is not None, complete=error is None)
            if error is not None:
                raise OSError(f"{self._partial}: the log could not be written: {error}")
        for note in notes:
            warnings.warn(note, RuntimeWarning, stacklevel=2)

    def __enter__(self) -> "RunLog":
        return self

    def __exit__(self, kind, error, traceback) -> bool:
        if kind is None:
            self.finish()
            return False
        if issubclass(kind, _BudgetExhausted):
            self.finish("budget")
            return True
        if issubclass(kind, KeyboardInterrupt):
            self.finish("interrupted")
            return False
        self.finish(f"error: {kind.__name__}: {error}")
        return False

    # ------------------------------------------------------------------ internals

    @property
    def _partial(self) -> pathlib.Path:
        assert self.path is not None
        return self.path.with_name(self.path.name + ".partial")

    def _open(self, overwrite: bool) -> None:
        assert self.path is not None
        self.path.parent.mkdir(parents=True, exist_ok=True)
        lock = self.path.with_name(self.path.name + ".lock")
        self._lock_fd = os.open(lock, os.O_CREAT | os.O_RDWR, 0o644)
        try:
            fcntl.flock(self._lock_fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(self._lock_fd)
            self._lock_fd = -1
            raise RunHeld(f"{self.path}: another process is writing this run now") from None
        try:
            if self.path.exists() and not overwrite:
                raise FileExistsError(
                    f"{self.path}: a log of this run exists; remove it, choose another folder, "
                    "or pass overwrite=True"
                )
            if self._partial.exists():
                set_aside(self._partial)
            self._fd = os.open(self._partial, os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644)
        except BaseException:
            self._release(keep_partial=True)
            raise

    def _release(self, keep_partial: bool, complete: bool = False) -> None:
        if self._fd >= 0:
            os.close(self._fd)
            self._fd = -1
            if complete:
                os.replace(self._partial, self.path)
            elif not keep_partial:
                self._partial.unlink(missing_ok=True)
        if self._lock_fd >= 0:
            assert self.path is not None
            self.path.with_name(self.path.name + ".lock").unlink(missing_ok=True)
            os.close(self._lock_fd)
            self._lock_fd = -1

    def _unlogged(self) -> dict[str, int]:
        now = self.problem.counts()
        return {k: now[k] - self._counts_before.get(k, 0) for k in now if now[k] != self._counts_before.get(k, 0)}

    def _stationarity(self, notes: list[str]) -> Optional[dict[str, Any]]:
        measure = getattr(self.problem, "stationarity", None)
        point = self.best_x
        if measure is None or point is None:
            return None
        reference = self.problem.best_value if self.problem.best_value is not None else self.best
        scale = max(1.0, abs(reference)) if math.isfinite(reference) else 1.0
        try:
            found = {}
            for c in STATIONARITY_EPS:
                result = measure(point, c * scale)
                norm = result["norm"] if isinstance(result, Mapping) else result
                found[repr(c * scale)] = number_to_json(float(norm))
            return found
        except Exception as error:  # a measure that fails leaves the run's result standing
            notes.append(f"stationarity at the best point failed: {error}")
            return None


def set_aside(path: pathlib.Path) -> pathlib.Path:
    """Rename an unfinished log to PATH-1 (or the next free number), out of the readers'
    way but kept; returns the new path."""
    number = 1
    while True:
        target = path.with_name(f"{path.name}-{number}")
        if not target.exists():
            os.replace(path, target)
            return target
        number += 1
