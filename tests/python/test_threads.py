"""One problem object shared by several Python threads gives every thread the serial
answers, single calls and batches (which run without the GIL) mixed."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np

import kinkbench

THREADS = 8


def workload(problem, points):
    if isinstance(problem, kinkbench.MinimaxProblem):
        return [
            problem.jacobian(points),
            problem.objective(points)[0],
            np.array([problem.value(x, problem.m) for x in points[:50]]),
            problem.hessian(points[:50], 1),
        ]
    return [
        problem.value(points),
        problem.gradient(points),
        np.array([problem.value(x) for x in points[:50]]),
    ]


def test_shared_objects_give_every_thread_the_serial_results():
    rng = np.random.default_rng(7)
    for problem in (kinkbench.minimax(13), kinkbench.nonsmooth(21, n=48)):
        points = problem.x0 + rng.standard_normal((2000, problem.n))
        serial = workload(problem, points)
        with ThreadPoolExecutor(THREADS) as pool:
            results = list(pool.map(lambda _: workload(problem, points), range(3 * THREADS)))
        for result in results:
            for got, want in zip(result, serial):
                assert np.array_equal(got.view(np.uint64), want.view(np.uint64))
