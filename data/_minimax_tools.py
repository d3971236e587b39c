"""Numerical pieces behind data/minimax_optima.py: the epigraph solve, the active-set
refinement and the optimality evidence (active set, KKT multipliers, Lagrangian bound).

Every routine takes a problem object with .n .m .itype .values(x) .jacobian(x) .objective(x),
so the tests can drive them with small hand-made problems.
"""

import warnings

import numpy as np
from scipy.optimize import OptimizeWarning, minimize, nnls


def signed_parts(problem, x, absolute):
    """The pieces whose maximum is the objective: f_k, and for the |f_k| form also -f_k.

    Returns (values, jacobian, index, sign) with value row r equal to sign[r] * f_{index[r]}.
    """
    v = np.asarray(problem.values(x), dtype=float)
    g = np.asarray(problem.jacobian(x), dtype=float)
    k = np.arange(1, len(v) + 1)
    if not absolute:
        return v, g, k, np.ones(len(v))
    return (np.concatenate([v, -v]), np.vstack([g, -g]), np.concatenate([k, k]),
            np.concatenate([np.ones(len(v)), -np.ones(len(v))]))


class _Cache:
    """Values and Jacobian at the last point asked for; SLSQP asks for both at each point."""

    def __init__(self, problem, absolute):
        self.problem, self.absolute, self.x = problem, absolute, None

    def at(self, x):
        if self.x is None or not np.array_equal(x, self.x):
            self.x = np.array(x, dtype=float)
            self.v, self.g, _, _ = signed_parts(self.problem, self.x, self.absolute)
        return self.v, self.g


def epigraph(problem, x0, absolute, maxiter=400, ftol=1e-13, scale=1.0):
    """min t subject to t >= piece_r(x) for every piece, by SLSQP with the library's gradients.

    SLSQP stops on an absolute change of its objective, so the objective is t / scale: a scale
    near the expected minimum makes that test relative, which matters when f* is tiny.
    Returns (x, F(x)) with F the library's objective in the chosen form, or (x0, inf) when the
    run breaks down (a non-finite value on the way, or no usable end point).
    """
    cache = _Cache(problem, absolute)
    n = problem.n
    x0 = np.asarray(x0, dtype=float)
    v0, _ = cache.at(x0)
    if not np.all(np.isfinite(v0)):
        return x0, np.inf

    def cons(z):
        v, _ = cache.at(z[:n])
        return z[n] - v

    def cons_jac(z):
        _, g = cache.at(z[:n])
        return np.hstack([-g, np.ones((g.shape[0], 1))])

    obj_grad = np.zeros(n + 1)
    obj_grad[n] = 1.0 / scale
    z0 = np.append(x0, np.max(v0))
    try:
        with warnings.catch_warnings(), np.errstate(all="ignore"):
            warnings.simplefilter("ignore", (RuntimeWarning, OptimizeWarning))
            res = minimize(lambda z: z[n] / scale, z0, jac=lambda z: obj_grad, method="SLSQP",
                           constraints=[{"type": "ineq", "fun": cons, "jac": cons_jac}],
                           options={"maxiter": maxiter, "ftol": ftol})
    except (ValueError, FloatingPointError, OverflowError):
        return x0, np.inf
    x = np.asarray(res.x[:n], dtype=float)
    value = objective(problem, x, absolute)
    return (x, value) if np.isfinite(value) else (x0, np.inf)


def objective(problem, x, absolute):
    """The library's objective; plain max f_k when absolute is False, whatever the itype."""
    with np.errstate(all="ignore"):
        if absolute:
            return float(problem.objective(x)[0])
        return float(problem.largest(x)[0])


def active_set(problem, x, absolute, tol):
    """Pieces within tol of the objective: (index, sign, gradient rows), largest value first."""
    v, g, k, s = signed_parts(problem, x, absolute)
    top = np.max(v)
    rows = np.flatnonzero(v >= top - tol)
    rows = rows[np.argsort(-v[rows], kind="stable")]
    return k[rows], s[rows], g[rows]


def kkt(gradients):
    """min over lambda >= 0 with sum 1 of || sum_r lambda_r * gradients[r] ||.

    The simplex constraint enters NNLS as one heavily weighted extra row; the multipliers are
    then renormalised and the residual is recomputed from them, so what is reported is exact
    for the reported lambda.
    """
    G = np.asarray(gradients, dtype=float)
    scale = max(1.0, float(np.max(np.abs(G)))) if G.size else 1.0
    w = 1e4 * scale
    A = np.vstack([G.T, w * np.ones((1, G.shape[0]))])
    b = np.zeros(A.shape[0])
    b[-1] = w
    lam, _ = nnls(A, b, maxiter=50 * A.shape[1])
    if lam.sum() <= 0:
        lam = np.full(G.shape[0], 1.0 / G.shape[0])
    lam = lam / lam.sum()
    return lam, float(np.linalg.norm(G.T @ lam))


