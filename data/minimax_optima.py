#!/usr/bin/python3
"""Best-known optima of the 25 minimax problems, with their evidence.

    /usr/bin/python3 data/minimax_optima.py [--quick | --replace-worse] [--output FILE] [NUMBERS...]

solves the given problems (all 25 by default) at their minimum n and takes their entries into
the "minimax" section of data/optima.json where they are at least as good as the stored ones
(lower f*; --replace-worse takes them anyway), leaving every other entry and section as it was
and the file byte for byte as it was when nothing changed. --quick (a few starts, to try the
script) only compares with the stored entries; --output FILE writes the result elsewhere.
For each problem: the epigraph problem (min t with t >= f_k, and t >= -f_k for the itype 0 fits)
by SLSQP from the standard start and seeded perturbations of it, a polish from the best point,
a Newton solve on the active set when it has n + 1 members, then the active set, the KKT
multipliers and, for the convex problems, a Lagrangian lower bound. For the itype 0 problems it
also checks whether the plain max f_k is bounded below.
"""

import datetime
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _optima_file  # noqa: E402
from _minimax_tools import (active_set, epigraph, kkt, lagrangian_bound,  # noqa: E402
                            objective, slp_polish, vertex_newton)

DATA = _optima_file.DATA
SCALES = (0.01, 0.1, 0.3, 1.0)

# Starts per problem in a full run; the dearer problems (many pieces or variables) get fewer.
STARTS = {n: 80 for n in range(1, 26)}
STARTS.update({13: 40, 17: 40, 21: 60})
QUICK_STARTS = 6

# Problems whose signed pieces are all convex, so min max is a convex problem and the
# Lagrangian at the KKT multipliers bounds it from below: 1 (x1^2 + x2^4, a shifted square,
# 2 exp(x2 - x1)), 5 (convex quadratics), 10 (squares of functions affine in x, all >= 0 so
# |f_k| = f_k), 20 and 21 (convex quadratics plus even powers), 22 (exp of convex quadratics),
# 23 (positive sums of exp((x_i - c)^2)).
CONVEX = {1, 5, 10, 20, 21, 22, 23}

# Points where the problem's structure gives the minimum outright.
CLOSED_FORM = {
    2: ([0.0, 0.0],
        "max(f_2, f_3) = (|a - x1| + 2 x2^2)/2 >= 0, and a = 0 makes all three pieces 0 at the "
        "origin, so the minimum is 0 there."),
    3: ([0.0, 0.0],
        "both pieces are a square plus 0.005 (x1^2 + x2^2) >= 0, and both are 0 at the origin "
        "(r = 0), so the minimum is 0 there."),
    5: ([0.0, 1.0, 2.0, -1.0],
        "f_1 = f_2 = f_4 = -44 at (0, 1, 2, -1) with f_3 = -54; every f_k is a convex quadratic "
        "and grad f_1 + 10 (0.1 grad c_2 + 0.2 grad c_4) = 0 exactly (multipliers 0.7, 0.1, 0.2 "
        "on f_1, f_2, f_4), so -44 is the global minimum."),
    6: ([0.0, 1.0, 2.0, -1.0],
        "the map x -> (a, b, x3, x4) with a = x1 - (x4 + 1)^4, b = x2 - a^4 is a bijection that "
        "turns problem 6 into problem 5, whose minimum -44 lies at (a, b, x3, x4) = (0, 1, 2, -1); "
        "so x = (0, 1, 2, -1) and the minimum is -44."),
    22: ([0.0] * 10,
         "f_k = exp(S_k) with S_k = 1e-8 x1^2 + (x2 +- 2)^2 + x3^2 + 4 x4^2 + x5^2 + ... + x10^2; "
         "max(S_1, S_2) >= max((x2 + 2)^2, (x2 - 2)^2) >= 4, with equality exactly at x = 0, so "
         "the minimum is exp(4) at the origin."),
}

