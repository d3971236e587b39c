"""Lower bounds that prove the optima of the convex nonsmooth problems 3, 12, 16, 18 and 21.

Each `certify_N(x_star)` returns a dict that goes into the entry's evidence as
`certificate`: the dual object (multipliers, or a transportation plan), the `bound` it
gives and how. `recheck(number, certificate)` recomputes the bound from the stored dual
object alone, so data/check.py can confirm it without trusting the stored number.

Why each bound holds (weak duality; f is the library's objective, written with the pieces of
_nonsmooth_pieces):

- 3 and 16, f = max_k f_k with convex f_k: for lambda >= 0 summing to 1, f >= L = sum lambda_k
  f_k, and L is mu-strongly convex, so min L >= L(z) - |grad L(z)|^2 / (2 mu) at any z.
- 12, f = max_i b_i |x - a_i|^2: min over x of sum lambda_i b_i |x - a_i|^2 has a closed form,
  evaluated here in exact rational arithmetic from the stored lambda.
- 18, a weighted sum of Euclidean norms |B_j x - c_j|: for |y_j| <= w_j, f(x) >= r.x - sum
  y_j.c_j with r = sum B_j^T y_j, and every minimiser has |x| <= sqrt(6) f(x*) (each point
  P_i is no farther from the origin than f), so min f >= -sum y_j.c_j - |r| sqrt(6) f(x*).
- 21, f = -(c.x + sum_j a_j min_i (D_ji - x_i)): for a plan pi >= 0 with row sums a and column
  sums c, c.x + sum_j a_j mu_j = sum pi_ji (x_i + mu_j) <= sum pi_ji D_ji, so f >= -sum pi D,
  checked in integers.
"""

import math
from fractions import Fraction

import numpy as np

from _nonsmooth_pieces import CHAIN_Q, CHAIN_U, CHAIN_W, SHOR_A, SHOR_B, quadratics16

# Allowance for rounding in a bound computed in double precision, relative to the sum of
# the magnitudes that enter it; far above the few ulps the sums can lose.
ROUNDING = 1e-13
CERTIFIED = (3, 12, 16, 18, 21)


def _simplex_multipliers(gradients):
    """lambda >= 0, sum 1, with sum lambda_k g_k as small as least squares makes it."""
    from scipy.optimize import nnls

    G = np.asarray(gradients, dtype=float)
    w = 1e4 * max(1.0, float(np.max(np.abs(G))))
    A = np.vstack([G.T, w * np.ones((1, G.shape[0]))])
    b = np.zeros(A.shape[0])
    b[-1] = w
    lam, _ = nnls(A, b)
    return lam / lam.sum()


# --- 3 and 16: strongly convex Lagrangians ------------------------------------------------


def _pieces3(x):
    x1, x2 = x
    v = np.array([x1 ** 2 + x2 ** 4, (2 - x1) ** 2 + (2 - x2) ** 2, 2 * math.exp(x2 - x1)])
    e = 2 * math.exp(x2 - x1)
    g = np.array([[2 * x1, 4 * x2 ** 3], [-2 * (2 - x1), -2 * (2 - x2)], [-e, e]])
    h = np.array([[[2, 0], [0, 12 * x2 ** 2]], [[2, 0], [0, 2]], [[e, -e], [-e, e]]], dtype=float)
    return v, g, h


def _pieces16(x):
    v, g, h = [], [], []
    for a, b in quadratics16():
        v.append(x @ a @ x - b @ x)
        g.append(2 * a @ x - b)
        h.append(2 * a)
    return np.array(v), np.array(g), np.array(h)


def _modulus(number, lam):
    """A strong-convexity modulus of sum lambda_k f_k valid everywhere."""
    if number == 3:
        return 2.0 * lam[1]  # f2 has Hessian 2I; f1 and f3 are convex
    return 2.0 * sum(l * float(np.linalg.eigvalsh(a)[0]) for l, (a, _) in zip(lam, quadratics16()))


