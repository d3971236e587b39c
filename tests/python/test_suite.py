"""The suite runner sets up what was selected, gives every solver-problem pair its own
log, and turns each way a run can end into its outcome without stopping the suite."""

import json
import re
import sys
from types import SimpleNamespace

import pytest

import kinkbench
from kinkbench.suite import run_suite, select


def returns_after_two(log):
    log.fun(log.x0)
    log.fun(log.x0 + 1)


def runs_forever(log):
    i = 0
    while True:
        log.fun(log.x0 + i)
        i += 1


def fails(log):
    log.fun(log.x0)
    raise RuntimeError("no descent direction")


def gives_up(log):
    log.fun(log.x0)
    return SimpleNamespace(success=False, message="iteration limit")


def test_every_way_a_run_ends(tmp_path, capsys):
    solvers = {"two": returns_after_two, "forever": runs_forever, "fails": fails, "gives up": gives_up}
    problems = [("nonsmooth", 1), ("minimax", 3)]
    summaries = run_suite(solvers, problems, tmp_path, budget=7, progress=False)
    assert capsys.readouterr().err == ""
    got = {(s.solver, s.collection, s.number): (s.outcome, s.evaluations) for s in summaries}
    for collection, number in problems:
        assert got[("two", collection, number)] == ("converged", 2)
        assert got[("forever", collection, number)] == ("budget", 7)
        assert got[("fails", collection, number)] == ("error: RuntimeError: no descent direction", 1)
        assert got[("gives up", collection, number)] == ("stopped", 1)
    for s in summaries:
        last = json.loads(s.path.read_text().splitlines()[-1])
        assert (last["outcome"], last["evaluations"]) == (s.outcome, s.evaluations)
    assert sorted(p.relative_to(tmp_path).as_posix() for p in tmp_path.rglob("*.jsonl")) == sorted(
        f"{folder}/{name}"
        for folder in ("two", "forever", "fails", "gives-up")
        for name in ("nonsmooth-01-n2.jsonl", "minimax-03-n2.jsonl")
    )
    assert json.loads((tmp_path / "gives-up" / "nonsmooth-01-n2.jsonl").read_text().splitlines()[-1])[
        "message"
    ] == "iteration limit"


def test_plain_progress_line_names_problem_and_solver(tmp_path, capsys, monkeypatch):
    monkeypatch.setitem(sys.modules, "tqdm", None)  # the updater without tqdm
    run_suite({"two": returns_after_two}, [("nonsmooth", 11)], tmp_path, budget=5, progress=True)
    err = capsys.readouterr().err
    assert "[1/1] nonsmooth 11 n=4 | two" in err
    assert re.search(r"\r\x1b\[K1/1 runs in \d+\.\d s\n$", err)


@pytest.mark.parametrize(
    "selection, expected",
    [
        ("minimax", [("minimax", i, None) for i in range(1, 26)]),
        ("all", [("minimax", i, None) for i in range(1, 26)] + [("nonsmooth", i, None) for i in range(1, 26)]),
        (lambda row: row.collection == "nonsmooth" and row.max_n is not None, [("nonsmooth", 16, 10), ("nonsmooth", 21, 48)]),
        ([("nonsmooth", 1, 5), ("minimax", 7)], [("nonsmooth", 1, 5), ("minimax", 7, 3)]),
        ([kinkbench.problems()[30]], [("nonsmooth", 6, None)]),
    ],
    ids=["collection", "all", "filter", "tuples", "rows"],
)
def test_selection(selection, expected):
    chosen = select(selection)
    got = [("minimax" if isinstance(p, kinkbench.MinimaxProblem) else "nonsmooth", p.number, p.n) for p in chosen]
    assert [(c, k) for c, k, _ in got] == [(c, k) for c, k, _ in expected]
    for (_, _, n), p in zip(expected, chosen):
        assert p.n == (n if n is not None else p.min_n)


@pytest.mark.parametrize(
    "selection, error, says",
    [
        ("nonsmoth", ValueError, '"minimax", "nonsmooth" or "all"'),
        ([3], TypeError, r"a \(collection, number\[, n\]\) tuple; got 3"),
        ([("fits", 1)], ValueError, '"minimax" or "nonsmooth", got \'fits\''),
    ],
)
def test_a_bad_selection_says_what_is_accepted(selection, error, says):
    with pytest.raises(error, match=says):
        select(selection)


def test_solvers_that_would_share_a_folder_are_refused(tmp_path):
    with pytest.raises(ValueError, match="share the log folder"):
        run_suite({"Nelder Mead": fails, "nelder-mead": fails}, "nonsmooth", tmp_path)
