"""Properties of the package's argument checks over generated input: a call either gives
the right answer in a fresh array of the right shape or raises TypeError, ValueError or
IndexError with the offending value in the message; it never crashes, never counts a
refused call and never hands back a partial result. Runs are derandomised, so a
failure here is a failure on every run."""

import math
import operator
import os
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

pytest.importorskip("hypothesis", reason="property tests draw their cases with Hypothesis")
from hypothesis import HealthCheck, example, given, settings
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import kinkbench
from kinkbench import _core
from conftest import bits, to_words

PROPERTY = settings(
    max_examples=200,
    deadline=None,
    derandomize=True,
    database=None,
    suppress_health_check=[HealthCheck.too_slow],
)

LARGEST_DIMENSION = 2**24  # the most variables one object holds
INT_MAX = 2**31 - 1

# Problem number -> (min_n, m) and (min_n, max_n or None).
MINIMAX_TABLE = {row[0]: (row[1], row[2]) for row in _core._minimax_table()}
NONSMOOTH_TABLE = {row[0]: (row[1], row[2]) for row in _core._nonsmooth_table()}
MINIMAX = [kinkbench.minimax(number) for number in range(1, 26)]
NONSMOOTH = [kinkbench.nonsmooth(number) for number in range(1, 26)]


def whole(value):
    """The integer an argument check should take `value` for, or None if it is no
    integer: bools and floats are refused even where Python would index with them."""
    if isinstance(value, (bool, np.bool_, float, np.floating)):
        return None
    try:
        return operator.index(value)
    except TypeError:
        return None


# Anything a caller might pass where a whole number is wanted.
NUMBERS = st.one_of(
    st.integers(min_value=-3, max_value=30),
    st.integers(),
    st.integers(min_value=60, max_value=200).map(lambda e: (-1) ** e * 2**e),
    st.sampled_from([INT_MAX, INT_MAX + 1, -INT_MAX - 1, -INT_MAX - 2, 2**63 - 1, 2**63, 2**64]),
    st.integers(min_value=-(2**63), max_value=2**63 - 1).map(np.int64),
    st.integers(min_value=0, max_value=255).map(np.uint8),
    st.integers(min_value=0, max_value=2**64 - 1).map(np.uint64),
    st.integers(min_value=-5, max_value=30).map(np.array),  # 0-d integer arrays
    st.floats(),
    st.floats(width=32).map(np.float32),
    st.booleans(),
    st.booleans().map(np.bool_),
    st.text(max_size=4),
    st.none(),
    st.sampled_from([3 + 0j, Fraction(3), Decimal(3), np.array([3]), [3], (3,), b"3"]),
)

# Sizes: around the table's limits, far outside them and beyond the C int, but never a
# valid size large enough to make a set-up slow (2^24 itself is an explicit example).
SIZES = st.one_of(
    st.integers(min_value=-3, max_value=60),
    st.integers(min_value=LARGEST_DIMENSION + 1),
    st.integers(max_value=-1),
    st.sampled_from([LARGEST_DIMENSION + 1, INT_MAX, INT_MAX + 1, -INT_MAX - 1, 2**64]),
    st.integers(min_value=-3, max_value=60).map(np.int32),
    st.floats(),
    st.booleans(),
    st.text(max_size=3),
    st.none(),
)


def check_refused(call, error, *quoted):
    """`call` raises `error` (and nothing else) with every string of `quoted` in its
    one-line message."""
    check_refused_for_any(call, [(error, *quoted)])


def check_refused_for_any(call, faults):
    """`call` raises for one of `faults`, each (error, texts the message must hold): with
    several bad arguments, which one is reported first is the binding's choice."""
    with pytest.raises(Exception) as raised:
        call()
    message = str(raised.value)
    assert message and "\n" not in message, repr(message)
    assert any(
        raised.type is error and all(text in message for text in quoted)
        for error, *quoted in faults
    ), f"{raised.type.__name__}: {message}; expected one of {faults}"


# True (numpy's too) once named problem 1, and numbers beyond 64 bits were quoted as
# 9223372036854775807.
@PROPERTY
@given(number=NUMBERS)
@example(number=True)
@example(number=np.bool_(True))
@example(number=2**70)
@example(number=np.uint64(2**64 - 1))
@example(number=np.array([3]))
def test_only_the_integers_1_to_25_name_a_problem(number):
    expected = whole(number)
    for make in (kinkbench.minimax, kinkbench.nonsmooth):
        if expected is not None and 1 <= expected <= 25:
            problem = make(number)
            assert type(problem.number) is int and problem.number == expected
        elif expected is None:
            check_refused(lambda: make(number), TypeError, "must be an integer")
        else:
            check_refused(lambda: make(number), ValueError, "1..25", f"got {expected};")


