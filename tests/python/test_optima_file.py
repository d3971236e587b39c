"""data/optima.json is never made worse by a run: a stored entry gives way only to one at
least as good (or when asked), a run that finds nothing new leaves the file byte for byte,
and a quick run writes nothing there."""

import json
import os
import sys
import types

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "data"))
import _optima_file  # noqa: E402
import reproduce  # noqa: E402


def entry(number, value, date="2026-01-01", starts=80):
    return {"number": number, "best_value": value, "status": "best known", "starts": starts,
            "date": date}


STORED = {"minimax": [entry(1, 1.0), entry(2, 2.0), entry(3, 3.0)],
          "nonsmooth": [entry(1, 0.5)]}


@pytest.fixture
def stored(tmp_path):
    path = tmp_path / "optima.json"
    _optima_file.update("minimax", STORED["minimax"], str(path))
    _optima_file.update("nonsmooth", STORED["nonsmooth"], str(path))
    return path


def test_merge_takes_only_what_is_at_least_as_good():
    found = [entry(1, 1.5, starts=6), entry(2, 2.0, starts=6), entry(3, 2.5), entry(4, 9.0),
             entry(1, 1.0, date="2027-05-05")]
    section, report = _optima_file.merge(STORED["minimax"], found[:4])
    assert [e["best_value"] for e in section] == [1.0, 2.0, 2.5, 9.0]
    assert section[1]["starts"] == 6  # as good counts: the newer evidence is taken
    assert [r[3] for r in report] == ["kept (new is worse)", "replaced", "replaced", "added"]
    assert report[0][1:3] == (1.0, 1.5)
    # Differing only in the date: the stored entry, date and all, stays.
    section, report = _optima_file.merge(STORED["minimax"], found[4:])
    assert section[0]["date"] == "2026-01-01" and report[0][3] == "unchanged"
    section, report = _optima_file.merge(STORED["minimax"], found[:1], replace_worse=True)
    assert section[0]["best_value"] == 1.5 and report[0][3] == "replaced (worse)"


def test_a_run_that_changes_nothing_leaves_the_file_alone(stored):
    before, mtime = stored.read_bytes(), os.stat(stored).st_mtime_ns
    report = _optima_file.update("minimax", [entry(2, 2.0, date="2030-12-31"), entry(3, 4.0)],
                                 str(stored))
    assert [r[3] for r in report] == ["unchanged", "kept (new is worse)"]
    assert stored.read_bytes() == before
    assert os.stat(stored).st_mtime_ns == mtime  # not even rewritten with the same text
    assert not (stored.parent / "optima.json.tmp").exists()


def fake_script(monkeypatch, name, entries):
    module = types.SimpleNamespace(
        solve=lambda numbers, quick=False: [e for e in entries if e["number"] in numbers])
    monkeypatch.setitem(sys.modules, name, module)


def test_reproduce_quick_compares_and_writes_only_its_output(stored, tmp_path, monkeypatch,
                                                            capsys):
    pytest.importorskip("kinkbench")
    # Worse values, as a quick run's few starts find them.
    fake_script(monkeypatch, "minimax_optima", [entry(1, 1.0, starts=6), entry(2, 8.4e-6 + 2.0)])
    fake_script(monkeypatch, "nonsmooth_optima", [entry(1, 0.75, starts=6), entry(2, 7.0)])
    before = stored.read_bytes()
    assert reproduce.main(["--quick", "2", "1"], path=str(stored)) == 0
    assert stored.read_bytes() == before
    out = capsys.readouterr().out
    assert "compared only (quick run)" in out and "was not written" in out
    # --output gets the stored file with the quick entries in it, both collections.
    copy = tmp_path / "quick.json"
    assert reproduce.main(["--quick", "--output", str(copy), "1", "2"], path=str(stored)) == 0
    assert stored.read_bytes() == before
    data = json.loads(copy.read_text())
    assert [e["best_value"] for e in data["minimax"]] == [1.0, 2.0, 3.0]  # merged
    assert data["minimax"][0]["starts"] == 6
    assert [e["best_value"] for e in data["nonsmooth"]] == [0.5, 7.0]
    # The quick values themselves, worse ones included, when asked for.
    argv = ["--quick", "--replace-worse", "--output", str(copy), "1", "2"]
    copy.unlink()
    assert reproduce.main(argv, path=str(stored)) == 0
    assert stored.read_bytes() == before
    data = json.loads(copy.read_text())
    assert [e["best_value"] for e in data["minimax"]] == [1.0, 8.4e-6 + 2.0, 3.0]
    assert [e["best_value"] for e in data["nonsmooth"]] == [0.75, 7.0]


def test_reproduce_replaces_a_better_entry_only_when_told(stored, monkeypatch, capsys):
    pytest.importorskip("kinkbench")
    fake_script(monkeypatch, "minimax_optima", [entry(3, 3.5), entry(1, 0.25)])
    assert reproduce.main(["minimax", "1", "3"], path=str(stored)) == 0
    values = [e["best_value"] for e in json.loads(stored.read_text())["minimax"]]
    assert values == [0.25, 2.0, 3.0]
    assert "kept (new is worse)" in capsys.readouterr().out
    assert reproduce.main(["--replace-worse", "minimax", "3"], path=str(stored)) == 0
    assert json.loads(stored.read_text())["minimax"][2]["best_value"] == 3.5


@pytest.mark.parametrize("argv, status, said", [
    (["--quick", "--replace-worse"], 2, "--replace-worse needs --output FILE"),
    (["--quick", "--output", _optima_file.DATA], 2, "--quick never writes data/optima.json"),
    (["--output"], 2, "--output needs a file name"),
    (["--fast"], 2, "unknown option '--fast'"),
    (["minimax", "26"], 2, "1 to 25"),
])
def test_reproduce_refuses_what_would_harm_or_mean_nothing(argv, status, said, capsys):
    assert reproduce.main(argv) == status
    assert said in capsys.readouterr().err


def test_without_kinkbench_the_scripts_say_how_to_run_them(monkeypatch, capsys):
    monkeypatch.setitem(sys.modules, "kinkbench", None)
    assert reproduce.main(["--quick", "minimax", "1"]) == 2
    err = capsys.readouterr().err
    assert "cannot import the kinkbench package" in err and ".venv/bin/python" in err
