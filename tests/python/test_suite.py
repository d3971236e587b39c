"""The suite runner sets up what was selected, gives every run its own log, turns each way
a run can end into its outcome without stopping the suite, and keeps complete logs."""

import io
import json
import sys
from types import SimpleNamespace

import numpy as np
import pytest

import kinkbench
from kinkbench import solvers
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


def gives_up_as_dict(log):
    log.fun(log.x0)
    return {"success": False, "message": "said so"}


def unreadable(log):
    log.fun(log.x0)
    return SimpleNamespace(success=np.array([True, False]))


class Raising:
    @property
    def success(self):
        raise KeyError("gone")


def raising_result(log):
    log.fun(log.x0)
    return Raising()


def exits(log):
    log.fun(log.x0)
    sys.exit(3)


def does_nothing(log):
    return SimpleNamespace(success=True)


def outcome_line(path):
    return json.loads(path.read_text().splitlines()[-1])


def test_every_way_a_run_ends(tmp_path, capsys):
    solvers = {"two": returns_after_two, "forever": runs_forever, "fails": fails, "gives up": gives_up,
               "dict": gives_up_as_dict, "unreadable": unreadable, "raising": raising_result,
               "exits": exits, "nothing": does_nothing}
    problems = [("nonsmooth", 1), ("minimax", 3)]
    summaries = run_suite(solvers, problems, tmp_path, budget=7, progress=False)
    assert capsys.readouterr().err == ""
    got = {(s.solver, s.collection, s.number): (s.outcome, s.evaluations) for s in summaries}
    for collection, number in problems:
        assert got[("two", collection, number)] == ("converged", 2)
        assert got[("forever", collection, number)] == ("budget", 7)
        assert got[("fails", collection, number)] == ("error: RuntimeError: no descent direction", 1)
        assert got[("gives up", collection, number)] == ("stopped", 1)
        assert got[("dict", collection, number)] == ("stopped", 1)
        assert got[("unreadable", collection, number)][0].startswith("error: BadResult: success is array(")
        assert got[("raising", collection, number)][0] == "error: BadResult: reading the result raised KeyError: 'gone'"
        assert got[("exits", collection, number)] == ("error: SystemExit: 3", 1)
        assert got[("nothing", collection, number)][0].startswith("error: NoEvaluations")
    for s in summaries:
        last = outcome_line(s.path)
        assert (last["outcome"], last["evaluations"]) == (s.outcome, s.evaluations)
    assert outcome_line(tmp_path / "gives-up" / "nonsmooth-01-n2-s0.jsonl")["message"] == "iteration limit"
    assert sorted(p.name for p in (tmp_path / "two").iterdir()) == ["minimax-03-n2-s0.jsonl", "nonsmooth-01-n2-s0.jsonl"]


def test_a_rerun_keeps_complete_logs(tmp_path):
    first = run_suite({"two": returns_after_two}, [("nonsmooth", 1)], tmp_path, budget=5, progress=False)
    text = first[0].path.read_text()
    again = run_suite({"two": fails}, [("nonsmooth", 1)], tmp_path, budget=5, progress=False)
    assert again[0].skipped and again[0].outcome == "converged" and first[0].path.read_text() == text
    with pytest.raises(ValueError, match=r"nonsmooth-01-n2-s0.jsonl: budget 5 \(campaign: 6\)"):
        run_suite({"two": returns_after_two}, [("nonsmooth", 1)], tmp_path, budget=6, progress=False)


def test_problems_above_their_minimum_n(tmp_path):
    summaries = run_suite({"two": returns_after_two}, [("nonsmooth", 1, 5), ("minimax", 3, 4)], tmp_path,
                          budget=5, progress=False)
    assert [(s.number, s.n, s.path.name) for s in summaries] == [
        (1, 5, "nonsmooth-01-n5-s0.jsonl"), (3, 4, "minimax-03-n4-s0.jsonl")]
    header = json.loads(summaries[0].path.read_text().splitlines()[0])
    assert header["n"] == 5 and len(header["x0"]) == 5 and header["fstar"] is None


