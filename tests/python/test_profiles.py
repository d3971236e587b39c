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
            header = {"solver": solver, "collection": "nonsmooth", "problem": number, "n": 2,
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
    return ("nonsmooth", number, 2)


def test_reference_values_take_the_stored_or_the_lowest_reached(logdir):
    assert profiles.reference_values(profiles.read_logs(logdir)) == {key(1): 0.0, key(2): -1.0, key(3): -3.0}


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
    run = profiles.read_log(log.path)
    assert (run.solver, run.key, run.f0, run.fstar, run.budget, run.outcome) == (
        "s", ("nonsmooth", 1, 2), p.value(p.x0), p.best_value, 3, "budget")
    assert run.evals == [1, 2, 3] and run.values == [p.value(p.x0 * (1 - i / 4)) for i in range(3)]


def test_the_command_draws_both_profiles(logdir, tmp_path, capsys):
    pytest.importorskip("matplotlib")
    out = tmp_path / "pictures" / "p"
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
        (lambda d: (d / "x.jsonl").write_text('{"a": 1}\n'), "x.jsonl:1: not a run log header"),
    ],
)
def test_the_command_refuses_a_folder_without_logs(tmp_path, capsys, make, says):
    make(tmp_path)
    assert profiles.main([str(tmp_path), "-o", str(tmp_path / "p")]) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and says in err and err.startswith("kinkbench.profiles: ")