# Rays along which the plain max f_k of an itype 0 problem falls without bound: the signed
# unit direction, changes to the standard start that make the fall plain, and why it falls.
PLAIN_RAYS = {
    8: (1, {}, "f_k = y_k - x1 - k/(v x2 + w x3) falls linearly as x1 grows"),
    9: (1, {}, "f_k = y_k - x1 u(u + x2)/(u(u + x3) + x4), the quotient positive at the start "
               "for every u_k, falls linearly as x1 grows"),
    11: (-4, {}, "f_k = x4 - p^2 - sqrt(t_k) falls linearly as x4 decreases"),
    12: (-1, {}, "f_k = x1 exp(x3 t) + x2 exp(x4 t) - y_k falls linearly as x1 decreases"),
    13: (-1, {}, "f_k = x1 |q|^(t + 0.5) - 1, with q nonzero at the start, falls as x1 "
                 "decreases"),
    14: (-1, {}, "at the start x2..x5 = 0, so f_k = x1 - e^v falls as x1 decreases"),
    15: (-1, {}, "the denominator 1 + t(1 + 10t) of the start is positive on [-1, 1], so f_k "
                 "falls linearly as x1 decreases"),
    16: (-5, {6: 0.0}, "with x6 = 0 the term x5 exp(-x6 t) is x5, so f_k falls linearly as x5 "
                       "decreases"),
    18: (-9, {2: 0.0}, "with x1 = x2 = 0, A1 = 1 and A2 > 0 for every k, so f_k = "
                       "x9 sqrt(A1/B1) sqrt(A2/B2) - |1 - 2t| falls linearly as x9 decreases"),
    24: (-1, {}, "from the origin f_1 = x1 and f_k = -x1^2 - 1 for k >= 2, all falling as x1 "
                 "decreases"),
    25: (1, {}, "f_k = y_k - x1 exp(-x5 t) - ... falls linearly as x1 grows"),
}
# Why the plain max stays bounded below for the other two itype 0 problems.
PLAIN_BOUNDED = {
    7: "f_1 = (x3/x2) e^0 sin(0) - y_1 with y_1 = 0 is identically 0 wherever x2 != 0, so "
       "max f_k >= 0",
    10: "every f_k is a sum of two squares, so max f_k >= 0 and max f_k = max |f_k|",
}
RAY_STEPS = (1.0, 10.0, 100.0, 1e4, 1e8)


def _starts(p, count, rng):
    x0 = np.asarray(p.x0, dtype=float)
    out = [x0]
    for i in range(1, count):
        scale = SCALES[i % len(SCALES)]
        out.append(x0 + scale * (1.0 + np.abs(x0)) * rng.standard_normal(p.n))
    return out


def _agree(value, best):
    """Within 1e-8 relative of f* (absolute when f* is 0): an absolute floor of 1e-8 would
    count every start as agreeing where f* itself is 1e-7 or 4e-11."""
    return abs(value - best) <= 1e-8 * (abs(best) if best != 0 else 1.0)


def _lists(a):
    return [float(v) for v in np.asarray(a, dtype=float)]


def _scale(value):
    return abs(value) if 0 < abs(value) < 1 else 1.0


def _run(p, x, absolute):
    """One start: SLSQP, then linear-programming steps that push on to rounding level."""
    x, value = epigraph(p, x, absolute, maxiter=200)
    if np.isfinite(value):
        x, value = slp_polish(p, x, absolute, iterations=60)
    return x, value


def _solve_epigraph(p, absolute, count, seed):
    """Multistart and polish; returns (x*, F*, the end value of each start)."""
    rng = np.random.default_rng(seed)
    runs = [_run(p, x, absolute) for x in _starts(p, count, rng)]
    x, value = min(runs, key=lambda r: r[1])
    # Further passes from the best point, SLSQP with its stop made relative to f* and then
    # more LP steps, for as long as they still gain.
    for _ in range(3):
        x2, v2 = epigraph(p, x, absolute, maxiter=600, ftol=1e-16, scale=_scale(value))
        x2, v2 = slp_polish(p, x2, absolute, iterations=200)
        if not v2 < value:
            break
        x, value = x2, v2
    return x, value, [r[1] for r in runs]


def _refine(p, x, value, absolute):
    """Newton on an active set of n + 1 pieces when that is what x* shows."""
    tol = _tolerance(value)
    k, s, _ = active_set(p, x, absolute, tol)
    if len(k) != p.n + 1:
        return x, value, False
    x2 = vertex_newton(p, x, absolute, k, s)
    v2 = objective(p, x2, absolute)
    if np.isfinite(v2) and v2 <= value:
        return x2, v2, True
    return x, value, False


def _tolerance(value):
    # Relative to f*, with a floor at rounding level for f* = 0.
    return 1e-5 * abs(value) + 1e-13


def _evidence(p, x, value, absolute, convex):
    tol = _tolerance(value)
    k, s, g = active_set(p, x, absolute, tol)
    ev = {
        "active_tolerance": tol,
        "active": [int(i) for i in k],
    }
    if absolute:
        ev["active_signs"] = [int(i) for i in s]
    if not np.all(np.isfinite(g)):
        ev["lambda"] = None
        ev["kkt_residual"] = None
        ev["kkt_note"] = "the library's gradient is not finite at x*"
        return ev, None
    lam, res = kkt(g)
    ev["lambda"] = _lists(lam)
    ev["kkt_residual"] = res
    if convex:
        bound, gnorm = lagrangian_bound(p, x, absolute, k, s, lam)
        ev["lagrangian_bound"] = bound
        ev["lagrangian_gradient_norm"] = gnorm
        ev["gap"] = value - bound
    return ev, res


