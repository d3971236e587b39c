"""Run solvers over a selection of problems under a budget, writing one log per pair.

    def nelder_mead(log):
        return scipy.optimize.minimize(log.fun, log.x0, method="Nelder-Mead")

    run_suite({"Nelder-Mead": nelder_mead}, "nonsmooth", "logs", budget=2000)

A solver is a function of a RunLog (see kinkbench.runlog): it reads the start from log.x0
and evaluates through log.fun, log.grad, log.values or log.jacobian. What it returns
decides the outcome: anything with `success` false (a SciPy result that failed) is
"stopped", anything else "converged"; the budget running out is "budget", and an
exception raised in the solver is "error: ..." and the suite goes on with the next run.
"""

from __future__ import annotations

import pathlib
import sys
import time
from typing import Any, Callable, Iterable, Mapping, NamedTuple, Optional, Union

from . import _core
from .catalogue import ProblemInfo, problems as problem_table
from .runlog import Problem, RunLog, _BudgetExhausted, slug

Solver = Callable[[RunLog], Any]
Selection = Union[str, Callable[[ProblemInfo], bool], Iterable[Any]]


class RunSummary(NamedTuple):
    solver: str
    collection: str
    number: int
    n: int
    outcome: str
    evaluations: int
    best: float
    fstar: Optional[float]
    seconds: float
    path: Optional[pathlib.Path]


def select(selection: Selection) -> list[Problem]:
    """Fresh problem objects for a selection: "minimax", "nonsmooth" or "all"; a filter
    on kinkbench.problems() rows; or a list of rows, problem objects or (collection,
    number) and (collection, number, n) tuples. Rows and numbers are set up at the
    problem's minimum n, where the best-known optima are stored."""
    if isinstance(selection, str):
        if selection not in ("minimax", "nonsmooth", "all"):
            raise ValueError(
                f'select "minimax", "nonsmooth" or "all", a filter or a list; got {selection!r}'
            )
        rows = [r for r in problem_table() if selection in ("all", r.collection)]
        return [_make(r.collection, r.number, None) for r in rows]
    if callable(selection):
        return [_make(r.collection, r.number, None) for r in problem_table() if selection(r)]
    chosen = []
    for item in selection:
        if isinstance(item, (_core.MinimaxProblem, _core.NonsmoothProblem)):
            chosen.append(item)
        elif isinstance(item, ProblemInfo):
            chosen.append(_make(item.collection, item.number, None))
        elif isinstance(item, tuple) and len(item) in (2, 3):
            chosen.append(_make(*item) if len(item) == 3 else _make(item[0], item[1], None))
        else:
            raise TypeError(
                "a problem is a kinkbench.problems() row, a problem object or a "
                f"(collection, number[, n]) tuple; got {item!r}"
            )
    return chosen


def _make(collection: str, number: int, n: Optional[int]) -> Problem:
    if collection == "minimax":
        return _core.minimax(number, n=n)
    if collection == "nonsmooth":
        return _core.nonsmooth(number, n=n)
    raise ValueError(f'the collection is "minimax" or "nonsmooth", got {collection!r}')


def run_one(solver: Solver, log: RunLog) -> None:
    """Run one solver on one log and write its outcome; only KeyboardInterrupt and
    SystemExit get past, after the log is closed."""
    try:
        result = solver(log)
    except _BudgetExhausted:
        log.finish("budget")
    except Exception as error:  # a failing solver is a result, not the end of the suite
        log.finish(f"error: {type(error).__name__}: {error}")
    except BaseException:
        log.finish("error: interrupted")
        raise
    else:
        message = getattr(result, "message", None)
        success = getattr(result, "success", True)
        log.finish("converged" if success else "stopped", None if message is None else str(message))


def run_suite(
    solvers: Mapping[str, Solver],
    problems: Selection,
    logdir: Union[str, pathlib.Path],
    *,
    budget: int = 2000,
    record_x: bool = False,
    progress: Optional[bool] = None,
) -> list[RunSummary]:
    """Every solver on every selected problem, one log each under logdir (see
    kinkbench.runlog for the files). progress: a one-line display on stderr of the
    problem, the solver and the time taken; by default only when stderr is a terminal."""
    slugs: dict[str, str] = {}
    for name in solvers:
        other = slugs.setdefault(slug(name), name)
        if other != name:
            raise ValueError(f"solvers {other!r} and {name!r} would share the log folder {slug(name)!r}")
    chosen = select(problems)
    runs = [(problem, name) for problem in chosen for name in solvers]
    show = sys.stderr.isatty() if progress is None else progress
    summaries = []
    with _Progress(len(runs), show) as bar:
        for problem, name in runs:
            collection = "minimax" if isinstance(problem, _core.MinimaxProblem) else "nonsmooth"
            bar.start(f"{collection} {problem.number:2d} n={problem.n} | {name}")
            log = RunLog(problem, name, logdir, budget=budget, record_x=record_x)
            started = time.perf_counter()
            run_one(solvers[name], log)
            summaries.append(
                RunSummary(
                    name,
                    collection,
                    problem.number,
                    problem.n,
                    log.outcome or "",
                    log.evaluations,
                    log.best,
                    problem.best_value,
                    time.perf_counter() - started,
                    log.path,
                )
            )
            bar.done()
    return summaries


class _Progress:
    """tqdm when it is installed, a plain one-line updater when not; silent when off."""

    def __init__(self, total: int, show: bool):
        self.total, self.show, self.count = total, show, 0
        self.began = time.perf_counter()
        self.bar = None
        if show:
            try:
                from tqdm import tqdm
            except ImportError:
                pass
            else:
                self.bar = tqdm(total=total, unit="run", file=sys.stderr, dynamic_ncols=True)

    def __enter__(self) -> "_Progress":
        return self

    def start(self, label: str) -> None:
        if not self.show:
            return
        if self.bar is not None:
            self.bar.set_description_str(label)
        else:
            elapsed = time.perf_counter() - self.began
            sys.stderr.write(f"\r\x1b[K[{self.count + 1}/{self.total}] {label}  {elapsed:.1f} s")
            sys.stderr.flush()

    def done(self) -> None:
        self.count += 1
        if self.bar is not None:
            self.bar.update(1)

    def __exit__(self, *exc) -> None:
        if self.bar is not None:
            self.bar.close()
        elif self.show:
            elapsed = time.perf_counter() - self.began
            sys.stderr.write(f"\r\x1b[K{self.count}/{self.total} runs in {elapsed:.1f} s\n")
