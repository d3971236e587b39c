"""docs/python-api.md is what docs/python_api.py writes from the package as it is, and it
names everything the package offers."""

import os
import sys

import pytest

kinkbench = pytest.importorskip("kinkbench")

ROOT = os.environ.get("KINKBENCH_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "docs"))
import python_api  # noqa: E402  (docs/ is not a package)


@pytest.fixture(scope="module")
def page():
    return python_api.generate()


def test_the_committed_page_is_up_to_date(page):
    with open(os.path.join(ROOT, "docs", "python-api.md"), encoding="utf-8") as f:
        committed = f.read()
    assert committed == page, "docs/python-api.md is stale: run docs/python_api.py"


def test_the_page_names_every_public_member(page):
    for name in kinkbench.__all__:
        assert f"`kinkbench.{name}" in page, name
    for cls in (kinkbench.MinimaxProblem, kinkbench.NonsmoothProblem, kinkbench.RunLog):
        for member in (m for m in vars(cls) if not m.startswith("_")):
            assert f"- `{member}" in page, f"{cls.__name__}.{member}"
    for field in kinkbench.ProblemInfo._fields:
        assert f"- `{field}` (" in page, field
    assert f"Version {kinkbench.__version__} " in page
    assert "handle" not in page  # pybind11's name for an unconverted argument


def test_help_names_what_each_argument_takes():
    import pydoc

    text = pydoc.render_doc(kinkbench.MinimaxProblem) + pydoc.render_doc(kinkbench.NonsmoothProblem)
    assert "handle" not in text + kinkbench.minimax.__doc__ + kinkbench.nonsmooth.__doc__
    assert "value(self: kinkbench._core.MinimaxProblem, x: ArrayLike, k: int)" in text


def test_the_version_is_the_projects():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        assert f"project(kinkbench VERSION {kinkbench.__version__} " in f.read()
    with open(os.path.join(ROOT, "CITATION.cff"), encoding="utf-8") as f:
        assert f"\nversion: {kinkbench.__version__}\n" in f.read()
    doc = kinkbench.minimax.__doc__.splitlines()[0]
    assert doc.startswith("minimax(number: int, n: int | None = None, capacity: int | None")
