"""The shipped reference campaign is complete, in format 2, and what the library and
SciPy give today: runs made again write the archived lines."""

import json
import os
import pathlib
import tarfile

import pytest

pytest.importorskip("scipy", reason="the archived runs are SciPy's solvers")

from kinkbench.campaign import Campaign, run_campaign

SOURCE = pathlib.Path(os.environ.get("KINKBENCH_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
ARCHIVE = SOURCE / "data" / "reference-campaign.tar.xz"


@pytest.fixture(scope="module")
def archive():
    with tarfile.open(ARCHIVE) as tar:
        return {m.name: tar.extractfile(m).read().decode() for m in tar.getmembers() if m.isfile()}


def test_every_run_is_there_and_complete(archive):
    manifests = [Campaign.load_text(text) for name, text in archive.items() if name.endswith(".json")]
    expected = {task.path.relative_to("reference-campaign").as_posix()
                for campaign in manifests for task in campaign.plan("reference-campaign").tasks}
    logs = {name.split("/", 1)[1]: text for name, text in archive.items() if name.endswith(".jsonl")}
    assert len(manifests) == 2 and set(logs) == expected and len(expected) == 875
    # the id of a campaign stays what it was when the archive was made
    ids = {name.split("/")[-1]: json.loads(text)["id"] for name, text in archive.items() if name.endswith(".json")}
    assert {f"{c.id}.json": c.id for c in manifests} == ids
    for text in logs.values():
        lines = [json.loads(line) for line in text.splitlines()]
        assert lines[0]["log_format"] == 2 and lines[0]["record"] == "improvements"
        assert "outcome" in lines[-1] and all("eval" in r for r in lines[1:-1])


@pytest.mark.parametrize("solver, problem, start", [
    ("Nelder-Mead", ["nonsmooth", 2], 3), ("BFGS", ["minimax", 7], 1), ("SLSQP (epigraph)", ["minimax", 17], 4)])
def test_a_run_made_again_writes_the_archived_lines(archive, tmp_path, solver, problem, start):
    manifests = [Campaign.load_text(text) for name, text in archive.items() if name.endswith(".json")]
    source = next(c for c in manifests if solver in c.solvers)
    again = Campaign(solvers={solver: source.solvers[solver]}, problems={"list": [problem]}, starts=start + 1,
                     budget=source.budget, record=source.record)
    summary = run_campaign(again, tmp_path, progress=False)[-1]

    name = "reference-campaign/" + summary.path.relative_to(tmp_path).as_posix()
    written = summary.path.read_text()
    assert_same_run(comparable(written), comparable(archive[name]))
    # and on one machine, bit for bit
    assert run_campaign(again, tmp_path / "again", progress=False)[-1].path.read_text().splitlines()[1:-1] \
        == written.splitlines()[1:-1]


def comparable(text):
    lines = [json.loads(line) for line in text.splitlines()]
    lines[-1].pop("seconds")
    return lines[1:]


# SciPy's solvers do their linear algebra in OpenBLAS, whose kernels are chosen by CPU and
# round differently in the last bits; the library's own numbers are the same everywhere.
RELATIVE = 1e-10


def close(a, b):
    """Equal, up to RELATIVE in each float; counts, names and shapes exactly."""
    if isinstance(a, float) and isinstance(b, float):
        return a == b or abs(a - b) <= RELATIVE * max(abs(a), abs(b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(close(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    return type(a) is type(b) and a == b


def assert_same_run(lines, archived):
    assert len(lines) == len(archived)
    for mine, theirs in zip(lines, archived):
        assert close(mine, theirs), (mine, theirs)


def test_the_comparison_allows_rounding_only():
    line = {"eval": 9, "f": 0.015161307299396878, "x": [1.0, -2.5], "outcome": "stopped"}
    assert close(line, dict(line, f=0.015161307299396874))
    assert not close(line, dict(line, f=0.01516130731))
    assert not close(line, dict(line, f=0.0151613072))
    assert not close(line, dict(line, eval=10))
    assert not close(line, dict(line, x=[1.0, -2.5000001]))
    assert not close(line, dict(line, x=[1.0]))
    assert not close(line, dict(line, outcome="converged"))
    assert not close({"eval": 9}, {"eval": 9.0})