def vertex_newton(problem, x, absolute, index, sign, iterations=30):
    """Newton on sign_r * f_{index_r}(x) = t for an active set of n + 1 pieces.

    With n + 1 active pieces (a Haar point) the minimiser is a vertex fixed by these n + 1
    equations in (x, t), so Newton with the library's gradients pins it down to rounding
    level, which SLSQP's stopping test does not. Returns the last iterate.
    """
    n = problem.n
    x = np.array(x, dtype=float)
    rows = _rows(index, sign, problem.m, absolute)
    t = float(np.mean(signed_parts(problem, x, absolute)[0][rows]))
    for _ in range(iterations):
        v, g, _, _ = signed_parts(problem, x, absolute)
        r = v[rows] - t
        J = np.hstack([g[rows], -np.ones((len(rows), 1))])
        try:
            step = np.linalg.solve(J, -r)
        except np.linalg.LinAlgError:
            break
        if not np.all(np.isfinite(step)):
            break
        x = x + step[:n]
        t = t + step[n]
        if np.max(np.abs(step[:n])) <= 1e-16 * max(1.0, float(np.max(np.abs(x)))):
            break
    return x


def _rows(index, sign, m, absolute):
    """Row numbers in signed_parts' layout of the pieces (index, sign)."""
    index = np.asarray(index)
    rows = index - 1
    if absolute:
        rows = np.where(np.asarray(sign) < 0, rows + m, rows)
    return rows


def lagrangian_bound(problem, x, absolute, index, sign, lam):
    """min over x of sum_r lam_r * sign_r * f_{index_r}(x), searched from x by BFGS.

    For lam >= 0 summing to 1 this is a lower bound of min max when every signed piece is
    convex (weak duality); returns (bound, gradient norm at the minimiser found).
    """
    rows = _rows(index, sign, problem.m, absolute)

    def fun(y):
        v, g, _, _ = signed_parts(problem, y, absolute)
        return float(lam @ v[rows]), lam @ g[rows]

    with warnings.catch_warnings(), np.errstate(all="ignore"):
        warnings.simplefilter("ignore", (RuntimeWarning, OptimizeWarning))
        res = minimize(fun, np.asarray(x, dtype=float), jac=True, method="BFGS",
                       options={"gtol": 1e-13, "maxiter": 2000})
    best = min(float(res.fun), fun(np.asarray(x, dtype=float))[0])
    return best, float(np.linalg.norm(fun(res.x)[1]))


def slp_polish(problem, x, absolute, iterations=100):
    """Trust-region sequential linear programming on the pieces, from x.

    Each step solves min t subject to piece_r + grad_r . d <= t, |d_i| <= radius (HiGHS) and
    is taken only when the library's objective falls. At a vertex minimum (n + 1 active pieces)
    this converges quadratically and, unlike SLSQP's stopping test, keeps going while the
    objective still falls at rounding level. Returns (x, F(x)).
    """
    from scipy.optimize import linprog

    n = problem.n
    x = np.array(x, dtype=float)
    value = objective(problem, x, absolute)
    radius = 1e-2 * max(1.0, float(np.max(np.abs(x))))
    c = np.zeros(n + 1)
    c[n] = 1.0
    for _ in range(iterations):
        v, g, _, _ = signed_parts(problem, x, absolute)
        if not (np.all(np.isfinite(v)) and np.all(np.isfinite(g))):
            break
        # HiGHS works to absolute tolerances near 1e-7, so the LP is posed in units of the
        # current objective and of the radius: d = radius * e with |e_i| <= 1, t = s * tau.
        s = abs(value) if value != 0 else 1.0
        A = np.hstack([g * (radius / s), -np.ones((len(v), 1))])
        bounds = [(-1.0, 1.0)] * n + [(None, None)]
        res = linprog(c, A_ub=A, b_ub=-v / s, bounds=bounds, method="highs")
        if res.status != 0:
            break
        d = radius * res.x[:n]
        predicted = value - s * res.x[n]
        if not predicted > 0:
            break
        with np.errstate(all="ignore"):
            trial = objective(problem, x + d, absolute)
        ratio = (value - trial) / predicted if np.isfinite(trial) else -1.0
        if ratio > 0 and trial < value:
            x, value = x + d, trial
            if ratio > 0.75:
                radius *= 2.5
        if ratio < 0.25:
            radius = 0.25 * float(np.max(np.abs(d))) if np.any(d) else 0.25 * radius
        if radius <= 1e-15 * max(1.0, float(np.max(np.abs(x)))):
            break
    return x, value
