"""docs/solvers.md: its Python blocks run in order, and each prints the text block under it."""

import contextlib
import io
import os
import re

import pytest

kinkbench = pytest.importorskip("kinkbench")
pytest.importorskip("scipy", reason="the page wraps a SciPy method")

ROOT = os.environ.get("KINKBENCH_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")


def pairs():
    with open(os.path.join(ROOT, "docs", "solvers.md"), encoding="utf-8") as f:
        text = f.read()
    return re.findall(r"```python\n(.*?)```\n\n```text\n(.*?)```", text, re.S)


def test_every_example_prints_what_the_page_shows(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    found = pairs()
    assert len(found) == 3
    scope = {}
    for code, shown in found:
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            exec(compile(code, "docs/solvers.md", "exec"), scope)
        assert out.getvalue() == shown, code
    assert sorted(p.name for p in (tmp_path / "out" / "solvers").iterdir()) == [
        "bfgs", "compass-search"]
