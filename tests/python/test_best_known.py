"""The best-known optima reach Python exactly as stored: every problem has one at its
minimum n, the library's own objective gives it at the stored point, and other n have none."""

import json
import pathlib

import numpy as np
import pytest

import kinkbench

STORED = json.loads((pathlib.Path(__file__).parents[2] / "data" / "optima.json").read_text())
CASES = [("minimax", e) for e in STORED["minimax"]] + [("nonsmooth", e) for e in STORED["nonsmooth"]]


def test_every_problem_has_an_entry():
    assert sorted(e["number"] for e in STORED["minimax"]) == list(range(1, 26))
    assert sorted(e["number"] for e in STORED["nonsmooth"]) == list(range(1, 26))


@pytest.mark.parametrize("collection, entry", CASES, ids=lambda c: str(c) if isinstance(c, str) else c["number"])
def test_stored_optimum_is_what_the_library_gives(collection, entry):
    p = getattr(kinkbench, collection)(entry["number"], n=entry["n"])
    assert p.best_value == entry["best_value"]
    assert p.best_status == entry["status"]
    point = p.best_point
    np.testing.assert_array_equal(point, np.array(entry["best_point"]))
    value = p.objective(point)
    value = value[0] if isinstance(value, tuple) else value
    assert np.float64(value).tobytes() == np.float64(p.best_value).tobytes()
    point[0] += 1  # a fresh array: the object's copy stays put
    assert p.best_point[0] == entry["best_point"][0]


def test_other_dimensions_have_none():
    p = kinkbench.nonsmooth(1, n=3)
    assert p.best_value is None and p.best_point is None and p.best_status is None
