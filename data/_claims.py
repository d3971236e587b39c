"""Checks of every claim data/optima.json and data/metadata.json make beyond "the library
gives best_value at best_point" (which data/check.py's top level checks).

`run(optima, metadata)` yields (label, failures, note) triples; the claims hold when the list
is empty, and the note names what was proved (a bound and its gap).

- certificates: each stored dual object (nonsmooth 3, 12, 16, 18, 21) proves its bound again,
  the bound lies below f*, the stored gap is f* - bound, "certified" entries carry a bound;
- minimax Lagrangian bounds: BFGS on the Lagrangian at the stored multipliers reaches the
  stored bound again, within the gap claimed;
- plain_max rays: the library's max f_k along each ray is the stored one, falls, ends below -1e6;
- closed forms: f* is the closed-form number (e^4, -sqrt 2, ...) to rounding;
- counts: agreeing <= starts; lowest_seen is not below f* except at a local entry;
- metadata: the rows match the optima (f*, status, unboundedness), the active pieces and
  ||x0 - x*|| are what the library gives now, every convex claim survives random midpoint
  tests and every "not convex" one has a witness, and the digits claimed for minimax 24 agree
  with exact rational arithmetic at x*.
"""

import math
from fractions import Fraction

import numpy as np

import kinkbench
import _certificates

CERTIFIED_GAP = 1e-7  # relative: the largest gap a "certified" entry may have
LAGRANGIAN_AGAIN = 1e-9  # relative to max(1, |f*|): BFGS reaching the stored bound again

CLOSED_FORM = {
    ("minimax", 2): 0.0, ("minimax", 3): 0.0, ("minimax", 5): -44.0, ("minimax", 6): -44.0,
    ("minimax", 22): math.exp(4.0),
    ("nonsmooth", 1): 0.0, ("nonsmooth", 2): 0.0, ("nonsmooth", 4): 2.0, ("nonsmooth", 5): -3.0,
    ("nonsmooth", 6): 7.2, ("nonsmooth", 7): -math.sqrt(2.0), ("nonsmooth", 8): -1.0,
    ("nonsmooth", 9): -1.0, ("nonsmooth", 10): -8.0, ("nonsmooth", 11): -44.0,
    ("nonsmooth", 19): 0.0, ("nonsmooth", 20): 0.0, ("nonsmooth", 22): 0.0,
    ("nonsmooth", 23): 0.0, ("nonsmooth", 24): 0.0,
}
ROUNDING = 4e-16  # relative: what evaluating the closed-form point may cost (a few ulps)


def certificate_failures(entry):
    ev = entry["evidence"]
    best = entry["best_value"]
    out = []
    cert = ev.get("certificate")
    if cert is None:
        return out
    again = _certificates.recheck(entry["number"], cert, best)
    # Rechecks of 3 and 16 go through BLAS and LAPACK, whose kernels differ by CPU in the
    # last bits; the bound's own slack is far wider than that.
    if not math.isclose(again, cert["bound"], rel_tol=1e-13):
        out.append(f"the dual object proves {again!r}, the file says {cert['bound']!r}")
    if not again <= best:
        out.append(f"bound {again!r} above f* {best!r}")
    if ev.get("dual_bound") != cert["bound"] or ev.get("gap") != best - cert["bound"]:
        out.append("dual_bound or gap do not match the certificate")
    if not best - again <= CERTIFIED_GAP * max(abs(best), 1e-300) and best != again:
        out.append(f"gap {best - again:.2e} too large to call f* certified")
    return out


def status_failures(section, entry):
    ev = entry["evidence"]
    if entry["status"] != "certified":
        return []
    if section == "nonsmooth" and not ("certificate" in ev or "lp" in ev):
        return ["certified without a dual object or LP"]
    if section == "minimax" and "lagrangian_bound" not in ev:
        return ["certified without a Lagrangian bound"]
    return []


