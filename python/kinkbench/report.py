"""A campaign's report: one static HTML page from folders of run logs.

    python3 -m kinkbench.report LOGDIR... -o OUT [--reference DIR...] [--tau 1e-1 1e-3 1e-5]

writes OUT/index.html with its pictures (OUT/img, PNG shown, SVG beside), and the tables
as OUT/tables.md, OUT/tables.tex and OUT/tables.csv, and the runs read as OUT/runs.csv.
From Python: kinkbench.report.build(folders, out, ...), which returns what it wrote.

What the page holds: what is wrong with the folders (duplicates, conflicts, unfinished,
interrupted and missing runs, each with its files); data profiles in evaluations and in
units of n + 1; performance profiles; ECDFs of the runs reaching the targets
f* + tau (f(x0) - f*) over a range of tau; the final gap, successes and expected running
time (ERT) per problem and solver, with the final stationarity where the logs carry it;
one convergence plot per problem (the median over starts as a line, the range as a band);
the manifest and the provenance (versions, dates, seeds). Each collection is drawn apart,
on the cases all its solvers finished (see kinkbench.profiles); a note says what was left
out. The filters at the top narrow the tables and the plots by collection, solver, n,
form and convexity; the same filters on the command line choose the runs drawn.

ERT at tau: the evaluations spent by all runs on a problem (up to the target where they
reach it, all of them where not) divided by the number that reached it; inf if none did.
"""

from __future__ import annotations

import argparse
import csv
import datetime
import html
import io
import json
import math
import pathlib
import sys
from typing import Optional, Sequence

from . import profiles
from .logs import LogError, Run, check, read_table

ECDF_TAUS = tuple(10.0**-k for k in range(1, 8))
GAP_FLOOR = 1e-12


# ------------------------------------------------------------------ the numbers


def ert(runs: Sequence[Run], tau: float, fstar: dict) -> tuple[int, float]:
    """(successes, expected running time) of runs on one problem at tau."""
    spent, solved = 0.0, 0
    for run in runs:
        t = profiles.solved_at(run, tau, fstar[run.problem_key])
        if math.isfinite(t):
            solved += 1
            spent += t
        else:
            spent += run.used
    return solved, (spent / solved if solved else math.inf)


def final_gap(run: Run, fstar: float) -> float:
    finite = [v for v in run.values if not math.isnan(v)]
    return (min(finite) if finite else math.inf) - fstar


def median(values: Sequence[float]) -> float:
    ordered = sorted(values)
    if not ordered:
        return math.nan
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def rows(runs: Sequence[Run], taus: Sequence[float], fstar: dict) -> tuple[list[str], list[list]]:
    """The per-problem, per-solver table: column names and rows of plain values."""
    epsilons = sorted({e for r in runs for e in r.stationarity}, key=float)
    names = ["collection", "problem", "n", "solver", "runs", "median gap", "best gap", "worst gap"]
    names += [f"stationarity {e}" for e in epsilons]
    for tau in taus:
        names += [f"solved {tau:g}", f"ERT {tau:g}"]
    grouped: dict = {}
    for run in runs:
        grouped.setdefault((run.problem_key, run.solver), []).append(run)
    out = []
    for (key, solver), mine in sorted(grouped.items()):
        gaps = [final_gap(r, fstar[key]) for r in mine]
        row = [key[0], key[1], key[2], solver, len(mine), median(gaps), min(gaps), max(gaps)]
        for e in epsilons:
            row.append(median([r.stationarity[e] for r in mine if e in r.stationarity]))
        for tau in taus:
            solved, expected = ert(mine, tau, fstar)
            row += [f"{solved}/{len(mine)}", expected]
        out.append(row)
    return names, out


def cell(value) -> str:
    if isinstance(value, float):
        if math.isnan(value):
            return "-"
        if math.isinf(value):
            return "inf" if value > 0 else "-inf"
        return f"{value:.3g}"
    return str(value)


def markdown(names, table) -> str:
    lines = ["| " + " | ".join(names) + " |", "|" + "---|" * len(names)]
    lines += ["| " + " | ".join(cell(v) for v in row) + " |" for row in table]
    return "\n".join(lines) + "\n"


