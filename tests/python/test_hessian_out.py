"""Hessians written into the caller's array (out=), and the dense Hessian made in place:
the same bits as a fresh result, the caller's own array returned, no new memory."""

import tracemalloc

import numpy as np
import pytest

import kinkbench
from conftest import bits

# Minimax 1 and 3 write only the entries their problem defines (above n = 2 most of the
# triangle is left to the zeros), minimax 24 writes all of it, nonsmooth 17 clears first.
CASES = [
    (kinkbench.minimax(1, n=5), (1,)),
    (kinkbench.minimax(3), (2,)),
    (kinkbench.minimax(24, n=37), (17,)),
    (kinkbench.nonsmooth(17), ()),
]


def points_of(problem, count=3):
    rng = np.random.default_rng(problem.number)
    return problem.x0 + 0.3 * rng.standard_normal((count, problem.n))


@pytest.mark.parametrize("problem, args", CASES, ids=repr)
@pytest.mark.parametrize("packed", [False, True])
def test_out_is_filled_and_returned(problem, args, packed):
    points = points_of(problem)
    for x in (points[1], points):
        want = problem.hessian(x, *args, packed=packed)
        out = np.full(want.shape, np.nan)  # whatever the caller's array held must go
        got = problem.hessian(x, *args, packed=packed, out=out)
        assert got is out
        assert np.array_equal(bits(out), bits(want))


@pytest.mark.parametrize("n", [20, 21, 31, 32, 33, 64, 65, 100])
def test_dense_is_the_packed_triangle_mirrored_across_tile_edges(n):
    problem = kinkbench.minimax(24, n=n)
    x = points_of(problem, 1)[0]
    packed = problem.hessian(x, 5, packed=True)
    dense = problem.hessian(x, 5)
    rows, cols = np.tril_indices(n)
    assert np.array_equal(bits(dense[rows, cols]), bits(packed))
    assert np.array_equal(bits(dense), bits(dense.T))
    assert len(np.unique(packed)) > n  # distinct entries: a misplaced one shows


def test_dense_of_a_small_problem_at_large_n_is_zero_outside_its_block():
    problem = kinkbench.minimax(1, n=40)
    dense = problem.hessian(np.full(40, 0.5), 2)
    assert np.count_nonzero(dense[2:, :]) == 0 and np.count_nonzero(dense[:, 2:]) == 0
    assert np.array_equal(dense[:2, :2], dense[:2, :2].T)
    assert np.count_nonzero(dense[:2, :2]) > 0


def peak_bytes(call):
    tracemalloc.start()
    try:
        tracemalloc.reset_peak()
        before = tracemalloc.get_traced_memory()[0]
        call()
        return tracemalloc.get_traced_memory()[1] - before
    finally:
        tracemalloc.stop()


@pytest.mark.parametrize("packed", [False, True])
def test_out_takes_no_new_memory(packed):
    problem = kinkbench.minimax(24, n=300)
    points = points_of(problem, 4)
    out = problem.hessian(points, 9, packed=packed)
    size = out.nbytes // len(points)
    # The method sees a fresh result of this size, so it would see a copy or a scratch
    # triangle; with out only small Python objects come and go.
    assert peak_bytes(lambda: problem.hessian(points[0], 9, packed=packed)) >= size
    assert peak_bytes(lambda: problem.hessian(points[0], 9, packed=packed, out=out[0])) < 4096
    assert peak_bytes(lambda: problem.hessian(points, 9, packed=packed, out=out)) < 4096


def test_unfit_out_arrays_are_refused():
    p = kinkbench.nonsmooth(17)
    n = p.n
    x = p.x0
    base = np.empty(n * n + n)
    read_only = np.empty((n, n))
    read_only.flags.writeable = False
    cases = [
        ([[0.0] * n] * n, TypeError, "out must be a numpy array"),
        (np.empty((n, n), dtype=np.float32), TypeError, "dtype float64"),
        (np.empty((n, n + 1)), ValueError, r"shape \(10, 11\), the result needs \(10, 10\)"),
        (np.empty((2, n, n)), ValueError, "needs"),
        (np.empty((n, 2 * n))[:, ::2], ValueError, "C-ordered"),
        (np.empty((n, n), order="F"), ValueError, "C-ordered"),
        (read_only, ValueError, "writeable"),
    ]
    for out, error, text in cases:
        with pytest.raises(error, match=text):
            p.hessian(x, out=out)
    with pytest.raises(ValueError, match=r"needs \(55,\)"):
        p.hessian(x, packed=True, out=np.empty((n, n)))
    overlapping = base[n:].reshape(n, n)
    base[n * n : n * n + n] = x  # x is the last row of out
    with pytest.raises(ValueError, match="overlaps"):
        p.hessian(base[n * n :], out=overlapping)
    assert np.array_equal(base[n * n :], x)  # refused before anything was written
