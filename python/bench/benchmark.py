#!/usr/bin/python3
"""What the Python layer costs: one value call's overhead over the C++ call, and batch
evaluation per point against a C++ loop over the same points (python/bench/cpp_loop.cpp).

usage: python/bench/benchmark.py [BUILD_DIR]   (default build/default; run after building)
Prints a Markdown table for docs/benchmarks.md. Times are process CPU time, best of
several repeats, on both sides: the machine is shared, and wall time would count other
processes' work.
"""

import pathlib
import subprocess
import sys
import time
import timeit

import numpy as np

CASES = [("minimax", 1), ("minimax", 13), ("minimax", 23), ("nonsmooth", 11), ("nonsmooth", 17)]
POINTS = 20000
REPEATS = 15
SINGLE_CALLS = 20000


def cpp_times(driver, collection, problem, points):
    run = subprocess.run(
        [str(driver), collection, str(problem.number), str(problem.n), str(len(points)),
         str(REPEATS)],
        input=np.ascontiguousarray(points, dtype=np.float64).tobytes(),
        capture_output=True,
        check=True,
    )
    fields = dict(line.split() for line in run.stdout.decode().splitlines())
    return {key: float(value) for key, value in fields.items() if key != "checksum"}


def best_ns(call, number, per):
    """Best time of one call over REPEATS runs of `number` calls, divided by `per`."""
    times = timeit.repeat(call, number=number, repeat=REPEATS, timer=time.process_time)
    return min(times) / number / per * 1e9


def main(argv):
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    sys.path.insert(0, str(build / "python"))
    import kinkbench

    driver = build / "python" / "kinkbench_python_bench"
    rows = []
    for collection, number in CASES:
        problem = getattr(kinkbench, collection)(number)
        rng = np.random.default_rng(number)
        points = problem.x0 + 0.1 * rng.standard_normal((POINTS, problem.n))
        cpp = cpp_times(driver, collection, problem, points)
        x = points[0]
        if collection == "minimax":
            single = best_ns(lambda: problem.value(x, 1), SINGLE_CALLS, 1)
            batch = best_ns(lambda: problem.value(points, 1), 5, POINTS)
            batch_all = best_ns(lambda: problem.values(points), 5, POINTS)
        else:
            single = best_ns(lambda: problem.value(x), SINGLE_CALLS, 1)
            batch = best_ns(lambda: problem.value(points), 5, POINTS)
            batch_all = None
        rows.append((f"{collection} {number}", problem.n, cpp["single"], single,
                     cpp["value"], batch, cpp.get("values"), batch_all))

    print(f"One call at one point; batches of {POINTS} points near the start; n at the "
          f"minimum; ns, best of {REPEATS}.\n")
    print("| problem | n | C++ value | Python value | overhead | C++ loop, per point "
          "| Python batch, per point | batch/loop | C++ values loop | Python values batch "
          "| batch/loop |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for name, n, cpp_single, single, cpp_loop, batch, cpp_values, batch_all in rows:
        tail = (f"{cpp_values:.1f} | {batch_all:.1f} | {batch_all / cpp_values:.2f}"
                if batch_all is not None else "- | - | -")
        print(f"| {name} | {n} | {cpp_single:.1f} | {single:.0f} | {single - cpp_single:.0f} "
              f"| {cpp_loop:.1f} | {batch:.1f} | {batch / cpp_loop:.2f} | {tail} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
