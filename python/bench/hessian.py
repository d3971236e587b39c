#!/usr/bin/python3
"""Large Hessians from Python against their floors, each measurement in a process of its
own so that its peak memory is its own: the dense Hessian against a fresh float64 array
of its size filled once (np.empty, then a[...] = 1.0), the packed one against the C++ call into a
triangle the program owns (python/bench/cpp_loop.cpp, "hessian"), each also with out=.

usage: python/bench/hessian.py [BUILD_DIR] [ROUNDS] [N] [OTHER_PYTHON_DIR ...]

Times are process CPU time (user + system: page faults count), the best and the median
of ROUNDS alternating rounds: on a virtual machine the kernel's time to clear fresh
pages swings tenfold from run to run (0.1 to 1.9 s for the same 800 MB), so the best
shows the work and the median the weather. Memory is the peak resident size the
operation added. Packages
without out= (an older build) are measured without it. Prints a Markdown table.
"""

import json
import pathlib
import resource
import statistics
import subprocess
import sys
import time

CASES = [("minimax", 22, 1), ("nonsmooth", 23, 0)]


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize()


def child(package_dir, what, collection, number, k, n):
    sys.path.insert(0, package_dir)
    import numpy as np
    import kinkbench

    p = kinkbench.minimax(number, n=n) if collection == "minimax" else kinkbench.nonsmooth(number, n=n)
    x = p.x0 + 0.01
    args = (k,) if collection == "minimax" else ()
    packed = what.startswith("packed")
    out = None
    if what.endswith("out"):
        if "out" not in (p.hessian.__doc__ or ""):
            print(json.dumps(None))
            return
        out = p.hessian(x, *args, packed=packed)  # the caller's array, written once
    before = rss_bytes()
    start = time.process_time()
    if what == "floor":
        result = np.empty((n, n))
        result[...] = 1.0  # ndarray.fill() takes a slower path in Debian's numpy
    elif out is None:
        result = p.hessian(x, *args, packed=packed)
    else:
        result = p.hessian(x, *args, packed=packed, out=out)
    seconds = time.process_time() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024 - before
    print(json.dumps([seconds, max(peak, 0), result.nbytes]))


def main(argv):
    if len(argv) > 1 and argv[1] == "--child":
        child(argv[2], argv[3], argv[4], int(argv[5]), int(argv[6]), int(argv[7]))
        return 0
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    rounds = int(argv[2]) if len(argv) > 2 else 3
    n = int(argv[3]) if len(argv) > 3 else 10000
    packages = [str(build / "python")] + [str(pathlib.Path(d).resolve()) for d in argv[4:]]
    driver = build / "python" / "kinkbench_python_bench"
    whats = ["floor", "dense", "dense out", "packed", "packed out"]
    results = {}
    for _ in range(rounds):
        for collection, number, k in CASES:
            cpp = subprocess.run([str(driver), "hessian", collection, str(number), str(n), str(k),
                                  "1"], capture_output=True, check=True, text=True).stdout
            results.setdefault((collection, number, "cpp"), []).append(
                float(cpp.split()[1]) * 1e-9)
            for package in packages:
                for what in whats:
                    if what == "floor" and package != packages[0]:
                        continue
                    out = subprocess.run([sys.executable, __file__, "--child", package, what,
                                          collection, str(number), str(k), str(n)],
                                         capture_output=True, check=True, text=True).stdout
                    got = json.loads(out)
                    if got is not None:
                        results.setdefault((collection, number, package, what), []).append(got)
    print(f"n = {n}; process CPU seconds, best and median of {rounds} alternating rounds, "
          "and the peak added memory (GB).\n")
    print("| problem | package | call | best s | vs floor | median s | vs floor | peak GB "
          "| vs result |")
    print("|---|---|---|---:|---:|---:|---:|---:|---:|")
    for collection, number, k in CASES:
        floor_runs = [r[0] for r in results[(collection, number, packages[0], "floor")]]
        floor = (min(floor_runs), statistics.median(floor_runs))
        cpp_runs = results[(collection, number, "cpp")]
        cpp = (min(cpp_runs), statistics.median(cpp_runs))
        print(f"| {collection} {number} | - | fresh array filled once (floor) | {floor[0]:.3f} "
              f"| 1.00 | {floor[1]:.3f} | 1.00 | - | - |")
        print(f"| {collection} {number} | - | C++ packed into its own triangle (floor) "
              f"| {cpp[0]:.3f} | 1.00 | {cpp[1]:.3f} | 1.00 | - | - |")
        for package in packages:
            for what in whats[1:]:
                runs = results.get((collection, number, package, what))
                if not runs:
                    continue
                best = min(r[0] for r in runs)
                seconds = statistics.median(r[0] for r in runs)
                peak = statistics.median(r[1] for r in runs)
                size = runs[0][2]
                base = cpp if what.startswith("packed") else floor
                print(f"| {collection} {number} | {package} | {what} | {best:.3f} "
                      f"| {best / base[0]:.2f} | {seconds:.3f} | {seconds / base[1]:.2f} "
                      f"| {peak / 1e9:.2f} | {peak / size:.2f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
