#!/usr/bin/python3
"""Per-problem facts of both collections, written to data/metadata.json.

    /usr/bin/python3 data/metadata.py          # rewrite data/metadata.json (seconds)

Hand-written facts (convexity with its reason or a witness, the kind of nonsmoothness,
where the formulas give inf or NaN, uniqueness of x*, scaling warnings, how many digits f*
means, f* at other n) sit in the tables below; everything else is computed here from the
library and data/optima.json: the dimension rule, fmin, stepmax, the active pieces at x*
under the shared piece names, the multipliers, ||x0 - x*||, boundedness and its evidence.
data/_claims.py re-derives the computed facts and tests the hand-written ones; the schema
is in data/README.md.
"""

import json
import math
import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kinkbench  # noqa: E402
import _certificates  # noqa: E402
from _nonsmooth_pieces import epigraph_form, piece_names  # noqa: E402

OPTIMA = os.path.join(HERE, "optima.json")
METADATA = os.path.join(HERE, "metadata.json")
# A piece is active when it lies within RELATIVE * max(|f*|, |largest piece|) + ROUNDING of
# the largest piece of its group: relative, with a floor at the rounding level of the pieces
# (minimax 24's residuals carry rounding errors of 1e-13 against f* = 4e-11).
RELATIVE = 1e-5
ROUNDING = 1e-13

# --- convexity: True with the reason, or False with two points whose midpoint breaks it ----

CONVEX = {
    "minimax": {
        1: "f1 = x1^2 + x2^4, f2 a convex quadratic and f3 = 2 exp(x2 - x1) are convex",
        5: "f1 and the constraints c_k are convex quadratics",
        10: "every f_k is a sum of squares of affine functions, so |f_k| = f_k is convex",
        20: "F and every g_k are convex",
        21: "F and every g_k are convex",
        22: "exp of a convex quadratic is convex",
        23: "every f_k is a positive sum of exp((x_i - a)^2), convex",
    },
    "nonsmooth": {
        3: "the same three convex pieces as minimax 1",
        4: "x1^4 + x2^2, a convex quadratic and 2 exp(x2 - x1) are convex",
        5: "two planes and a convex paraboloid",
        6: "a convex quadratic plus 10 max(0, c1, c2) with c1, c2 affine",
        7: "a plane plus max(0, t) with t convex",
        8: "a plane plus 20 max(0, t) with t convex",
        9: "-x1 + max(3.75 t, 0.25 t) with t convex",
        10: "each region's formula is convex and the pieces join with a continuous gradient",
        11: "a convex quadratic plus 10 max(0, c1, c2, c3) with convex c_i",
        12: "a maximum of convex quadratics",
        16: "a maximum of quadratics with positive definite matrices",
        18: "a positive sum of Euclidean norms of affine maps",
        19: "a maximum of squares",
        20: "a maximum of absolute values",
        21: "-min of affine functions, weighted by a >= 0, plus a linear term",
        22: "a maximum of linear functions minus a linear one",
        23: "a maximum of absolute values of linear functions",
        24: "a sum of absolute values of linear functions",
    },
}

# --- the kind of nonsmoothness --------------------------------------------------------------

KIND = {
    "minimax": {k: "max-type" for k in (1, 2, 3, 4, 5, 6, 17, 19, 20, 21, 22, 23)},
    "nonsmooth": {
        1: "smooth", 2: "absolute value", 3: "max-type", 4: "max-type", 5: "max-type",
        6: "max-type (exact penalty)", 7: "max-type (exact penalty)", 8: "max-type (exact penalty)",
        9: "absolute value", 10: "piecewise definition, absolute value", 11: "max-type (exact penalty)",
        12: "max-type", 13: "max-type (exact penalty)", 14: "absolute values", 15: "L1 sum",
        16: "max-type", 17: "max-type", 18: "sum of Euclidean norms", 19: "max-type",
        20: "max of absolute values", 21: "piecewise linear (sum of minima)", 22: "max-type",
        23: "max of absolute values", 24: "L1 sum", 25: "absolute value, L1 sum of penalties",
    },
}
for _k in (7, 8, 9, 10, 11, 12, 14, 15, 16, 24, 25):
    KIND["minimax"][_k] = "max of absolute values"
