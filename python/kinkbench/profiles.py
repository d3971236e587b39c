"""Data and performance profiles from a folder of run logs (see kinkbench.runlog).

    python3 -m kinkbench.profiles LOGDIR -o OUT [--tau 1e-1 1e-3 1e-5] [--format png svg]

writes OUT-data.png and OUT-performance.png (and .svg), one panel per tau, and prints how
many problems each solver solved.

A run solves its problem at tolerance tau at the first evaluation where
f(x) <= f* + tau (f(x0) - f*). f* is the problem's stored best-known value; for a problem
unbounded below it is the local minimum the start leads to, and a run that goes lower
counts as solved. Where no value is stored (a problem set up above its minimum n), f* is
the lowest value any run in the folder reached.

Data profile: the fraction of its problems a solver has solved after a given number of
evaluations. Performance profile: for each problem, the evaluations a solver needed
divided by the fewest any solver (among those that ran the problem) needed; the fraction
of problems solved within a given ratio. Each solver counts over the problems it ran.
"""

from __future__ import annotations

import argparse
import json
import math
import pathlib
import sys
from typing import Iterable, NamedTuple, Optional, Sequence, Union

from .runlog import number_from_json

TAUS = (1e-1, 1e-3, 1e-5)

Key = tuple  # (collection, problem, n)


class Run(NamedTuple):
    solver: str
    collection: str
    problem: int
    n: int
    f0: float
    fstar: Optional[float]  # as stored; None where none is
    fstar_status: Optional[str]
    budget: Optional[int]
    evals: list[int]
    values: list[float]  # f at each evaluation
    outcome: Optional[str]  # None when the log was cut short

    @property
    def key(self) -> Key:
        return (self.collection, self.problem, self.n)


class LogError(ValueError):
    """A file that is not a run log, with its name and line."""


def read_log(path: Union[str, pathlib.Path]) -> Run:
    path = pathlib.Path(path)
    lines = path.read_text(encoding="utf-8").splitlines()
    try:
        header = json.loads(lines[0]) if lines else {}
    except json.JSONDecodeError as error:
        raise LogError(f"{path}:1: not a run log header: {error}") from None
    if "solver" not in header or "f0" not in header:
        raise LogError(f"{path}:1: not a run log header (no solver or f0)")
    evals, values, outcome = [], [], None
    for number, line in enumerate(lines[1:], start=2):
        try:
            record = json.loads(line)
        except json.JSONDecodeError as error:
            raise LogError(f"{path}:{number}: {error}") from None
        if "eval" in record:
            evals.append(int(record["eval"]))
            values.append(float(record["f"]))
        elif "outcome" in record:
            outcome = record["outcome"]
    return Run(
        header["solver"],
        header["collection"],
        int(header["problem"]),
        int(header["n"]),
        float(header["f0"]),
        number_from_json(header.get("fstar")),
        header.get("fstar_status"),
        header.get("budget"),
        evals,
        values,
        outcome,
    )


def read_logs(logdir: Union[str, pathlib.Path]) -> list[Run]:
    """Every *.jsonl file below logdir, in name order."""
    files = sorted(pathlib.Path(logdir).rglob("*.jsonl"))
    if not files:
        raise LogError(f"{logdir}: no run logs (*.jsonl) found")
    return [read_log(f) for f in files]


def reference_values(runs: Iterable[Run]) -> dict[Key, float]:
    """f* per problem: the stored value, or the lowest any run reached (f0 included)."""
    stored: dict[Key, float] = {}
    lowest: dict[Key, float] = {}
    for run in runs:
        if run.fstar is not None:
            stored[run.key] = run.fstar
        low = min([v for v in run.values if not math.isnan(v)] + [run.f0])
        lowest[run.key] = min(lowest.get(run.key, math.inf), low)
    return {key: stored.get(key, low) for key, low in lowest.items()}


def solved_at(run: Run, tau: float, fstar: float) -> float:
    """The first evaluation number that meets the test, or inf."""
    target = fstar + tau * (run.f0 - fstar)
    for number, value in zip(run.evals, run.values):
        if value <= target:
            return float(number)
    return math.inf