@PROPERTY
@given(number=st.integers(1, 25), n=SIZES, capacity=SIZES)
@example(number=1, n=LARGEST_DIMENSION, capacity=None)
@example(number=1, n=LARGEST_DIMENSION + 1, capacity=None)
@example(number=7, n=2**64, capacity=None)
@example(number=7, n=None, capacity=-(2**70))
@example(number=7, n=True, capacity=None)
def test_a_minimax_set_up_takes_n_and_capacity_within_the_limits(number, n, capacity):
    min_n, m = MINIMAX_TABLE[number]
    n_value, capacity_value = whole(n), whole(capacity)
    faults = []
    if n is not None and n_value is None:
        faults.append((TypeError, "n must be an integer"))
    elif n is not None and not min_n <= n_value <= LARGEST_DIMENSION:
        faults.append((ValueError, f"n = {n_value} "))
        faults.append((ValueError, f"needs n >= {min_n}, got {n_value}"))
    if capacity is not None and capacity_value is None:
        faults.append((TypeError, "capacity must be an integer"))
    elif capacity is not None and not m <= capacity_value <= INT_MAX:
        faults.append((ValueError, f"capacity = {capacity_value} "))
        faults.append((ValueError, f"capacity {capacity_value} is too small"))
    make = lambda: kinkbench.minimax(number, n=n, capacity=capacity)  # noqa: E731
    if faults:
        check_refused_for_any(make, faults)
    else:
        problem = make()
        expected_n = min_n if n is None else n_value
        assert (problem.number, problem.n, problem.m) == (number, expected_n, m)
        assert problem.x0.shape == (expected_n,)


@PROPERTY
@given(number=st.integers(1, 25), n=SIZES)
@example(number=16, n=11)
@example(number=21, n=47)
@example(number=2, n=LARGEST_DIMENSION + 1)
@example(number=2, n=-(2**64))
def test_a_nonsmooth_set_up_takes_n_within_the_limits(number, n):
    min_n, max_n = NONSMOOTH_TABLE[number]
    n_value = whole(n)
    make = lambda: kinkbench.nonsmooth(number, n=n)  # noqa: E731
    if n is not None and n_value is None:
        check_refused(make, TypeError, "n must be an integer")
    elif n is not None and not min_n <= n_value <= (max_n or LARGEST_DIMENSION):
        check_refused(make, ValueError, f" {n_value}")
    else:
        problem = make()
        expected_n = min_n if n is None else n_value
        assert (problem.number, problem.n, problem.max_n) == (number, expected_n, max_n)
        assert problem.x0.shape == (expected_n,)


@PROPERTY
@given(problem=st.sampled_from(MINIMAX), k=NUMBERS)
@example(problem=MINIMAX[0], k=True)
@example(problem=MINIMAX[0], k=2**64)
@example(problem=MINIMAX[12], k=-(2**63))
def test_k_outside_1_to_m_is_an_index_error_for_every_partial_function_call(problem, k):
    x = problem.x0
    k_value = whole(k)
    calls = [
        lambda: problem.value(x, k),
        lambda: problem.gradient(x, k),
        lambda: problem.hessian(x, k),
        lambda: problem.hessian(x, k, packed=True),
    ]
    before = problem.counts()
    if k_value is None:
        for call in calls:
            check_refused(call, TypeError, "k must be an integer")
    elif not 1 <= k_value <= problem.m:
        for call in calls:
            check_refused(call, IndexError, f"k = {k_value} ", f"1..{problem.m}")
    else:
        # The k-th partial function, not a neighbour: the same bits as row k of the
        # all-at-once calls.
        assert bits(problem.value(x, k)).tolist() == bits(problem.values(x)[k_value - 1]).tolist()
        assert np.array_equal(bits(problem.gradient(x, k)), bits(problem.jacobian(x)[k_value - 1]))
        assert problem.hessian(x, k).shape == (problem.n, problem.n)
        return
    assert problem.counts() == before


# ------------------------------------------------------------------------------- points

DTYPES = st.sampled_from(
    [np.float64, np.float32, np.float16, np.longdouble, ">f8", np.int8, np.int64, ">i4",
     np.uint64, np.bool_, np.complex128, np.complex64, object, "U3", "S2", "M8[s]", "m8[s]"]
)


def strided(a):
    """The same values in a view that steps over every other element of every axis."""
    if a.ndim == 0:
        return a
    big = np.zeros(tuple(2 * s for s in a.shape), a.dtype)
    view = big[(slice(None, None, 2),) * a.ndim]
    view[...] = a
    return view


def reversed_view(a):
    """The same values in a view with negative strides."""
    if a.ndim == 0:
        return a
    axes = tuple(range(a.ndim))
    return np.flip(np.flip(a, axes).copy(), axes)


