"""A run log records each evaluation at a new point once (new by its bits), with the best
and the counts so far, names the run in its header, ends every run with an outcome, and
becomes visible under its name only when complete."""

import json
import math
import os
import pathlib
import re
import subprocess
import sys
import threading
import types
import warnings

import numpy as np
import pytest

pytest.importorskip("scipy", reason="the runs logged here are SciPy's")
from scipy.optimize import minimize  # noqa: E402

import kinkbench
from kinkbench import _core
from kinkbench.runlog import RunHeld, RunLog, log_name, number_from_json, number_to_json, slug
from kinkbench.starts import start_point


def lines(path):
    return [json.loads(line, parse_constant=pytest.fail) for line in path.read_text().splitlines()]


def evals(path):
    return [r for r in lines(path) if "eval" in r]


def test_header_names_the_run_and_where_it_ran(tmp_path):
    p = kinkbench.nonsmooth(11)
    log = RunLog(p, "My Solver 2", tmp_path, budget=50, start=3, seed=7, metadata={"who": "me"})
    assert log.path == tmp_path / "my-solver-2" / "nonsmooth-11-n4-s3-r7.jsonl"
    assert log_name("minimax", 3, 10) == "minimax-03-n10-s0.jsonl"  # start 0 unless named
    log.finish("converged")
    header = lines(log.path)[0]
    assert header["log_format"] == 2 and header["kinkbench_version"] == _core._library_version
    assert header["numpy_version"] == np.__version__ and header["scipy_version"]
    assert (header["solver"], header["collection"], header["problem"], header["n"]) == ("My Solver 2", "nonsmooth", 11, 4)
    assert (header["start"], header["seed"], header["start_seed"], header["start_scale"]) == (3, 7, 1, 0.1)
    x0 = start_point(p, 3)
    assert header["x0"] == list(x0) and header["f0"] == p.value(x0) != p.value(p.x0)
    assert header["fstar"] == p.best_value and header["fstar_status"] == p.best_status
    assert (header["budget"], header["record"], header["metadata"]) == (50, "all", {"who": "me"})
    # the start's recipe is named only where there is one: start 0 is the problem's own x0
    for start, recipe in ((0, (None, None)), (1, (1, 0.1))):
        log = RunLog(p, "s", tmp_path / "other", budget=5, start=start)
        log.finish("converged")
        assert (lines(log.path)[0]["start_seed"], lines(log.path)[0]["start_scale"]) == recipe


def test_evaluations_carry_best_and_counts_so_far(tmp_path):
    p = kinkbench.nonsmooth(1)
    points = [p.x0, p.best_point, p.x0 + 1, p.best_point + 1e-3]
    log = RunLog(p, "s", path=tmp_path / "run.jsonl", weights={"gradient": 2.5})
    returned = [log.fun(points[0]), log.fun(points[1])]
    log.grad(points[1])  # same point: counted as a call, not an evaluation
    returned += [log.fun(x) for x in points[2:]]
    log.finish()
    values = [p.value(x) for x in points]
    records = evals(tmp_path / "run.jsonl")
    assert returned == values
    assert [r["eval"] for r in records] == [1, 2, 3, 4]
    assert [r["f"] for r in records] == values
    assert [r["best"] for r in records] == list(np.minimum.accumulate(values))
    assert [(r["values"], r["gradients"]) for r in records] == [(1, 0), (2, 0), (3, 1), (4, 1)]
    assert [r["cost"] for r in records] == [1.0, 2.0, 5.5, 6.5]
    last = lines(tmp_path / "run.jsonl")[-1]
    assert (last["evaluations"], last["values"], last["gradients"], last["cost"]) == (4, 4, 1, 6.5)
    assert last["x_best"] == list(p.best_point) and log.best == min(values)


