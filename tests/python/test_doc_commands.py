"""Every Python command the documentation shows runs on the one interpreter the README's
install provides, .venv/bin/python: /usr/bin/python3 alone cannot import kinkbench, and a
bare python3 may be another interpreter altogether."""

import glob
import os
import re
from pathlib import Path

ROOT = os.environ.get("KINKBENCH_SOURCE_DIR") or os.path.join(os.path.dirname(__file__), "..", "..")

# An interpreter word followed by a script or -m MODULE: a command someone would type.
COMMAND = re.compile(r"(?<![\w./-])(?P<python>[\w./-]*python3?)\s+(?P<what>-m\s+\S+|[\w./-]+\.py)\b")
PREFIX = "PYTHONPATH=build/default/python "
BUILD_ARGUMENT = re.compile(r"\s+(--build\s+)?build/")


# Quotes the package's docstrings, which speak of whatever interpreter the package is in.
GENERATED = {"docs/python-api.md"}


def documents():
    paths = ["README.md", "data/README.md"] + sorted(
        os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, "docs", "*.md")))
    paths = [p for p in paths if p not in GENERATED]
    return [(p, open(os.path.join(ROOT, p), encoding="utf-8").read()) for p in paths]


def commands(text):
    for m in COMMAND.finditer(text):
        if m.group("python").endswith(("-dev", "-numpy")):
            continue
        yield m


def test_documented_python_commands_use_the_installed_interpreter():
    found, wrong = 0, []
    for path, text in documents():
        for m in commands(text):
            python, what = m.group("python"), m.group("what")
            found += 1
            if python == ".venv/bin/python":
                continue
            if python == "/usr/bin/python3" and what.startswith("-m venv"):
                continue  # the install itself
            if python == "/usr/bin/python3" and text[:m.start()].endswith(PREFIX):
                continue
            if python == "/usr/bin/python3" and BUILD_ARGUMENT.match(text, m.end()):
                continue  # a script that is handed the build tree finds the module there
            line = text.count("\n", 0, m.start()) + 1
            wrong.append(f"{path}:{line}: {m.group(0).strip()}")
    assert wrong == []
    assert found >= 10  # the pattern still finds the commands


def test_the_pattern_tells_the_forms_apart():
    text = ("run `python3 -m kinkbench.profiles x`, `/usr/bin/python3 data/check.py`, "
            "`.venv/bin/python data/check.py` and python3-numpy")
    assert [m.group("python") for m in commands(text)] == [
        "python3", "/usr/bin/python3", ".venv/bin/python"]


def test_a_run_by_hand_gets_every_path_that_ctest_sets():
    # pytest from the source tree must not meet a variable only ctest would have set
    from conftest import build_paths

    with open(os.path.join(ROOT, "tests", "python", "CMakeLists.txt"), encoding="utf-8") as f:
        set_by_ctest = set(re.findall(r"\b(KINKBENCH_[A-Z_]+)=", f.read()))
    assert set_by_ctest and set_by_ctest <= set(build_paths(Path("build")))
