"""The README's Python example runs and prints what it says."""

import contextlib
import io
import json
import os
import pathlib
import re

import pytest


def test_readme_python_example_runs():
    source = os.environ.get("KINKBENCH_SOURCE_DIR")
    if not source:
        pytest.skip("KINKBENCH_SOURCE_DIR is not set (ctest sets it)")
    readme = (pathlib.Path(source) / "README.md").read_text()
    block = re.search(r"^```python\n(.*?)^```$", readme, re.S | re.M)
    assert block, "the README has no python block"
    assert len(block.group(1).splitlines()) <= 10
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        exec(compile(block.group(1), "README.md", "exec"), {})
    assert printed.getvalue() == (
        "max |f_k| = 0.250397 at k = 3; f = 0.0, g = [ -5.  -5. -21.   7.]\n"
    )


def test_readme_benchmark_snippet_runs(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib")
    source = os.environ.get("KINKBENCH_SOURCE_DIR")
    if not source:
        pytest.skip("KINKBENCH_SOURCE_DIR is not set (ctest sets it)")
    readme = (pathlib.Path(source) / "README.md").read_text()
    section = readme.split("## Benchmark your solver\n", 1)[1].split("\n## ", 1)[0]
    block = re.search(r"^```python\n(.*?)^```$", section, re.S | re.M).group(1)
    assert len([line for line in block.splitlines() if line.strip()]) <= 10
    assert block.count("budget=2000") == 1
    monkeypatch.chdir(tmp_path)  # its logs and pictures go below the working directory
    exec(compile(block.replace("budget=2000", "budget=30"), "README.md", "exec"), {})
    logs = sorted((tmp_path / "out/reference-run/random-search").glob("*.jsonl"))
    assert len(logs) == 25
    for log in logs:
        last = json.loads(log.read_text().splitlines()[-1])
        assert (last["outcome"], last["evaluations"]) == ("budget", 30)
    for kind in ("data", "performance"):
        for suffix in ("png", "svg"):
            assert (tmp_path / f"out/profiles-{kind}.{suffix}").stat().st_size > 1000