def test_improvements_only_keeps_what_profiles_need(tmp_path):
    p = kinkbench.nonsmooth(1)
    fs = [p.value(p.x0 + d) for d in (0.0, 1.0, -0.5, 2.0, -0.6)]
    log = RunLog(p, "s", path=tmp_path / "run.jsonl", record="improvements")
    for d in (0.0, 1.0, -0.5, 2.0, -0.6):
        log.fun(p.x0 + d)
    log.finish()
    kept = [(r["eval"], r["f"]) for r in evals(tmp_path / "run.jsonl")]
    expected = [(1, fs[0])] + [(i + 1, f) for i, f in enumerate(fs) if i and f < min(fs[:i])]
    assert kept == expected and len(kept) < 5
    assert lines(tmp_path / "run.jsonl")[-1]["evaluations"] == 5


def test_a_new_point_is_new_by_its_bits():
    p = kinkbench.nonsmooth(10)  # chooses by the sign bit
    log = RunLog(p, "s")
    zero = np.zeros(p.n)
    nan_point = np.full(p.n, np.nan)
    for x in (zero, -zero, -zero, nan_point, nan_point.copy(), zero):
        log.fun(x)
    # +0 and -0 differ; a NaN point asked twice in a row is one evaluation.
    assert log.evaluations == 4 and log.counts["values"] == 6


def test_scipy_result_handed_over_sets_the_outcome():
    p = kinkbench.nonsmooth(11)  # BFGS stops here with precision loss
    with RunLog(p, "BFGS") as log:
        result = log.set_result(minimize(log.fun, log.x0, jac=log.grad, method="BFGS"))
    assert not result.success
    assert (log.outcome, log.message) == ("stopped", result.message)
    assert (log.counts["values"], log.counts["gradients"]) == (result.nfev, result.njev)
    assert log.evaluations == result.nfev
    # The log evaluates on its own copy: the problem saw no call.
    assert p.counts() == {"values": 0, "gradients": 0, "hessians": 0}


@pytest.mark.parametrize("result, outcome", [({"x": [1.0]}, "converged"), ({"success": False}, "stopped"),
                                             (object(), "converged")])
def test_a_result_without_success_converged(result, outcome):
    with RunLog(kinkbench.nonsmooth(1), "s") as log:
        log.fun(log.x0)
        log.set_result(result)
    assert log.outcome == outcome


def test_calls_that_bypass_the_log_are_reported(tmp_path):
    p = kinkbench.nonsmooth(1)
    p.value(p.x0)
    p.value(p.x0)  # before the log: none of its business
    log = RunLog(p, "s", tmp_path)
    log.fun(log.x0)
    log.problem.gradient(log.x0)
    log.problem.value(log.x0)
    with pytest.warns(RuntimeWarning, match="never saw"):
        log.finish()
    assert lines(log.path)[-1]["unlogged"] == {"values": 1, "gradients": 1}
    # Warnings raised as errors come after the log is complete and its lock let go.
    log = RunLog(p, "s", tmp_path, overwrite=True)
    log.fun(log.x0)
    log.problem.value(log.x0)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(RuntimeWarning, match="never saw"):
            log.finish()
    assert lines(log.path)[-1]["unlogged"] == {"values": 1}
    assert sorted(f.name for f in log.path.parent.iterdir()) == [log.path.name]


def test_a_last_line_that_cannot_be_made_keeps_the_partial_and_frees_the_run(tmp_path, monkeypatch):
    from kinkbench import runlog

    log = RunLog(kinkbench.nonsmooth(1), "s", tmp_path)
    log.fun(log.x0)
    monkeypatch.setattr(runlog, "_json_line", lambda record: 1 / 0)
    with pytest.raises(ZeroDivisionError):
        log.finish()
    monkeypatch.undo()
    folder, name = log.path.parent, log.path.name
    assert sorted(f.name for f in folder.iterdir()) == [name + ".partial"]
    again = RunLog(kinkbench.nonsmooth(1), "s", tmp_path)  # not held: the partial is set aside
    again.fun(again.x0)
    again.finish()
    assert sorted(f.name for f in folder.iterdir()) == [name, name + ".partial-1"]