def solve_counts(runs: Sequence[Run], tau: float) -> dict[str, dict[Key, float]]:
    """Evaluations each solver needed on each problem it ran (inf: not solved)."""
    fstar = reference_values(runs)
    table: dict[str, dict[Key, float]] = {}
    for run in runs:
        table.setdefault(run.solver, {})[run.key] = solved_at(run, tau, fstar[run.key])
    return table


def fraction_solved(needed: dict[Key, float], evaluations: float) -> float:
    """One point of a data profile."""
    return sum(t <= evaluations for t in needed.values()) / len(needed)


def performance_ratios(table: dict[str, dict[Key, float]]) -> dict[str, dict[Key, float]]:
    """Each solver's evaluations over the fewest needed on that problem; inf where it did
    not solve it (or nobody did)."""
    fewest: dict[Key, float] = {}
    for needed in table.values():
        for key, t in needed.items():
            fewest[key] = min(fewest.get(key, math.inf), t)
    return {
        solver: {key: (t / fewest[key] if math.isfinite(t) else math.inf) for key, t in needed.items()}
        for solver, needed in table.items()
    }


def _steps(points: Iterable[float], total: int, start: float, end: float):
    """x, y of a cumulative step curve over the finite points, from start to end."""
    finite = sorted(p for p in points if math.isfinite(p))
    xs, ys = [start], [0.0]
    for i, p in enumerate(finite, start=1):
        xs.append(max(p, start))
        ys.append(i / total)
    xs.append(end)
    ys.append(ys[-1])
    return xs, ys


def _tau_text(tau: float) -> str:
    exponent = math.log10(tau)
    if exponent == round(exponent):
        return f"$\\tau = 10^{{{int(round(exponent))}}}$"
    return f"$\\tau = {tau:g}$"


def _labels(runs: Sequence[Run], mark_alone: bool) -> dict[str, str]:
    """"name: collection, N problems"; with mark_alone, "alone" marks a solver no other
    ran beside, whose performance ratios are 1 wherever it solved."""
    mine: dict[str, set[Key]] = {}
    for run in runs:
        mine.setdefault(run.solver, set()).add(run.key)
    labels = {}
    for solver, keys in mine.items():
        collections = " + ".join(sorted({key[0] for key in keys}))
        shared = any(keys & other for name, other in mine.items() if name != solver)
        alone = ", alone" if mark_alone and not shared and len(mine) > 1 else ""
        labels[solver] = f"{solver}: {collections}, {len(keys)} problems{alone}"
    return labels


STYLES = ["-", "--", "-.", ":"]


