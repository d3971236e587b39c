"""The dual bounds of data/_certificates.py: each is a true lower bound of the library's f
(weak duality at many points), and the pieces they are built from are the library's."""

import json
import os
import sys

import numpy as np
import pytest

import kinkbench

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "data"))
import _certificates as cert  # noqa: E402
from _nonsmooth_pieces import epigraph_form, evaluate, piece_names  # noqa: E402

with open(os.path.join(REPO, "data", "optima.json"), encoding="utf-8") as f:
    OPTIMA = {e["number"]: e for e in json.load(f)["nonsmooth"]}


@pytest.mark.parametrize("number", cert.CERTIFIED)
def test_bound_lies_below_f_everywhere_it_is_probed(number):
    e = OPTIMA[number]
    bound = e["evidence"]["certificate"]["bound"]
    p = kinkbench.nonsmooth(number)
    rng = np.random.default_rng(number)
    xs = np.asarray(e["best_point"], dtype=float)
    for scale in (1e-6, 1e-3, 0.1, 1.0, 10.0):
        for _ in range(50):
            x = xs + scale * (1 + np.abs(xs)) * rng.standard_normal(xs.size)
            assert p.value(x) >= bound, (number, scale)
    assert p.value(xs) - bound == e["evidence"]["gap"]


def test_a_multiplier_off_the_optimum_gives_a_lower_but_valid_bound():
    # any lambda in the simplex bounds problem 12 from below; the optimal one is the best
    lam = np.full(10, 0.1)
    weak = cert.recheck(12, {"lambda": lam.tolist()}, OPTIMA[12]["best_value"])
    assert weak < OPTIMA[12]["evidence"]["certificate"]["bound"]
    assert weak <= min(kinkbench.nonsmooth(12).value(np.random.default_rng(1).normal(size=5))
                       for _ in range(20))


def test_chain_terms_are_problem_18():
    rng = np.random.default_rng(18)
    p = kinkbench.nonsmooth(18)
    for _ in range(20):
        x = 3 * rng.standard_normal(12)
        assert cert.value18(x) == pytest.approx(p.value(x), rel=1e-13)


def test_piece_names_fit_the_epigraph_forms_and_the_forms_fit_the_library():
    rng = np.random.default_rng(7)
    for number in range(1, 26):
        form = epigraph_form(number)
        if form is None:
            assert piece_names(number) is None
            continue
        _, groups = form
        p = kinkbench.nonsmooth(number)
        x = np.asarray(p.x0, dtype=float) + 0.1 * rng.standard_normal(p.n)
        names = piece_names(number)
        assert [len(np.atleast_1d(g(x))) for g in groups] == [len(g) for g in names], number
        assert all(len(set(g)) == len(g) for g in names), number
        assert evaluate(number, x) == pytest.approx(p.value(x), rel=1e-11, abs=1e-11), number