def lagrangian_failures(entry):
    """Minimax: minimise the Lagrangian at the stored multipliers again."""
    import _minimax_tools as mt

    ev = entry["evidence"]
    if "lagrangian_bound" not in ev:
        return []
    p = kinkbench.minimax(entry["number"], entry["n"])
    absolute = p.itype == 0
    signs = ev.get("active_signs", [1] * len(ev["active"]))
    bound, _ = mt.lagrangian_bound(p, entry["best_point"], absolute, ev["active"], signs,
                                   np.asarray(ev["lambda"], dtype=float))
    best = entry["best_value"]
    out = []
    if abs(bound - ev["lagrangian_bound"]) > LAGRANGIAN_AGAIN * max(1.0, abs(best)):
        out.append(f"Lagrangian minimised again gives {bound!r}, stored {ev['lagrangian_bound']!r}")
    if abs((best - ev["lagrangian_bound"]) - ev["gap"]) > 1e-12 * max(1.0, abs(best)):
        out.append("stored gap is not f* - lagrangian_bound")
    if entry["status"] == "certified" and not ev["gap"] <= 1e-9 * max(1.0, abs(best)):
        out.append(f"certified with a gap of {ev['gap']:.2e}")
    return out


def plain_max_failures(entry):
    plain = entry.get("plain_max")
    if not isinstance(plain, dict) or not plain.get("ray"):
        return []
    ray = plain["ray"]
    p = kinkbench.minimax(entry["number"], entry["n"])
    o = np.array(ray["origin"], dtype=float)
    d = np.array(ray["direction"], dtype=float)
    got = [float(np.max(p.values(o + t * d))) for t, _ in ray["values"]]
    out = [f"plain max at t = {t}: library {g!r}, stored {v!r}"
           for (t, v), g in zip(ray["values"], got) if g.hex() != float(v).hex()]
    falls = all(b < a for a, b in zip(got, got[1:])) and got[-1] < -1e6
    if falls != (not plain["bounded"]):
        out.append(f"plain max along the ray {'falls' if falls else 'does not fall'}, "
                   f"the file says bounded = {plain['bounded']}")
    return out


def closed_form_failures(section, entry):
    key = (section, entry["number"])
    if entry["status"] != "closed form" and key not in CLOSED_FORM:
        return []
    if key not in CLOSED_FORM:
        return ["closed form without a closed-form value to check"]
    exact = CLOSED_FORM[key]
    best = entry["best_value"]
    if abs(best - exact) > 8 * ROUNDING * max(1.0, abs(exact)):
        return [f"f* {best!r} is not the closed form {exact!r}"]
    return []


def count_failures(entry):
    out = []
    if not 0 <= entry["agreeing"] <= entry["starts"]:
        out.append(f"agreeing {entry['agreeing']} of {entry['starts']} starts")
    low = entry["evidence"].get("lowest_seen")
    best = entry["best_value"]
    if low is not None and entry["status"] != "local" and low < best - 1e-12 * max(1.0, abs(best)):
        out.append(f"a run reached {low!r}, below f* {best!r}")
    return out


# --- metadata -----------------------------------------------------------------------------------


def midpoint_violation(f, x, y):
    """f((x+y)/2) - (f(x)+f(y))/2, relative to the values (> 0 breaks convexity)."""
    fx, fy, fm = f(x), f(y), f((x + y) / 2)
    if not all(map(math.isfinite, (fx, fy, fm))):
        return 0.0
    return (fm - (fx + fy) / 2) / max(1.0, abs(fx), abs(fy))


def convexity_failures(collection, number, row, entry, rng):
    make = kinkbench.minimax if collection == "minimax" else kinkbench.nonsmooth
    p = make(number)
    if collection == "minimax":
        f = lambda x: float(p.objective(x)[0])  # noqa: E731
    else:
        f = p.value
    centre = np.asarray(entry["best_point"], dtype=float)
    width = 1.0 + np.abs(centre)
    if row["convex"]:
        worst = 0.0
        for scale in (1e-3, 0.1, 1.0):
            for _ in range(40):
                x = centre + scale * width * rng.standard_normal(centre.size)
                y = centre + scale * width * rng.standard_normal(centre.size)
                worst = max(worst, midpoint_violation(f, x, y))
        return [] if worst <= 1e-9 else [f"claimed convex, midpoint test off by {worst:.2e}"]
    witness = row.get("convexity_witness")
    if not witness:
        return ["claimed not convex without a witness"]
    v = midpoint_violation(f, np.array(witness[0]), np.array(witness[1]))
    return [] if v > 1e-9 else [f"the nonconvexity witness does not break convexity ({v:.2e})"]


def exact24(x):
    """max |f_k| of minimax 24 at x in rational arithmetic (t_k = (k - 2)/29)."""
    q = [Fraction(v) for v in x]
    n = len(q)
    terms = [q[0], q[1] - q[0] ** 2 - 1]
    for k in range(3, 32):
        t = Fraction(k - 2, 29)
        s1 = sum((j - 1) * q[j - 1] * t ** (j - 2) for j in range(2, n + 1))
        s2 = q[0] + sum(q[j - 1] * t ** (j - 1) for j in range(2, n + 1))
        terms.append(s1 - s2 ** 2 - 1)
    return max(abs(v) for v in terms)