KIND["minimax"][13] = "max of absolute values, power cusps where q_k = 0"
KIND["minimax"][18] = "max of absolute values, square-root cusps where a numerator Q is 0"

# --- where the formulas give inf or NaN -------------------------------------------------------

POLES = {
    "minimax": {
        2: "x1 = -0.1 (a = 10 x1 / (x1 + 0.1))",
        8: "v_k x2 + w_k x3 = 0 for some k",
        9: "u_k (u_k + x3) + x4 = 0 for some k",
        13: "x3 t_k + x4 = 0 for some k; 0^(negative) cannot occur (t_k + 0.5 > 0)",
        14: "1 + v_k (x3 + v_k (x4 + v_k x5)) = 0 for some k",
        15: "1 + t_k (x4 + t_k x5) = 0 for some k",
        18: "none: where Q(x3, x4) or Q(x7, x8) is 0 at some t_k the library puts 1e-30 in "
            "its place, so F is huge there but finite",
        22: "overflow of exp for S above about 709",
        23: "overflow of exp for (x_i - a)^2 above about 709",
        25: "overflow of exp where some x5..x8 is large and negative (NaN from inf - inf)",
    },
    "nonsmooth": {},
}
NO_POLES = "none: finite wherever the arithmetic does not overflow"

# --- uniqueness of x* (where it is known) -----------------------------------------------------

UNIQUE = {
    "minimax": {
        1: "unique (a strongly convex Lagrangian)", 2: "unique", 3: "unique",
        5: "unique (strictly convex f1)", 22: "not unique in x1 to rounding: the weight 1e-8",
        10: "unique as found; not proved", 20: "unique (strictly convex F)",
        21: "unique (strictly convex F)", 23: "unique (strictly convex pieces)",
    },
    "nonsmooth": {
        1: "unique", 2: "unique", 3: "unique (strongly convex Lagrangian)", 4: "unique",
        5: "unique", 6: "unique", 7: "unique", 8: "unique", 9: "unique", 10: "unique",
        11: "unique (strictly convex f0)", 12: "unique (strictly convex pieces)",
        16: "unique (strictly convex pieces)", 19: "unique", 20: "unique",
        21: "not unique: f is constant along (1, ..., 1), since sum a = sum c",
        22: "not unique: zero on the line x = s (1, ..., 1)", 23: "unique", 24: "unique",
    },
}
UNKNOWN = "of unknown uniqueness (nonconvex; the searches found one point)"

# --- scaling warnings ---------------------------------------------------------------------

SCALING = {
    "minimax": {
        13: "t_k runs from 1 to 1e5 and the exponent t_k + 0.5 with it: f_k changes by orders "
            "of magnitude for tiny changes of q_k; f* is 1.2e-7",
        17: "cos, sin and z are rounded to single precision: F is a step function at the "
            "2.5e-8 level, so gradients and very small steps mislead",
        22: "the weight 1e-8 on x1^2: runs stall at 54.59875 against e^4 = 54.59815 "
            "(x1 = 0.25 costs only 6e-10 in S)",
        24: "f* is 4e-11: an absolute stopping test ends anywhere near it",
    },
    "nonsmooth": {
        21: "the diagonal of D is 1e5 against entries of a few hundred, and f* = -638565",
        14: "unbounded below with a fifth power: values near -1e16 within |x| of 1000",
    },
}

# --- how many digits f* means -----------------------------------------------------------------

