"""A run log records each evaluation at a new point once, with the best so far, names
the run in its header, and ends every run with an outcome, the budget included."""

import json

import numpy as np
import pytest

pytest.importorskip("scipy", reason="the runs logged here are SciPy's")
from scipy.optimize import minimize  # noqa: E402

import kinkbench
from kinkbench.runlog import RunLog, number_to_json


def lines(path):
    return [json.loads(line, parse_constant=pytest.fail) for line in path.read_text().splitlines()]


def test_header_names_the_run(tmp_path):
    p = kinkbench.nonsmooth(11)
    log = RunLog(p, "My Solver 2", tmp_path, budget=50)
    log.finish("converged")
    assert log.path == tmp_path / "my-solver-2" / "nonsmooth-11-n4.jsonl"
    header = lines(log.path)[0]
    assert header["solver"] == "My Solver 2"
    assert (header["collection"], header["problem"], header["n"], header["form"]) == ("nonsmooth", 11, 4, "f")
    assert header["f0"] == p.value(p.x0)
    assert header["fstar"] == p.best_value and header["fstar_status"] == p.best_status
    assert header["budget"] == 50


def test_evaluations_are_numbered_with_the_best_so_far(tmp_path):
    p = kinkbench.nonsmooth(1)
    points = [p.x0, p.best_point, p.x0 + 1, p.best_point + 1e-3]
    log = RunLog(p, "s", path=tmp_path / "run.jsonl", record_x=True)
    returned = [log.fun(x) for x in points]
    log.finish("converged")
    records = lines(tmp_path / "run.jsonl")[1:-1]
    values = [p.value(x) for x in points]
    assert returned == values
    assert [r["eval"] for r in records] == [1, 2, 3, 4]
    assert [r["f"] for r in records] == values
    assert [r["best"] for r in records] == list(np.minimum.accumulate(values))
    assert [r["x"] for r in records] == [list(x) for x in points]
    assert log.best == min(values) and np.array_equal(log.best_x, p.best_point)


def test_value_and_gradient_at_one_point_count_once():
    p = kinkbench.nonsmooth(11)
    x, y = p.x0, p.x0 + 0.5
    log = RunLog(p, "s")
    log.fun(x)
    np.testing.assert_array_equal(log.grad(x), p.gradient(x))  # same point: free
    log.grad(y)  # a new point counts, and its f is logged
    log.fun(y)
    log.fun(x)  # back at an earlier point: counts again
    assert log.evaluations == 3
    assert [r["f"] for r in log.records[1:]] == [p.value(x), p.value(y), p.value(x)]


def test_scipy_bfgs_counts_the_points_it_tried():
    p = kinkbench.nonsmooth(1)
    with RunLog(p, "BFGS") as log:
        result = minimize(log.fun, log.x0, jac=log.grad, method="BFGS")
    # The log records on a twin: the problem counts only what BFGS asked for.
    assert p.counts() == {"values": result.nfev, "gradients": result.njev, "hessians": 0}
    assert log.evaluations == result.nfev >= result.njev > 1
    assert log.outcome == "converged"


def test_minimax_runs_record_the_objective_of_each_point():
    p = kinkbench.minimax(7)  # a fit: the objective is max |f_k|
    x, y = p.x0, p.x0 * 1.1
    log = RunLog(p, "s")
    np.testing.assert_array_equal(log.values(x), p.values(x))
    np.testing.assert_array_equal(log.jacobian(x), p.jacobian(x))  # same point: free
    log.jacobian(y)
    assert log.evaluations == 2
    assert [r["f"] for r in log.records[1:]] == [p.objective(x)[0], p.objective(y)[0]]
    assert log.records[0]["form"] == "max |f_k|"
    with pytest.raises(TypeError, match="jacobian"):
        log.grad(x)


def test_budget_ends_a_loop_of_your_own_after_the_block(tmp_path):
    p = kinkbench.nonsmooth(1)
    after = []
    with RunLog(p, "loop", tmp_path, budget=3) as log:
        for i in range(10):
            log.fun(p.x0 + i)
        after.append("unreachable")
    after.append("goes on")
    assert after == ["goes on"]
    assert log.evaluations == 3 and log.remaining == 0
    last = lines(log.path)[-1]
    assert last["outcome"] == "budget" and last["evaluations"] == 3
    assert [r["eval"] for r in lines(log.path)[1:-1]] == [1, 2, 3]


def test_a_solver_catching_exception_cannot_swallow_the_budget():
    p = kinkbench.nonsmooth(1)

    def careless(log):
        for i in range(10):
            try:
                log.fun(p.x0 + i)
            except Exception:
                pass

    with RunLog(p, "careless", budget=2) as log:
        careless(log)
    assert log.outcome == "budget" and log.evaluations == 2


def test_an_error_is_recorded_and_raised(tmp_path):
    p = kinkbench.nonsmooth(1)
    with pytest.raises(ValueError, match="shape"):
        with RunLog(p, "bad", tmp_path) as log:
            log.fun(np.zeros(3))
    assert log.outcome.startswith("error: ValueError: x has shape (3,)")
    assert lines(log.path)[-1]["outcome"] == log.outcome


@pytest.mark.parametrize("value, text", [(np.inf, "inf"), (-np.inf, "-inf"), (np.nan, "nan"), (1.5, 1.5)])
def test_non_finite_numbers_are_strings(value, text):
    assert number_to_json(value) == text


def test_a_nan_never_becomes_the_best():
    p = kinkbench.nonsmooth(1)
    nan_point = np.full(p.n, np.inf)  # inf - inf inside f
    assert np.isnan(p.value(nan_point))
    log = RunLog(p, "s")
    for x in (nan_point, p.x0, nan_point):
        log.fun(x)
    f0 = p.value(p.x0)
    assert [(r["f"], r["best"]) for r in log.records[1:]] == [("nan", "inf"), (f0, f0), ("nan", f0)]
