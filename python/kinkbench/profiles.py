"""Data and performance profiles from folders of run logs (see docs/log-format.md).

    python3 -m kinkbench.profiles LOGDIR... -o OUT [--tau 1e-1 1e-3 1e-5] [--format png svg]

writes OUT-data.png and OUT-performance.png (and .svg): one row of panels per collection,
one panel per tau; and prints how many runs each solver solved.

A run solves its problem at tolerance tau at the first evaluation where
f(x) <= f* + tau (f(x0) - f*), x0 the run's start. f* is the problem's stored best-known
value; for a problem unbounded below it is the local minimum the start leads to, and a
run that goes lower counts as solved. Where no value is stored (a problem set up above
its minimum n), f* is the lowest value any run in the folders reached on it.

What is compared: the runs of one collection (minimax, nonsmooth) share a row, and only
on the (problem, n, start) cases every solver of that row finished, so that no solver is
counted over problems the others never saw. own_sets=True counts each solver over its own
runs instead, and the legend marks a solver no other ran beside as "alone".

Data profile: the fraction of its runs a solver has solved within a given number of
evaluations (or of evaluations in units of n + 1). Performance profile: on each case, the
evaluations a run needed divided by the fewest any run on that case needed; the fraction
of runs solved within a given ratio.

The reading is strict (kinkbench.logs): duplicate runs and conflicting f*, f0 or budgets
are refused, naming the files (mixed budgets only with mixed_budgets=True).
"""

from __future__ import annotations

import argparse
import math
import pathlib
import sys
from typing import Iterable, NamedTuple, Optional, Sequence, Union

from .logs import LogError, Run, read_runs

TAUS = (1e-1, 1e-3, 1e-5)
# What savefig writes here without a TeX installation.
FORMATS = ("png", "svg", "svgz", "pdf", "eps", "ps", "jpg", "jpeg", "tif", "tiff", "webp")

Case = tuple  # (collection, problem, n, start, seed): one run of one solver
Instance = tuple  # (collection, problem, n, start): what runs are compared on


def case_of(run: Run) -> Case:
    return (*run.instance, run.seed)


def read_logs(folders, *, mixed_budgets: bool = False) -> list[Run]:
    """The finished runs below one folder or several, strictly read and checked."""
    return read_runs(folders, mixed_budgets=mixed_budgets)[0]


def reference_values(runs: Iterable[Run]) -> dict[tuple, float]:
    """f* per (collection, problem, n): the stored value, or the lowest any run reached
    (its f0 included)."""
    stored: dict[tuple, float] = {}
    lowest: dict[tuple, float] = {}
    for run in runs:
        if run.fstar is not None:
            stored[run.problem_key] = run.fstar
        low = min([v for v in run.values if not math.isnan(v)] + [run.f0])
        lowest[run.problem_key] = min(lowest.get(run.problem_key, math.inf), low)
    return {key: stored.get(key, low) for key, low in lowest.items()}


def target(run: Run, tau: float, fstar: float) -> float:
    return fstar + tau * (run.f0 - fstar)


def solved_at(run: Run, tau: float, fstar: float) -> float:
    """The first evaluation number whose value meets the target, or inf (NaN never does)."""
    goal = target(run, tau, fstar)
    for number, value in zip(run.evals, run.values):
        if value <= goal:
            return float(number)
    return math.inf


def solve_counts(runs: Sequence[Run], tau: float,
                 fstar: Optional[dict] = None) -> dict[str, dict[Case, float]]:
    """Evaluations each solver's runs needed (inf: not solved), per case."""
    fstar = reference_values(runs) if fstar is None else fstar
    table: dict[str, dict[Case, float]] = {}
    for run in runs:
        table.setdefault(run.solver, {})[case_of(run)] = solved_at(run, tau, fstar[run.problem_key])
    return table


def fraction_solved(needed: dict, evaluations: float) -> float:
    """One point of a data profile."""
    return sum(t <= evaluations for t in needed.values()) / len(needed)


def performance_ratios(table: dict[str, dict[Case, float]]) -> dict[str, dict[Case, float]]:
    """Each run's evaluations over the fewest any run on its (collection, problem, n,
    start) needed; inf where it did not solve it."""
    fewest: dict[Instance, float] = {}
    for needed in table.values():
        for case, t in needed.items():
            fewest[case[:4]] = min(fewest.get(case[:4], math.inf), t)
    return {
        solver: {case: (t / fewest[case[:4]] if math.isfinite(t) else math.inf) for case, t in needed.items()}
        for solver, needed in table.items()
    }


def common_instances(runs: Sequence[Run]) -> set:
    """The (collection, problem, n, start) every solver among the runs finished."""
    mine: dict[str, set] = {}
    for run in runs:
        mine.setdefault(run.solver, set()).add(run.instance)
    return set.intersection(*mine.values()) if mine else set()


class Group(NamedTuple):
    """The runs drawn in one row of panels."""

    title: str
    runs: list
    left_out: dict  # solver -> number of its runs outside the common set
    alone: set  # solvers no other ran beside


