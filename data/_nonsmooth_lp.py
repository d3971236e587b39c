"""The convex piecewise-linear nonsmooth problems (20 to 24) as exact linear programmes.

Each builder returns (cost, A_ub, b_ub, n): minimise cost.z subject to A_ub z <= b_ub with
every variable free, z = (x, auxiliaries); the first n components of z are the point. The
optimum of the LP is the minimum of f, and the dual solution bounds it from below.
"""

import os
import re

import numpy as np
from scipy.optimize import linprog

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE21 = os.path.join(REPO, "src", "test19", "tables", "xrin.cpp")
POINTS21 = 48


def table21(path=TABLE21):
    """(D, a, c) of problem 21, read from the library's own constant table."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    start = text.index("{", text.index("xrin[kXrinSize]")) + 1
    body = re.sub(r"//[^\n]*", "", text[start:text.index("};", start)])
    values = [float(v) for v in body.replace(",", " ").split()]
    n = POINTS21
    d = np.full((n, n), 1e5)
    k = 0
    for i in range(n - 1):
        for r in range(i + 1, n):
            d[r, i] = d[i, r] = values[k]
            k += 1
    a = np.array(values[k:k + n])
    c = np.array(values[k + n:k + 2 * n])
    return d, a, c


def value21(d, a, c, x):
    """Problem 21's f in the library's order of operations, so the two agree to the bit."""
    n = len(x)
    s = 0.0
    for i in range(n):
        s += c[i] * x[i]
    for j in range(n):
        mu = 1e60
        for i in range(n):
            term = d[j, i] - x[i]
            if not mu <= term:
                mu = term
        s += a[j] * mu
    return -s


def table21_mismatches(problem, d, a, c):
    """Points at which the table read here and the library disagree (empty when they agree).

    Probe i sets x(i) = 0 and every other component to -1e4, so every row j != i takes its
    minimum in column i and f carries the a-weighted sum of column i of D: a wrong entry
    anywhere in the triangle shows up in two probes. Random points test a and c as well.
    """
    n = POINTS21
    points = []
    for i in range(n):
        x = np.full(n, -1e4)
        x[i] = 0.0
        points.append(x)
    rng = np.random.default_rng(21)
    points += [np.round(rng.normal(size=n) * 500) for _ in range(8)]
    return [x for x in points if value21(d, a, c, x) != problem.value(x)]


def build(number, problem=None):
    if number == 20:
        n = 20
        # z = (x, t): x_i - t <= 0, -x_i - t <= 0
        eye = np.eye(n)
        a_ub = np.block([[eye, -np.ones((n, 1))], [-eye, -np.ones((n, 1))]])
        cost = np.zeros(n + 1)
        cost[n] = 1
        return cost, a_ub, np.zeros(2 * n), n
    if number == 21:
        d, a, c = table21()
        n = POINTS21
        # z = (x, m): m_j + x_i <= D(j, i), and f = -c.x - a.m at the optimum
        a_ub = np.zeros((n * n, 2 * n))
        b_ub = np.zeros(n * n)
        for j in range(n):
            for i in range(n):
                a_ub[j * n + i, i] = 1
                a_ub[j * n + i, n + j] = 1
                b_ub[j * n + i] = d[j, i]
        return np.concatenate([-c, -a]), a_ub, b_ub, n
    if number == 22:
        n = 50
        a_ub = np.hstack([np.eye(n), -np.ones((n, 1))])
        return np.concatenate([-np.ones(n), [50.0]]), a_ub, np.zeros(n), n
    if number in (23, 24):
        n = 30
        h = 1.0 / (np.arange(1, n + 1)[:, None] + np.arange(1, n + 1)[None, :] - 1)
        if number == 23:
            col = -np.ones((n, 1))
            a_ub = np.block([[h, col], [-h, col]])
            cost = np.zeros(n + 1)
            cost[n] = 1
        else:
            eye = np.eye(n)
            a_ub = np.block([[h, -eye], [-h, -eye]])
            cost = np.concatenate([np.zeros(n), np.ones(n)])
        return cost, a_ub, np.zeros(2 * n), n
    raise ValueError(f"nonsmooth problem {number} has no linear programme here")


NUMBERS = (20, 21, 22, 23, 24)


def solve(number):
    """Solve the LP with HiGHS; the point, the optimum and the dual certificate."""
    cost, a_ub, b_ub, n = build(number)
    res = linprog(cost, A_ub=a_ub, b_ub=b_ub, bounds=[(None, None)] * len(cost), method="highs")
    if res.status != 0:
        raise RuntimeError(f"HiGHS failed on nonsmooth problem {number}: {res.message}")
    y = res.ineqlin.marginals  # <= 0 for a minimisation with <= rows
    dual = float(b_ub @ y)
    return {
        "x": res.x[:n],
        "primal": float(res.fun),
        "dual_bound": dual,
        "gap": float(res.fun) - dual,
        "dual_residual": float(np.max(np.abs(a_ub.T @ y - cost))),
        "dual_sign_violation": float(max(0.0, np.max(y))),
        "rows": int(a_ub.shape[0]),
        "columns": int(a_ub.shape[1]),
    }
