"""Profiles from a hand-made folder of logs whose answers are worked out below.

Three problems, two solvers A and B (values after f0 are the evaluations 1, 2, ...):
  P1: f0 = 10, f* = 0.        A: 10, 5, 0.5, 0.005    B: 10, 0.9
  P2: f0 = 1, f* = -1, local. A: 1, -2 (below f*)    B: 1, 0, -0.5, -0.9
  P3: f0 = 0, none stored,    A: 0, nan, -1          B: 0, -3
      so f* = -3, the lowest any run reached.
tau = 0.1 targets: P1 1, P2 -0.8, P3 -2.7  ->  A solves P1 at 3, P2 at 2;  B P1 at 2, P2 at 4, P3 at 2.
tau = 1e-3 targets: P1 0.01, P2 -0.998, P3 -2.997 -> A: P1 at 4, P2 at 2;  B: P3 at 2.
"""

import json
import math

import pytest

from kinkbench import profiles
from kinkbench.runlog import RunLog

INF = math.inf
PROBLEMS = {  # number: (f0, fstar, status)
    1: (10.0, 0.0, "certified"),
    2: (1.0, -1.0, "local"),
    3: (0.0, None, None),
}
RUNS = {
    "A": {1: [10, 5, 0.5, 0.005], 2: [1, -2], 3: [0, "nan", -1]},
    "B": {1: [10, 0.9], 2: [1, 0, -0.5, -0.9], 3: [0, -3]},
}


@pytest.fixture
def logdir(tmp_path):
    for solver, runs in RUNS.items():
        for number, values in runs.items():
            f0, fstar, status = PROBLEMS[number]
            header = {"log_format": 1, "solver": solver, "collection": "nonsmooth", "problem": number, "n": 2,
                      "form": "f", "f0": f0, "fstar": fstar, "fstar_status": status, "budget": 10}
            best, body = INF, []
            for i, v in enumerate(values, start=1):
                best = min(best, float(v)) if v != "nan" else best
                body.append({"eval": i, "f": v, "best": best})
            path = tmp_path / solver / f"p{number}.jsonl"
            path.parent.mkdir(exist_ok=True)
            lines = [header, *body, {"outcome": "converged", "evaluations": len(values)}]
            path.write_text("".join(json.dumps(r) + "\n" for r in lines))
    return tmp_path


def key(number):
    return ("nonsmooth", number, 2, 0, None)  # collection, problem, n, start, seed


def test_reference_values_take_the_stored_or_the_lowest_reached(logdir):
    assert profiles.reference_values(profiles.read_logs(logdir)) == {
        key(i)[:3]: v for i, v in ((1, 0.0), (2, -1.0), (3, -3.0))}


@pytest.mark.parametrize(
    "tau, expected",
    [
        (1e-1, {"A": {key(1): 3, key(2): 2, key(3): INF}, "B": {key(1): 2, key(2): 4, key(3): 2}}),
        (1e-3, {"A": {key(1): 4, key(2): 2, key(3): INF}, "B": {key(1): INF, key(2): INF, key(3): 2}}),
    ],
)
def test_evaluations_needed(logdir, tau, expected):
    assert profiles.solve_counts(profiles.read_logs(logdir), tau) == expected


@pytest.mark.parametrize(
    "solver, evaluations, fraction",
    [("A", 1, 0), ("A", 2, 1 / 3), ("A", 3, 2 / 3), ("A", 100, 2 / 3), ("B", 1, 0), ("B", 2, 2 / 3), ("B", 4, 1)],
)
def test_data_profile_points(logdir, solver, evaluations, fraction):
    table = profiles.solve_counts(profiles.read_logs(logdir), 1e-1)
    assert profiles.fraction_solved(table[solver], evaluations) == pytest.approx(fraction)


@pytest.mark.parametrize(
    "tau, expected",
    [
        (1e-1, {"A": {key(1): 1.5, key(2): 1.0, key(3): INF}, "B": {key(1): 1.0, key(2): 2.0, key(3): 1.0}}),
        (1e-3, {"A": {key(1): 1.0, key(2): 1.0, key(3): INF}, "B": {key(1): INF, key(2): INF, key(3): 1.0}}),
    ],
)
def test_performance_ratios(logdir, tau, expected):
    table = profiles.solve_counts(profiles.read_logs(logdir), tau)
    assert profiles.performance_ratios(table) == expected