def latex(names, table) -> str:
    def tex(text: str) -> str:
        for a, b in (("\\", "\\textbackslash{}"), ("&", "\\&"), ("%", "\\%"), ("_", "\\_"), ("#", "\\#"),
                     ("$", "\\$"), ("{", "\\{"), ("}", "\\}")):
            text = text.replace(a, b) if a != "\\" else text.replace(a, "\0")
        return text.replace("\0", "\\textbackslash{}")

    def number(value) -> str:
        text = cell(value)
        return "$\\infty$" if text == "inf" else tex(text)

    lines = ["\\begin{tabular}{" + "l" * 4 + "r" * (len(names) - 4) + "}", "\\hline",
             " & ".join(tex(n) for n in names) + " \\\\", "\\hline"]
    lines += [" & ".join(number(v) for v in row) + " \\\\" for row in table]
    lines += ["\\hline", "\\end{tabular}"]
    return "\n".join(lines) + "\n"


def csv_text(names, table) -> str:
    buffer = io.StringIO()
    writer = csv.writer(buffer, lineterminator="\n")
    writer.writerow(names)
    for row in table:
        writer.writerow([repr(v) if isinstance(v, float) and math.isfinite(v) else cell(v) if isinstance(v, float)
                         else v for v in row])
    return buffer.getvalue()


# ------------------------------------------------------------------ choosing runs


def convexity_of() -> dict:
    """(collection, number) -> "convex" / "nonconvex" where the catalogue says, else {}."""
    try:
        from .catalogue import problems
        table = problems()
    except Exception:  # the compiled core is missing: no catalogue facts
        return {}
    out = {}
    for row in table:
        value = getattr(row, "convexity", getattr(row, "convex", None))
        if isinstance(value, bool):
            value = "convex" if value else "nonconvex"
        if value is not None:
            out[(row.collection, row.number)] = str(value)
    return out


def select(runs, *, collections=None, solvers=None, n_min=None, n_max=None, forms=None, convexity=None,
           convex_of=None):
    convex_of = convex_of if convex_of is not None else {}
    return [r for r in runs
            if (not collections or r.collection in collections)
            and (not solvers or r.solver in solvers)
            and (n_min is None or r.n >= n_min) and (n_max is None or r.n <= n_max)
            and (not forms or r.form in forms)
            and (not convexity or convex_of.get((r.collection, r.problem)) in convexity)]


# ------------------------------------------------------------------ the pictures


def convergence(runs: Sequence[Run], fstar: float, title: str):
    """Best value minus f* against evaluations: per solver the median over its runs, and
    the range as a band."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    fig, ax = plt.subplots(figsize=(5.4, 3.6))
    solvers = sorted({r.solver for r in runs})
    every = sorted({r.solver for r in runs})
    end = max([r.used for r in runs] + [1])
    grid = np.arange(1, end + 1)
    for solver in solvers:
        curves = []
        for run in (r for r in runs if r.solver == solver):
            values = np.array(run.values, dtype=float)
            best = np.fmin.accumulate(values) if values.size else values
            index = np.searchsorted(np.array(run.evals), grid, side="right") - 1
            curve = np.where(index >= 0, best[np.maximum(index, 0)] if best.size else np.inf, np.inf)
            curves.append(np.maximum(curve - fstar, GAP_FLOOR))
        stack = np.vstack(curves)
        colour = f"C{every.index(solver) % 10}"
        shown = np.isfinite(stack).all(axis=0)
        line = ax.step(grid, np.where(shown, np.median(stack, axis=0), np.nan), where="post", color=colour,
                       label=f"{solver} ({len(curves)} runs)")[0]
        line.set_gid(f"median {solver}")
        if len(curves) > 1:
            ax.fill_between(grid, np.where(shown, stack.min(axis=0), np.nan),
                            np.where(shown, stack.max(axis=0), np.nan), step="post", color=colour, alpha=0.18,
                            linewidth=0)
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("evaluations")
    ax.set_ylabel("best value $-$ $f^*$")
    ax.set_title(title, fontsize=10)
    ax.grid(True, alpha=0.3)
    ax.legend(fontsize=7, frameon=False)
    fig.tight_layout()
    return fig


def ecdf_figure(group: profiles.Group, taus: Sequence[float], fstar: dict):
    """Per solver, the fraction of (run, tau) pairs whose target is reached, against
    evaluations and against evaluations / (n + 1)."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(1, 2, figsize=(10, 4.4), sharey=True)
    solvers = sorted({r.solver for r in group.runs})
    budget = max([r.budget or 0 for r in group.runs] + [r.used for r in group.runs] + [1])
    for i, solver in enumerate(solvers):
        mine = [r for r in group.runs if r.solver == solver]
        times = [(profiles.solved_at(r, tau, fstar[r.problem_key]), r.n) for r in mine for tau in taus]
        for ax, scaled in zip(axes, (False, True)):
            points = [t / (n + 1) if scaled else t for t, n in times]
            low = min(1 / (r.n + 1) for r in group.runs) if scaled else 1
            high = max(budget / (r.n + 1) for r in group.runs) if scaled else budget
            xs, ys = profiles.steps(points, len(points), low, high)
            line = ax.step(xs, ys, where="post", color=f"C{i % 10}",
                           linestyle=profiles.STYLES[i % len(profiles.STYLES)], label=f"{solver} ({len(mine)} runs)")[0]
            line.set_gid(f"ecdf {group.title} {solver}")
    for ax, text in zip(axes, ("evaluations", "evaluations / (n + 1)")):
        ax.set_xscale("log")
        ax.set_xlabel(text)
        ax.grid(True, alpha=0.3)
        ax.set_ylim(-0.02, 1.02)
    axes[0].set_ylabel("fraction of (run, target) pairs reached")
    exponents = [round(-math.log10(t)) for t in taus]
    span = (f"$\\tau = 10^{{-{min(exponents)}}} \\ldots 10^{{-{max(exponents)}}}$"
            if all(t == 10.0**-e for t, e in zip(taus, exponents)) else f"{len(taus)} values of $\\tau$")
    fig.suptitle(f"{group.title}: targets $f^* + \\tau\\,(f(x_0) - f^*)$, {span}")
    axes[1].legend(fontsize=8, frameon=False, loc="upper left")
    fig.tight_layout()
    return fig


