"""The report: its tables worked out by hand, its pictures checked by what they show, and
what the page says of mixed sets, partial runs, duplicates and a reference folder.

The campaign below (f* = 0, f0 = 8 everywhere, budget 10):
  nonsmooth 1, n = 2, starts 0 and 1:  A  [8, 4, 0.5] and [8, 8, 8, 8]
                                       B  [8, 0.7]    and [8, 0.05]
  nonsmooth 2, n = 5, start 0:         A  [8, 0.001]            B  [8, 2, 1, 0.6]
tau = 0.1 (target 0.8): A solves (1, s0) at 3, not (1, s1) (4 spent), (2) at 2;
                        B solves (1, s0) at 2, (1, s1) at 2, (2) at 4 (0.6).
  ERT on problem 1: A (3 + 4) / 1 = 7, B (2 + 2) / 2 = 2; on problem 2: A 2, B 4.
tau = 0.01 (target 0.08): A solves only (2) at 2; B only (1, s1) at 2.
  ERT on problem 1: A inf, B (2 spent by s0 + 2) / 1 = 4; on problem 2: A 2, B inf.
"""

import csv
import json
import math
import re
import sys

import pytest

import fake_logs
from kinkbench import logs, report

pytest.importorskip("matplotlib")

RUNS = {
    ("A", 1, 0): [8, 4, 0.5], ("A", 1, 1): [8, 8, 8, 8], ("A", 2, 0): [8, 0.001],
    ("B", 1, 0): [8, 0.7], ("B", 1, 1): [8, 0.05], ("B", 2, 0): [8, 2, 1, 0.6],
}


def campaign(folder, runs=RUNS, budget=10, **more):
    for (solver, problem, start), values in runs.items():
        fake_logs.write(folder, solver, "nonsmooth", problem, 2 if problem == 1 else 5, start, f0=8.0, fstar=0.0,
                        values=[float(v) for v in values], budget=budget, **more)
    return folder


@pytest.fixture(scope="module")
def built(tmp_path_factory):
    root = tmp_path_factory.mktemp("report")
    folder = campaign(root / "logs", stationarity={"1e-06": 0.5, "0.001": 0.25})
    return report.build(folder, root / "out", taus=(0.1, 0.01)), root


def test_the_tables_hold_gaps_successes_and_ert(built):
    result, root = built
    with open(root / "out" / "tables.csv", newline="") as handle:
        table = list(csv.DictReader(handle))
    got = {(r["problem"], r["solver"]): (r["runs"], r["median gap"], r["solved 0.1"], r["ERT 0.1"], r["solved 0.01"],
                                         r["ERT 0.01"]) for r in table}
    assert got == {
        ("1", "A"): ("2", "4.25", "1/2", "7.0", "0/2", "inf"),
        ("1", "B"): ("2", "0.375", "2/2", "2.0", "1/2", "4.0"),
        ("2", "A"): ("1", "0.001", "1/1", "2.0", "1/1", "2.0"),
        ("2", "B"): ("1", "0.6", "1/1", "4.0", "0/1", "inf"),
    }
    assert [r["stationarity 0.001"] for r in table] == ["0.25"] * 4  # beside the gap, smallest eps first
    assert list(table[0])[:10] == ["collection", "problem", "n", "solver", "runs", "median gap", "best gap",
                                   "worst gap", "stationarity 1e-06", "stationarity 0.001"]
    md = (root / "out" / "tables.md").read_text().splitlines()
    assert len(md) == 6 and md[2].startswith("| nonsmooth | 1 | 2 | A | 2 | 4.25 | 0.5 | 8 | 0.5 | 0.25 | 1/2 | 7 |")
    tex = (root / "out" / "tables.tex").read_text()
    # one column per CSV column: the four that name the case left, the measured ones right
    columns = re.match(r"\\begin\{tabular\}\{([lr]+)\}\n", tex).group(1)
    assert columns == "".join("l" if name in ("collection", "problem", "n", "solver") else "r" for name in table[0])
    assert "nonsmooth & 2 & 5 & B & 1 & 0.6 & 0.6 & 0.6 & 0.5 & 0.25 & 1/1 & 4 & 0/1 & $\\infty$ \\\\" in tex