def test_summary_counts_the_solved(logdir):
    text = profiles.summary(profiles.read_logs(logdir), (1e-1, 1e-3))
    rows = {line.split()[0]: line.split()[1:] for line in text.splitlines()[2:]}
    assert rows == {"A": ["2/3", "2", "2/3", "2"], "B": ["3/3", "2", "1/3", "2"]}


def test_a_run_log_reads_back(tmp_path):
    import kinkbench

    p = kinkbench.nonsmooth(1)
    with RunLog(p, "s", tmp_path, budget=3) as log:
        for i in range(5):
            log.fun(p.x0 * (1 - i / 4))
    run = profiles.read_logs(tmp_path)[0]
    assert (run.solver, run.key, run.f0, run.fstar, run.budget, run.outcome) == (
        "s", ("s", "nonsmooth", 1, 2, 0, None), p.value(p.x0), p.best_value, 3, "budget")
    assert run.evals == [1, 2, 3] and run.values == [p.value(p.x0 * (1 - i / 4)) for i in range(3)]


def test_the_command_draws_both_profiles(logdir, tmp_path, capsys):
    pytest.importorskip("matplotlib")
    out = tmp_path / "pictures" / "new" / "p"  # folders made as deep as asked
    assert profiles.main([str(logdir), "-o", str(out), "--tau", "0.1"]) == 0
    printed = capsys.readouterr().out
    for name in ("p-data.png", "p-data.svg", "p-performance.png", "p-performance.svg"):
        assert (out.parent / name).stat().st_size > 1000
        assert f"wrote {out.parent / name}" in printed
    assert (out.parent / "p-data.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


@pytest.mark.parametrize(
    "make, says",
    [
        (lambda d: None, "no run logs (*.jsonl) found"),
        (lambda d: (d / "x.jsonl").write_text('{"a": 1}\n'), "x.jsonl:1: not a run log header (no log_format)"),
    ],
)
def test_the_command_refuses_a_folder_without_logs(tmp_path, capsys, make, says):
    make(tmp_path)
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "p")]) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and says in err and err.startswith("kinkbench.profiles: ")


# ------------------------------------------------------- faults found in use and audits

import fake_logs  # noqa: E402


def runs_of(folder):
    return profiles.read_logs(folder)


def test_a_value_exactly_on_the_target_solves_and_nan_never_does(tmp_path):
    # tau = 0.5 on f0 = 4, f* = 0: the target is 2.0 exactly; NaN at 2 must not stop the
    # search for the first value that meets it.
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, float("nan"), 2.0, 1.0])
    fake_logs.write(tmp_path, "A", "nonsmooth", 2, 2, f0=4.0, fstar=0.0, values=[4.0, 2.0000000000000004])
    (one, two) = runs_of(tmp_path)
    assert profiles.solved_at(one, 0.5, 0.0) == 3
    assert profiles.solved_at(two, 0.5, 0.0) == math.inf
    # The lowest value reached, where no f* is stored, passes over the NaN too.
    fake_logs.write(tmp_path / "b", "A", "nonsmooth", 3, 5, f0=1.0, fstar=None, values=[float("nan"), -2.0, 0.5])
    assert profiles.reference_values(runs_of(tmp_path / "b")) == {("nonsmooth", 3, 5): -2.0}


@pytest.mark.parametrize("tau", ["1", "0"])
def test_the_command_refuses_tau_0_and_1_even_with_good_logs(logdir, tmp_path, capsys, tau):
    assert profiles.main([str(logdir), "-o", str(tmp_path / "p"), "--tau", "0.1", tau]) == 2
    assert capsys.readouterr().err == f"kinkbench.profiles: every tau must lie in (0, 1), got {tau}\n"
    assert not list(tmp_path.glob("p-*"))


def test_duplicate_runs_are_refused_naming_both_files(tmp_path, capsys):
    first = fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0, 0.5])
    again = fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0], name="copy.jsonl")
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "out" / "p")]) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and "duplicate run A on nonsmooth 1 n=2 start 0" in err
    assert str(first) in err and str(again) in err


def test_mixed_budgets_are_refused_unless_asked(tmp_path, capsys):
    pytest.importorskip("matplotlib", reason="the command draws with matplotlib")
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0, 0.5], budget=100)
    fake_logs.write(tmp_path, "B", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0, 0.5], budget=50)
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "out" / "p"), "--format", "png"]) == 2
    assert "budget differs for the runs: 100 in " in capsys.readouterr().err
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "out" / "p"), "--format", "png",
                          "--mixed-budgets"]) == 0