DIGITS = {
    "minimax": {
        13: (4, "a 50-digit evaluation at x* differs from the double value at 1e-4 relative: "
                "the power |q|^(t + 0.5) with t up to 1e5 amplifies rounding in q"),
        17: (6, "single-precision factors make F a step function at the 2.5e-8 level"),
        24: (2, "the double value at x* is 3.9624e-11; exact arithmetic at the same point "
                "gives 3.9792e-11 (0.42 % higher): rounding in the residuals is of the size of f*"),
    },
    "nonsmooth": {},
}

# --- f* at other n ------------------------------------------------------------------------------

EVERY_N = {  # problems that use all n; the others ignore the variables past min n
    "minimax": {22: ("e^4", "x = 0: S(+-2) >= 4 for every n, equality at x = 0")},
    "nonsmooth": {
        23: ("0", "f >= 0, zero only at the origin (the Hilbert-type matrix is nonsingular)"),
        24: ("0", "f >= 0, zero only at the origin (the Hilbert-type matrix is nonsingular)"),
    },
}


def fstar_every_n(collection, number, dims, entry):
    """f* at n above min n, where it is known, and why."""
    if dims["fixed_n"]:
        return None
    if dims["uses_all_n"] is False:
        return {"value": entry["best_value"], "closed_form": None,
                "why": "the variables past min n are ignored: f* and x* (padded with any "
                       "values) are those at min n"}
    if number in EVERY_N[collection]:
        text, why = EVERY_N[collection][number]
        return {"value": None, "closed_form": text, "why": why}
    return None


# --- local minima the searches met ----------------------------------------------------------

LOCAL_MINIMA = {}  # filled from data/local_minima.json when present (see that file)


def problem(collection, number, n=None):
    make = kinkbench.minimax if collection == "minimax" else kinkbench.nonsmooth
    return make(number) if n is None else make(number, n)


def value(p, collection, x):
    x = np.asarray(x, dtype=float)
    return float(p.objective(x)[0]) if collection == "minimax" else float(p.value(x))


def dimension(collection, number):
    p = problem(collection, number)
    min_n = int(p.min_n)
    max_n = getattr(p, "max_n", None)
    max_n = int(max_n) if max_n else None
    uses_all = None
    if max_n is None or max_n > min_n:
        n = min_n + 2
        q = problem(collection, number, n)
        x = np.array(q.x0, dtype=float) + 0.37
        base = value(q, collection, x)
        changed = []
        for last in (x[-1] + 0.5, 50.0):
            x[-1] = last
            changed.append(value(q, collection, x) != base)
        uses_all = any(changed)
    return {"min_n": min_n, "max_n": max_n, "fixed_n": max_n == min_n,
            "uses_all_n": uses_all}


def signed_minimax_names(p):
    if p.itype == 0:
        return [f"+f{k}" for k in range(1, p.m + 1)] + [f"-f{k}" for k in range(1, p.m + 1)]
    return [f"f{k}" for k in range(1, p.m + 1)]


def tolerance(best, top):
    """What "active" means (see RELATIVE)."""
    return RELATIVE * max(abs(best), abs(top)) + ROUNDING


def minimax_active(p, x, best):
    v = np.asarray(p.values(np.asarray(x, dtype=float)), dtype=float)
    terms = np.concatenate([v, -v]) if p.itype == 0 else v
    names = signed_minimax_names(p)
    top = float(np.max(terms))
    tol = tolerance(best, top)
    idx = [int(i) for i in np.flatnonzero(terms >= top - tol)]
    return [{"group": 1, "pieces": len(names), "active": [names[i] for i in idx]}], tol


