"""Run solvers over a selection of problems under a budget, one log per run.

    def nelder_mead(log):
        return scipy.optimize.minimize(log.fun, log.x0, method="Nelder-Mead")

    run_suite({"Nelder-Mead": nelder_mead}, "nonsmooth", "logs", budget=2000)

A solver is a function of a RunLog (see kinkbench.runlog): it reads the start from log.x0
and evaluates through log.fun, log.grad, log.values, log.jacobian or log.hessian. What it
returns decides the outcome: `success` false (an attribute, or a key of a dict) is
"stopped", anything else "converged"; the budget running out is "budget"; an exception
raised in the solver (SystemExit included) is "error: ..." and the suite goes on;
KeyboardInterrupt ends the run as "interrupted" and stops the suite. A complete log of a
run is kept and the run skipped; see kinkbench.campaign for starts, seeds and workers.
"""

from __future__ import annotations

import pathlib
import sys
import time
from typing import Any, Callable, Iterable, Mapping, NamedTuple, Optional, Union

from . import _core
from .catalogue import ProblemInfo, problems as problem_table
from .runlog import Problem, RunLog, _BudgetExhausted, collection_of

Solver = Callable[[RunLog], Any]
Selection = Union[str, Callable[[ProblemInfo], bool], Iterable[Any]]


class RunSummary(NamedTuple):
    solver: str
    collection: str
    number: int
    n: int
    outcome: str  # "" for a run another process holds
    evaluations: int
    best: float
    fstar: Optional[float]
    seconds: float
    path: Optional[pathlib.Path]
    start: int = 0
    seed: Optional[int] = None
    skipped: bool = False  # a complete log was there already


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
        return [make(r.collection, r.number, None) for r in rows]
    if callable(selection):
        return [make(r.collection, r.number, None) for r in problem_table() if selection(r)]
    chosen = []
    for item in selection:
        if isinstance(item, (_core.MinimaxProblem, _core.NonsmoothProblem)):
            chosen.append(item)
        elif isinstance(item, ProblemInfo):
            chosen.append(make(item.collection, item.number, None))
        elif isinstance(item, (tuple, list)) and len(item) in (2, 3):
            chosen.append(make(*item) if len(item) == 3 else make(item[0], item[1], None))
        else:
            raise TypeError(
                "a problem is a kinkbench.problems() row, a problem object or a "
                f"(collection, number[, n]) tuple; got {item!r}"
            )
    return chosen


def make(collection: str, number: int, n: Optional[int]) -> Problem:
    """A problem object from its set-up."""
    if collection == "minimax":
        return _core.minimax(number, n=n)
    if collection == "nonsmooth":
        return _core.nonsmooth(number, n=n)
    raise ValueError(f'the collection is "minimax" or "nonsmooth", got {collection!r}')


def run_one(solver: Solver, log: RunLog) -> None:
    """Run one solver on one log and write its outcome. Only KeyboardInterrupt gets past,
    after the log is ended as "interrupted"."""
    try:
        result = solver(log)
    except _BudgetExhausted:
        log.finish("budget")
    except KeyboardInterrupt:
        log.finish("interrupted")
        raise
    except SystemExit as error:  # a solver's exit is its failure, not the suite's end
        log.finish(f"error: SystemExit: {error.code}")
    except BaseException as error:  # a failing solver is a result, not the end of the suite
        log.finish(f"error: {type(error).__name__}: {error}")
    else:
        log.set_result(result)
        log.finish()


def run_suite(
    solvers: Mapping[str, Solver],
    problems: Selection,
    logdir: Union[str, pathlib.Path],
    *,
    budget: int = 2000,
    record: str = "all",
    starts: int = 1,
    start_seed: Optional[int] = None,
    start_scale: Optional[float] = None,
    seeds: Iterable[Optional[int]] = (None,),
    weights: Optional[Mapping[str, float]] = None,
    metadata: Optional[Mapping[str, Any]] = None,
    progress: Optional[bool] = None,
) -> list[RunSummary]:
    """Every solver on every selected problem from starts 0..starts-1 and with every seed,
    one log each under logdir (see kinkbench.runlog for the files), in this process; a
    run whose complete log is there is skipped. progress: a one-line display on stderr of
    the problem, the solver and the time taken; by default only when stderr is a
    terminal. For workers, clusters and a manifest use kinkbench.campaign.run_campaign."""
    from .campaign import Plan, execute_plan  # the campaign layer builds on this module

    chosen = select(problems)
    plan = Plan.build(
        solvers,
        [(collection_of(p), p.number, p.n) for p in chosen],
        logdir,
        budget=budget,
        record=record,
        starts=starts,
        start_seed=start_seed,
        start_scale=start_scale,
        seeds=list(seeds),
        weights=weights,
        metadata=metadata,
    )
    return execute_plan(plan, solvers=solvers, progress=progress)


class Progress:
    """tqdm when it is installed, a plain one-line updater when not; silent when off."""

    def __init__(self, total: int, show: Optional[bool]):
        self.total, self.count = total, 0
        self.show = sys.stderr.isatty() if show is None else show
        self.began = time.perf_counter()
        self.bar = None
        if self.show:
            try:
                from tqdm import tqdm
            except ImportError:
                pass
            else:
                self.bar = tqdm(total=total, unit="run", file=sys.stderr, dynamic_ncols=True)

    def __enter__(self) -> "Progress":
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