@pytest.mark.parametrize("fmt", profiles.FORMATS)
def test_every_format_listed_is_written(logdir, tmp_path, fmt):
    pytest.importorskip("matplotlib")
    written = profiles.draw(profiles.read_logs(logdir), tmp_path / "p", (0.1,), (fmt,), kinds=("data",))
    assert [p.name for p in written] == [f"p-data.{fmt}"] and written[0].stat().st_size > 0


@pytest.mark.parametrize("args, says", [(["-o", "p", "--format", "bmp"], "invalid choice: 'bmp'"),
                                        ([], "the following arguments are required: -o/--out")])
def test_an_unknown_format_or_no_out_is_refused_by_name(logdir, tmp_path, capsys, monkeypatch, args, says):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(SystemExit) as stopped:
        profiles.main([str(logdir), *args])
    assert stopped.value.code == 2 and says in capsys.readouterr().err


def mixed_sets(folder):
    """SLSQP alone on minimax 1 and 2; A and B on nonsmooth 1 and 2, but B not on 2."""
    for number in (1, 2):
        fake_logs.write(folder, "SLSQP", "minimax", number, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(folder, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 3.0, 0.1])
    fake_logs.write(folder, "B", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(folder, "A", "nonsmooth", 2, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])


def panel_curves(fig):
    """{axes title: {gid: (xs, ys)}} of a drawn figure."""
    return {ax.get_title(): {line.get_gid(): (list(line.get_xdata()), list(line.get_ydata()))
                             for line in ax.get_lines()} for ax in fig.axes}


def test_collections_are_drawn_apart_on_the_cases_all_their_solvers_ran(tmp_path):
    pytest.importorskip("matplotlib")
    mixed_sets(tmp_path)
    runs = profiles.read_logs(tmp_path)
    group_list = profiles.groups(runs)
    assert [(g.title, sorted({r.solver for r in g.runs}), g.left_out, g.alone) for g in group_list] == [
        ("minimax", ["SLSQP"], {}, {"SLSQP"}), ("nonsmooth", ["A", "B"], {"A": 1}, set())]
    fig = profiles.figure(group_list, "performance", (0.1,), profiles.reference_values(runs))
    shown = panel_curves(fig)
    # One row per collection; on nonsmooth 1 alone, B needed 2 and A 3 evaluations.
    assert set(shown) == {"minimax, $\\tau = 10^{-1}$", "nonsmooth, $\\tau = 10^{-1}$"}
    nonsmooth = shown["nonsmooth, $\\tau = 10^{-1}$"]
    assert set(nonsmooth) == {"curve nonsmooth A", "curve nonsmooth B"}
    assert nonsmooth["curve nonsmooth B"][1] == [0.0, 1.0, 1.0]
    assert nonsmooth["curve nonsmooth A"][0][1] == 1.5 and nonsmooth["curve nonsmooth A"][1] == [0.0, 1.0, 1.0]
    assert fig.axes[1].get_xlabel() == "evaluations / the fewest any run needed"
    legend = [t.get_text() for t in fig.legends[0].get_texts()]
    assert legend == ["SLSQP: 2 problems, 2 runs, alone", "A: 1 problems, 1 runs", "B: 1 problems, 1 runs"]


def test_the_summary_counts_what_the_pictures_compare(tmp_path):
    # by default the common cases only: A's run on nonsmooth 2, which B never ran, is left out
    mixed_sets(tmp_path)
    runs = profiles.read_logs(tmp_path)

    def solved(**own_sets):
        lines = profiles.summary(runs, (0.1,), **own_sets).splitlines()[2:]
        return {line.split()[0]: line.split()[1] for line in lines}

    assert solved() == {"A": "1/1", "B": "1/1", "SLSQP": "2/2"}
    assert solved(own_sets=True) == {"A": "2/2", "B": "1/1", "SLSQP": "2/2"}


