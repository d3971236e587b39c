"""The minimax optima scripts: their numerical pieces on small problems with known answers,
the file update, and the claims the script makes about the library's problems."""

import json
import math
import os
import sys

import numpy as np
import pytest

pytest.importorskip("scipy", reason="the optima scripts search with SciPy")
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "data"))
import _minimax_tools as tools  # noqa: E402
import minimax_optima  # noqa: E402


class Toy:
    """A minimax problem given by Python callables, with the library's method names."""

    def __init__(self, n, parts, grads, itype=-1):
        self.n, self.m, self.itype = n, len(parts), itype
        self._parts, self._grads = parts, grads

    def values(self, x):
        return np.array([f(x) for f in self._parts])

    def jacobian(self, x):
        return np.array([g(x) for g in self._grads])

    def largest(self, x):
        v = self.values(x)
        return float(np.max(v)), int(np.argmax(v)) + 1

    def objective(self, x):
        v = np.abs(self.values(x)) if self.itype == 0 else self.values(x)
        return float(np.max(v)), int(np.argmax(v)) + 1


# max(x1 + x2, x2 - x1, -x2) has its minimum 0 at the origin with multipliers 1/4, 1/4, 1/2.
PLANES = Toy(2, [lambda x: x[0] + x[1], lambda x: x[1] - x[0], lambda x: -x[1]],
             [lambda x: np.array([1.0, 1.0]), lambda x: np.array([-1.0, 1.0]),
              lambda x: np.array([0.0, -1.0])])
# max(x^2, (x - 2)^2): minimum 1 at x = 1, multipliers 1/2, 1/2, Lagrangian bound 1.
PARABOLAS = Toy(1, [lambda x: x[0] ** 2, lambda x: (x[0] - 2) ** 2],
                [lambda x: np.array([2 * x[0]]), lambda x: np.array([2 * (x[0] - 2)])])
# A fit: max |x1 - y_k| for y = 0, 1, 3 is 1.5 at x1 = 1.5, with f_1 = +1.5 and f_3 = -1.5.
FIT = Toy(1, [lambda x, y=y: x[0] - y for y in (0.0, 1.0, 3.0)],
          [lambda x: np.array([1.0])] * 3, itype=0)


def test_kkt_finds_the_known_multipliers():
    lam, res = tools.kkt(PLANES.jacobian(np.zeros(2)))
    np.testing.assert_allclose(lam, [0.25, 0.25, 0.5], atol=1e-9)
    assert res < 1e-9
    assert lam.sum() == pytest.approx(1.0, abs=1e-15)


def test_kkt_reports_a_positive_residual_away_from_a_minimum():
    # Two gradients pointing the same way: no convex combination vanishes; the best one is
    # all weight on the shorter, so the residual is its length.
    lam, res = tools.kkt(np.array([[1.0, 0.0], [3.0, 0.0]]))
    np.testing.assert_allclose(lam, [1.0, 0.0], atol=1e-9)
    assert res == pytest.approx(1.0, rel=1e-9)


@pytest.mark.parametrize("problem, start, value, point", [
    (PLANES, [1.0, 2.0], 0.0, [0.0, 0.0]),
    (PARABOLAS, [-3.0], 1.0, [1.0]),
    (FIT, [7.0], 1.5, [1.5]),
])
def test_epigraph_and_lp_steps_reach_the_minimum(problem, start, value, point):
    absolute = problem.itype == 0
    x, v = tools.epigraph(problem, np.array(start), absolute)
    assert v == pytest.approx(value, abs=1e-7)
    x, v = tools.slp_polish(problem, x, absolute)
    assert v == pytest.approx(value, abs=1e-12)
    np.testing.assert_allclose(x, point, atol=1e-6)