def test_the_runs_read_are_listed_with_their_best_value(built):
    result, root = built
    with open(root / "out" / "runs.csv", newline="") as handle:
        table = {(r["solver"], r["problem"], r["start"]): r for r in csv.DictReader(handle)}
    assert len(table) == 6 and table[("A", "1", "0")]["best"] == "0.5" and table[("B", "2", "0")]["best"] == "0.6"
    assert table[("A", "1", "1")]["evaluations"] == "4" and table[("A", "1", "1")]["outcome"] == "converged"


def test_the_command_needs_an_output_folder(tmp_path, capsys):
    with pytest.raises(SystemExit) as stopped:
        report.main([str(campaign(tmp_path / "logs"))])
    assert stopped.value.code == 2 and "-o/--out" in capsys.readouterr().err


def test_the_page_shows_every_section_and_links_its_files(built):
    result, root = built
    page = result.index.read_text()
    for anchor in ("profiles", "tables", "convergence", "provenance"):
        assert f'<h2 id="{anchor}">' in page
    for name in ("nonsmooth-data", "nonsmooth-data-n1", "nonsmooth-performance", "nonsmooth-ecdf",
                 "nonsmooth-01-n2", "nonsmooth-02-n5"):
        assert f'src="img/{name}.png"' in page and (root / "out" / "img" / f"{name}.svg").exists()
    # the catalogue's facts (data/metadata.json) now say each problem's convexity
    assert re.search(r'data-collection="nonsmooth" data-n="5" data-form="f" '
                     r'data-convexity="(non)?convex" data-solver="B"', page)
    convexity = report.convexity_of()[("nonsmooth", 2)]  # of problem 2, not of "problem" n = 5
    assert (f'<figure data-collection="nonsmooth" data-n="5" data-form="f" data-convexity="{convexity}">'
            '<img src="img/nonsmooth-02-n5.png"') in page  # so the convexity filter reaches it
    # each problem's plot is of its own runs
    assert "<figcaption>nonsmooth 1, n = 2, 2 starts, f* = 0 (" in page
    assert "<figcaption>nonsmooth 2, n = 5, 1 start, f* = 0 (" in page
    assert '<input type="checkbox" name="solver" value="A" checked>' in page
    assert 'name="convexity"' in page  # the catalogue says it
    assert "2026-12-09T03:00:00+00:00 to 2026-12-09T03:00:00+00:00" in page
    assert 'class="problems"' not in page and 'class="note"' not in page


def test_the_profiles_drawn_are_the_ones_worked_out_by_hand(built):
    result, root = built
    data = json.loads((root / "out" / "img" / "nonsmooth-data.json").read_text())
    # tau = 0.1: A's runs solve at 3, never, 2; B's at 2, 2, 4; the budget is 10.
    assert data["0.1"] == {"A": {"x": [1, 2, 3, 10], "y": [0, 1 / 3, 2 / 3, 2 / 3]},
                           "B": {"x": [1, 2, 2, 4, 10], "y": [0, 1 / 3, 2 / 3, 1, 1]}}
    per_n1 = json.loads((root / "out" / "img" / "nonsmooth-data-n1.json").read_text())["0.1"]["A"]
    assert per_n1["x"][1:3] == [2 / 6, 3 / 3]  # problem 2 has n = 5, problem 1 n = 2
    ratios = json.loads((root / "out" / "img" / "nonsmooth-performance.json").read_text())["0.1"]
    # Fewest per case: (1, s0) 2, (1, s1) 2, (2) 2: A's ratios 1.5 and 1, B's 1, 1 and 2.
    assert ratios["A"]["x"][:3] == [1, 1, 1.5] and ratios["B"]["x"][:4] == [1, 1, 1, 2]