def _plain_max(p, number, quick):
    """Whether min max f_k is bounded below, with the figures that show it."""
    if p.itype != 0:
        return {"bounded": True, "note": "itype -1: the plain max f_k is the objective itself"}
    # A user's attempt: SLSQP on the epigraph of the plain max from the standard start and a few
    # perturbations, without the -f_k constraints.
    rng = np.random.default_rng(1000 + number)
    ends = [epigraph(p, x, absolute=False, maxiter=200)[1]
            for x in _starts(p, 2 if quick else 5, rng)]
    ends = [e for e in ends if np.isfinite(e)]
    lowest = min(ends) if ends else float("nan")
    attempt = (f"SLSQP on the epigraph of max f_k from {2 if quick else 5} starts ended at "
               f"max f_k = {lowest:.6g} (lowest of {len(ends)} finite ends)")
    if number in PLAIN_BOUNDED:
        return {"bounded": True, "note": f"{PLAIN_BOUNDED[number]}; {attempt}",
                "minimum_found": lowest}
    signed, changes, why = PLAIN_RAYS[number]
    direction = np.zeros(p.n)
    direction[abs(signed) - 1] = 1.0 if signed > 0 else -1.0
    origin = np.asarray(p.x0, dtype=float)
    for i, v in changes.items():
        origin[i - 1] = v
    start = "".join(f" with x{i} = {v:g}" for i, v in changes.items())
    values = [[t, objective(p, origin + t * direction, absolute=False)] for t in RAY_STEPS]
    falls = all(b[1] < a[1] for a, b in zip(values, values[1:])) and values[-1][1] < -1e6
    shown = ", ".join(f"{v:.4g} at t = {t:g}" for t, v in values)
    return {
        "bounded": not falls,
        "note": f"{why}: on the ray from the standard start{start} in direction "
                f"{'+' if signed > 0 else '-'}e{abs(signed)}, max f_k = {shown}; {attempt}",
        "ray": {"origin": _lists(origin), "direction": _lists(direction), "values": values},
    }


def solve_one(number, quick=False):
    import kinkbench

    p = kinkbench.minimax(number)
    absolute = p.itype == 0
    convex = number in CONVEX
    count = QUICK_STARTS if quick else STARTS[number]
    x, value, ends = _solve_epigraph(p, absolute, count, seed=number)
    x, value, newton = _refine(p, x, value, absolute)
    method = (f"SLSQP on the epigraph from {count} starts, each followed by trust-region LP "
              "steps (HiGHS); polished from the best point")
    if newton:
        method += ", Newton on the n + 1 active pieces"

    status = "best known"
    closed = CLOSED_FORM.get(number)
    closed_note = None
    if closed is not None:
        xc = np.array(closed[0], dtype=float)
        vc = objective(p, xc, absolute)
        closed_note = f"{closed[1]} The library gives {vc!r} there."
        if vc <= value or _agree(vc, value):
            x, value, status = xc, vc, "closed form"

    ev, res = _evidence(p, x, value, absolute, convex)
    if closed_note:
        ev["closed_form"] = closed_note
    if convex and status != "closed form":
        ev["convex"] = ("every signed piece is convex, so any KKT point is a global minimum and "
                        "the Lagrangian at lambda bounds f* from below")
        if ev["gap"] <= 1e-9 * max(1.0, abs(value)):
            status = "certified"
    # The agreement count compares each start's own end with f*.
    agreeing = sum(_agree(e, value) for e in ends)
    # For f* near 0 the absolute test above says little, so also count relative agreement.
    ev["agreeing_relative_1e-6"] = int(sum(abs(e - value) <= 1e-6 * abs(value) + 1e-15
                                              for e in ends))
    return {
        "number": number,
        "n": p.n,
        "form": p.form,
        "best_value": value,
        "best_point": _lists(x),
        "status": status,
        "ray": None,
        "method": method,
        "starts": count,
        "agreeing": int(agreeing),
        "evidence": ev,
        "plain_max": _plain_max(p, number, quick),
        "date": datetime.date.today().isoformat(),
    }


def solve(numbers=None, quick=False):
    """Entries for the given minimax problems (all 25 by default), in number order."""
    numbers = sorted(numbers) if numbers else list(range(1, 26))
    return [solve_one(i, quick) for i in numbers]


def update(entries, path=DATA, replace_worse=False):
    """Take these entries into the file's minimax section where at least as good as the
    stored ones (or with replace_worse); everything else stays as it was."""
    return _optima_file.update("minimax", entries, path, replace_worse)


def _row(e):
    ev = e["evidence"]
    kkt = "-" if ev["kkt_residual"] is None else f"{ev['kkt_residual']:.2e}"
    plain = "" if e["form"] == "max f_k" else ("bounded" if e["plain_max"]["bounded"]
                                               else "unbounded")
    return (f"{e['number']:3d} {e['n']:3d} {e['form']:10s} {e['best_value']:<24.17g} "
            f"{e['status']:11s} {e['starts']:4d}/{e['agreeing']:<4d} "
            f"{kkt:>9s} {len(ev['active']):3d} {plain}")


def main(argv):
    return _optima_file.main(argv, "minimax_optima.py", solve_one, _row, "minimax")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
