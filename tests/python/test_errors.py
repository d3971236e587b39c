"""Every rejected call raises an exception that says what to do, and never leaves a
partial result; every float-like input gives the float64 answer."""

import numpy as np
import pytest

import kinkbench

MM = kinkbench.minimax(1)  # n = 2, m = 3
NS = kinkbench.nonsmooth(11)  # n = 4


@pytest.mark.parametrize(
    "call, error, text",
    [
        (lambda: kinkbench.minimax(7, n=2), ValueError, "minimax problem 7 needs n >= 3, got 2"),
        (lambda: kinkbench.minimax(7, capacity=20), ValueError, "capacity 20 is too small"),
        (lambda: kinkbench.nonsmooth(17, n=9), ValueError, "needs n >= 10, got 9"),
        (lambda: kinkbench.nonsmooth(16, n=11), ValueError, "nonsmooth problem 16"),
        (lambda: kinkbench.nonsmooth(21, n=49), ValueError, "nonsmooth problem 21"),
        (lambda: kinkbench.nonsmooth(21, n=47), ValueError,
         "nonsmooth problem 21 is defined for n = 48 only, got 47"),
        (lambda: kinkbench.minimax(0), ValueError, "numbered 1..25, got 0"),
        (lambda: kinkbench.nonsmooth(26), ValueError, "numbered 1..25, got 26"),
        (lambda: kinkbench.minimax(2**70), ValueError, "numbered 1..25"),
        (lambda: kinkbench.minimax(float("nan")), TypeError, "must be an integer, got nan"),
        (lambda: kinkbench.nonsmooth(2.5), TypeError, "must be an integer, got 2.5"),
        (lambda: kinkbench.minimax("3"), TypeError, "must be an integer, got '3'"),
        (lambda: kinkbench.minimax(1, n=2.0), TypeError, "n must be an integer"),
        (lambda: kinkbench.minimax(1, n=2**40), ValueError, "n = 1099511627776 is out of range"),
        (lambda: MM.value([1, 2], 0), IndexError, "k = 0 is outside 1..3"),
        (lambda: MM.gradient([1, 2], 4), IndexError, "minimax problem 1 has m = 3"),
        (lambda: MM.hessian(np.ones((5, 2)), -1), IndexError, "outside 1..3"),
        (lambda: MM.value([1, 2], 1.0), TypeError, "k must be an integer"),
        (lambda: MM.values([1, 2, 3]), ValueError,
         "x has 3 entries, but minimax problem 1 is set up for n = 2"),
        (lambda: NS.value(np.ones((3, 5))), ValueError, "entries each (shape (3, 5))"),
        (lambda: NS.gradient(np.ones((2, 2, 4))), ValueError, "got 3 dimensions"),
        (lambda: NS.value(1.0), ValueError, "got 0 dimensions"),
        (lambda: MM.jacobian([1 + 1j, 2]), TypeError, "pass x.real"),
        (lambda: NS.value(["1", "2", "3", "4"]), TypeError, "must hold real numbers"),
        (lambda: NS.value([[1, 2], [3]]), (TypeError, ValueError), ""),
        (lambda: setattr(MM, "n", 3), AttributeError, ""),
        (lambda: setattr(NS, "scale", 3), AttributeError, ""),
        (lambda: kinkbench.MinimaxProblem(), TypeError, ""),
    ],
)
def test_rejected_calls_raise_with_a_clear_message(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert text in str(raised.value)


def test_a_rejected_point_leaves_the_callers_array_alone():
    x = np.array([1.0, 2.0, 3.0])
    with pytest.raises(ValueError):
        MM.gradient(x, 1)
    assert x.tolist() == [1.0, 2.0, 3.0]


@pytest.mark.parametrize(
    "convert",
    [
        list,
        lambda x: x.astype(np.float32).astype(np.float64),  # same values, other path below
        lambda x: np.ascontiguousarray(np.repeat(x, 2)[::2]),
        lambda x: np.repeat(x, 2)[::2],  # a strided view
        lambda x: x.astype(">f8"),  # other byte order
        lambda x: x.astype(np.float32),
        lambda x: np.round(x).astype(np.int32),
        lambda x: tuple(np.round(x).astype(int).tolist()),
    ],
)
def test_any_float_like_point_gives_the_float64_answer(convert):
    x = MM.x0 + 0.25
    given = convert(x)
    as_float64 = np.asarray(given, dtype=np.float64)
    assert MM.value(given, 2) == MM.value(as_float64, 2)
    assert np.array_equal(MM.jacobian(given), MM.jacobian(as_float64))
    batch = np.asfortranarray(np.vstack([as_float64, as_float64 * 2]))
    assert np.array_equal(MM.values(batch), MM.values(np.ascontiguousarray(batch)))


def test_results_are_fresh_float64_arrays():
    x = NS.x0
    x[0] = 99.0
    assert NS.x0[0] != 99.0
    g1, g2 = NS.gradient(NS.x0), NS.gradient(NS.x0)
    assert g1 is not g2 and not np.shares_memory(g1, g2)
    for result in (g1, NS.hessian(NS.x0), MM.values(MM.x0), MM.jacobian(np.ones((0, 2)))):
        assert result.dtype == np.float64 and result.flags.owndata and result.flags.writeable
    assert MM.jacobian(np.ones((0, 2))).shape == (0, 3, 2)
    assert isinstance(MM.value(MM.x0, 1), float) and isinstance(MM.objective(MM.x0)[1], int)
