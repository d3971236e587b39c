"""The reference run's script works end to end on a small budget, and its SLSQP on the
epigraph spends one logged evaluation per point it tries."""

import os
import pathlib
import runpy

import numpy as np
import pytest

import kinkbench
from kinkbench.runlog import RunLog


@pytest.fixture(scope="module")
def script():
    source = os.environ.get("KINKBENCH_SOURCE_DIR")
    if not source:
        pytest.skip("KINKBENCH_SOURCE_DIR is not set (ctest sets it)")
    return runpy.run_path(str(pathlib.Path(source) / "examples/python/reference_run.py"))


class Recorder:
    """Passes every call on to the problem and notes the point it was made at."""

    def __init__(self, problem):
        self.problem, self.points = problem, []

    def __getattr__(self, name):
        method = getattr(self.problem, name)

        def call(x, *args, **kwargs):
            self.points.append(np.array(x))
            return method(x, *args, **kwargs)

        return call if name in ("values", "jacobian") else method


@pytest.mark.parametrize("number", [1, 7, 17])  # max f_k, a fit (max |f_k|), a budget run
def test_slsqp_spends_one_evaluation_per_point(script, number):
    p = kinkbench.minimax(number)
    log = RunLog(p, "SLSQP", budget=200)
    log.problem = recorder = Recorder(p)
    with log:
        script["slsqp_epigraph"](log)
    # A new evaluation wherever the point differs from the call before it: values then
    # jacobian at one point, or SciPy asking twice in a row, count once.
    new = [x for i, x in enumerate(recorder.points) if i == 0 or not np.array_equal(x, recorder.points[i - 1])]
    # The log records on a twin: the problem counts SLSQP's own calls and nothing else.
    assert p.counts()["values"] + p.counts()["jacobians"] == len(recorder.points)
    assert log.evaluations == len(new) > 3
    assert [r["f"] for r in log.records[1:-1]] == [p.objective(x)[0] for x in new]
    assert log.outcome == ("budget" if number == 17 else "converged")


def test_the_script_writes_logs_and_pictures(script, tmp_path, capsys):
    pytest.importorskip("matplotlib")
    pictures = tmp_path / "img" / "profiles"
    argv = ["reference_run.py", "--budget", "40", "--logdir", str(tmp_path / "logs"), "--pictures", str(pictures)]
    assert script["main"](argv) == 0
    printed = capsys.readouterr().out
    assert printed.startswith("100 runs, budget 40, ")
    for folder in ("bfgs", "nelder-mead", "powell", "slsqp-epigraph"):
        assert len(list((tmp_path / "logs" / folder).glob("*.jsonl"))) == 25
    for name in ("profiles-data.png", "profiles-performance.svg"):
        assert (pictures.parent / name).exists()


def test_by_default_everything_goes_under_out_of_the_current_folder(script, tmp_path, monkeypatch, capsys):
    pytest.importorskip("matplotlib")
    monkeypatch.chdir(tmp_path)
    assert script["main"](["reference_run.py", "--budget", "5"]) == 0
    written = sorted(str(p.relative_to(tmp_path)) for p in tmp_path.rglob("*") if p.is_file())
    assert all(name.startswith("out/") for name in written) and len(written) == 104
    assert "out/reference-run-profiles-performance.png" in written
    assert "wrote out/reference-run-profiles-data.png" in capsys.readouterr().out