def precise13(x):
    """max |f_k| of minimax 13 at x with 50 significant digits (mpmath), from its tables."""
    import mpmath

    import export

    mpmath.mp.dps = 50
    t = export.table("src/minimax/p13.cpp", "kT")
    y = export.table("src/minimax/p13.cpp", "kY")
    q = [mpmath.mpf(v) for v in x]
    half = mpmath.mpf(1) / 2
    worst = mpmath.mpf(0)
    for tk, yk in zip(t, y):
        tk, yk = mpmath.mpf(tk), mpmath.mpf(yk)
        qk = (1 / (q[2] * tk + q[3]) + tk + q[1]) / ((tk + 1) * yk)
        worst = max(worst, abs(q[0] * abs(qk) ** (tk + half) - 1))
    return worst


def digits_failures(row, entry):
    """The digits claimed where f* is known to lose them: checked by exact (24) or 50-digit
    (13) arithmetic at the same x*."""
    key = (row["collection"], row["number"])
    if key == ("minimax", 24):
        precise = float(exact24(entry["best_point"]))
    elif key == ("minimax", 13):
        precise = float(precise13(entry["best_point"]))
    else:
        return []
    rel = (precise - entry["best_value"]) / precise
    if not 10 ** -(row["digits"] + 1) <= abs(rel) <= 10 ** -row["digits"]:
        return [f"precise value {precise:.5g} is {rel:.2%} off: not {row['digits']} digits"]
    return []


def metadata_failures(row, entry, rng):
    import metadata as md

    collection, number = row["collection"], row["number"]
    out = []
    for key, want in (("best_value", entry["best_value"]), ("best_status", entry["status"])):
        if row[key] != want:
            out.append(f"{key} {row[key]!r}, optima.json {want!r}")
    fresh = md.row(collection, number, entry)
    for key in ("dimension", "fmin", "stepmax", "unbounded_below", "x0_distance"):
        if fresh[key] != row[key]:
            out.append(f"{key} {row[key]!r}, the library now gives {fresh[key]!r}")
    if fresh["at_x_star"]["groups"] != row["at_x_star"]["groups"]:
        out.append("the active pieces at x* are not what the library gives now")
    if row["unbounded_below"] and row["fmin"] > row["best_value"] and not row["fmin_reachable"]:
        out.append("fmin above a local f* of an unbounded problem without the mark")
    out += convexity_failures(collection, number, row, entry, rng)
    out += digits_failures(row, entry)
    return out


def note(entry):
    ev = entry["evidence"]
    if "certificate" in ev:
        return (f"certified by {ev['certificate']['kind'].split(':')[0]}: bound "
                f"{ev['dual_bound']!r}, gap {ev['gap']:.2g}")
    if "lagrangian_bound" in ev:
        return f"Lagrangian bound {ev['lagrangian_bound']!r}, gap {ev['gap']:.2g}"
    return ""


def run(optima, metadata=None, seed=21):
    """(label, failures, note) for every claim group of every entry."""
    rng = np.random.default_rng(seed)
    rows = {}
    if metadata is not None:
        rows = {(r["collection"], r["number"]): r for r in metadata["problems"]}
    for section in ("minimax", "nonsmooth"):
        for entry in optima.get(section, []):
            label = f"{section} {entry['number']:2d} claims"
            failures = []
            for check in (lambda: certificate_failures(entry),
                          lambda: status_failures(section, entry),
                          lambda: lagrangian_failures(entry) if section == "minimax" else [],
                          lambda: plain_max_failures(entry) if section == "minimax" else [],
                          lambda: closed_form_failures(section, entry),
                          lambda: count_failures(entry)):
                try:
                    failures += check()
                except Exception as err:  # a claim that cannot be checked has failed
                    failures.append(f"{type(err).__name__}: {err}")
            if metadata is not None:
                row = rows.get((section, entry["number"]))
                if row is None:
                    failures.append("no metadata row")
                else:
                    try:
                        failures += metadata_failures(row, entry, rng)
                    except Exception as err:
                        failures.append(f"metadata: {type(err).__name__}: {err}")
            yield label, failures, note(entry)
