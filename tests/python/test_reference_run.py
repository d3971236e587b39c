"""The reference run's script works end to end on a small budget, and its SLSQP on the
epigraph spends one logged evaluation per point it tries."""

import json
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
    pytest.importorskip("scipy", reason="the reference run solves with SciPy")
    return runpy.run_path(str(pathlib.Path(source) / "examples/python/reference_run.py"))


@pytest.mark.parametrize("number", [1, 7, 17])  # max f_k, a fit (max |f_k|), a budget run
def test_slsqp_spends_one_evaluation_per_point(script, number, tmp_path):
    p = kinkbench.minimax(number)
    log = RunLog(p, "SLSQP", tmp_path, budget=200)
    points = []
    for name in ("values", "jacobian"):  # note every point the solver asks at

        def call(x, inner=getattr(log, name)):
            points.append(np.array(x))
            return inner(x)

        setattr(log, name, call)
    with log:
        script["slsqp_epigraph"](log)
    # A new evaluation wherever the point differs from the call before it: values then
    # jacobian at one point, or SciPy asking twice in a row, count once.
    if log.exhausted:
        points.pop()  # the call the budget refused: neither counted nor evaluated
    new = [x for i, x in enumerate(points) if i == 0 or not np.array_equal(x, points[i - 1])]
    assert log.counts["values"] + log.counts["jacobians"] == len(points)
    assert log.evaluations == len(new) > 3
    recorded = [json.loads(line) for line in log.path.read_text().splitlines()]
    assert [r["f"] for r in recorded if "eval" in r] == [p.objective(x)[0] for x in new]
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