# ------------------------------------------------------------------ the page

STYLE = """
body { font-family: sans-serif; margin: 1.5em auto; max-width: 80em; color: #222; }
h1 { font-size: 1.6em; } h2 { border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }
.problems { background: #fff3f0; border: 1px solid #d33; padding: .5em 1em; }
.note { background: #fff9e0; border: 1px solid #cb3; padding: .5em 1em; }
figure { display: inline-block; margin: .5em; vertical-align: top; }
figure img { max-width: 100%; }
figcaption { font-size: .85em; color: #555; }
table { border-collapse: collapse; font-size: .85em; }
td, th { border: 1px solid #ccc; padding: .15em .5em; text-align: right; }
td:nth-child(-n+4), th { text-align: left; }
#filters { position: sticky; top: 0; background: #f4f6fa; padding: .5em 1em; border: 1px solid #ccd; z-index: 1; }
#filters label { margin-right: 1em; }
#filters input[type=number] { width: 4em; }
pre { background: #f6f6f6; padding: .5em; overflow-x: auto; font-size: .85em; }
"""

SCRIPT = """
function applyFilters() {
  var form = document.getElementById('filters');
  var pick = function (name) { var el = form.elements[name]; return el ? el.value : ''; };
  var collection = pick('collection'), shape = pick('form'), convexity = pick('convexity');
  var nMin = parseFloat(pick('nmin')), nMax = parseFloat(pick('nmax'));
  var solvers = {};
  form.querySelectorAll('input[name=solver]').forEach(function (box) { solvers[box.value] = box.checked; });
  var shown = 0;
  document.querySelectorAll('[data-collection]').forEach(function (el) {
    var d = el.dataset, ok = true;
    if (collection && d.collection !== collection) ok = false;
    if (d.solver !== undefined && !solvers[d.solver]) ok = false;
    if (d.n !== undefined && ((!isNaN(nMin) && +d.n < nMin) || (!isNaN(nMax) && +d.n > nMax))) ok = false;
    if (shape && d.form !== undefined && d.form !== shape) ok = false;
    if (convexity && d.convexity !== undefined && d.convexity !== convexity) ok = false;
    el.style.display = ok ? '' : 'none';
    if (ok) shown += 1;
  });
  document.getElementById('shown').textContent = shown + ' items shown';
}
['input', 'change'].forEach(function (kind) {
  document.getElementById('filters').addEventListener(kind, applyFilters);
});
applyFilters();
"""


def _e(text) -> str:
    return html.escape(str(text), quote=True)