def test_a_convergence_plot_draws_the_median_and_the_band_of_the_starts(tmp_path):
    runs = logs.read_table(campaign(tmp_path)).runs
    mine = [r for r in runs if r.problem == 1]
    fig = report.convergence(mine, 0.0, "nonsmooth 1")
    ax = fig.axes[0]
    lines = {line.get_gid(): list(line.get_ydata()) for line in ax.get_lines()}
    # A: best so far [8, 4, 0.5, 0.5] and [8, 8, 8, 8]; median (8, 6, 4.25, 4.25).
    assert lines["median A"] == [8.0, 6.0, 4.25, 4.25]
    assert lines["median B"] == [8.0, 0.375, 0.375, 0.375]
    (band_a, band_b) = ax.collections
    low, high = band_a.get_paths()[0].vertices[:, 1].min(), band_a.get_paths()[0].vertices[:, 1].max()
    assert (low, high) == (0.5, 8.0)
    assert ax.get_xscale() == ax.get_yscale() == "log" and ax.get_xlabel() == "evaluations"
    assert [t.get_text() for t in ax.get_legend().get_texts()] == ["A (2 runs)", "B (2 runs)"]
    assert all(band.get_linewidth() == 0 for band in ax.collections)  # no edge to hide the median under
    assert any(line.get_visible() for line in ax.get_xgridlines() + ax.get_ygridlines())
    # one run has no range to draw
    alone = report.convergence([r for r in mine if r.solver == "A" and r.start == 0], 0.0, "nonsmooth 1").axes[0]
    assert not alone.collections and len(alone.get_lines()) == 1
    # the gap is to f*: with f* = -1 every median is one more
    shifted = report.convergence(mine, -1.0, "nonsmooth 1").axes[0]
    assert {line.get_gid(): list(line.get_ydata()) for line in shifted.get_lines()}["median A"] == [9.0, 7.0, 5.25, 5.25]


@pytest.mark.parametrize("values, middle", [([3.0], 3.0), ([4.0, 1.0], 2.5), ([9.0, 1.0, 5.0], 5.0),
                                            ([8.0, 1.0, 2.0, 4.0], 3.0), ([5.0, 1.0, 4.0, 2.0, 3.0], 3.0),
                                            ([], None)])
def test_median(values, middle):
    got = report.median(values)
    assert got == middle if middle is not None else got != got


