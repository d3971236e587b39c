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

    def comparable(text):
        lines = [json.loads(line) for line in text.splitlines()]
        lines[-1].pop("seconds")
        return lines[1:]

    name = "reference-campaign/" + summary.path.relative_to(tmp_path).as_posix()
    assert comparable(summary.path.read_text()) == comparable(archive[name])