def _lagrangian_bound(number, lam, x):
    pieces = _pieces3 if number == 3 else _pieces16
    z = np.array(x, dtype=float)
    for _ in range(50):  # Newton on the smooth, strongly convex Lagrangian
        _, g, h = pieces(z)
        step = np.linalg.solve(np.tensordot(lam, h, 1), -(lam @ g))
        z = z + step
        if np.max(np.abs(step)) <= 1e-15 * max(1.0, float(np.max(np.abs(z)))):
            break
    v, g, _ = pieces(z)
    grad = lam @ g
    mu = _modulus(number, lam)
    value = float(lam @ v)
    slack = float(grad @ grad) / (2 * mu) + ROUNDING * float(np.abs(lam) @ np.abs(v))
    return {"kind": "Lagrangian at multipliers lambda, strongly convex",
            "lambda": [float(l) for l in lam], "minimiser": [float(t) for t in z],
            "modulus": mu, "gradient_norm": float(math.sqrt(grad @ grad)),
            "bound": (value - slack) / float(lam.sum())}


def certify_lagrangian(number, x_star):
    pieces = _pieces3 if number == 3 else _pieces16
    v, g, _ = pieces(np.array(x_star, dtype=float))
    active = np.flatnonzero(v >= v.max() - 1e-6 * max(1.0, abs(v.max())))
    lam = np.zeros(len(v))
    lam[active] = _simplex_multipliers(g[active])
    return _lagrangian_bound(number, lam, x_star)


# --- 12: a closed-form dual --------------------------------------------------------------


def _bound12(lam):
    """Exact min over x of sum lam_i b_i |x - a_i|^2, as a Fraction."""
    w = [Fraction(l) * Fraction(b) for l, b in zip(lam, SHOR_B)]
    total = sum(w)
    rows = [[Fraction(v) for v in row] for row in SHOR_A]
    centre = [sum(wi * r[j] for wi, r in zip(w, rows)) / total for j in range(5)]
    return sum(wi * sum((r[j] - centre[j]) ** 2 for j in range(5)) for wi, r in zip(w, rows))


def _down(q):
    """The largest double not above the rational q."""
    v = float(q)
    return math.nextafter(v, -math.inf) if Fraction(v) > q else v


def certify_12(x_star):
    x = np.array(x_star, dtype=float)
    d = SHOR_B * np.sum((x[None, :] - SHOR_A) ** 2, axis=1)
    g = 2 * SHOR_B[:, None] * (x[None, :] - SHOR_A)
    active = np.flatnonzero(d >= d.max() - 1e-6 * d.max())
    lam = np.zeros(10)
    lam[active] = _simplex_multipliers(g[active])
    return {"kind": "closed-form Lagrangian dual: sum lambda_i b_i |x - a_i|^2 minimised exactly",
            "lambda": [float(l) for l in lam],
            "bound": _down(_bound12(lam) / sum(Fraction(l) for l in lam))}


# --- 18: a second-order-cone dual ----------------------------------------------------------


def chain_terms():
    """(weight, B, c) per norm term of problem 18, x = (x1..x6, x7..x12), P_i = (x_i, x_i+6)."""
    def point(i):
        b = np.zeros((2, 12))
        b[0, i], b[1, i + 6] = 1.0, 1.0
        return b
    terms = [(1.0, point(0), np.zeros(2))]
    terms += [(float(CHAIN_W[i]), point(i), CHAIN_Q[i]) for i in range(6)]
    terms += [(float(CHAIN_U[i]), point(i) - point(i + 1), np.zeros(2)) for i in range(5)]
    terms += [(1.0, point(5), np.array([5.5, -1.0]))]
    return terms


def value18(x):
    return sum(w * float(np.linalg.norm(b @ x - c)) for w, b, c in chain_terms())


def _bound18(ys, best):
    r = np.zeros(12)
    value = 0.0
    size = 0.0
    for (w, b, c), y in zip(chain_terms(), ys):
        y = np.asarray(y, dtype=float)
        if float(np.linalg.norm(y)) > w:
            return None, None
        r += b.T @ y
        value -= float(y @ c)
        size += abs(float(y @ c))
    radius = math.sqrt(6.0) * best
    return value - float(np.linalg.norm(r)) * radius - ROUNDING * size, float(np.linalg.norm(r))