def special_groups(number, x):
    """(group name, piece names, piece values) for the problems without an epigraph form."""
    x = np.asarray(x, dtype=float)
    n = x.size
    if number == 10:
        # the regions as pieces: r1 (x1 > |x2|), then +-r2 (0 < x1 <= |x2|) and +-r3 (x1 <= 0)
        # by the sign of x2; only the region holding x is present, both signs when x2 = 0
        vals = np.full(5, -np.inf)
        region = 0 if x[0] > abs(x[1]) else (1 if x[0] > 0 else 3)
        if region == 0:
            vals[0] = 0.0
        else:
            vals[region], vals[region + 1] = x[1], -x[1]
        return [("regions", ["r1", "+r2", "-r2", "+r3", "-r3"], vals)]
    if number == 18:
        labels = (["|P1|"] + [f"|P{i}-Q{i}|" for i in range(1, 7)]
                  + [f"|P{i}-P{i + 1}|" for i in range(1, 6)] + ["|P6-E|"])
        out = []
        for label, (w, b, c) in zip(labels, _certificates.chain_terms()):
            r = b @ x - c
            out.append((label, ["norm"], np.array([w * float(np.linalg.norm(r))])))
        return out
    if number == 21:
        import _nonsmooth_lp as lp

        d, _, _ = lp.table21()
        return [(f"mu{j}", [f"x{i}" for i in range(1, 49)], -(d[j - 1] - x)) for j in range(1, 49)]
    if number == 22:
        return [("max", [f"x{i}" for i in range(1, n + 1)], x)]
    h = np.array([[1.0 / (i + j + 1) for j in range(n)] for i in range(n)])
    s = h @ x
    if number == 23:
        return [("max", [f"+S{i}" for i in range(1, n + 1)] + [f"-S{i}" for i in range(1, n + 1)],
                 np.concatenate([s, -s]))]
    if number == 24:
        return [(f"|S{i}|", [f"+S{i}", f"-S{i}"], np.array([s[i - 1], -s[i - 1]])) for i in range(1, n + 1)]
    return None


def nonsmooth_active(number, x, best):
    """Active pieces per group; for problem 18 the norm terms that vanish at x*."""
    x = np.asarray(x, dtype=float)
    if number == 1:
        return [], 0.0
    tol_used = 0.0
    groups = []
    form = epigraph_form(number)
    if form is not None:
        _, fns = form
        labels = piece_names(number)
        for gi, (fn, names) in enumerate(zip(fns, labels), start=1):
            vals = np.atleast_1d(fn(x))
            top = float(np.max(vals))
            tol = tolerance(best, top)
            tol_used = max(tol_used, tol)
            act = [names[i] for i in np.flatnonzero(vals >= top - tol)]
            groups.append({"group": gi, "pieces": len(names), "active": act})
        return groups, tol_used
    for gi, (label, names, vals) in enumerate(special_groups(number, x), start=1):
        if number == 18:  # a norm term is at its kink when it vanishes
            tol = RELATIVE * abs(best) * 1e-2
            if float(vals[0]) <= tol:
                groups.append({"group": gi, "name": label, "pieces": 1, "active": ["0"]})
            tol_used = tol
            continue
        top = float(np.max(vals))
        tol = tolerance(best, top)
        tol_used = max(tol_used, tol)
        act = [names[i] for i in np.flatnonzero(vals >= top - tol)]
        groups.append({"group": gi, "name": label, "pieces": len(names), "active": act})
    return groups, tol_used


def digits(collection, number, entry):
    """(significant digits f* is good for, why)."""
    if number in DIGITS[collection]:
        return DIGITS[collection][number]
    status = entry["status"]
    ev = entry["evidence"]
    best = entry["best_value"]
    if status == "closed form" or (status == "certified" and ev.get("gap", 1) == 0):
        return 15, "the value is proved (closed form or a bound that meets it): exact to rounding"
    if status == "certified":
        gap = ev.get("gap", 0.0)
        rel = gap / max(abs(best), 1e-300)
        d = 15 if rel <= 1e-15 else int(min(15, math.floor(-math.log10(rel))))
        return d, f"a lower bound meets f* within {gap:.1e} ({rel:.1e} relative)"
    return 8, ("the searches agree to 1e-8 relative; no bound" if status == "best known"
               else "a local minimum located to 1e-8 relative; the problem is unbounded below")