def stream_gradients(collection, number, points):
    command = os.path.join(os.path.dirname(os.environ["KINKBENCH_NSEVAL"]), "kinkbench")
    text = "".join(" ".join(repr(v) for v in x) + "\n" for x in points)
    run = subprocess.run([command, "eval", collection, str(number), "--stream", "--gradient", "--json"],
                         input=text, capture_output=True, text=True, check=True)
    return [json.loads(line)["gradient"] for line in run.stdout.splitlines()]


@pytest.mark.parametrize("number", [1, 7, 13, 17])  # max f_k, and fits whose winning f_k has either sign
def test_a_minimax_gradient_is_the_streams_subgradient(number):
    p = kinkbench.minimax(number)
    rng = np.random.default_rng(number)
    points = [p.x0] + [p.x0 + rng.standard_normal(p.n) for _ in range(6)]
    log = RunLog(p, "s")
    got = [log.grad(x) for x in points]
    for x, g in zip(points, got):
        value, k = p.objective(x)
        sign = -1.0 if p.itype == 0 and p.value(x, k) < 0 else 1.0
        np.testing.assert_array_equal(g, sign * p.gradient(x, k))
    if "KINKBENCH_NSEVAL" in os.environ:
        assert [list(g) for g in got] == stream_gradients("minimax", number, points)
    if p.itype == 0:  # both branches of the sign were taken
        assert {p.value(x, p.objective(x)[1]) < 0 for x in points} == {True, False}


def test_minimax_calls_count_by_kind_and_record_the_objective(tmp_path):
    p = kinkbench.minimax(7)  # a fit: the objective is max |f_k|
    x, y = p.x0, p.x0 * 1.1
    log = RunLog(kinkbench.minimax(7), "s", tmp_path)
    np.testing.assert_array_equal(log.values(x), p.values(x))
    np.testing.assert_array_equal(log.jacobian(x), p.jacobian(x))  # same point: free
    np.testing.assert_array_equal(log.hessian(y, packed=True), log.hessian(y, packed=True))
    log.finish()
    assert [r["f"] for r in evals(log.path)] == [p.objective(x)[0], p.objective(y)[0]]
    last = lines(log.path)[-1]
    assert (last["evaluations"], last["values"], last["jacobians"], last["hessians"]) == (2, 1, 1, 2)
    other = RunLog(kinkbench.nonsmooth(1), "s")
    assert log.minimax and not other.minimax  # what a solver asks before values and jacobian
    with pytest.raises(TypeError, match="minimax"):
        other.values(other.x0)


def test_a_batch_is_its_points_one_after_another():
    p = kinkbench.nonsmooth(1)
    batch = p.x0 + np.array([[0.0, 0.0], [0.0, 0.0], [1.0, 0.0], [0.0, 1.0]])
    log = RunLog(p, "s", budget=3)
    np.testing.assert_array_equal(log.fun(batch[:3]), p.value(batch[:3]))
    np.testing.assert_array_equal(log.grad(batch[2:3]), p.gradient(batch[2:3]))
    assert (log.evaluations, log.counts["values"], log.counts["gradients"]) == (2, 3, 1)
    with pytest.raises(BaseException) as stop:
        log.fun(batch)
    assert not isinstance(stop.value, Exception) and log.evaluations == 3


def test_budget_ends_a_loop_of_your_own_after_the_block(tmp_path):
    p = kinkbench.nonsmooth(1)
    after = []
    with RunLog(p, "loop", tmp_path, budget=3) as log:
        for i in range(10):
            log.fun(p.x0 + i)
        after.append("unreachable")
    after.append("goes on")
    assert after == ["goes on"] and log.remaining == 0
    last = lines(log.path)[-1]
    assert (last["outcome"], last["evaluations"]) == ("budget", 3)
    assert [r["eval"] for r in evals(log.path)] == [1, 2, 3]


