#!/usr/bin/python3
"""What a logged evaluation costs against a bare one, and the memory of a long run.

usage: python/bench/runlog_benchmark.py [BUILD_DIR]   (default build/default)

Per evaluation, on nonsmooth problem 1 (the cheapest objective, so the log's share is the
largest): `p.objective(x)` (the floor) against `log.fun(x)` of a RunLog writing every
evaluation to a file, writing only improvements, and writing nothing, each point new.
"Before" is the pure-Python RunLog of commit 70043d4 (read with git from this
repository), "after" the current one. Times are CPU time, best of REPEATS over the same
loop (the loop's own cost is in both): of the thread that calls, which is what the
solver waits for, and of all threads, which adds the log's writer thread. Then the peak resident memory of a 10^6-evaluation run, each in a
fresh process, before and after. Prints Markdown for docs/benchmarks.md.
"""

import pathlib
import subprocess
import sys
import tempfile
import time
import types

import numpy as np

BEFORE = "70043d4"
CALLS = 20000
REPEATS = 15
LONG_RUN = 10**6
HERE = pathlib.Path(__file__).resolve().parent


def old_runlog(kinkbench):
    """The RunLog of commit BEFORE, as a module inside the kinkbench package."""
    source = subprocess.run(
        ["git", "-C", str(HERE), "show", f"{BEFORE}:python/kinkbench/runlog.py"],
        capture_output=True, text=True, check=True,
    ).stdout
    module = types.ModuleType("kinkbench._runlog_before")
    module.__package__ = "kinkbench"
    sys.modules[module.__name__] = module
    exec(compile(source, f"{BEFORE}:runlog.py", "exec"), module.__dict__)
    return module.RunLog


def timed(cases, points):
    """Per case, the best per-call CPU time over REPEATS loops, each loop with a fresh
    target from the case's make() (so that every point is new to the log given it), as
    (this thread, all threads). The cases take turns, so that a change in the machine's
    load falls on all of them."""
    best = {label: [float("inf"), float("inf")] for label, _ in cases}
    for _ in range(REPEATS):
        for label, make in cases:
            target, done = make()
            thread, process = time.thread_time(), time.process_time()
            for x in points:
                target(x)
            done()  # the last block written: its cost is the run's
            best[label][0] = min(best[label][0], time.thread_time() - thread)
            best[label][1] = min(best[label][1], time.process_time() - process)
    return [(label, tuple(t / len(points) * 1e9 for t in best[label])) for label, _ in cases]


def per_evaluation(kinkbench, folder):
    from kinkbench.runlog import RunLog

    p = kinkbench.nonsmooth(1)
    rng = np.random.default_rng(1)
    points = list(p.x0 + rng.standard_normal((CALLS, p.n)))
    old = old_runlog(kinkbench)
    count = [0]

    def log_of(make):
        def fresh():
            count[0] += 1
            log = make(count[0])
            return log.fun, lambda: log.finish("converged")

        return fresh

    return timed([
        ("bare `p.objective(x)` (the floor)", lambda: (p.objective, lambda: None)),
        ("before: `log.fun(x)`, every evaluation to a file",
         log_of(lambda i: old(p, "b", path=folder / f"old{i}.jsonl"))),
        ("after: `log.fun(x)`, every evaluation to a file",
         log_of(lambda i: RunLog(p, "a", path=folder / f"new{i}.jsonl"))),
        ("after: `log.fun(x)`, improvements only",
         log_of(lambda i: RunLog(p, "a", path=folder / f"imp{i}.jsonl", record="improvements"))),
        ("after: `log.fun(x)`, every evaluation, no file", log_of(lambda i: RunLog(p, "a"))),
    ], points)


LONG = """
import resource, sys, numpy as np
sys.path.insert(0, {python!r})
import kinkbench
{make}
p = kinkbench.nonsmooth(1)
x = p.x0.copy()
log = make(p)
for i in range({calls}):
    x[0] = i * 1e-6   # a new point each time, no new array
    log.fun(x)
log.finish("converged")
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
"""


def peak_kib(build, make, calls):
    script = LONG.format(python=str(build / "python"), make=make, calls=calls)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True,
                         cwd=HERE)
    return int(out.stdout.split()[-1])


def main(argv):
    build = pathlib.Path(argv[1] if len(argv) > 1 else "build/default").resolve()
    sys.path.insert(0, str(build / "python"))
    import kinkbench

    with tempfile.TemporaryDirectory() as folder:
        rows = per_evaluation(kinkbench, pathlib.Path(folder))
        floor = rows[0][1]
        print("| per evaluation, nonsmooth 1 | solver's thread, ns | / floor | all threads, ns | / floor |")
        print("|---|---:|---:|---:|---:|")
        for label, (thread, process) in rows:
            print(f"| {label} | {thread:.0f} | {thread / floor[0]:.2f} | {process:.0f} | {process / floor[1]:.2f} |")
        after = (f"from kinkbench.runlog import RunLog\n"
                 f"make = lambda p: RunLog(p, 'a', path={folder!r} + '/long-new.jsonl')")
        before = (f"import subprocess, types\nsource = subprocess.run(['git', '-C', {str(HERE)!r}, 'show', "
                  f"'{BEFORE}:python/kinkbench/runlog.py'], capture_output=True, text=True).stdout\n"
                  "m = types.ModuleType('kinkbench._before'); m.__package__ = 'kinkbench'\n"
                  "sys.modules[m.__name__] = m; exec(source, m.__dict__)\n"
                  f"make = lambda p: m.RunLog(p, 'b', path={folder!r} + '/long-old.jsonl')")
        idle = peak_kib(build, "class Idle:\n    def finish(self, outcome): pass\nmake = lambda p: Idle()", 0)
        print()
        print(f"| peak resident memory, {LONG_RUN:,} evaluations | MiB | file MiB |")
        print("|---|---:|---:|")
        print(f"| the interpreter with kinkbench and numpy, no run | {idle / 1024:.0f} | |")
        for label, make, name in (("before", before, "long-old.jsonl"), ("after", after, "long-new.jsonl")):
            kib = peak_kib(build, make, LONG_RUN)
            size = (pathlib.Path(folder) / name).stat().st_size / 2**20
            print(f"| {label}: every evaluation to a file | {kib / 1024:.0f} | {size:.0f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
