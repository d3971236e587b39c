"""Shared pieces of the Python tests: the paths they need, the C++ reference driver and a
tally of how many numbers were compared bit for bit.

ctest sets the paths. Run by hand from the source tree, as

    PYTHONPATH=build/default/python /usr/bin/python3 -m pytest tests/python

they default to the build tree the kinkbench module comes from; a path that is missing
stops the run with a line naming it, so that no test is skipped for want of it."""

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

SOURCE = Path(__file__).resolve().parents[2]


def build_paths(build):
    """Where a build tree keeps what the tests run, by the variable naming each."""
    return {
        "KINKBENCH_REFERENCE_DRIVER": build / "python" / "tests" / "kinkbench_python_reference",
        "KINKBENCH_NSEVAL": build / "nseval",
        "KINKBENCH_COMMAND": build / "kinkbench",
        "KINKBENCH_SOURCE_DIR": SOURCE,
    }


def pytest_configure(config):
    try:
        import kinkbench
    except ImportError as err:
        raise pytest.UsageError(
            f"cannot import kinkbench ({err}): put the build's python directory on "
            "PYTHONPATH, e.g. PYTHONPATH=build/default/python") from None
    # build/default/python/kinkbench/__init__.py: the build tree is three levels up
    build = Path(kinkbench.__file__).resolve().parents[2]
    for name, default in build_paths(build).items():
        path = os.environ.setdefault(name, str(default))
        if not os.path.exists(path):
            raise pytest.UsageError(
                f"{name} is {path}, which does not exist: build the tree kinkbench was "
                f"imported from ({build}) or set {name}")

COMPARED = {"numbers": 0, "problems": set()}


def bits(*parts):
    """The float64 bit patterns of scalars and arrays, flattened in order."""
    flat = [np.atleast_1d(np.asarray(part, dtype=np.float64)).ravel() for part in parts]
    return np.concatenate(flat).view(np.uint64) if flat else np.zeros(0, np.uint64)


def to_words(values):
    return " ".join(f"{b:016x}" for b in bits(values).tolist())


class Reference:
    """One long-running reference driver; each request is a line, each answer a line of
    bit patterns."""

    def __init__(self, path):
        self.process = subprocess.Popen(
            [path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True
        )

    def ask(self, request):
        self.process.stdin.write(request + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline()
        if not answer:
            raise RuntimeError(f"the reference driver gave no answer to {request[:60]!r}")
        return np.array([int(word, 16) for word in answer.split()], dtype=np.uint64)

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)


@pytest.fixture(scope="session")
def reference():
    driver = Reference(os.environ["KINKBENCH_REFERENCE_DRIVER"])  # see pytest_configure
    yield driver
    driver.close()


def pytest_terminal_summary(terminalreporter):
    if COMPARED["numbers"]:
        terminalreporter.write_line(
            f"bit for bit against the C++ API: {COMPARED['numbers']} numbers, "
            f"{len(COMPARED['problems'])} problem set-ups"
        )