def test_keyboard_interrupt_stops_the_suite_and_the_rerun_repeats_that_run(tmp_path):
    calls = []

    def interrupted_once(log):
        log.fun(log.x0)
        if log.problem.number == 2 and not calls:
            calls.append(1)
            raise KeyboardInterrupt

    problems = [("nonsmooth", 1), ("nonsmooth", 2), ("nonsmooth", 3)]
    with pytest.raises(KeyboardInterrupt):
        run_suite({"s": interrupted_once}, problems, tmp_path, budget=5, progress=False)
    folder = tmp_path / "s"
    assert outcome_line(folder / "nonsmooth-01-n2-s0.jsonl")["outcome"] == "converged"
    assert outcome_line(folder / "nonsmooth-02-n2-s0.jsonl")["outcome"] == "interrupted"
    assert not (folder / "nonsmooth-03-n2-s0.jsonl").exists()
    again = run_suite({"s": interrupted_once}, problems, tmp_path, budget=5, progress=False)
    assert [(s.skipped, s.outcome) for s in again] == [(True, "converged"), (False, "converged"), (False, "converged")]
    assert outcome_line(folder / "nonsmooth-02-n2-s0.jsonl-1")["outcome"] == "interrupted"


def test_starts_and_seeds_give_runs_of_their_own(tmp_path):
    summaries = run_suite({"random": solvers.random_search}, [("nonsmooth", 1)], tmp_path, budget=40,
                          starts=2, seeds=[1, 2], progress=False)
    names = [s.path.name for s in summaries]
    assert names == ["nonsmooth-01-n2-s0-r1.jsonl", "nonsmooth-01-n2-s0-r2.jsonl",
                     "nonsmooth-01-n2-s1-r1.jsonl", "nonsmooth-01-n2-s1-r2.jsonl"]
    bodies = [s.path.read_text().splitlines()[1:-1] for s in summaries]
    assert bodies[0] != bodies[1] and bodies[0][0] == bodies[1][0] != bodies[2][0]


def test_plain_progress_line_names_problem_and_solver(tmp_path, capsys, monkeypatch):
    from kinkbench import suite

    class Clock:  # 1000.0 at the start, then 1.5 s more at each reading
        now = 998.5

        @classmethod
        def perf_counter(cls):
            cls.now += 1.5
            return cls.now

    monkeypatch.setitem(sys.modules, "tqdm", None)  # the updater without tqdm
    monkeypatch.setattr(suite, "time", Clock)
    run_suite({"two": returns_after_two}, [("nonsmooth", 11)], tmp_path, budget=5, progress=True)
    err = capsys.readouterr().err
    # the times since the suite began, not clock readings
    assert "[1/1] nonsmooth 11 n=4 s=0 | two  1.5 s" in err
    assert err.endswith("\r\x1b[K1/1 runs in 3.0 s\n")


def test_the_bar_counts_every_run(tmp_path, monkeypatch):
    pytest.importorskip("tqdm")
    err = io.StringIO()
    monkeypatch.setattr(sys, "stderr", err)
    run_suite({"two": returns_after_two}, [("nonsmooth", 1), ("nonsmooth", 11)], tmp_path, budget=5, progress=True)
    last = err.getvalue().rstrip("\n").split("\r")[-1]
    assert last.startswith("nonsmooth 11 n=4 s=0 | two: 100%") and " 2/2 " in last


def test_the_budget_is_2000_evaluations_by_default(tmp_path):
    (summary,) = run_suite({"two": returns_after_two}, [("nonsmooth", 1)], tmp_path, progress=False)
    assert json.loads(summary.path.read_text().splitlines()[0])["budget"] == 2000


@pytest.mark.parametrize("tty", [False, True])
def test_progress_by_default_only_on_a_terminal(tmp_path, monkeypatch, tty):
    monkeypatch.setitem(sys.modules, "tqdm", None)

    class Stderr(io.StringIO):
        def isatty(self):
            return tty

    err = Stderr()
    monkeypatch.setattr(sys, "stderr", err)
    run_suite({"two": returns_after_two}, [("nonsmooth", 11)], tmp_path, budget=5)
    assert ("runs in" in err.getvalue()) == tty


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
    with pytest.raises(ValueError, match="budget"):
        run_suite({"two": fails}, "nonsmooth", tmp_path, budget=2.5)