def groups(runs: Sequence[Run], own_sets: bool = False) -> list[Group]:
    """One group per collection: its solvers, on their common cases unless own_sets."""
    out = []
    several = len({r.solver for r in runs}) > 1
    for collection in sorted({r.collection for r in runs}):
        mine = [r for r in runs if r.collection == collection]
        sets: dict[str, set] = {}
        for r in mine:
            sets.setdefault(r.solver, set()).add(r.instance)
        # Alone: no other solver ran any of its cases, so its ratios are 1 wherever it solved.
        alone = {s for s, keys in sets.items() if several and not any(keys & o for t, o in sets.items() if t != s)}
        if own_sets:
            out.append(Group(collection, mine, {}, alone))
            continue
        common = common_instances(mine)
        left: dict[str, int] = {}
        for r in mine:
            if r.instance not in common:
                left[r.solver] = left.get(r.solver, 0) + 1
        out.append(Group(collection, [r for r in mine if r.instance in common], left, alone))
    return out


def steps(points: Iterable[float], total: int, start: float, end: float):
    """x, y of a cumulative step curve over the finite points, from start to end."""
    finite = sorted(p for p in points if math.isfinite(p))
    xs, ys = [start], [0.0]
    for i, p in enumerate(finite, start=1):
        xs.append(max(p, start))
        ys.append(i / total)
    xs.append(end)
    ys.append(ys[-1])
    return xs, ys


def tau_text(tau: float) -> str:
    exponent = math.log10(tau)
    if exponent == round(exponent):
        return f"$\\tau = 10^{{{int(round(exponent))}}}$"
    return f"$\\tau = {tau:g}$"


def label(solver: str, group: Group) -> str:
    cases = sum(r.solver == solver for r in group.runs)
    problems = len({r.problem_key for r in group.runs if r.solver == solver})
    text = f"{solver}: {problems} problems, {cases} runs"
    return text + (", alone" if solver in group.alone else "")


STYLES = ["-", "--", "-.", ":"]
KINDS = {
    "data": "evaluations",
    "data-n1": "evaluations / (n + 1)",
    "performance": "evaluations / the fewest any run needed",
}


def curves(group: Group, kind: str, tau: float, fstar: dict) -> tuple[dict, float, float]:
    """Per solver the (xs, ys) of one panel's step curve, and the x range."""
    table = solve_counts(group.runs, tau, fstar)
    if kind == "performance":
        table = performance_ratios(table)
    elif kind == "data-n1":
        table = {s: {c: t / (c[2] + 1) for c, t in needed.items()} for s, needed in table.items()}
    budget = max([r.budget or 0 for r in group.runs] + [r.used for r in group.runs] + [1])
    if kind == "data":
        low, high = 1.0, float(budget)
    elif kind == "data-n1":
        low = min(1 / (r.n + 1) for r in group.runs)
        high = max(budget / (r.n + 1) for r in group.runs)
    else:
        worst = max([t for needed in table.values() for t in needed.values() if math.isfinite(t)] + [2.0])
        low, high = 1.0, 2.0 ** math.ceil(math.log2(worst * 1.2))
    return ({s: steps(needed.values(), len(needed), low, high) for s, needed in sorted(table.items())},
            low, high)