def draw(
    runs: Sequence[Run],
    out: Union[str, pathlib.Path],
    taus: Sequence[float] = TAUS,
    formats: Sequence[str] = ("png", "svg"),
) -> list[pathlib.Path]:
    """Both profiles, one panel per tau; returns the files written."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.rcParams["svg.hashsalt"] = "kinkbench"  # the same logs give the same SVG bytes
    solvers = sorted({r.solver for r in runs})
    budget = max([r.budget or 0 for r in runs] + [max(r.evals, default=1) for r in runs])
    tables = {tau: solve_counts(runs, tau) for tau in taus}
    ratios = {tau: performance_ratios(tables[tau]) for tau in taus}
    worst = max(
        [r for tau in taus for s in solvers for r in ratios[tau][s].values() if math.isfinite(r)]
        + [2.0]
    )
    top = math.ceil(math.log2(worst * 1.2))
    out = pathlib.Path(out)
    out.parent.mkdir(parents=True, exist_ok=True)
    written = []
    for kind in ("data", "performance"):
        labels = _labels(runs, mark_alone=kind == "performance")
        fig, axes = plt.subplots(
            1, len(taus), figsize=(4.6 * len(taus), 4.6), sharey=True, squeeze=False
        )
        for ax, tau in zip(axes[0], taus):
            for i, solver in enumerate(solvers):
                needed = tables[tau][solver]
                if kind == "data":
                    xs, ys = _steps(needed.values(), len(needed), 1, budget)
                else:
                    xs, ys = _steps(ratios[tau][solver].values(), len(needed), 1, 2.0**top)
                ax.step(xs, ys, where="post", linestyle=STYLES[i % len(STYLES)], linewidth=1.8,
                        label=labels[solver])
            if kind == "data":
                ax.set_xscale("log")
                ax.set_xlabel("evaluations")
            else:
                ax.set_xscale("log", base=2)
                ax.set_xlim(2.0**-0.25, 2.0**top)
                step = max(1, math.ceil(top / 6))
                ticks = [2.0**k for k in range(0, top + 1, step)]
                ax.set_xticks(ticks, [f"{t:g}" for t in ticks])
                ax.set_xlabel("evaluations / the fewest any solver needed")
            ax.set_ylim(-0.02, 1.02)
            ax.grid(True, which="major", alpha=0.3)
            ax.set_title(_tau_text(tau))
        axes[0][0].set_ylabel("fraction of problems solved")
        handles, names = axes[0][0].get_legend_handles_labels()
        fig.legend(handles, names, loc="lower center", ncol=min(len(solvers), 2),
                   frameon=False)
        what = "Data profiles" if kind == "data" else "Performance profiles"
        fig.suptitle(f"{what}: solved when $f(x) \\leq f^* + \\tau\\,(f(x_0) - f^*)$")
        rows = math.ceil(len(solvers) / 2)
        fig.tight_layout(rect=(0, 0.05 + 0.05 * rows, 1, 1))
        for fmt in formats:
            path = out.with_name(f"{out.name}-{kind}.{fmt}")
            fig.savefig(path, dpi=110, metadata={"Date": None} if fmt == "svg" else None)
            written.append(path)
        plt.close(fig)
    return written


def summary(runs: Sequence[Run], taus: Sequence[float] = TAUS) -> str:
    """Problems solved per solver and tau, and the median evaluations of the solved."""
    solvers = sorted({r.solver for r in runs})
    width = max(len(s) for s in solvers + ["solver"])
    tables = {tau: solve_counts(runs, tau) for tau in taus}
    lines = [
        " " * width + "".join(f"  {'tau = ' + format(t, 'g'):^15}" for t in taus),
        f"{'solver':<{width}}" + "  solved  median" * len(taus),
    ]
    for solver in solvers:
        row = f"{solver:<{width}}"
        for tau in taus:
            needed = tables[tau][solver]
            done = sorted(t for t in needed.values() if math.isfinite(t))
            median = f"{done[(len(done) - 1) // 2]:.0f}" if done else "-"
            row += f"  {f'{len(done)}/{len(needed)}':>6}  {median:>6}"
        lines.append(row)
    return "\n".join(lines)


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m kinkbench.profiles",
        description="Draw data and performance profiles from a folder of kinkbench run logs.",
    )
    parser.add_argument("logdir", help="folder searched for *.jsonl run logs")
    parser.add_argument("-o", "--out", required=True, help="path prefix: writes OUT-data.png, OUT-performance.png, ...")
    parser.add_argument("--tau", type=float, nargs="+", default=list(TAUS), help="tolerances (default: 1e-1 1e-3 1e-5)")
    parser.add_argument("--format", nargs="+", default=["png", "svg"], help="file types (default: png svg)")
    args = parser.parse_args(argv)
    if any(not 0 < t < 1 for t in args.tau):
        print(f"kinkbench.profiles: every tau must lie in (0, 1), got {args.tau}", file=sys.stderr)
        return 2
    try:
        runs = read_logs(args.logdir)
    except (OSError, LogError) as error:
        print(f"kinkbench.profiles: {error}", file=sys.stderr)
        return 2
    try:
        written = draw(runs, args.out, args.tau, args.format)
    except (OSError, ValueError) as error:
        print(f"kinkbench.profiles: cannot write the pictures: {error}", file=sys.stderr)
        return 1
    print(summary(runs, args.tau))
    for path in written:
        print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
