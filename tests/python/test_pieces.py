"""The decomposition from Python: the least-norm element against an independent solve with
SciPy, batches against single points, activity against its definition."""

import numpy as np
import pytest
from scipy.optimize import minimize

import kinkbench
from kinkbench import kinks

PROBLEMS = [(c, k) for c in ("minimax", "nonsmooth") for k in range(1, 26)]


def make(collection, number):
    return kinkbench.minimax(number) if collection == "minimax" else kinkbench.nonsmooth(number)


def near(x, seed, scale):
    rng = np.random.default_rng(seed)
    return x + scale * (1 + np.abs(x)) * rng.uniform(-1, 1, x.size)


def generous_eps(p, x):
    """Half the spread of every group's values: several pieces active in most groups."""
    d = p.pieces(x)
    spread = 0.0
    for g in set(d["groups"].tolist()):
        v = d["values"][d["groups"] == g]
        spread = max(spread, float(np.nanmax(v) - np.nanmin(v)))
    return 0.5 * spread


def reference_least_norm(act):
    """min |ds + sum lambda_i grad_i| over the product of the groups' simplices: SLSQP
    finds the support, then the equality-constrained least squares on it is solved
    exactly and accepted only when its weights are feasible and it is optimal (no active
    piece of any group has a lower <z, grad> than the group's weighted mean)."""
    ds, grads = act["ds"], act["gradients"]
    groups = np.asarray(act["groups"])
    labels = sorted(set(groups.tolist()))
    k = len(groups)
    e = np.array([[1.0 if groups[i] == g else 0.0 for i in range(k)] for g in labels])
    lam0 = np.array([1.0 / np.sum(groups == groups[i]) for i in range(k)])

    def fun(lam):
        z = ds + grads.T @ lam
        return 0.5 * z @ z, grads @ z

    res = minimize(fun, lam0, jac=True, method="SLSQP", bounds=[(0, None)] * k,
                   constraints=[{"type": "eq", "fun": lambda lam: e @ lam - 1,
                                 "jac": lambda lam: e}],
                   options={"ftol": 1e-16, "maxiter": 2000})
    support = res.x > 1e-7 * np.max(res.x)
    gs, es = grads[support], e[:, support]
    kkt = np.block([[gs @ gs.T, es.T], [es, np.zeros((len(labels), len(labels)))]])
    rhs = np.concatenate([-(gs @ ds), np.ones(len(labels))])
    sol = np.linalg.lstsq(kkt, rhs, rcond=None)[0]
    lam = np.zeros(k)
    lam[support] = sol[: int(support.sum())]
    z = ds + grads.T @ lam
    scale = max(1.0, float(np.max(np.linalg.norm(grads, axis=1))), float(np.linalg.norm(ds)))
    zg = grads @ z
    optimal = all(np.min(zg[groups == g]) >= zg[groups == g] @ lam[groups == g]
                  - 1e-9 * scale ** 2 for g in labels)
    feasible = np.all(lam >= -1e-13) and np.allclose(e @ lam, 1, rtol=0, atol=1e-12)
    return (float(np.linalg.norm(z)) if feasible and optimal else None,
            float(np.linalg.norm(ds + grads.T @ res.x)), scale)


def test_least_norm_agrees_with_an_independent_solve():
    certified = checked = zero = 0
    worst = 0.0
    for collection, number in PROBLEMS:
        p = make(collection, number)
        for seed in (1, 2):
            x = near(p.best_point, seed, 0.05)
            eps = generous_eps(p, x)
            act = p.active(x, eps)
            if not act["names"] or len(act["names"]) > 200:  # nothing to solve, or too much for SLSQP
                continue
            st = p.stationarity(x, eps)
            assert st["converged"], (collection, number, seed)
            ref, slsqp, scale = reference_least_norm(act)
            checked += 1
            # Never worse than SciPy's own iterate: it is the minimum.
            assert st["norm"] <= slsqp + 1e-9 * scale, (collection, number, seed)
            if ref is None:
                continue
            certified += 1
            diff = abs(st["norm"] - ref)
            if ref > 1e-8 * scale:
                worst = max(worst, diff / ref)
                assert diff <= 1e-12 * ref, (collection, number, seed, st["norm"], ref)
            else:  # 0 up to the rounding of sums of gradients of size scale
                zero += 1
                assert st["norm"] <= 1e-12 * scale, (collection, number, seed, st["norm"])
    print(f"least norm: {checked} cases, {certified} certified by the exact solve "
          f"({zero} with norm 0 up to rounding), worst relative difference {worst:.1e}")
    assert certified >= 0.8 * checked and checked >= 80


def test_multipliers_and_element_describe_each_other():
    p = kinkbench.nonsmooth(25)
    x = near(p.best_point, 3, 0.01)
    eps = generous_eps(p, x)
    st = p.stationarity(x, eps)
    d = p.pieces(x)
    lam = st["multipliers"]
    assert np.all(lam >= 0)
    for g in set(d["groups"].tolist()):
        assert np.sum(lam[d["groups"] == g]) == pytest.approx(1, abs=1e-12)
    z = d["ds"] + d["gradients"].T @ lam
    np.testing.assert_allclose(st["element"], z, rtol=0, atol=1e-10)
    assert st["norm"] == pytest.approx(np.linalg.norm(z), rel=1e-13)
    assert set(st["active"]) <= set(st["names"])
    assert st["gap"] <= 1e-8


@pytest.mark.parametrize("collection,number", PROBLEMS)
def test_batches_match_single_points_and_activity_its_definition(collection, number):
    p = make(collection, number)
    xs = np.vstack([p.x0, p.best_point, near(p.x0, 7, 0.2)])
    batch = p.pieces(xs)
    eps = kinks.eps_for(p)
    st = p.stationarity(xs, eps)
    for r, x in enumerate(xs):
        one = p.pieces(x)
        np.testing.assert_array_equal(one["values"], batch["values"][r])
        np.testing.assert_array_equal(one["gradients"], batch["gradients"][r])
        assert one["s"] == batch["s"][r]
        single = p.stationarity(x, eps)
        np.testing.assert_array_equal(single["element"], st["element"][r])
        act = p.active(x, eps)
        groups = one["groups"]
        marked = np.zeros(len(groups), bool)
        marked[act["indices"]] = True
        for g, top in enumerate(act["group_max"], 1):
            v = one["values"][groups == g]
            np.testing.assert_array_equal(marked[groups == g], top - v <= eps)
    # Every name is unique within its group, so (group, name) names a piece.
    pairs = list(zip(batch["groups"].tolist(), batch["names"]))
    assert len(set(pairs)) == len(pairs)


def test_refuses_wrong_shapes_and_eps():
    p = kinkbench.minimax(1)
    with pytest.raises(ValueError, match="shape"):
        p.pieces(np.zeros(3))
    with pytest.raises(ValueError, match="eps"):
        p.active(p.x0, -1.0)
    with pytest.raises(ValueError, match="eps"):
        p.stationarity(p.x0, float("nan"))
    with pytest.raises(TypeError):
        p.pieces(["a", "b"])


def test_tables_cover_every_problem(capsys):
    active = kinks.active_at_optima()
    assert len(active) == 50
    eps, groups = active[("nonsmooth", 11)]
    assert groups == [["0", "c1", "c3"]]
    assert active[("minimax", 5)][1] == [["f1", "f2", "f4"]]
    assert kinks.main([]) == 0
    rows = [line for line in capsys.readouterr().out.splitlines() if line.startswith("| m")
            or line.startswith("| n")]
    assert len(rows) == 50