def test_a_data_profile_runs_to_the_budget_even_the_least(tmp_path):
    # budget 1, the least a log may give: the curve stops at evaluation 1 (in units of n + 1, 1/3)
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[0.1], budget=1)
    runs = profiles.read_logs(tmp_path)
    (group,) = profiles.groups(runs)
    fstar = profiles.reference_values(runs)
    assert profiles.curves(group, "data", 0.1, fstar) == ({"A": ([1.0, 1.0, 1.0], [0.0, 1.0, 1.0])}, 1.0, 1.0)
    assert profiles.curves(group, "data-n1", 0.1, fstar)[1:] == (1 / 3, 1 / 3)


def test_own_sets_count_each_solver_over_its_runs_and_mark_the_solver_alone(tmp_path):
    pytest.importorskip("matplotlib")
    mixed_sets(tmp_path)
    fake_logs.write(tmp_path, "C", "nonsmooth", 3, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    runs = profiles.read_logs(tmp_path)
    group_list = profiles.groups(runs, own_sets=True)
    assert [g.alone for g in group_list] == [{"SLSQP"}, {"C"}]
    fig = profiles.figure(group_list, "data", (0.1,), profiles.reference_values(runs))
    legend = [t.get_text() for t in fig.legends[0].get_texts()]
    assert "C: 1 problems, 1 runs, alone" in legend and "A: 2 problems, 2 runs" in legend
    a = panel_curves(fig)["nonsmooth, $\\tau = 10^{-1}$"]["curve nonsmooth A"]
    assert a[0][1:3] == [2.0, 3.0] and a[1][1:3] == [0.5, 1.0]


def test_solvers_sharing_no_case_are_refused_unless_counted_over_their_own(tmp_path, capsys):
    pytest.importorskip("matplotlib", reason="the command draws with matplotlib")
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(tmp_path, "B", "nonsmooth", 2, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "out" / "p"), "--format", "png"]) == 2
    assert "share no (problem, n, start) case" in capsys.readouterr().err
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "out" / "p"), "--format", "png", "--own-sets"]) == 0


def test_one_solver_is_never_marked_alone(tmp_path):
    # "alone" warns that a solver's ratios are 1 for want of a rival; with no rival at all
    # every ratio is 1 anyway and the marker says nothing
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(tmp_path, "A", "minimax", 2, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    assert [g.alone for g in profiles.groups(profiles.read_logs(tmp_path))] == [set(), set()]


LONG = "solver number {} with a long name"


def long_named(folder, solvers, taus, name=LONG):
    for i in range(solvers):
        fake_logs.write(folder, name.format(i), "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    runs = profiles.read_logs(folder)
    return profiles.figure(profiles.groups(runs), "data", taus, profiles.reference_values(runs))


# long names: one column under one panel, three under three; short ones: two columns where
# three would not fit, and never more than three however wide the picture
@pytest.mark.parametrize("taus, solvers, name, rows", [
    ((0.1,), 4, LONG, 4), ((0.1, 1e-3, 1e-5), 7, LONG, 3),
    ((0.1,), 3, "S{}", 2), ((0.1, 1e-3, 1e-5), 4, "S{}", 2)])
def test_the_legend_fits_below_the_panels(tmp_path, taus, solvers, name, rows):
    # the legend must wrap to rows, stay inside the picture and keep clear of every panel
    # with its tick labels, in as few rows as fit; the panels and the title stay inside too
    pytest.importorskip("matplotlib")
    fig = long_named(tmp_path, solvers, taus, name)
    fig.canvas.draw()
    renderer = fig.canvas.get_renderer()
    box = fig.legends[0].get_window_extent(renderer)
    page = fig.bbox
    assert page.x0 <= box.x0 and box.x1 <= page.x1 and page.y0 <= box.y0
    assert all(box.y1 < ax.get_tightbbox(renderer).y0 for ax in fig.axes)
    for shown in [ax.get_tightbbox(renderer) for ax in fig.axes] + [fig._suptitle.get_window_extent(renderer)]:
        assert page.x0 <= shown.x0 and shown.x1 <= page.x1 and shown.y1 <= page.y1
    shown = fig.legends[0].get_texts()
    assert len(shown) == solvers and len({round(t.get_window_extent(renderer).y0) for t in shown}) == rows
    assert all(page.x0 <= t.get_window_extent(renderer).x0 and t.get_window_extent(renderer).x1 <= page.x1
               for t in shown)


def test_a_long_legend_leaves_the_panels_their_height(tmp_path):
    pytest.importorskip("matplotlib")
    one = long_named(tmp_path / "one", 1, (0.1,))
    seven = long_named(tmp_path / "seven", 7, (0.1,))

    def panel_inches(fig):
        return fig.axes[0].get_position().height * fig.get_figheight()

    assert seven.get_figheight() > one.get_figheight()
    assert panel_inches(seven) == pytest.approx(panel_inches(one), rel=0.05)


def test_the_axes_span_the_budget_and_ratios_are_marked_at_powers_of_two(tmp_path):
    pytest.importorskip("matplotlib")
    # A needs 40 evaluations to B's 2: ratios run to 32, wide enough for minor tick marks
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0] * 39 + [0.1], budget=50)
    fake_logs.write(tmp_path, "B", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1], budget=50)
    runs = profiles.read_logs(tmp_path)
    group_list, fstar = profiles.groups(runs), profiles.reference_values(runs)
    drawn = profiles.figure(group_list, "data", (0.1,), fstar)
    assert drawn._suptitle.get_text().startswith("Data profiles: ")
    data = drawn.axes[0]
    assert data.get_xlim() == (1.0, 50.0)  # the budget, though no run used more than 40
    per_n = profiles.figure(group_list, "data-n1", (0.1,), fstar).axes[0]
    assert per_n.get_xlim() == (1 / 3, 50 / 3)
    # at n = 2 a unit is 3 evaluations: A rises at 40 / 3, B at 2 / 3
    assert panel_curves(per_n.figure)[per_n.get_title()] == {
        "curve nonsmooth A": ([1 / 3, 40 / 3, 50 / 3], [0.0, 1.0, 1.0]),
        "curve nonsmooth B": ([1 / 3, 2 / 3, 50 / 3], [0.0, 1.0, 1.0])}
    # every panel shows the fractions 0 and 1 whole, not on its edge
    assert all(low < 0 and 1 < high for low, high in (data.get_ylim(), per_n.get_ylim()))
    drawn = profiles.figure(group_list, "performance", (0.1,), fstar)
    assert drawn._suptitle.get_text().startswith("Performance profiles: ")
    ratios = drawn.axes[0]
    low, high = ratios.get_xlim()
    # below 1, so that a curve rising at ratio 1 shows; a labelled mark at every power of two
    assert (low, high) == (2.0**-0.25, 32.0)
    assert list(ratios.get_xticks()) == [1, 2, 4, 8, 16, 32]
    marks = [t for t in list(ratios.get_xticks()) + list(ratios.get_xticks(minor=True)) if low <= t <= high]
    assert marks and all(math.log2(t) == round(math.log2(t)) for t in marks)


