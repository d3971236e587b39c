#!/usr/bin/python3
"""One Python value call against its floor, an empty pybind11 method taking the same
arguments (python/bench/floor.cpp), measured in the same process; and, given further
package directories (an older build's python/, say), the same for each, alternating.

usage: python/bench/overhead.py [BUILD_DIR] [ROUNDS] [OTHER_PYTHON_DIR ...]

Each child process alternates ROUNDS timings of the floor and of each problem's value
call (20000 calls per timing, process CPU time) and reports the medians. The overhead is
the call's time minus the C++ call's (python/bench/cpp_loop.cpp, "single"); its ratio to
the floor is the figure of docs/benchmarks.md. Prints a Markdown table.
"""

import json
import pathlib
import statistics
import subprocess
import sys
import time

CASES = [("minimax", 1), ("minimax", 20), ("nonsmooth", 1), ("nonsmooth", 16)]
CALLS = 20000


def child(package_dir, floor_dir, rounds):
    sys.path.insert(0, package_dir)
    sys.path.insert(0, floor_dir)
    import numpy as np
    import kinkbench
    import _kinkbench_floor

    empty = _kinkbench_floor.Empty()
    calls = []
    for collection, number in CASES:
        p = getattr(kinkbench, collection)(number)
        x = np.ascontiguousarray(p.x0 + 0.1, dtype=np.float64)
        if collection == "minimax":
            calls.append((lambda p=p, x=x: p.value(x, 1), lambda x=x: empty.value(x, 1)))
        else:
            calls.append((lambda p=p, x=x: p.value(x), lambda x=x: empty.value(x, 1)))

    def ns(call):
        start = time.process_time()
        for _ in range(CALLS):
            call()
        return (time.process_time() - start) / CALLS * 1e9

    results = []
    for value, floor in calls:
        values, floors = [], []
        for _ in range(rounds):
            floors.append(ns(floor))
            values.append(ns(value))
        results.append((statistics.median(values), statistics.median(floors)))
    print(json.dumps(results))


def cpp_single(driver, collection, number, n):
    import numpy as np

    points = np.zeros((2000, n))
    run = subprocess.run([str(driver), collection, str(number), str(n), "2000", "15"],
                         input=points.tobytes(), capture_output=True, check=True)
    fields = dict(line.split() for line in run.stdout.decode().splitlines())
    return float(fields["single"])


def main(argv):
    if len(argv) > 1 and argv[1] == "--child":
        child(argv[2], argv[3], int(argv[4]))
        return 0
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    rounds = int(argv[2]) if len(argv) > 2 else 15
    packages = [str(build / "python")] + [str(pathlib.Path(d).resolve()) for d in argv[3:]]
    floor_dir = str(build / "python" / "bench")
    sys.path.insert(0, str(build / "python"))
    import kinkbench

    ns = [getattr(kinkbench, c)(k).n for c, k in CASES]
    cpp = [cpp_single(build / "python" / "kinkbench_python_bench", c, k, n)
           for (c, k), n in zip(CASES, ns)]
    per_package = {p: [] for p in packages}
    for _ in range(3):  # alternating processes; medians over them
        for package in packages:
            out = subprocess.run([sys.executable, __file__, "--child", package, floor_dir,
                                  str(rounds)], capture_output=True, check=True, text=True)
            per_package[package].append(json.loads(out.stdout))
    print(f"Medians of 3 alternating processes x {rounds} alternating timings of {CALLS} "
          "calls; ns per call, process CPU time.\n")
    print("| package | problem | n | C++ call | Python call | overhead | floor | overhead/floor |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for package in packages:
        runs = per_package[package]
        for i, ((collection, number), n) in enumerate(zip(CASES, ns)):
            value = statistics.median(r[i][0] for r in runs)
            floor = statistics.median(r[i][1] for r in runs)
            over = value - cpp[i]
            print(f"| {package} | {collection} {number} | {n} | {cpp[i]:.1f} | {value:.0f} "
                  f"| {over:.0f} | {floor:.0f} | {over / floor:.2f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