def figure(group_list: Sequence[Group], kind: str, taus: Sequence[float], fstar: dict):
    """One row of panels per group, one panel per tau."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.rcParams["svg.hashsalt"] = "kinkbench"  # the same logs give the same SVG bytes
    solvers = sorted({r.solver for g in group_list for r in g.runs})
    colours = {s: f"C{i % 10}" for i, s in enumerate(solvers)}
    fig, axes = plt.subplots(len(group_list), len(taus), figsize=(4.6 * len(taus), 4.0 * len(group_list) + 0.6),
                             sharey=True, squeeze=False)
    legend: dict = {}
    for row, group in zip(axes, group_list):
        for ax, tau in zip(row, taus):
            lines, low, high = curves(group, kind, tau, fstar)
            for i, (solver, (xs, ys)) in enumerate(lines.items()):
                (line,) = ax.step(xs, ys, where="post", color=colours[solver],
                                  linestyle=STYLES[solvers.index(solver) % len(STYLES)], linewidth=1.8,
                                  label=label(solver, group))
                line.set_gid(f"curve {group.title} {solver}")
                legend.setdefault(label(solver, group), line)
            if kind == "performance":
                ax.set_xscale("log", base=2)
                top = round(math.log2(high))
                ax.set_xlim(2.0**-0.25, high)
                step = max(1, math.ceil(top / 6))
                ticks = [2.0**k for k in range(0, top + 1, step)]
                ax.set_xticks(ticks, [f"{t:g}" for t in ticks])
            else:
                ax.set_xscale("log")
                ax.set_xlim(low, high)
            ax.set_xlabel(KINDS[kind])
            ax.set_ylim(-0.02, 1.02)
            ax.grid(True, which="major", alpha=0.3)
            ax.set_title(f"{group.title}, {tau_text(tau)}")
        row[0].set_ylabel("fraction of runs solved")
    what = "Performance profiles" if kind == "performance" else "Data profiles"
    fig.suptitle(f"{what}: solved when $f(x) \\leq f^* + \\tau\\,(f(x_0) - f^*)$")
    # Up to three columns, fewer where long names would run off the picture; the figure
    # grows by the legend's height so the panels keep theirs.
    renderer = fig.canvas.get_renderer()
    for ncol in range(min(len(legend), 3), 0, -1):
        box = fig.legend(list(legend.values()), list(legend.keys()), loc="lower center", ncol=ncol,
                         frameon=False)
        width = box.get_window_extent(renderer).width
        if ncol == 1 or width <= 0.98 * fig.bbox.width:
            break
        box.remove()
    below = box.get_window_extent(renderer).height / fig.dpi + 0.1
    fig.set_figheight(fig.get_figheight() + below)
    fig.tight_layout(rect=(0, below / fig.get_figheight(), 1, 1))
    return fig


def save(fig, path: pathlib.Path, formats: Sequence[str]) -> list[pathlib.Path]:
    written = []
    for fmt in formats:
        target_path = path.with_name(f"{path.name}.{fmt}")
        options = {"metadata": {"Date": None}} if fmt in ("svg", "svgz") else {}
        fig.savefig(target_path, dpi=110, format=fmt, **options)
        written.append(target_path)
    return written


def draw(
    runs: Sequence[Run],
    out: Union[str, pathlib.Path],
    taus: Sequence[float] = TAUS,
    formats: Sequence[str] = ("png", "svg"),
    *,
    own_sets: bool = False,
    kinds: Sequence[str] = ("data", "performance"),
) -> list[pathlib.Path]:
    """The profiles, one row per collection and one panel per tau; the files written."""
    import matplotlib.pyplot as plt

    unknown = [f for f in formats if f not in FORMATS]
    if unknown:
        raise ValueError(f"unknown picture format {unknown[0]!r}; one of {', '.join(FORMATS)}")
    fstar = reference_values(runs)
    group_list = [g for g in groups(runs, own_sets) if g.runs]
    if not group_list:
        raise LogError("the solvers share no (problem, n, start) case in any collection; "
                       "count each over its own runs with --own-sets")
    out = pathlib.Path(out)
    out.parent.mkdir(parents=True, exist_ok=True)
    written = []
    for kind in kinds:
        fig = figure(group_list, kind, taus, fstar)
        written += save(fig, out.with_name(f"{out.name}-{kind}"), formats)
        plt.close(fig)
    return written


def summary(runs: Sequence[Run], taus: Sequence[float] = TAUS, own_sets: bool = False) -> str:
    """Runs solved per solver and tau over what the pictures compare, and the median
    evaluations of the solved."""
    fstar = reference_values(runs)
    compared = [r for g in groups(runs, own_sets) for r in g.runs]
    solvers = sorted({r.solver for r in compared})
    width = max(len(s) for s in solvers + ["solver"])
    tables = {tau: solve_counts(compared, tau, fstar) for tau in taus}
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


def check_taus(taus: Sequence[float]) -> Optional[str]:
    bad = [t for t in taus if not 0 < t < 1]
    return None if not bad else f"every tau must lie in (0, 1), got {bad[0]:g}"


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m kinkbench.profiles",
        description="Draw data and performance profiles from folders of kinkbench run logs.",
    )
    parser.add_argument("logdir", nargs="+", help="folders searched for *.jsonl run logs")
    parser.add_argument("-o", "--out", required=True, help="path prefix: writes OUT-data.png, OUT-performance.png, ...")
    parser.add_argument("--tau", type=float, nargs="+", default=list(TAUS), help="tolerances (default: 1e-1 1e-3 1e-5)")
    parser.add_argument("--format", nargs="+", default=["png", "svg"], choices=FORMATS, metavar="FORMAT",
                        help=f"file types (default: png svg; any of {', '.join(FORMATS)})")
    parser.add_argument("--own-sets", action="store_true",
                        help="count each solver over its own runs, not the runs all solvers share")
    parser.add_argument("--mixed-budgets", action="store_true", help="accept solvers run under different budgets")
    args = parser.parse_args(argv)
    problem = check_taus(args.tau)
    if problem:
        print(f"kinkbench.profiles: {problem}", file=sys.stderr)
        return 2
    try:
        runs = read_logs(args.logdir, mixed_budgets=args.mixed_budgets)
    except LogError as error:
        print(f"kinkbench.profiles: {error}", file=sys.stderr)
        return 2
    try:
        written = draw(runs, args.out, args.tau, args.format, own_sets=args.own_sets)
    except LogError as error:
        print(f"kinkbench.profiles: {error}", file=sys.stderr)
        return 2
    except (OSError, ValueError) as error:
        print(f"kinkbench.profiles: cannot write the pictures: {error}", file=sys.stderr)
        return 1
    print(summary(runs, args.tau, args.own_sets))
    for path in written:
        print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
