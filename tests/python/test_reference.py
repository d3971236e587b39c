"""Every Python result equals the C++ API's bit for bit, one point at a time and in
batches, for all 50 problems at the start and at seeded points."""

import numpy as np
import pytest

import kinkbench
from conftest import COMPARED, bits, to_words

EXTRA_N = 3  # a second, larger dimension for every problem that takes one
POINTS = 4  # the start and three seeded points


def dimensions(info):
    larger = info.min_n + EXTRA_N
    return [info.min_n] + ([larger] if info.max_n is None or larger <= info.max_n else [])


def cases(collection):
    return [
        pytest.param(info.number, n, id=f"{info.number}-n{n}")
        for info in kinkbench.problems()
        if info.collection == collection
        for n in dimensions(info)
    ]


def points_for(problem):
    rng = np.random.default_rng(1000 * problem.number + problem.n)
    x0 = problem.x0
    moves = rng.standard_normal((POINTS - 1, problem.n)) * 0.2 * (1.0 + np.abs(x0))
    return np.vstack([x0, x0 + moves])


def expect_same(python, cxx, what):
    assert python.shape == cxx.shape, what
    different = np.flatnonzero(python != cxx)
    assert different.size == 0, f"{what}: first difference at word {different[:1]}"
    COMPARED["numbers"] += python.size


def minimax_single(p, x):
    parts = []
    for k in range(1, p.m + 1):
        parts += [p.value(x, k), p.gradient(x, k), p.hessian(x, k, packed=True)]
    objective, largest = p.objective(x), p.largest(x)
    parts += [p.values(x), p.jacobian(x), objective[0], objective[1], largest[0], largest[1]]
    return bits(*parts)


def minimax_batch(p, points):
    per_k = [
        (p.value(points, k), p.gradient(points, k), p.hessian(points, k, packed=True))
        for k in range(1, p.m + 1)
    ]
    values, jacobian = p.values(points), p.jacobian(points)
    (ov, ok), (lv, lk) = p.objective(points), p.largest(points)
    assert ok.dtype == np.int64 and lk.dtype == np.int64
    parts = []
    for i in range(len(points)):
        for v, g, h in per_k:
            parts += [v[i], g[i], h[i]]
        parts += [values[i], jacobian[i], ov[i], ok[i], lv[i], lk[i]]
    return bits(*parts)


@pytest.mark.parametrize("number, n", cases("minimax"))
def test_minimax_matches_cxx(reference, number, n):
    capacity = 200
    p = kinkbench.minimax(number, n=n, capacity=capacity)
    points = points_for(p)
    answer = reference.ask(f"minimax {number} {n} {capacity} {len(points)} {to_words(points)}")
    facts = bits(p.m, p.itype, p.fmin, p.stepmax, p.x0)
    expect_same(answer[: facts.size], facts, "set-up")
    expected = answer[facts.size :]
    single = np.concatenate([minimax_single(p, x) for x in points])
    expect_same(single, expected, "one point at a time")
    expect_same(minimax_batch(p, points), expected, "batch")
    COMPARED["problems"].add(("minimax", number, n))


@pytest.mark.parametrize("number, n", cases("nonsmooth"))
def test_nonsmooth_matches_cxx(reference, number, n):
    p = kinkbench.nonsmooth(number, n=n)
    points = points_for(p)
    answer = reference.ask(f"nonsmooth {number} {n} {len(points)} {to_words(points)}")
    facts = bits(p.fmin, p.stepmax, p.x0)
    expect_same(answer[: facts.size], facts, "set-up")
    expected = answer[facts.size :]
    single = np.concatenate(
        [bits(p.value(x), p.gradient(x), p.hessian(x, packed=True)) for x in points]
    )
    expect_same(single, expected, "one point at a time")
    v, g, h = p.value(points), p.gradient(points), p.hessian(points, packed=True)
    batch = np.concatenate([bits(v[i], g[i], h[i]) for i in range(len(points))])
    expect_same(batch, expected, "batch")
    assert np.array_equal(bits(p.objective(points)), bits(v))
    COMPARED["problems"].add(("nonsmooth", number, n))


@pytest.mark.parametrize(
    "problem, args",
    [(kinkbench.minimax(24), (3,)), (kinkbench.minimax(3), (1,)), (kinkbench.nonsmooth(17), ())],
    ids=repr,
)
def test_dense_hessian_is_the_packed_triangle_mirrored(problem, args):
    points = points_for(problem)
    packed = problem.hessian(points, *args, packed=True)
    dense = problem.hessian(points, *args)
    single = problem.hessian(points[1], *args)
    rows, cols = np.tril_indices(problem.n)
    assert np.count_nonzero(packed[1]) > problem.n  # off-diagonal entries to mirror
    for i in range(len(points)):
        assert np.array_equal(bits(dense[i][rows, cols]), bits(packed[i]))
        assert np.array_equal(bits(dense[i]), bits(dense[i].T))
    assert np.array_equal(bits(single), bits(dense[1]))


def test_problems_lists_both_tables_as_the_objects_report_them():
    rows = kinkbench.problems()
    assert [(r.collection, r.number) for r in rows] == [
        (c, i) for c in ("minimax", "nonsmooth") for i in range(1, 26)
    ]
    for r in rows:
        p = (
            kinkbench.minimax(r.number)
            if r.collection == "minimax"
            else kinkbench.nonsmooth(r.number)
        )
        assert (p.min_n, p.n, p.form, p.summary) == (r.min_n, r.min_n, r.form, r.summary)
        assert (p.fmin, p.stepmax) == (r.fmin, r.stepmax)
        if r.collection == "minimax":
            assert (p.m, p.itype) == (r.m, r.itype)
            assert r.form == {-1: "max f_k", 0: "max |f_k|"}[r.itype]
        else:
            assert p.max_n == r.max_n and r.m is None and r.itype is None
    assert [r.number for r in rows if r.max_n is not None] == [16, 21]