def test_drawing_compares_solvers_on_their_common_cases_unless_told(tmp_path):
    pytest.importorskip("matplotlib")
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(tmp_path, "B", "nonsmooth", 2, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    runs = profiles.read_logs(tmp_path)
    with pytest.raises(profiles.LogError, match="share no"):
        profiles.draw(runs, tmp_path / "out" / "p", (0.1,), ("png",))
    assert len(profiles.draw(runs, tmp_path / "out" / "p", (0.1,), ("png",), own_sets=True)) == 2


def test_two_solvers_in_different_collections_are_each_marked_alone(tmp_path):
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    fake_logs.write(tmp_path, "B", "minimax", 1, 2, f0=4.0, fstar=0.0, values=[4.0, 0.1])
    assert [g.alone for g in profiles.groups(profiles.read_logs(tmp_path))] == [{"B"}, {"A"}]


def test_reading_refuses_mixed_budgets_unless_asked(tmp_path):
    fake_logs.write(tmp_path, "A", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0, 0.5], budget=100)
    fake_logs.write(tmp_path, "B", "nonsmooth", 1, 2, f0=1.0, fstar=0.0, values=[1.0, 0.5], budget=50)
    with pytest.raises(profiles.LogError, match="budget differs"):
        profiles.read_logs(tmp_path)
    assert len(profiles.read_logs(tmp_path, mixed_budgets=True)) == 2


def test_pictures_that_cannot_be_written_fail_with_status_1(logdir, tmp_path, capsys):
    pytest.importorskip("matplotlib")
    (tmp_path / "taken").write_text("a file where the folder would go")
    assert profiles.main([str(logdir), "-o", str(tmp_path / "taken" / "p"), "--format", "png"]) == 1
    assert capsys.readouterr().err.startswith("kinkbench.profiles: cannot write the pictures: ")