def read_only(a):
    a = a.copy()
    a.flags.writeable = False
    return a


LAYOUTS = [
    lambda a: a,
    np.asfortranarray,
    strided,
    reversed_view,
    read_only,
    lambda a: a.tolist(),
    lambda a: a[..., np.newaxis][..., 0],  # a view of a view
]


@st.composite
def points_for(draw, n):
    """Arrays of any real or non-real dtype and 0..3 dimensions, weighted towards the
    shapes a problem with n variables takes, in any memory layout."""
    dtype = np.dtype(draw(DTYPES))
    shape = draw(
        st.one_of(
            st.just((n,)),
            st.tuples(st.integers(0, 4), st.just(n)),
            hnp.array_shapes(min_dims=0, max_dims=3, min_side=0, max_side=n + 1),
        )
    )
    elements = st.one_of(st.floats(), st.integers(-3, 3)) if dtype == object else None
    array = draw(hnp.arrays(dtype, shape, elements=elements))
    return draw(st.sampled_from(LAYOUTS))(array)


def minimax_calls(p):
    """(name, call, shape of one point's result) for every evaluation taking x."""
    n, m, nn = p.n, p.m, p.n * (p.n + 1) // 2
    return [
        ("value", lambda x: p.value(x, p.m), None),
        ("gradient", lambda x: p.gradient(x, 1), (n,)),
        ("hessian", lambda x: p.hessian(x, 1), (n, n)),
        ("packed hessian", lambda x: p.hessian(x, p.m, packed=True), (nn,)),
        ("values", p.values, (m,)),
        ("jacobian", p.jacobian, (m, n)),
        ("objective", p.objective, "pick"),
        ("largest", p.largest, "pick"),
    ]


def nonsmooth_calls(p):
    n, nn = p.n, p.n * (p.n + 1) // 2
    return [
        ("value", p.value, None),
        ("objective", p.objective, None),
        ("gradient", p.gradient, (n,)),
        ("hessian", p.hessian, (n, n)),
        ("packed hessian", lambda x: p.hessian(x, packed=True), (nn,)),
    ]


def check_result(result, shape, count, x):
    """`result` is what a call gives for one point (count None) or a batch of `count`
    points: a float, a (float, k) pair or a fresh float64 array of the right shape."""

    def fresh(array, dtype, expected_shape):
        assert isinstance(array, np.ndarray) and array.dtype == dtype
        assert array.shape == expected_shape
        assert array.flags.owndata and array.flags.c_contiguous and array.flags.writeable
        assert not (isinstance(x, np.ndarray) and np.shares_memory(array, x))

    if shape == "pick":
        value, k = result
        if count is None:
            assert type(value) is float and type(k) is int
        else:
            fresh(value, np.float64, (count,))
            fresh(k, np.int64, (count,))
    elif shape is None:
        if count is None:
            assert type(result) is float
        else:
            fresh(result, np.float64, (count,))
    else:
        fresh(result, np.float64, shape if count is None else (count, *shape))


def same_bits(a, b):
    if isinstance(a, tuple):
        return len(a) == len(b) and all(same_bits(u, v) for u, v in zip(a, b))
    if isinstance(a, np.ndarray) and a.dtype == np.int64:
        return np.array_equal(a, b)
    if isinstance(a, int) and not isinstance(a, bool):
        return a == b
    return np.array_equal(bits(a), bits(b))


def check_every_call(problem, calls, x):
    n = problem.n
    given = np.asarray(x)
    snapshot = given.tobytes() if given.dtype != object else None
    if given.dtype.kind not in "biuf":
        error = TypeError
    elif given.ndim == 1 and given.shape == (n,):
        error, count = None, None
    elif given.ndim == 2 and given.shape[1] == n:
        error, count = None, given.shape[0]
    else:
        error = ValueError
    reference = None if error else np.ascontiguousarray(given, dtype=np.float64)
    for name, call, shape in calls:
        before = problem.counts()
        if error:
            with pytest.raises(Exception) as raised:
                call(x)
            assert raised.type is error, f"{name}: {raised.type.__name__}: {raised.value}"
            assert str(raised.value) and "\n" not in str(raised.value)
            assert problem.counts() == before, f"{name} counted a refused call"
        else:
            result = call(x)
            check_result(result, shape, count, x)
            assert same_bits(result, call(reference)), name
    if snapshot is not None:
        assert given.tobytes() == snapshot, "x was changed"


def problem_and_point(problems):
    return st.sampled_from(problems).flatmap(lambda p: st.tuples(st.just(p), points_for(p.n)))