def certify_18(x_star, best):
    x = np.array(x_star, dtype=float)
    terms = chain_terms()
    ys = [None] * len(terms)
    rest = np.zeros(12)
    free = []
    for j, (w, b, c) in enumerate(terms):
        u = b @ x - c
        if np.linalg.norm(u) > 1e-7:
            ys[j] = w * u / np.linalg.norm(u)
            rest += b.T @ ys[j]
        else:
            free.append(j)
    if free:  # the terms at a kink: any y_j in the disc, chosen to cancel the rest
        m = np.hstack([terms[j][1].T for j in free])
        sol = np.linalg.lstsq(m, -rest, rcond=None)[0]
        for k, j in enumerate(free):
            y = sol[2 * k:2 * k + 2]
            scale = min(1.0, terms[j][0] / max(float(np.linalg.norm(y)), 1e-300))
            ys[j] = y * scale * (1 - 1e-15)
    bound, residual = _bound18(ys, best)
    return {"kind": "second-order-cone dual: |y_j| <= w_j per norm term, f(x) >= r.x - sum y_j.c_j",
            "y": [[float(v) for v in y] for y in ys], "at_kink": [j + 1 for j in free],
            "residual": residual, "radius": math.sqrt(6.0) * best, "bound": bound}


# --- 21: a transportation plan --------------------------------------------------------------


def certify_21():
    from scipy.optimize import linprog
    from scipy.sparse import lil_matrix

    import _nonsmooth_lp as lp

    d, a, c = lp.table21()
    n = len(a)
    eq = lil_matrix((2 * n, n * n))
    for j in range(n):
        for i in range(n):
            eq[j, j * n + i] = 1.0
            eq[n + i, j * n + i] = 1.0
    res = linprog(d.ravel(), A_eq=eq.tocsr(), b_eq=np.concatenate([a, c]), bounds=(0, None),
                  method="highs-ds")
    plan = np.rint(res.x.reshape(n, n)).astype(int)
    triples = [[j + 1, i + 1, int(plan[j, i])] for j in range(n) for i in range(n) if plan[j, i]]
    return {"kind": "transportation plan pi (row j, column i, amount): row sums a, column sums c",
            "plan": triples, "bound": -float(_cost21(triples, d, a, c))}


def _cost21(triples, d, a, c):
    """sum pi_ji D_ji in integers, or raise when the plan is not one."""
    n = len(a)
    rows = [0] * n
    cols = [0] * n
    cost = 0
    for j, i, amount in triples:
        if amount < 0:
            raise ValueError(f"negative amount at ({j}, {i})")
        rows[j - 1] += amount
        cols[i - 1] += amount
        cost += amount * int(d[j - 1, i - 1])
    if rows != [int(v) for v in a] or cols != [int(v) for v in c]:
        raise ValueError("the plan's row or column sums are not a and c")
    return cost


# --- both sides ------------------------------------------------------------------------------


def certify(number, entry):
    x = entry["best_point"]
    if number in (3, 16):
        return certify_lagrangian(number, x)
    if number == 12:
        return certify_12(x)
    if number == 18:
        return certify_18(x, entry["best_value"])
    if number == 21:
        return certify_21()
    raise ValueError(f"no certificate for nonsmooth {number}")


def recheck(number, cert, best):
    """The bound the stored dual object proves (independent of the stored `bound`)."""
    if number in (3, 16):
        lam = np.asarray(cert["lambda"], dtype=float)
        if np.any(lam < 0) or abs(lam.sum() - 1) > 1e-12:
            raise ValueError("lambda is not in the simplex")
        return _lagrangian_bound(number, lam, cert["minimiser"])["bound"]
    if number == 12:
        lam = cert["lambda"]
        if min(lam) < 0:
            raise ValueError("lambda has a negative entry")
        return _down(_bound12(lam) / sum(Fraction(l) for l in lam))
    if number == 18:
        bound, _ = _bound18(cert["y"], best)
        if bound is None:
            raise ValueError("some |y_j| exceeds its weight")
        return bound
    if number == 21:
        import _nonsmooth_lp as lp

        d, a, c = lp.table21()
        return -float(_cost21(cert["plan"], d, a, c))
    raise ValueError(f"no certificate for nonsmooth {number}")