def test_a_refused_point_stays_refused_and_the_last_one_stays_free():
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "s", budget=2)
    log.fun(p.x0)
    log.fun(p.x0 + 1)
    for _ in range(2):
        with pytest.raises(BaseException):
            log.fun(p.x0 + 2)
    assert log.evaluations == 2 and log.exhausted
    with pytest.raises(BaseException):
        log.fun(p.x0 + 1)  # the refused point took the last one's place: no longer free
    assert log.evaluations == 2


@pytest.mark.parametrize("catch", [Exception, BaseException])
def test_a_solver_catching_around_its_evaluations_still_ends_as_budget(catch):
    p = kinkbench.nonsmooth(1)
    with RunLog(p, "careless", budget=2) as log:
        for i in range(10):
            try:
                log.fun(p.x0 + i)
            except catch:
                pass
    assert log.outcome == "budget" and log.evaluations == 2


@pytest.mark.parametrize("seed", [True, 1.5, "1", np.float64(2.0)])
def test_a_seed_is_a_whole_number_or_none(seed):
    with pytest.raises(ValueError, match="the seed must be a whole number or None"):
        RunLog(kinkbench.nonsmooth(1), "s", seed=seed)
    assert RunLog(kinkbench.nonsmooth(1), "s", seed=np.int64(3)).seed == 3


@pytest.mark.parametrize("budget", [0, -1, 2.5, True, "10"])
def test_a_budget_is_a_positive_whole_number(budget):
    with pytest.raises(ValueError, match="budget"):
        RunLog(kinkbench.nonsmooth(1), "s", budget=budget)
    assert RunLog(kinkbench.nonsmooth(1), "s", budget=1).budget == 1


@pytest.mark.parametrize("weight", [-1, -0.5, math.nan, math.inf, True, "1"])
def test_a_weight_is_a_number_of_at_least_zero(weight):
    with pytest.raises(ValueError, match="the weight of a gradient must be a finite number >= 0"):
        RunLog(kinkbench.nonsmooth(1), "s", weights={"gradient": weight})


def test_free_and_fractional_weights_are_costs_too():
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "s", weights={"value": 0, "gradient": 0.5, "hessian": np.float32(2)})
    log.fun(p.x0)
    log.grad(p.x0)
    log.hessian(p.x0)
    assert log.weights == {"value": 0.0, "gradient": 0.5, "jacobian": 1.0, "hessian": 2.0} and log.cost == 2.5
    with pytest.raises(ValueError, match="weights are value, gradient, jacobian, hessian; got 'gradients'"):
        RunLog(p, "s", weights={"gradients": 1})


@pytest.mark.parametrize("options", [{"tol": math.nan}, {"bound": -math.inf}, {"callback": print}])
def test_options_and_metadata_are_json_objects(tmp_path, options):
    for kind in ("solver_options", "metadata"):
        with pytest.raises(ValueError, match="must be JSON objects"):
            RunLog(kinkbench.nonsmooth(1), "s", tmp_path, **{kind: options})
    assert list(tmp_path.iterdir()) == []


def test_only_problem_objects_are_logged():
    class Wrapped:
        def __init__(self, p):
            self.p = p

        def __getattr__(self, name):
            return getattr(self.p, name)

    with pytest.raises(TypeError, match="start="):
        RunLog(Wrapped(kinkbench.minimax(3)), "s")


def test_errors_and_interrupts_are_outcomes(tmp_path):
    p = kinkbench.nonsmooth(1)
    with pytest.raises(ValueError, match="shape"):
        with RunLog(p, "bad", tmp_path) as log:
            log.fun(np.zeros(3))
    assert log.outcome.startswith("error: ValueError: x has shape (3,)")
    assert lines(log.path)[-1]["outcome"] == log.outcome
    with pytest.raises(KeyboardInterrupt):
        with RunLog(p, "stopped", tmp_path) as log:
            log.fun(p.x0)
            raise KeyboardInterrupt
    assert lines(log.path)[-1]["outcome"] == "interrupted"


