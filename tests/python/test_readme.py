"""The README's Python example runs and prints what it says."""

import contextlib
import io
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