# A long double point once failed inside the binding with pybind11's "Internal error"
# RuntimeError instead of being converted like every other real dtype.
@PROPERTY
@given(case=problem_and_point(MINIMAX))
@example(case=(MINIMAX[0], np.array([1.5, -2.0], dtype=np.longdouble)))
@example(case=(MINIMAX[6], np.empty((0, 3), dtype=np.longdouble)))
def test_a_minimax_point_of_any_kind_gives_the_float64_answer_or_an_error(case):
    problem, x = case
    check_every_call(problem, minimax_calls(problem), x)


@PROPERTY
@given(case=problem_and_point(NONSMOOTH))
@example(case=(NONSMOOTH[0], np.array([[0.1, 2.0]], dtype=np.longdouble)))
def test_a_nonsmooth_point_of_any_kind_gives_the_float64_answer_or_an_error(case):
    problem, x = case
    check_every_call(problem, nonsmooth_calls(problem), x)


@pytest.mark.parametrize(
    "problem, calls",
    [(p, minimax_calls(p)) for p in MINIMAX] + [(p, nonsmooth_calls(p)) for p in NONSMOOTH],
    ids=[f"minimax{p.number}" for p in MINIMAX] + [f"nonsmooth{p.number}" for p in NONSMOOTH],
)
def test_an_empty_batch_gives_empty_results_and_counts_nothing(problem, calls):
    before = problem.counts()
    for _, call, shape in calls:
        check_result(call(np.empty((0, problem.n))), shape, 0, None)
    assert problem.counts() == before


# --------------------------------------------------------------------------- the files

FINITE = st.floats(allow_nan=False, allow_infinity=False)


@pytest.fixture(scope="module")
def scratch(tmp_path_factory):
    return tmp_path_factory.mktemp("properties")


@PROPERTY
@given(x=st.lists(FINITE, min_size=1, max_size=12))
@example(x=[5e-324, -0.0, 1.7976931348623157e308, -2.2250738585072014e-308, 0.1])
def test_a_written_point_reads_back_bit_for_bit(reference, scratch, x):
    path = scratch / "input.in"
    kinkbench.write_point_file(path, x)
    lines = path.read_text(encoding="ascii").splitlines()
    assert len(lines) == len(x)
    # Python's reading and the programs' own reader both give the same doubles.
    assert np.array_equal(bits([float(line) for line in lines]), bits(x))
    sentinel = np.full(len(x), 7.0)
    assert np.array_equal(reference.ask(f"point {path} {len(x)} {to_words(sentinel)}"), bits(x))


@pytest.mark.filterwarnings("ignore:overflow encountered in cast")
@PROPERTY
@given(
    x=st.lists(st.floats(), min_size=1, max_size=8).filter(
        lambda values: not all(map(math.isfinite, values))
    )
)
@example(x=[1.0, math.nan, math.inf])
@example(x=[-math.inf])
def test_a_non_finite_point_is_refused_and_the_file_kept(scratch, x):
    path = scratch / "kept.in"
    path.write_text("previous\n")
    for given in (x, np.array(x, dtype=np.float32)):
        first = next(i for i, v in enumerate(given) if not math.isfinite(v))
        check_refused(lambda: kinkbench.write_point_file(path, given), ValueError, f"x[{first}]")
    assert path.read_text() == "previous\n"


@PROPERTY
@given(v=st.floats(width=64))
@example(v=-0.0)
@example(v=9.9999996)
@example(v=1.5e-120)
@example(v=-4.99994e-320)
@example(v=math.nan)
def test_every_result_the_programs_write_reads_back_as_its_six_digits(reference, scratch, v):
    path = scratch / "output.out"
    reference.ask(f"result {path} {to_words(v)}")
    read = kinkbench.read_result_file(path)
    if math.isnan(v):
        assert math.isnan(read)
    else:
        # Six significant digits, rounded as printf rounds; -0.0 keeps its sign.
        assert bits(read) == bits(float(f"{v:.5e}")), path.read_text()


@PROPERTY
@given(line=st.one_of(st.text(max_size=20), st.from_regex(r"\s*[+-]?\d*\.?\d*[EeDd+-]?\d*\s*")))
@example(line="0.1E+99999999999999999999")
@example(line="\u0661.\u0662E\u0663")
def test_any_line_parses_to_a_float_or_is_refused_with_a_value_error(line):
    try:
        value = kinkbench.parse_result(line)
    except ValueError as error:
        assert repr(line) in str(error)
    else:
        assert type(value) is float


@PROPERTY
@given(content=st.binary(max_size=40))
@example(content=b"\xff\xfe0.1E+01\n")
@example(content=b"   0.100000E+01\r\n\n")
def test_any_result_file_reads_as_a_float_or_a_value_error(scratch, content):
    path = scratch / "any.out"
    path.write_bytes(content)
    try:
        value = kinkbench.read_result_file(path)
    except ValueError as error:
        assert os.fspath(path) in str(error)
    else:
        assert type(value) is float