def test_nan_never_best_and_ties_keep_the_first_point():
    p = kinkbench.nonsmooth(1)
    nan_point = np.full(p.n, np.inf)  # inf - inf inside f
    twin = np.array([p.x0[0], 2 * p.x0[0] ** 2 - p.x0[1]])  # mirrored across the valley
    assert np.isnan(p.value(nan_point)) and p.value(twin) == p.value(p.x0)
    log = RunLog(p, "s")
    log.fun(nan_point)
    assert log.best == math.inf and log.best_x is None
    for x in (p.x0, twin, nan_point):
        log.fun(x)
    assert log.best == p.value(p.x0)
    np.testing.assert_array_equal(log.best_x, p.x0)


def test_a_log_appears_under_its_name_only_when_complete(tmp_path):
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "s", tmp_path)
    partial = log.path.with_name(log.path.name + ".partial")
    lock = log.path.with_name(log.path.name + ".lock")
    log.fun(p.x0)
    assert partial.exists() and lock.exists() and not log.path.exists()
    with pytest.raises(RunHeld, match="another process"):
        RunLog(p, "s", tmp_path)
    log.finish()
    assert log.path.exists() and not partial.exists() and not lock.exists()
    with pytest.raises(FileExistsError, match="overwrite=True"):
        RunLog(p, "s", tmp_path)
    assert lines(log.path)[-1]["evaluations"] == 1
    # A partial log left by a killed process is set aside, not continued.
    stale = tmp_path / "other" / "nonsmooth-01-n2-s0.jsonl.partial"
    stale.parent.mkdir()
    stale.write_text('{"log_format": 2}\n{"eval": 1')
    RunLog(p, "other", tmp_path).finish()
    assert (tmp_path / "other" / "nonsmooth-01-n2-s0.jsonl.partial-1").read_text().endswith('{"eval": 1')


def test_threads_sharing_a_log_leave_a_whole_file(tmp_path):
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "threads", tmp_path, budget=20000)

    def work(seed):
        rng = np.random.default_rng(seed)
        try:
            while True:
                x = rng.standard_normal(p.n)
                log.fun(x)
                log.grad(x)
        except BaseException:
            pass

    threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    log.finish()
    records = evals(log.path)
    assert [r["eval"] for r in records] == list(range(1, 20001))
    assert lines(log.path)[-1]["outcome"] == "budget"


def test_names_outside_ascii_keep_their_letters():
    assert slug("Nelder-Mead (SciPy)") == "nelder-mead-scipy"
    assert len({slug(name) for name in ("Méthode", "Methode", "Мethode", "メソッド", "方法")}) == 5
    assert slug("Nelder–Mead · €") == "nelder-mead"  # other marks and symbols part words, as ASCII's do


def test_numbers_are_written_as_json_writes_them():
    rng = np.random.default_rng(5)
    samples = np.concatenate([
        rng.integers(0, 2**64, 20000, dtype=np.uint64).view(np.float64),
        [0.0, -0.0, 1e16, 1e15, 1e-4, 1e-5, 2.0**60, 5e-324, 100000.0, 1.5, np.inf, -np.inf, np.nan],
    ])
    spelled = {np.inf: '"inf"', -np.inf: '"-inf"'}
    for v in samples:
        expected = '"nan"' if np.isnan(v) else spelled.get(v, json.dumps(float(v)))
        assert _core._json_number(float(v)) == expected
    for v in (1.5, -2, math.inf, -math.inf):  # and the outcome line's read back
        assert number_from_json(number_to_json(v)) == v
    assert math.isnan(number_from_json(number_to_json(math.nan))) and number_from_json(None) is None


