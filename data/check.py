#!/usr/bin/python3
"""Fast check of data/optima.json against the library (seconds; CI runs it).

    /usr/bin/python3 data/check.py [--file PATH]

For every entry of both sections: the library's objective at best_point must equal best_value
to the bit. Every stored ray (and problem 25's parabola) is re-evaluated: the values must be
the stored ones to the bit, fall strictly and end below best_value. The linear programmes of
the certified nonsmooth problems are solved again; their optimum and dual bound must match
best_value within LP_TOLERANCE relative. Each entry must also be what the built library
carries (its embedded best_value, best_point and status), and each section must hold
problems 1..25 once each. One line per problem, then "N passed, M failed"; the exit status
is 1 when anything failed, 2 when the file cannot be read or is not shaped as the scripts
write it (one line on stderr saying where).
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


def library_difference(problem, entry):
    """How the library's embedded optimum differs from the entry, or None."""
    if problem.best_value is None:
        return f"the built library carries no optimum at n = {entry['n']}"
    differs = [name for name, same_here in (
        ("best_value", same(problem.best_value, entry["best_value"])),
        ("best_point", len(problem.best_point) == len(entry["best_point"])
         and all(map(same, problem.best_point, entry["best_point"]))),
        ("status", problem.best_status == entry["status"])) if not same_here]
    if not differs:
        return None
    return (f"the built library carries another {' and '.join(differs)} "
            f"(its f* = {problem.best_value!r}, {problem.best_status})")


def check_entry(section, entry):
    """A list of failures (empty when the entry holds)."""
    failures = []
    problem, f = objective(section, entry)
    library = library_difference(problem, entry)
    if library:
        failures.append(library)
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


# ------------------------------------------------------------------ the file's shape

class Shape(Exception):
    """The file is not shaped as the scripts write it; the message says where."""


def is_number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def is_whole(v):
    return isinstance(v, int) and not isinstance(v, bool)


def need(ok, where, what):
    if not ok:
        raise Shape(f"{where}: {what}" if where else what)


def numbers(v, where, length=None):
    need(isinstance(v, list) and all(map(is_number, v)), where, "not a list of numbers")
    if length is not None:
        need(len(v) == length, where, f"{len(v)} numbers, not {length}")


def samples(v, where):
    need(isinstance(v, list) and v, where, "not a list of [t, value] pairs")
    for i, pair in enumerate(v):
        numbers(pair, f"{where}[{i}]", 2)


def check_shape(data):
    """Raises Shape unless data is laid out as data/README.md describes it."""
    need(isinstance(data, dict), "", "not a JSON object")
    for section in SECTIONS:
        need(section in data, "", f"no \"{section}\" section")
        entries = data[section]
        need(isinstance(entries, list), section, "not a list of entries")
        for i, e in enumerate(entries):
            where = f"{section} entry {i + 1}"
            need(isinstance(e, dict), where, "not an object")
            for key in ("number", "n", "best_value", "best_point", "status", "evidence") + (
                    ("form",) if section == "minimax" else ()):
                need(key in e, where, f"no \"{key}\"")
            need(is_whole(e["number"]) and 1 <= e["number"] <= 25, where,
                 f"number {e['number']!r} is not one of 1..25")
            where = f"{section} {e['number']}"
            need(is_whole(e["n"]) and e["n"] >= 1, where,
                 f"n {e['n']!r} is not a whole number >= 1")
            need(is_number(e["best_value"]), where,
                 f"best_value {e['best_value']!r} is not a number")
            numbers(e["best_point"], f"{where} best_point")
            need(isinstance(e["status"], str), where, "status is not a string")
            need(section == "nonsmooth" or isinstance(e["form"], str), where,
                 "form is not a string")
            need(isinstance(e["evidence"], dict), where, "evidence is not an object")
            ray = e.get("ray")
            if ray is not None:
                need(isinstance(ray, dict), where, "ray is neither null nor an object")
                for key in ("origin", "direction"):
                    need(key in ray, f"{where} ray", f"no \"{key}\"")
                    numbers(ray[key], f"{where} ray {key}", e["n"])
                samples(ray.get("values"), f"{where} ray values")
            curve = e["evidence"].get("unbounded_curve")
            if curve is not None:
                need(isinstance(curve, dict) and e["n"] >= 14, where,
                     "unbounded_curve is not an object for n >= 14")
                numbers(curve.get("u"), f"{where} unbounded_curve u", 5)
                need(is_number(curve.get("k")), f"{where} unbounded_curve", "k is not a number")
                samples(curve.get("values"), f"{where} unbounded_curve values")


def refuse_constant(word):
    raise ValueError(f"{word} is not a JSON number")


def load(path):
    """The file's content, or raises Shape with the reason it cannot be used."""
    try:
        with open(path, "rb") as fh:
            raw = fh.read()
    except OSError as err:
        raise Shape(f"cannot read {path}: {err.strerror or err}") from None
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as err:
        raise Shape(f"cannot read {path}: not UTF-8 text (byte {err.start})") from None
    if not text.strip():
        raise Shape(f"cannot read {path}: the file is empty")
    try:
        data = json.loads(text, parse_constant=refuse_constant)
    except ValueError as err:
        raise Shape(f"cannot read {path}: not JSON: {err}") from None
    try:
        check_shape(data)
    except Shape as err:
        raise Shape(f"{path}: {err}") from None
    return data


# ------------------------------------------------------------------------ the checks

def coverage_failures(section, entries):
    """Problems missing from a section or given more than once."""
    seen = [e["number"] for e in entries]
    failures = []
    missing = sorted(set(range(1, 26)) - set(seen))
    if missing:
        names = ", ".join(map(str, missing))
        failures.append(f"FAIL {section}: problem{'s' if len(missing) > 1 else ''} {names} "
                        f"{'are' if len(missing) > 1 else 'is'} missing")
    for number in sorted(set(seen)):
        if seen.count(number) > 1:
            failures.append(f"FAIL {section}: problem {number} has {seen.count(number)} entries")
    return failures


def check_sections(data):
    """Prints a line per problem; returns (passed, failed)."""
    passed = failed = 0
    for section in SECTIONS:
        entries = data[section]
        for line in coverage_failures(section, entries):
            print(line)
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
    return passed, failed


def main(argv):
    path = os.path.join(HERE, "optima.json")
    if argv[:1] == ["--file"] and len(argv) == 2:
        path = argv[1]
    elif argv:
        print("usage: check.py [--file PATH]", file=sys.stderr)
        return 2
    try:
        data = load(path)
    except Shape as err:
        print(f"check.py: {err}", file=sys.stderr)
        return 2
    passed, failed = check_sections(data)
    # the claims beyond the values themselves (data/_claims.py), metadata.json beside the file
    meta_path = os.path.join(os.path.dirname(os.path.abspath(path)), "metadata.json")
    try:
        metadata = None
        if os.path.exists(meta_path):
            with open(meta_path, encoding="utf-8") as fh:
                metadata = json.load(fh)
        claims = list(_claims.run(data, metadata))
    except Exception as err:  # a file the claims cannot read fails them, not the run
        claims = [("claims", [f"{type(err).__name__}: {err}"], None)]
    for label, failures, note in claims:
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