MINIMAX_BOUND = {
    1: "F >= f2 >= 0", 2: "F >= (f2 + f3)/2 = x2^2 >= 0", 3: "F >= f1 >= 0", 4: "F >= f2 >= 0",
    5: "F >= f1, a strictly convex quadratic", 6: "F >= f1 at (a, b, x3, x4), bounded as in problem 5",
    17: "every f_k >= 0", 19: "F >= f1, whose even powers dominate: bounded below",
    20: "F >= f1, a strictly convex quadratic", 21: "F >= f1, a strictly convex quadratic plus x16^4",
    22: "F >= f1 > 0", 23: "every f_k > 0",
}


def unboundedness(collection, entry):
    """(unbounded below, the argument or where the evidence is)."""
    if collection == "nonsmooth":
        b = entry["evidence"]["boundedness"]
        if b["bounded"]:
            return False, b["argument"]
        if entry.get("ray"):
            return True, "the ray in optima.json (ray): " + b["argument"]
        return True, "the parabola in optima.json (evidence.unbounded_curve): " + b["argument"]
    if entry["form"] == "max |f_k|":
        return False, "F = max |f_k| >= 0"
    return False, MINIMAX_BOUND[entry["number"]]


def find_witness(collection, number, entry):
    """Two points whose midpoint value lies above the mean of theirs, found by a seeded
    random search around x* and x0 (None when none turns up)."""
    p = problem(collection, number)
    rng = np.random.default_rng(number)
    xs = np.asarray(entry["best_point"], dtype=float)
    flat = xs.copy()
    flat[-1] = 0.0
    if (collection, number) == ("minimax", 19):
        # 7 x6^2 - 4 x6 x7 + x7^4 is concave along (1, 2) in (x6, x7) where x7 = 0
        d = np.zeros(7)
        d[5], d[6] = 0.1, 0.2
        return [[float(v) for v in flat + d], [float(v) for v in flat - d]]
    centres = (xs, np.asarray(p.x0, dtype=float), np.zeros(int(p.n)), flat,
               np.full(int(p.n), 0.5))
    for centre in centres[:3]:  # random pairs at a few scales
        width = 1.0 + np.abs(centre)
        for scale in (0.01, 0.1, 0.3, 1.0, 3.0):
            for _ in range(300):
                x = centre + scale * width * rng.standard_normal(centre.size)
                y = centre + scale * width * rng.standard_normal(centre.size)
                fx, fy, fm = (value(p, collection, z) for z in (x, y, (x + y) / 2))
                if all(map(math.isfinite, (fx, fy, fm))) and \
                        fm - (fx + fy) / 2 > 1e-6 * max(1.0, abs(fx), abs(fy)):
                    return [[float(v) for v in x], [float(v) for v in y]]
    for centre in centres:
        width = 1.0 + np.abs(centre)
        for _ in range(1500):  # x = c + h d, y = c - h d: the midpoint is the centre itself
            d = width * rng.standard_normal(centre.size)
            h = 10 ** rng.uniform(-3, 0.5)
            x, y = centre + h * d, centre - h * d
            fx, fy, fm = (value(p, collection, z) for z in (x, y, centre))
            if all(map(math.isfinite, (fx, fy, fm))) and \
                    fm - (fx + fy) / 2 > 1e-6 * max(1.0, abs(fx), abs(fy)):
                return [[float(v) for v in x], [float(v) for v in y]]
    return None


