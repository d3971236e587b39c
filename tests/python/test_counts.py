"""Each evaluation call reaches the counter it belongs to, a batch counts per point, a
refused call counts nothing, and a reset hands back what was counted."""

import threading

import numpy as np
import pytest

import kinkbench

MINIMAX_CALLS = [
    ("values", lambda p, x: p.values(x)),
    ("values", lambda p, x: p.objective(x)),
    ("values", lambda p, x: p.largest(x)),
    ("jacobians", lambda p, x: p.jacobian(x)),
    ("partial_values", lambda p, x: p.value(x, 2)),
    ("partial_gradients", lambda p, x: p.gradient(x, 2)),
    ("partial_hessians", lambda p, x: p.hessian(x, 2)),
    ("partial_hessians", lambda p, x: p.hessian(x, 2, packed=True)),
]
NONSMOOTH_CALLS = [
    ("values", lambda p, x: p.value(x)),
    ("values", lambda p, x: p.objective(x)),
    ("gradients", lambda p, x: p.gradient(x)),
    ("hessians", lambda p, x: p.hessian(x)),
]
CASES = [("minimax", 7, key, call) for key, call in MINIMAX_CALLS] + [
    ("nonsmooth", 11, key, call) for key, call in NONSMOOTH_CALLS
]


@pytest.mark.parametrize("collection, number, key, call", CASES)
def test_a_call_counts_once_per_point_under_its_own_key(collection, number, key, call):
    p = getattr(kinkbench, collection)(number)
    zero = p.counts()
    assert set(zero.values()) == {0}
    call(p, p.x0)
    call(p, np.tile(p.x0, (5, 1)))
    assert p.counts() == {**zero, key: 6}


@pytest.mark.parametrize("collection, number, key, call", CASES)
def test_a_refused_call_counts_nothing(collection, number, key, call):
    p = getattr(kinkbench, collection)(number)
    with pytest.raises(ValueError):
        call(p, np.zeros(p.n + 1))
    assert set(p.counts().values()) == {0}


def test_minimax_k_out_of_range_counts_nothing():
    p = kinkbench.minimax(7)
    with pytest.raises(IndexError):
        p.value(p.x0, p.m + 1)
    assert p.counts()["partial_values"] == 0


@pytest.mark.parametrize("make", [lambda: kinkbench.minimax(1), lambda: kinkbench.nonsmooth(1)])
def test_reset_returns_the_counts_and_zeroes_them(make):
    p, other = make(), make()
    for _ in range(3):
        p.objective(p.x0)
    before = p.counts()
    assert before["values"] == 3
    assert p.reset_counts() == before
    assert set(p.counts().values()) == {0}
    assert set(other.counts().values()) == {0}  # objects count on their own


def test_batches_from_several_threads_lose_no_count():
    p = kinkbench.nonsmooth(11)
    batch = np.tile(p.x0, (20000, 1))  # evaluated without the GIL
    threads = [threading.Thread(target=p.value, args=(batch,)) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert p.counts()["values"] == 80000