def test_the_one_run_example_records_what_scipy_reported(tmp_path, monkeypatch, capsys):
    source = pathlib.Path(os.environ.get("KINKBENCH_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
    page = (source / "docs" / "benchmarking.md").read_text()
    section = page.split("## One run\n", 1)[1]
    block, after = re.search(r"```python\n(.*?)```\n(.*?)\n\n", section, re.S).groups()
    monkeypatch.chdir(tmp_path)
    exec(compile(block, "benchmarking.md", "exec"), {})
    outcome, count, best = capsys.readouterr().out.split()
    shown = re.search(r"prints `(\w+) (\d+) (\S+)`", after).groups()
    # the last digits are OpenBLAS's, which differ by CPU (the page says so)
    assert (outcome, count) == shown[:2] and float(best) == pytest.approx(float(shown[2]), rel=1e-10)
    last = lines(tmp_path / "out/logs/bfgs/nonsmooth-11-n4-s0.jsonl")[-1]
    assert last["outcome"] == "stopped" and "precision loss" in last["message"]


FULL_DISK = """
import resource, signal, sys
import kinkbench
from kinkbench.suite import run_suite
signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
resource.setrlimit(resource.RLIMIT_FSIZE, (20000, 20000))

def walk(log):
    for i in range(1000):
        log.fun(log.x0 + i)

runs = run_suite({"walk": walk}, [("nonsmooth", 1), ("nonsmooth", 2)], sys.argv[1], budget=1000, progress=False)
for r in runs:
    print(r.number, r.outcome)
"""


def test_a_full_disk_ends_each_run_with_an_error_naming_its_file(tmp_path):
    run = subprocess.run([sys.executable, "-c", FULL_DISK, str(tmp_path)], capture_output=True, text=True, check=True)
    printed = run.stdout.splitlines()
    assert len(printed) == 2, run.stderr  # the suite went on to the second run
    for line, number in zip(printed, (1, 2)):
        assert line.startswith(f"{number} error: OSError: ") and f"nonsmooth-0{number}-n2-s0.jsonl.partial" in line
        assert "File too large" in line
    assert not list(tmp_path.rglob("*.jsonl")) and len(list(tmp_path.rglob("*.jsonl.partial"))) == 2


def test_the_outcome_carries_the_stationarity_at_the_best_point(tmp_path, monkeypatch):
    asked = []

    def measure(self, x, eps=0.0):
        asked.append((list(x), eps))
        return {"norm": 0.5 * eps, "gap": 0.0}

    # The problem objects' own measure, where the build has one, is replaced by a known one.
    monkeypatch.setattr(kinkbench.NonsmoothProblem, "stationarity", measure, raising=False)
    p = kinkbench.nonsmooth(11)  # f* = -44: eps = c * 44
    log = RunLog(p, "s", tmp_path)
    for d in (0.0, 0.1, 0.05):
        log.fun(p.x0 + d)
    log.finish()
    best = list(log.best_x)
    assert asked == [(best, 1e-6 * 44), (best, 1e-3 * 44)]
    assert lines(log.path)[-1]["stationarity"] == {repr(1e-6 * 44): 0.5e-6 * 44, repr(1e-3 * 44): 0.5e-3 * 44}


def test_a_failing_stationarity_is_a_warning_and_none_is_asked_without_a_best_point(tmp_path, monkeypatch):
    def measure(self, x, eps=0.0):
        raise RuntimeError(f"nothing at {list(x)}")

    monkeypatch.setattr(kinkbench.NonsmoothProblem, "stationarity", measure, raising=False)
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "s", tmp_path / "a")
    log.fun(p.x0)
    with pytest.warns(RuntimeWarning, match=r"stationarity at the best point failed: nothing at \[") as caught:
        log.finish()
    assert caught[0].filename == __file__  # the caller's line, as for unlogged calls
    assert lines(log.path)[-1]["outcome"] == "converged" and "stationarity" not in lines(log.path)[-1]
    log = RunLog(p, "s", tmp_path / "b")
    log.fun(np.full(p.n, np.inf))  # NaN: no best point
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        log.finish()
    assert lines(log.path)[-1]["x_best"] is None and "stationarity" not in lines(log.path)[-1]


def test_the_outcome_gives_the_run_time_to_the_microsecond(tmp_path, monkeypatch):
    from kinkbench import runlog

    clock = [1000.0]
    monkeypatch.setattr(runlog, "time", types.SimpleNamespace(perf_counter=lambda: clock[0]))
    log = RunLog(kinkbench.nonsmooth(1), "s", tmp_path)
    log.fun(log.x0)
    clock[0] += 2.5000004
    log.finish()
    assert lines(log.path)[-1]["seconds"] == 2.5


CLOSED_STDIN = """
import os, sys
import kinkbench
from kinkbench.runlog import RunLog
os.close(0)  # started with stdin closed (cron, a daemon): the lock gets descriptor 0
for _ in range(2):
    with RunLog(kinkbench.nonsmooth(1), "s", path=sys.argv[1], overwrite=True) as log:
        log.fun(log.x0)
print(*sorted(os.listdir(os.path.dirname(sys.argv[1]))))
"""


def test_a_run_without_stdin_lets_go_of_its_lock(tmp_path):
    command = [sys.executable, "-c", CLOSED_STDIN, str(tmp_path / "run.jsonl")]
    run = subprocess.run(command, capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "run.jsonl\n"), run.stderr


def test_a_set_up_that_fails_after_opening_leaves_nothing_behind(tmp_path, monkeypatch):
    from kinkbench import runlog

    def broken():
        raise RuntimeError("no versions today")

    monkeypatch.setattr(runlog, "_versions", broken)
    path = tmp_path / "run.jsonl"
    with pytest.raises(RuntimeError, match="no versions today"):
        RunLog(kinkbench.nonsmooth(1), "s", path=path)
    assert list(tmp_path.iterdir()) == []  # neither the partial log nor its lock
    monkeypatch.undo()
    with RunLog(kinkbench.nonsmooth(1), "s", path=path) as log:  # and the run is free to go
        log.fun(log.x0)
    assert path.exists()


def test_unfinished_logs_are_set_aside_under_the_next_free_number(tmp_path):
    from kinkbench.runlog import set_aside

    path = tmp_path / "run.jsonl.partial"
    names = []
    for text in ("a", "b", "c"):
        path.write_text(text)
        names.append(set_aside(path).name)
    assert names == ["run.jsonl.partial-1", "run.jsonl.partial-2", "run.jsonl.partial-3"]
    assert (tmp_path / "run.jsonl.partial-2").read_text() == "b" and not path.exists()


def test_the_unlogged_calls_warning_points_at_the_callers_line(tmp_path):
    p = kinkbench.nonsmooth(1)
    log = RunLog(p, "s", tmp_path, budget=5)
    p.value(p.x0)  # past the log
    with pytest.warns(RuntimeWarning, match="counted calls the log never saw") as caught:
        log.finish()
    assert caught[0].filename == __file__


def test_text_is_written_in_its_letters_and_any_str_survives(tmp_path):
    odd = os.fsdecode(b"\xff")  # an undecodable byte, as a subprocess's output may carry
    with pytest.raises(RuntimeError):
        with RunLog(kinkbench.nonsmooth(1), "Méthode", tmp_path) as log:
            log.fun(log.x0)
            raise RuntimeError(f"the solver said {odd}")
    # people grep logs for a solver's name: its letters are written, not escapes
    assert '"solver": "Méthode"' in log.path.read_text(encoding="utf-8")
    # the byte is kept as Python shows it: readers get Unicode, which a surrogate is not
    assert lines(log.path)[-1]["outcome"] == "error: RuntimeError: the solver said \\udcff"
    assert [f.name for f in log.path.parent.iterdir()] == [log.path.name]