def test_a_solver_name_cannot_break_out_of_the_page(tmp_path):
    name = 'A" onmouseover="x()" <b>'
    fake_logs.write(tmp_path / "logs", name, "nonsmooth", 1, 2, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    page = report.build(tmp_path / "logs", tmp_path / "out", taus=(0.1,)).index.read_text()
    assert '"x()"' not in page and "<b>" not in page
    assert 'value="A&quot; onmouseover=&quot;x()&quot; &lt;b&gt;"' in page


def test_the_ecdf_counts_run_target_pairs(built):
    result, root = built
    runs = result.compared
    group = report.profiles.groups(runs)[0]
    fig = report.ecdf_figure(group, (0.1, 0.01), report.profiles.reference_values(runs))
    a = next(line for line in fig.axes[0].get_lines() if line.get_gid() == "ecdf nonsmooth A")
    # A's 6 (run, tau) pairs: reached at 3, 2 (tau 0.1) and 2 (tau 0.01); the rest never.
    assert list(a.get_xdata()) == [1, 2, 2, 3, 10] and list(a.get_ydata()) == [0, 1 / 6, 2 / 6, 3 / 6, 3 / 6]
    assert len(fig.axes) == 2 and [ax.get_ylabel() for ax in fig.axes] == ["fraction of (run, target) pairs reached", ""]
    assert all(ax.get_ylim()[0] < 0 and ax.get_ylim()[1] > 1 for ax in fig.axes)  # 0 and 1 drawn inside
    # per n + 1, from the smallest 1 / (n + 1) (n = 5) to the largest budget / (n + 1) (n = 2)
    scaled = next(line for line in fig.axes[1].get_lines() if line.get_gid() == "ecdf nonsmooth A")
    assert list(scaled.get_xdata()) == [1 / 6, 2 / 6, 2 / 6, 3 / 3, 10 / 3]
    assert fig.axes[0].get_shared_y_axes().joined(fig.axes[0], fig.axes[1])  # one fraction axis for both
    assert fig._suptitle.get_text().endswith("$\\tau = 10^{-1} \\ldots 10^{-2}$")
    other = report.ecdf_figure(group, (0.1, 0.05), report.profiles.reference_values(runs))
    assert other._suptitle.get_text().endswith(", 2 values of $\\tau$")
    whole = report.ecdf_figure(group, report.ECDF_TAUS, report.profiles.reference_values(runs))
    assert whole._suptitle.get_text().endswith("$\\tau = 10^{-1} \\ldots 10^{-7}$")  # as --help says


def test_the_ecdf_of_a_budget_of_one_ends_at_one(tmp_path):
    runs = logs.read_table(campaign(tmp_path / "logs", {("A", 1, 0): [8], ("A", 1, 1): [0.5]}, budget=1)).runs
    fig = report.ecdf_figure(report.profiles.groups(runs)[0], (0.1,), report.profiles.reference_values(runs))
    assert list(fig.axes[0].get_lines()[0].get_xdata()) == [1, 1, 1]


def test_mixed_sets_are_compared_on_the_common_cases_with_a_note(tmp_path):
    runs = dict(RUNS)
    del runs[("B", 1, 1)]
    result = report.build(campaign(tmp_path / "logs", runs), tmp_path / "out", taus=(0.1,))
    page = result.index.read_text()
    assert ("The solvers ran different sets in nonsmooth: the pictures and tables compare only the 2 (problem, n, "
            "start) cases all of A, B finished; runs left out: A 1.") in page
    assert "missing run: B on nonsmooth 1 n=2 start 1" in page
    assert sorted((r.solver, r.problem, r.start) for r in result.compared) == [
        ("A", 1, 0), ("A", 2, 0), ("B", 1, 0), ("B", 2, 0)]


def test_partial_and_duplicate_runs_are_named_on_the_page(tmp_path, capsys):
    folder = campaign(tmp_path / "logs")
    partial = fake_logs.write(folder, "A", "nonsmooth", 3, 2, f0=8.0, fstar=0.0, values=[8.0], budget=10,
                              outcome=None, partial=True)
    copy = fake_logs.write(folder, "B", "nonsmooth", 2, 5, f0=8.0, fstar=0.0, values=[8.0], budget=10,
                           name="again.jsonl")
    assert report.main([str(folder), "-o", str(tmp_path / "out")]) == 2
    assert "duplicate run B on nonsmooth 2 n=5 start 0" in capsys.readouterr().err
    assert report.main([str(folder), "-o", str(tmp_path / "out"), "--allow-duplicates"]) == 0
    page = (tmp_path / "out" / "index.html").read_text()
    assert f"unfinished (a .partial file): {partial}" in page and str(copy) in page
    assert "missing run: B on nonsmooth 2 n=5 start 0" in page  # neither copy is drawn
    assert "more.</p>" not in page  # every problem found is listed


def test_a_reference_folder_is_drawn_beside_and_marked(tmp_path):
    mine = {k: v for k, v in RUNS.items() if k[0] == "A"}
    theirs = {k: v for k, v in RUNS.items() if k[0] == "B"}
    result = report.build(campaign(tmp_path / "mine", mine), tmp_path / "out", taus=(0.1,),
                          reference=[campaign(tmp_path / "reference", theirs)])
    page = result.index.read_text()
    assert "Reference solvers (from the reference folders): B." in page and "<td>B (reference)</td>" in page
    assert {r.solver for r in result.compared} == {"A", "B"}


def test_filters_choose_the_runs_and_convexity_appears_when_the_catalogue_has_it(tmp_path, monkeypatch):
    folder = campaign(tmp_path / "logs")
    result = report.build(folder, tmp_path / "out", taus=(0.1,), n_min=3)
    assert {r.problem for r in result.compared} == {2}
    # the bounds are inclusive: n = 2 and n = 5 are the campaign's
    assert {r.problem for r in report.build(folder, tmp_path / "o5", taus=(0.1,), n_min=5).compared} == {2}
    assert {r.problem for r in report.build(folder, tmp_path / "o2", taus=(0.1,), n_max=2).compared} == {1}
    monkeypatch.setattr(report, "convexity_of", lambda: {("nonsmooth", 1): "convex", ("nonsmooth", 2): "nonconvex"})
    result = report.build(folder, tmp_path / "out2", taus=(0.1,), convexity=["convex"])
    assert {r.problem for r in result.compared} == {1}
    page = result.index.read_text()
    assert '<select name="convexity"><option value="">any</option><option value="convex">' in page
    assert 'data-collection="nonsmooth" data-n="2" data-form="f" data-convexity="convex" data-solver="A"' in page
    with pytest.raises(logs.LogError, match="no finished run is left after the filters"):
        report.build(folder, tmp_path / "out3", solvers=["C"])


def test_the_command_says_what_it_wrote_and_refuses_tau_1(tmp_path, capsys, monkeypatch):
    folder = campaign(tmp_path / "logs")
    assert report.main([str(folder), "-o", str(tmp_path / "out"), "--tau", "1"]) == 2
    assert capsys.readouterr().err == "kinkbench.report: every tau must lie in (0, 1), got 1\n"
    assert not (tmp_path / "out").exists()
    assert report.main([str(folder), "-o", str(tmp_path / "out"), "--tau", "0.1"]) == 0
    out = capsys.readouterr().out.splitlines()
    assert out[0] == "6 runs compared of 6 read; 0 problems found in the folders"
    assert out[-1].startswith(f"wrote {tmp_path / 'out' / 'index.html'} and ")
    # the page says how it was made: this call's arguments, not the test runner's
    page = (tmp_path / "out" / "index.html").read_text()
    assert f"<td>python3 -m kinkbench.report {folder} -o {tmp_path / 'out'} --tau 0.1</td>" in page
    # run as a program, its own command line
    monkeypatch.setattr(sys, "argv", ["report.py", str(folder), "-o", str(tmp_path / "o2"), "--tau", "0.2"])
    assert report.main() == 0
    page = (tmp_path / "o2" / "index.html").read_text()
    assert f"<td>python3 -m kinkbench.report {folder} -o {tmp_path / 'o2'} --tau 0.2</td>" in page


def test_the_provenance_gives_runs_of_starts_as_ranges(tmp_path):
    for start in (0, 1, 2, 3):
        fake_logs.write(tmp_path / "logs", "A", "nonsmooth", 1, 2, start, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    for start in (0, 1, 3):
        fake_logs.write(tmp_path / "logs", "B", "nonsmooth", 1, 2, start, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    for start in (0, 1, 2):
        fake_logs.write(tmp_path / "logs", "C", "nonsmooth", 1, 2, start, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    page = report.build(tmp_path / "logs", tmp_path / "out", taus=(0.1,), own_sets=True).index.read_text()
    assert "<td>A</td><td>4</td><td>1</td><td>0..3</td>" in page
    assert "<td>B</td><td>3</td><td>1</td><td>0, 1, 3</td>" in page
    assert "<td>C</td><td>3</td><td>1</td><td>0..2</td>" in page


def test_build_is_strict_unless_told(tmp_path):
    solver_b = {k: v for k, v in RUNS.items() if k[0] == "B"}
    folder = campaign(tmp_path / "mixed", {k: v for k, v in RUNS.items() if k[0] == "A"})
    for (solver, problem, start), values in solver_b.items():
        fake_logs.write(folder, solver, "nonsmooth", problem, 2 if problem == 1 else 5, start, f0=8.0, fstar=0.0,
                        values=[float(v) for v in values], budget=20)
    with pytest.raises(logs.LogError, match="budget"):
        report.build(folder, tmp_path / "out", taus=(0.1,))
    assert len(report.build(folder, tmp_path / "out", taus=(0.1,), mixed_budgets=True).compared) == 6
    twice = campaign(tmp_path / "twice")
    fake_logs.write(twice, "B", "nonsmooth", 2, 5, f0=8.0, fstar=0.0, values=[8.0], budget=10, name="again.jsonl")
    with pytest.raises(logs.LogError, match="duplicate run B"):
        report.build(twice, tmp_path / "out2", taus=(0.1,))


def test_a_report_is_rebuilt_over_its_folder(tmp_path):
    folder = campaign(tmp_path / "logs")
    report.build(folder, tmp_path / "out", taus=(0.1,))
    fake_logs.write(folder, "C", "nonsmooth", 1, 2, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    page = report.build(folder, tmp_path / "out", taus=(0.1,), own_sets=True).index.read_text()
    assert 'value="C" checked' in page


def test_the_command_fails_when_it_cannot_write(tmp_path, capsys):
    folder = campaign(tmp_path / "logs")
    (tmp_path / "file").write_text("")
    assert report.main([str(folder), "-o", str(tmp_path / "file" / "out")]) == 1
    assert capsys.readouterr().err.startswith("kinkbench.report: cannot write the report: ")


def test_gaps_are_to_f_star_and_the_latex_escapes_every_special_character(tmp_path):
    (run,) = logs.read_table(campaign(tmp_path, {("A", 1, 0): [8, 4, 0.5]})).runs
    assert report.final_gap(run, 0.25) == 0.25 and report.final_gap(run, -1.0) == 1.5
    tex = report.latex(["a_b", "c&d", "e%", "f#", "g"], [["x\\y", "$1", "{z}", "A", math.inf]])
    assert tex.splitlines()[2:5] == ["a\\_b & c\\&d & e\\% & f\\# & g \\\\", "\\hline",
                                     "x\\textbackslash{}y & \\$1 & \\{z\\} & A & $\\infty$ \\\\"]


def test_the_runs_read_give_their_seed_and_f_star(tmp_path):
    fake_logs.write(tmp_path / "logs", "A", "nonsmooth", 1, 2, 0, 7, f0=8.0, fstar=0.0, values=[8.0, 1.0], budget=10)
    fake_logs.write(tmp_path / "logs", "B", "nonsmooth", 2, 2, 0, f0=8.0, fstar=None, values=[8.0, 2.0], budget=10)
    report.build(tmp_path / "logs", tmp_path / "out", taus=(0.1,), own_sets=True)
    with open(tmp_path / "out" / "runs.csv", newline="") as handle:
        rows = {r["solver"]: (r["seed"], r["fstar"], r["best"]) for r in csv.DictReader(handle)}
    assert rows == {"A": ("7", "0.0", "1.0"), "B": ("", "", "2.0")}


def test_the_provenance_lists_seeds_options_and_short_runs_of_starts(tmp_path):
    options = ({"b": 2, "a": 1}, {"a": 1, "b": 2})
    for start, seed in ((0, None), (1, 0)):
        fake_logs.write(tmp_path / "logs", "A", "nonsmooth", 1, 2, start, seed, f0=8.0, fstar=0.0, values=[8.0, 1.0],
                        budget=10, solver_options=options[start])
    page = report.build(tmp_path / "logs", tmp_path / "out", taus=(0.1,)).index.read_text()
    # two starts are listed, not a range; one set of options however its keys were ordered
    assert "<td>A</td><td>2</td><td>1</td><td>0, 1</td><td>None, 0</td><td>10</td>" in page
    assert "<td>{&quot;a&quot;: 1, &quot;b&quot;: 2}</td>" in page


def test_a_page_lists_the_first_200_problems_found_and_counts_the_rest(tmp_path):
    folder = campaign(tmp_path / "logs")
    for start in range(202):
        fake_logs.write(folder, "A", "nonsmooth", 3, 2, start, f0=8.0, fstar=0.0, values=[8.0], budget=10,
                        outcome=None, partial=True)
    page = report.build(folder, tmp_path / "out", taus=(0.1,)).index.read_text()
    found = page[page.index('id="found"'):]
    assert "(202 problems, 0 warnings)" in found and found.count("<li>") == 200 and "<p>and 2 more.</p>" in found


def test_a_page_lists_the_first_50_warnings(tmp_path):
    folder = campaign(tmp_path / "logs")
    for start in range(52):  # a header alone: unfinished, and a warning each
        fake_logs.write(folder, "A", "nonsmooth", 3, 2, start, f0=8.0, fstar=0.0, values=[], budget=10, outcome=None)
    page = report.build(folder, tmp_path / "out", taus=(0.1,)).index.read_text()
    found = page[page.index('id="found"'):]
    assert "(52 problems, 52 warnings)" in found and found.count("a header only") == 50