class Report:
    """What build wrote."""

    def __init__(self, out: pathlib.Path, files: list, table, compared: list, notes: list):
        self.out, self.files, self.table, self.compared, self.notes = out, files, table, compared, notes

    @property
    def index(self) -> pathlib.Path:
        return self.out / "index.html"


def build(folders, out, *, reference: Sequence = (), taus: Sequence[float] = profiles.TAUS,
          ecdf_taus: Sequence[float] = ECDF_TAUS, own_sets: bool = False, mixed_budgets: bool = False,
          allow_duplicates: bool = False, collections=None, solvers=None, n_min=None, n_max=None, forms=None,
          convexity=None, command: Optional[str] = None) -> Report:
    """Read the folders (and the reference folders) strictly and write the report to out.
    LogError for malformed logs, conflicts, and duplicates unless allow_duplicates (then
    neither of a duplicated pair is drawn, and the page names them)."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.rcParams["svg.hashsalt"] = "kinkbench"
    problem = profiles.check_taus(list(taus) + list(ecdf_taus))
    if problem:
        raise ValueError(problem)
    folders = [pathlib.Path(f) for f in ([folders] if isinstance(folders, (str, pathlib.Path)) else folders)]
    reference = [pathlib.Path(f) for f in reference]
    out = pathlib.Path(out)
    for folder in folders + reference:
        if out.resolve() == folder.resolve() or folder.resolve() in out.resolve().parents:
            raise LogError(f"{out}: inside the log folder {folder}; the report never writes there")
    table = read_table(folders + reference, mixed_budgets=mixed_budgets)
    check(table, allow_duplicates=allow_duplicates)
    reference_solvers = sorted({r.solver for r in table.runs
                                if any(f.resolve() in r.path.resolve().parents for f in reference)})
    convex_of = convexity_of()
    chosen = select(table.runs, collections=collections, solvers=solvers, n_min=n_min, n_max=n_max, forms=forms,
                    convexity=convexity, convex_of=convex_of)
    if not chosen:
        raise LogError("no finished run is left after the filters")
    fstar = profiles.reference_values(chosen)
    group_list = profiles.groups(chosen, own_sets)
    compared = [r for g in group_list for r in g.runs]
    (out / "img").mkdir(parents=True, exist_ok=True)
    files: list[pathlib.Path] = []
    notes = []
    for group in group_list:
        if group.left_out:
            cases = len({r.instance for r in group.runs})
            what = ", ".join(f"{s} {k}" for s, k in sorted(group.left_out.items()))
            notes.append(f"The solvers ran different sets in {group.title}: the pictures and tables compare "
                         f"only the {cases} (problem, n, start) cases all of "
                         f"{', '.join(sorted({r.solver for r in group.runs}))} finished; runs left out: {what}.")
        if own_sets:
            notes.append(f"{group.title}: each solver is counted over its own runs (--own-sets), so the "
                         "curves of solvers run on different sets do not share a denominator.")
    if not compared:
        raise LogError("the solvers share no (problem, n, start) case in any collection; "
                       "draw each solver over its own runs with --own-sets")

    def picture(fig, name: str) -> str:
        files.extend(profiles.save(fig, out / "img" / name, ("png", "svg")))
        plt.close(fig)
        return f"img/{name}"

    sections = []
    # Profiles and ECDFs, one figure per collection.
    parts = []
    for group in group_list:
        if not group.runs:
            continue
        for kind, caption in (("data", "Data profiles, evaluations"),
                              ("data-n1", "Data profiles, evaluations in units of n + 1"),
                              ("performance", "Performance profiles")):
            fig = profiles.figure([group], kind, taus, fstar)
            src = picture(fig, f"{group.title}-{kind}")
            # The drawn curves as numbers, to check or redraw elsewhere.
            data = {f"{tau:g}": {s: {"x": xs, "y": ys} for s, (xs, ys) in profiles.curves(group, kind, tau, fstar)[0].items()}
                    for tau in taus}
            path = out / "img" / f"{group.title}-{kind}.json"
            path.write_text(json.dumps(data, allow_nan=False) + "\n", encoding="utf-8")
            files.append(path)
            parts.append(_figure(src, f"{caption}: {group.title}", {"collection": group.title}, data=True))
        src = picture(ecdf_figure(group, ecdf_taus, fstar), f"{group.title}-ecdf")
        parts.append(_figure(src, f"ECDF of targets reached: {group.title}", {"collection": group.title}))
    sections.append(("profiles", "Profiles and ECDFs", "".join(parts)))

    names, table_rows = rows(compared, taus, fstar)
    texts = {"md": markdown(names, table_rows), "tex": latex(names, table_rows), "csv": csv_text(names, table_rows)}
    for suffix, text in texts.items():
        path = out / f"tables.{suffix}"
        path.write_text(text, encoding="utf-8")
        files.append(path)
    forms_of = {r.problem_key: r.form for r in compared}
    head = "".join(f"<th>{_e(n)}</th>" for n in names)
    body = "".join(
        f"<tr{_attributes(row[0], row[2], forms_of.get((row[0], row[1], row[2])), convex_of.get((row[0], row[1])), row[3])}>"
        + "".join(f"<td>{_e(cell(v))}</td>" for v in row) + "</tr>\n" for row in table_rows)
    sections.append(("tables", "Final gaps, successes and ERT",
                     "<p>Per problem and solver over the runs compared; gap = best value reached "
                     "&minus; f*; solved k/N at each &tau;; ERT in evaluations. Also as "
                     '<a href="tables.md">Markdown</a>, <a href="tables.tex">LaTeX</a>, '
                     '<a href="tables.csv">CSV</a>; the runs read: <a href="runs.csv">runs.csv</a>.</p>'
                     f"<table><thead><tr>{head}</tr></thead><tbody>\n{body}</tbody></table>"))

    parts = []
    for key in sorted({r.problem_key for r in compared}):
        mine = [r for r in compared if r.problem_key == key]
        starts = len({r.start for r in mine})
        title = f"{key[0]} {key[1]}, n = {key[2]}, {starts} start{'s' if starts > 1 else ''}, f* = {fstar[key]:.6g}"
        src = picture(convergence(mine, fstar[key], title), f"{key[0]}-{key[1]:02d}-n{key[2]}")
        parts.append(_figure(src, title, {"collection": key[0], "n": key[2], "form": forms_of.get(key),
                                          "convexity": convex_of.get((key[0], key[1]))}))
    sections.append(("convergence", "Convergence per problem",
                     f"<p>Best value minus f* (drawn at {GAP_FLOOR:g} where at or below it) against "
                     "evaluations: the median over the runs as a line, from the lowest to the highest as a "
                     "band.</p>" + "".join(parts)))

    runs_csv = out / "runs.csv"
    with runs_csv.open("w", encoding="utf-8", newline="") as handle:
        writer = csv.writer(handle, lineterminator="\n")
        writer.writerow(["solver", "collection", "problem", "n", "start", "seed", "outcome", "evaluations",
                         "f0", "fstar", "best", "file"])
        for r in table.runs:
            finite = [v for v in r.values if not math.isnan(v)]
            writer.writerow([r.solver, r.collection, r.problem, r.n, r.start, "" if r.seed is None else r.seed,
                             r.outcome, r.used, repr(r.f0), "" if r.fstar is None else repr(r.fstar),
                             repr(min(finite)) if finite else "", str(r.path)])
    files.append(runs_csv)
    sections.append(("provenance", "Manifest and provenance", _provenance(table, reference_solvers, command)))

    page = _page(table, notes, sections, compared, convex_of, reference_solvers)
    (out / "index.html").write_text(page, encoding="utf-8")
    files.append(out / "index.html")
    return Report(out, files, table, compared, notes)


def _attributes(collection, n, form, convexity, solver=None) -> str:
    values = {"collection": collection, "n": n, "form": form, "convexity": convexity, "solver": solver}
    return "".join(f' data-{k}="{_e(v)}"' for k, v in values.items() if v is not None)


def _figure(src: str, caption: str, facts: dict, data: bool = False) -> str:
    attributes = _attributes(facts.get("collection"), facts.get("n"), facts.get("form"), facts.get("convexity"))
    numbers = f', <a href="{_e(src)}.json">curves as JSON</a>' if data else ""
    return (f'<figure{attributes}><img src="{_e(src)}.png" alt="{_e(caption)}">'
            f'<figcaption>{_e(caption)} (<a href="{_e(src)}.svg">SVG</a>{numbers})</figcaption></figure>\n')


def _provenance(table, reference_solvers, command) -> str:
    headers = [r.header for r in table.runs + table.unfinished + table.interrupted]
    parts = []
    if table.manifests:
        for path, manifest in table.manifests.items():
            parts.append(f"<h3>Manifest {_e(path)}</h3><pre>{_e(json.dumps(manifest, indent=2))}</pre>")
    else:
        parts.append("<p>No manifest file (manifest.json or campaign.json) in the folders; what the logs "
                     "say of the campaign:</p>")
    solvers = sorted({r.solver for r in table.runs})
    lines = ["<table><thead><tr><th>solver</th><th>runs</th><th>problems</th><th>starts</th><th>seeds</th>"
             "<th>budget</th><th>options</th><th>campaign</th></tr></thead><tbody>"]
    for solver in solvers:
        mine = [r for r in table.runs if r.solver == solver]
        seeds = sorted({r.seed for r in mine}, key=lambda s: -1 if s is None else s)
        options = sorted({json.dumps(r.header.get("solver_options", {}), sort_keys=True) for r in mine})
        mark = " (reference)" if solver in reference_solvers else ""
        lines.append(
            f"<tr><td>{_e(solver + mark)}</td><td>{len(mine)}</td><td>{len({r.problem_key for r in mine})}</td>"
            f"<td>{_e(_span(sorted({r.start for r in mine})))}</td><td>{_e(', '.join(map(str, seeds)))}</td>"
            f"<td>{_e(', '.join(sorted({str(r.budget) for r in mine})))}</td><td>{_e('; '.join(options))}</td>"
            f"<td>{_e(', '.join(sorted({str(r.header.get('campaign')) for r in mine})))}</td></tr>")
    lines.append("</tbody></table>")
    parts.append("".join(lines))
    facts = {}
    for name in ("log_format", "kinkbench_version", "python_version", "numpy_version", "scipy_version",
                 "start_seed", "start_scale", "record", "weights"):
        facts[name] = sorted({json.dumps(h.get(name)) for h in headers})
    dates = sorted(h.get("started") for h in headers if isinstance(h.get("started"), str))
    facts["started"] = [f"{dates[0]} to {dates[-1]}"] if dates else ["unknown"]
    import matplotlib

    try:
        from . import __version__ as version
    except ImportError:
        version = "unknown"
    built = datetime.datetime.now(datetime.timezone.utc).isoformat(timespec="seconds")
    facts["this report"] = [f"built {built} by kinkbench {version} with matplotlib {matplotlib.__version__}"]
    if command:
        facts["command"] = [command]
    facts["folders"] = table.folders
    parts.append("<table><tbody>" + "".join(
        f"<tr><th>{_e(k)}</th><td>{_e(', '.join(v))}</td></tr>" for k, v in facts.items()) + "</tbody></table>")
    return "".join(parts)


def _span(values: list) -> str:
    if values and values == list(range(values[0], values[-1] + 1)) and len(values) > 2:
        return f"{values[0]}..{values[-1]}"
    return ", ".join(map(str, values))


def _page(table, notes, sections, compared, convex_of, reference_solvers) -> str:
    solvers = sorted({r.solver for r in compared})
    collections = sorted({r.collection for r in compared})
    forms = sorted({r.form for r in compared if r.form})
    ns = sorted({r.n for r in compared})
    convexities = sorted({convex_of[(r.collection, r.problem)] for r in compared if (r.collection, r.problem) in convex_of})
    found = table.problems()
    shown = found[:200]
    problems_html = ""
    if found or table.warnings:
        items = "".join(f"<li>{_e(line)}</li>" for line in shown + table.warnings[:50])
        more = f"<p>and {len(found) - len(shown)} more.</p>" if len(found) > len(shown) else ""
        problems_html = (f'<div class="problems" id="found"><strong>Found in the folders ({len(found)} problems'
                         f", {len(table.warnings)} warnings); the runs named are not drawn:</strong><ul>{items}</ul>"
                         f"{more}</div>")
    notes_html = "".join(f'<p class="note">{_e(n)}</p>' for n in notes)

    def options(name, values, everything):
        return (f'<label>{name} <select name="{name}"><option value="">{everything}</option>'
                + "".join(f'<option value="{_e(v)}">{_e(v)}</option>' for v in values) + "</select></label>")

    filters = ['<form id="filters" onsubmit="return false">', options("collection", collections, "all")]
    filters += [" solvers: "] + [f'<label><input type="checkbox" name="solver" value="{_e(s)}" checked> {_e(s)}'
                                  f"</label>" for s in solvers]
    filters.append(f'<label>n from <input type="number" name="nmin" value="{ns[0]}" size="4" min="1"></label>'
                   f'<label>to <input type="number" name="nmax" value="{ns[-1]}" size="4" min="1"></label>')
    filters.append(options("form", forms, "any"))
    if convexities:
        filters.append(options("convexity", convexities, "any"))
    filters.append('<span id="shown"></span><br><small>These narrow the tables and the convergence plots (the '
                   'profiles only by collection); to draw the profiles from fewer runs, give the same filters '
                   'on the command line (--solver, --n-min, ...).</small></form>')
    toc = " &middot; ".join(f'<a href="#{anchor}">{_e(title)}</a>' for anchor, title, _ in sections)
    reference = (f"<p>Reference solvers (from the reference folders): {_e(', '.join(reference_solvers))}.</p>"
                 if reference_solvers else "")
    body = "".join(f'<h2 id="{anchor}">{_e(title)}</h2>\n{content}\n' for anchor, title, content in sections)
    counts = (f"{len(compared)} runs compared ({len(table.runs)} finished runs read) of {len(solvers)} solvers on "
              f"{len({r.problem_key for r in compared})} problems, "
              f"{len({r.start for r in compared})} starts")
    return (f"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>kinkbench report</title>"
            f"<link rel=\"icon\" href=\"data:,\"><style>{STYLE}</style></head><body>\n"
            f"<h1>kinkbench report</h1><p>{_e(counts)}. {toc}</p>{reference}{problems_html}{notes_html}\n"
            f"{''.join(filters)}\n{body}<script>{SCRIPT}</script></body></html>\n")


# ------------------------------------------------------------------ the command


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m kinkbench.report",
                                     description="Write one HTML report of a campaign from folders of run logs.")
    parser.add_argument("logdir", nargs="+", help="folders searched for run logs")
    parser.add_argument("-o", "--out", required=True, help="the report's folder (index.html and the rest)")
    parser.add_argument("--reference", nargs="+", default=[], metavar="DIR",
                        help="log folders of a reference campaign to draw beside yours")
    parser.add_argument("--tau", type=float, nargs="+", default=list(profiles.TAUS),
                        help="tolerances of the profiles and tables (default: 1e-1 1e-3 1e-5)")
    parser.add_argument("--ecdf-tau", type=float, nargs="+", default=list(ECDF_TAUS),
                        help="tolerances of the ECDFs (default: 1e-1 ... 1e-7)")
    parser.add_argument("--own-sets", action="store_true", help="count each solver over its own runs")
    parser.add_argument("--mixed-budgets", action="store_true", help="accept solvers run under different budgets")
    parser.add_argument("--allow-duplicates", action="store_true",
                        help="draw the rest when a run is found twice (neither copy is used; the page names them)")
    parser.add_argument("--collection", nargs="+", choices=("minimax", "nonsmooth"))
    parser.add_argument("--solver", nargs="+", help="only these solvers")
    parser.add_argument("--n-min", type=int)
    parser.add_argument("--n-max", type=int)
    parser.add_argument("--form", nargs="+", choices=("f", "max f_k", "max |f_k|"))
    parser.add_argument("--convexity", nargs="+", help="only problems the catalogue marks so")
    args = parser.parse_args(argv)
    problem = profiles.check_taus(args.tau + args.ecdf_tau)
    if problem:
        print(f"kinkbench.report: {problem}", file=sys.stderr)
        return 2
    command = "python3 -m kinkbench.report " + " ".join(sys.argv[1:] if argv is None else argv)
    try:
        report = build(args.logdir, args.out, reference=args.reference, taus=args.tau, ecdf_taus=args.ecdf_tau,
                       own_sets=args.own_sets, mixed_budgets=args.mixed_budgets,
                       allow_duplicates=args.allow_duplicates, collections=args.collection, solvers=args.solver,
                       n_min=args.n_min, n_max=args.n_max, forms=args.form, convexity=args.convexity,
                       command=command)
    except LogError as error:
        print(f"kinkbench.report: {error}", file=sys.stderr)
        return 2
    except OSError as error:
        print(f"kinkbench.report: cannot write the report: {error}", file=sys.stderr)
        return 1
    found = report.table.problems()
    print(f"{len(report.compared)} runs compared of {len(report.table.runs)} read; "
          f"{len(found)} problems found in the folders" + (f" (first: {found[0]})" if found else ""))
    for note in report.notes:
        print(f"note: {note}")
    print(f"wrote {report.index} and {len(report.files) - 1} more files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
