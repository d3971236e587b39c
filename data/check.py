#!/usr/bin/python3
"""Fast check of data/optima.json against the library (seconds; CI runs it).

    /usr/bin/python3 data/check.py [--file PATH]

For every entry of both sections: the library's objective at best_point must equal best_value
to the bit. Every stored ray (and problem 25's parabola) is re-evaluated: the values must be
the stored ones to the bit, fall strictly and end below best_value. The linear programmes of
the certified nonsmooth problems are solved again; their optimum and dual bound must match
best_value within LP_TOLERANCE relative. One line per problem, then "N passed, M failed";
the exit status is 1 when anything failed, 2 when the file cannot be read.
"""

import json
import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kinkbench  # noqa: E402
import _claims  # noqa: E402
import _nonsmooth_lp as lp  # noqa: E402

LP_TOLERANCE = 1e-9  # relative to max(1, |f*|); HiGHS's own optimality tolerance is 1e-7
SECTIONS = ("minimax", "nonsmooth")


def same(a, b):
    """Bitwise equality of two doubles (so 0 and -0 differ and NaN equals itself)."""
    return float(a).hex() == float(b).hex()


def objective(section, entry):
    """(problem, function of x) for the entry's objective, in the entry's form."""
    if section == "nonsmooth":
        p = kinkbench.nonsmooth(entry["number"], entry["n"])
        return p, p.value
    p = kinkbench.minimax(entry["number"], entry["n"])
    if p.form != entry["form"]:
        raise ValueError(f"the library's form is {p.form!r}, the file says {entry['form']!r}")
    return p, lambda x: p.objective(x)[0]


def check_samples(name, f, points, stored, best):
    """Values along an unbounded path: as stored, strictly falling, ending below f*."""
    got = [f(x) for x in points]
    for (t, want), value in zip(stored, got):
        if not same(value, want):
            return f"{name} at {t}: library {value!r}, stored {want!r}"
    if any(b >= a for a, b in zip(got, got[1:])) or not got[-1] < best:
        return f"{name} does not fall below f*: {got}"
    return None


def check_entry(section, entry):
    """A list of failures (empty when the entry holds)."""
    failures = []
    problem, f = objective(section, entry)
    x = np.array(entry["best_point"], dtype=float)
    if x.size != entry["n"]:
        return [f"best_point has {x.size} components, n = {entry['n']}"]
    value = f(x)
    best = entry["best_value"]
    if not same(value, best):
        failures.append(f"library {value!r} at best_point, stored {best!r}")
    ray = entry.get("ray")
    if ray:
        o = np.array(ray["origin"], dtype=float)
        d = np.array(ray["direction"], dtype=float)
        bad = check_samples("ray", f, [o + t * d for t, _ in ray["values"]], ray["values"], best)
        if bad:
            failures.append(bad)
    curve = entry["evidence"].get("unbounded_curve")
    if curve:
        u = np.array(curve["u"], dtype=float)
        points = []
        for s, _ in curve["values"]:
            y = np.zeros(entry["n"])
            y[:5] = s * u
            y[13] = curve["k"] * s * s
            points.append(y)
        bad = check_samples("parabola", f, points, curve["values"], best)
        if bad:
            failures.append(bad)
    if section == "nonsmooth" and "lp" in entry["evidence"]:
        sol = lp.solve(entry["number"])
        tol = LP_TOLERANCE * max(1.0, abs(best))
        for name in ("primal", "dual_bound"):
            if not abs(sol[name] - best) <= tol:
                failures.append(f"LP {name} {sol[name]!r} differs from f* {best!r} by more "
                                f"than {tol:.1e}")
        if entry["number"] == 21:
            d, a, c = lp.table21()
            if lp.table21_mismatches(problem, d, a, c):
                failures.append("the LP's table disagrees with the library's values")
    return failures


def main(argv):
    path = os.path.join(HERE, "optima.json")
    if argv[:1] == ["--file"] and len(argv) == 2:
        path = argv[1]
    elif argv:
        print("usage: check.py [--file PATH]", file=sys.stderr)
        return 2
    try:
        with open(path, encoding="utf-8") as fh:
            data = json.load(fh)
    except (OSError, ValueError) as err:
        print(f"check.py: cannot read {path}: {err}", file=sys.stderr)
        return 2
    passed = failed = 0
    for section in SECTIONS:
        entries = data.get(section, [])
        numbers = sorted(e["number"] for e in entries)
        if entries and numbers != list(range(1, 26)):
            print(f"FAIL {section}: holds problems {numbers}, not 1..25 once each")
            failed += 1
        for entry in entries:
            label = f"{section} {entry['number']:2d} (n = {entry['n']})"
            try:
                failures = check_entry(section, entry)
            except Exception as err:  # a broken entry is a failed check, not a crash
                failures = [f"{type(err).__name__}: {err}"]
            if failures:
                failed += 1
                print(f"FAIL {label}: " + "; ".join(failures))
            else:
                passed += 1
                extra = " (LP re-solved)" if "lp" in entry["evidence"] else ""
                extra += " (ray falls)" if entry.get("ray") else ""
                extra += " (parabola falls)" if "unbounded_curve" in entry["evidence"] else ""
                print(f"ok   {label}: f* = {entry['best_value']!r}{extra}")
    # the claims beyond the values themselves (data/_claims.py), metadata.json beside the file
    meta_path = os.path.join(os.path.dirname(os.path.abspath(path)), "metadata.json")
    metadata = None
    if os.path.exists(meta_path):
        with open(meta_path, encoding="utf-8") as fh:
            metadata = json.load(fh)
    for label, failures, note in _claims.run(data, metadata):
        if failures:
            failed += 1
            print(f"FAIL {label}: " + "; ".join(failures))
        else:
            passed += 1
            print(f"ok   {label}" + (f": {note}" if note else ""))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