def row(collection, number, entry):
    p = problem(collection, number)
    x0 = np.asarray(p.x0, dtype=float)
    xs = np.asarray(entry["best_point"], dtype=float)
    best = entry["best_value"]
    if collection == "minimax":
        groups, tol = minimax_active(p, xs, best)
    else:
        groups, tol = nonsmooth_active(number, xs, best)
    count = sum(len(g["active"]) for g in groups)
    kinks = sum(len(g["active"]) - 1 for g in groups if g["pieces"] > 1) + sum(
        1 for g in groups if g["pieces"] == 1)
    ev = entry["evidence"]
    convex = CONVEX[collection].get(number)
    unbounded, why_bounded = unboundedness(collection, entry)
    d, why_digits = digits(collection, number, entry)
    at_x = {
        "active_tolerance": f"{RELATIVE:g} * max(|f*|, |largest piece of the group|) + {ROUNDING:g}",
        "groups": groups,
        "active_count": count,
        "n_plus_1": int(p.n) + 1,
        "kinks_through_x": kinks,
        "unique": UNIQUE[collection].get(number, UNKNOWN),
    }
    if collection == "minimax" and ev.get("lambda"):
        names = signed_minimax_names(p)
        labels = []
        for k, s in zip(ev["active"], ev.get("active_signs", [1] * len(ev["active"]))):
            labels.append(f"{'+' if s > 0 else '-'}f{k}" if p.itype == 0 else f"f{k}")
        assert all(label in names for label in labels)
        at_x["multipliers"] = dict(zip(labels, ev["lambda"]))
        at_x["kkt_residual"] = ev["kkt_residual"]
    elif "certificate" in ev and "lambda" in ev["certificate"]:
        names = piece_names(number)[0]
        at_x["multipliers"] = {nm: lam for nm, lam in zip(names, ev["certificate"]["lambda"]) if lam > 0}
    elif "kkt_residual" in ev:
        at_x["kkt_residual"] = ev["kkt_residual"]
    dims = dimension(collection, number)
    out = {
        "collection": collection,
        "number": number,
        "dimension": dims,
        "convex": convex is not None,
        "convexity": convex or "not convex",
        "convexity_witness": None if convex else find_witness(collection, number, entry),
        "nonsmoothness": KIND[collection].get(number, "max-type"),
        "inf_or_nan": POLES[collection].get(number, NO_POLES),
        "fmin": float(p.fmin),
        "stepmax": float(p.stepmax),
        "fmin_reachable": None,
        "best_value": best,
        "best_status": entry["status"],
        "unbounded_below": unbounded,
        "boundedness": why_bounded,
        "digits": d,
        "digits_reason": why_digits,
        "fstar_every_n": fstar_every_n(collection, number, dims, entry),
        "x0_distance": math.dist(x0, xs),  # not BLAS: the same on every CPU
        "at_x_star": at_x,
        "agreement": agreement(collection, entry),
        "local_minima": LOCAL_MINIMA.get((collection, number)),
        "scaling": SCALING[collection].get(number),
    }
    # fmin is the lower limit a solver may stop at; it is no bound on f where f is unbounded
    out["fmin_reachable"] = bool(unbounded or best <= out["fmin"])
    return out


def agreement(collection, entry):
    ev = entry["evidence"]
    if collection == "minimax":
        return {"starts": entry["starts"], "within_1e-8_relative": entry["agreeing"],
                "within_1e-6_relative": ev.get("agreeing_relative_1e-6")}
    return {"starts": entry["starts"], "within_1e-8_relative_or_absolute_below_1": entry["agreeing"]}


def load_local_minima():
    path = os.path.join(HERE, "local_minima.json")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for r in json.load(f):
                LOCAL_MINIMA[(r["collection"], r["number"])] = r["minima"]


def build(optima):
    load_local_minima()
    rows = []
    for collection in ("minimax", "nonsmooth"):
        for entry in optima[collection]:
            rows.append(row(collection, entry["number"], entry))
    return {"schema": "data/README.md#metadata", "problems": rows}


def main(argv):
    if argv:
        print("usage: metadata.py", file=sys.stderr)
        return 2
    with open(OPTIMA, encoding="utf-8") as f:
        optima = json.load(f)
    data = build(optima)
    with open(METADATA, "w", encoding="utf-8") as f:
        json.dump(data, f, indent=1, allow_nan=False, ensure_ascii=False)
        f.write("\n")
    print(f"metadata.py: {len(data['problems'])} problems written to {METADATA}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
