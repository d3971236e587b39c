"""Shared pieces of the Python tests: the C++ reference driver and a tally of how many
numbers were compared bit for bit."""

import os
import subprocess

import numpy as np
import pytest

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
    path = os.environ.get("KINKBENCH_REFERENCE_DRIVER")
    if not path:
        pytest.skip("KINKBENCH_REFERENCE_DRIVER is not set (ctest sets it)")
    driver = Reference(path)
    yield driver
    driver.close()


def pytest_terminal_summary(terminalreporter):
    if COMPARED["numbers"]:
        terminalreporter.write_line(
            f"bit for bit against the C++ API: {COMPARED['numbers']} numbers, "
            f"{len(COMPARED['problems'])} problem set-ups"
        )
