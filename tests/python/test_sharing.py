"""Problem objects shared: copied (as themselves), pickled by their set-up and sent to
other processes, and evaluated in batches that let other Python threads run."""

import copy
import multiprocessing
import pickle
import threading
import time
from concurrent.futures import ProcessPoolExecutor

import numpy as np
import pytest

import kinkbench

SET_UPS = [
    (kinkbench.minimax, (7,), {}),
    (kinkbench.minimax, (13,), {"n": 9, "capacity": 70}),
    (kinkbench.minimax, (25,), {"capacity": 65}),
    (kinkbench.nonsmooth, (11,), {"n": 6}),
    (kinkbench.nonsmooth, (21,), {}),
]


def make(set_up):
    factory, args, kwargs = set_up
    return factory(*args, **kwargs)


def results(p, x):
    """Everything the object computes at x, as bit patterns."""
    if isinstance(p, kinkbench.MinimaxProblem):
        out = [p.values(x), p.jacobian(x), p.hessian(x, p.m), np.array(p.objective(x))]
    else:
        out = [np.array(p.value(x)), p.gradient(x), p.hessian(x)]
    return [np.asarray(a, dtype=np.float64).view(np.uint64) for a in out]


def described(p):
    fields = ["number", "n", "min_n", "fmin", "stepmax", "form", "best_value", "best_status"]
    return [repr(p), type(p)] + [getattr(p, name) for name in fields]


@pytest.mark.parametrize("set_up", SET_UPS)
def test_copies_are_the_object_itself(set_up):
    p = make(set_up)
    assert copy.copy(p) is p
    assert copy.deepcopy(p) is p
    # inside containers too, and the memo keeps one object one
    held = copy.deepcopy({"a": [p, p], "b": (p,)})
    assert held["a"][0] is p and held["a"][1] is p and held["b"][0] is p


@pytest.mark.parametrize("set_up", SET_UPS)
def test_a_pickle_is_the_set_up(set_up):
    p = make(set_up)
    x = p.x0 + 0.25
    p.value(x, 1) if isinstance(p, kinkbench.MinimaxProblem) else p.value(x)
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        q = pickle.loads(pickle.dumps(p, protocol))
        assert sum(q.counts().values()) == 0 < sum(p.counts().values())  # fresh counts
        assert q is not p and type(q) is type(p)
        assert described(q) == described(p)
        assert all(np.array_equal(a, b) for a, b in zip(results(q, x), results(p, x)))
    _, args, kwargs = set_up
    if isinstance(p, kinkbench.MinimaxProblem):
        # the capacity asked for is kept: the set-up itself keeps only m
        want = (args[0], p.n, kwargs.get("capacity", p.m))
    else:
        want = (args[0], p.n)
    assert pickle.loads(pickle.dumps(p)).__reduce__() == (type(p), want)


def test_a_pickle_no_set_up_takes_is_refused_as_the_set_up_is():
    for make_one, args, says in [
        (kinkbench.minimax, (26, 2, 3), "minimax problems are numbered 1..25, got 26"),
        (kinkbench.minimax, (1, 1, 3), "minimax problem 1 needs n >= 2, got 1"),
        (kinkbench.minimax, (1, 2, 2), "capacity 2 is too small"),
        (kinkbench.nonsmooth, (16, 11), "nonsmooth problem 16"),
    ]:
        cls = kinkbench.MinimaxProblem if make_one is kinkbench.minimax else \
            kinkbench.NonsmoothProblem
        # what pickle.loads would call, given a pickle of these numbers
        for call in (make_one, cls):
            with pytest.raises(ValueError) as refused:
                call(*args)
            assert says in str(refused.value)
        with pytest.raises(TypeError):
            cls(1.5)


def evaluate_at_start(p):
    """Runs in another process: the object arrived as its pickle."""
    return p, results(p, p.x0 + 0.5), p.counts()


def test_a_process_pool_maps_over_problems():
    problems = [make(s) for s in SET_UPS]
    # spawn: the workers start empty, so every object reaches them through its pickle
    context = multiprocessing.get_context("spawn")
    with ProcessPoolExecutor(2, mp_context=context) as pool:
        answers = list(pool.map(evaluate_at_start, problems))
    assert len(answers) == len(problems)
    for p, (back, got, counts) in zip(problems, answers):
        assert described(back) == described(p)
        assert all(np.array_equal(a, b) for a, b in zip(got, results(p, p.x0 + 0.5)))
        assert sum(counts.values()) > 0


def long_batch(problem, method, cap):
    """A call of problem.method on a batch of the start that takes about half a second
    here, timed first on batches growing tenfold until one takes 10 ms (a call's own cost
    would make a tiny one look slow); at most cap points."""
    evaluate = getattr(problem, method)
    count, took = 10, 0.0
    while True:
        short = np.tile(problem.x0, (count, 1))
        began = time.perf_counter()
        evaluate(short)
        took = time.perf_counter() - began
        if took >= 0.01 or count * 10 > cap:
            break
        count *= 10
    each = max(took / count, 1e-9)
    points = np.tile(problem.x0, (int(min(cap, max(10, 0.6 / each))), 1))
    return lambda: evaluate(points)


@pytest.mark.parametrize("problem, method, cap", [
    (kinkbench.nonsmooth(23, 1000), "value", 5000),
    (kinkbench.minimax(25), "objective", 2000000),
], ids=["nonsmooth value", "minimax objective"])
def test_a_batch_lets_other_threads_run(problem, method, cap):
    call = long_batch(problem, method, cap)
    # Another thread notes the time every thousand rounds of a Python loop. With the GIL
    # held through the batch it could not run at all until the batch returned: its notes
    # would leave a gap as long as the call.
    notes = []
    stop = threading.Event()

    def note():
        rounds = 0
        while not stop.is_set():
            rounds += 1
            if rounds % 1000 == 0:
                notes.append(time.perf_counter())

    other = threading.Thread(target=note)
    other.start()
    try:
        time.sleep(0.05)
        start = time.perf_counter()
        call()
        end = time.perf_counter()
    finally:
        stop.set()
        other.join()
    took = end - start
    assert took > 0.2, "the batch is too short to tell"
    inside = [start] + [t for t in notes if start < t < end] + [end]
    longest = max(b - a for a, b in zip(inside, inside[1:]))
    assert longest < 0.5 * took, f"the other thread stood still {longest:.3f} s of {took:.3f} s"