def test_active_set_of_a_fit_carries_the_signs():
    k, s, g = tools.active_set(FIT, np.array([1.5]), absolute=True, tol=1e-12)
    assert sorted(zip(k.tolist(), s.tolist())) == [(1, 1.0), (3, -1.0)]
    lam, res = tools.kkt(g)
    np.testing.assert_allclose(lam, [0.5, 0.5], atol=1e-9)
    assert res < 1e-12


def test_plain_max_of_a_fit_ignores_the_absolute_value():
    # max f_k at 1.5 is f_1 = 1.5; the form with |f_k| would also see 1.5 but from f_3.
    assert tools.objective(FIT, np.array([-1.0]), absolute=False) == -1.0
    assert tools.objective(FIT, np.array([-1.0]), absolute=True) == 4.0


def test_vertex_newton_lands_on_the_vertex():
    x = tools.vertex_newton(PARABOLAS, np.array([0.9]), False, np.array([1, 2]),
                            np.array([1.0, 1.0]))
    assert x[0] == 1.0


def test_lagrangian_bound_of_a_convex_problem():
    bound, gnorm = tools.lagrangian_bound(PARABOLAS, np.array([0.3]), False,
                                          np.array([1, 2]), np.array([1.0, 1.0]),
                                          np.array([0.5, 0.5]))
    assert bound == pytest.approx(1.0, abs=1e-12)
    assert gnorm < 1e-10


def test_update_replaces_only_the_given_minimax_entries(tmp_path):
    path = tmp_path / "optima.json"
    other = [{"number": 1, "best_value": 0.1}]
    old = [{"number": i, "best_value": float(i)} for i in (1, 2, 3)]
    path.write_text(json.dumps({"minimax": old, "nonsmooth": other}))
    # 0.1 + 0.2 has no short decimal form: it must come back as the same double.
    minimax_optima.update([{"number": 2, "best_value": 0.1 + 0.2}], path=str(path))
    text = path.read_text()
    data = json.loads(text)
    assert data["nonsmooth"] == other
    assert [e["best_value"] for e in data["minimax"]] == [1.0, 0.1 + 0.2, 3.0]
    assert text.startswith('{\n  "minimax": [\n    {\n      "number": 1,')


def test_update_refuses_values_json_cannot_hold(tmp_path):
    with pytest.raises(ValueError):
        minimax_optima.update([{"number": 1, "best_value": math.inf}],
                              path=str(tmp_path / "optima.json"))


def test_command_line_rejects_numbers_outside_the_collection(capsys):
    assert minimax_optima.main(["26"]) == 2
    assert "1 to 25" in capsys.readouterr().err


# The claims below are about the library itself, so they need the kinkbench package.

@pytest.mark.parametrize("number", sorted(minimax_optima.CLOSED_FORM))
def test_closed_forms_hold_in_the_library(number):
    kinkbench = pytest.importorskip("kinkbench")
    p = kinkbench.minimax(number)
    x = np.array(minimax_optima.CLOSED_FORM[number][0])
    expected = {2: 0.0, 3: 0.0, 5: -44.0, 6: -44.0, 22: math.exp(4.0)}[number]
    assert p.objective(x)[0] == expected


@pytest.mark.parametrize("number", sorted(minimax_optima.PLAIN_RAYS))
def test_rays_make_the_plain_max_fall_without_bound(number):
    kinkbench = pytest.importorskip("kinkbench")
    p = kinkbench.minimax(number)
    assert p.itype == 0
    ray = minimax_optima._plain_max(p, number, quick=True)
    assert not ray["bounded"]
    values = [v for _, v in ray["ray"]["values"]]
    assert all(b < a for a, b in zip(values, values[1:]))
    assert values[-1] < -1e6


def test_every_fit_has_a_plain_max_finding():
    kinkbench = pytest.importorskip("kinkbench")
    fits = {i for i in range(1, 26) if kinkbench.minimax(i).itype == 0}
    assert fits == set(minimax_optima.PLAIN_RAYS) | set(minimax_optima.PLAIN_BOUNDED)
