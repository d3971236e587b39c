"""Local searches on the nonsmooth problems: quasi-Newton, direct search, the epigraph by
SLSQP, a last polish on the library's own value, and the KKT residual at a point."""

import warnings

import numpy as np
from scipy.optimize import OptimizeWarning, minimize, nnls

from _nonsmooth_pieces import epigraph_form


def agree(value, best):
    return abs(value - best) <= 1e-8 * max(1.0, abs(best))


def _fd_jacobian(fun, x):
    """Central differences of a smooth vector function (rows: components of fun)."""
    f0 = np.atleast_1d(fun(x))
    jac = np.zeros((f0.size, x.size))
    for i in range(x.size):
        h = 1e-6 * max(1.0, abs(x[i]))
        xp, xm = x.copy(), x.copy()
        xp[i] += h
        xm[i] -= h
        jac[:, i] = (np.atleast_1d(fun(xp)) - np.atleast_1d(fun(xm))) / (2 * h)
    return jac


def bfgs(problem, x):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        res = minimize(problem.value, x, jac=problem.gradient, method="BFGS",
                       options={"maxiter": 3000, "gtol": 1e-12})
    return res.x


def direct(problem, x):
    """Nelder-Mead in few variables, Powell in many."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        if problem.n <= 12:
            res = minimize(problem.value, x, method="Nelder-Mead",
                           options={"maxfev": 400 * problem.n, "xatol": 1e-12, "fatol": 1e-14,
                                    "adaptive": True})
        else:
            res = minimize(problem.value, x, method="Powell",
                           options={"maxfev": 300 * problem.n, "xtol": 1e-10, "ftol": 1e-14})
    return res.x


def epigraph(number, x, maxiter=200):
    """min smooth(x) + sum t_g subject to t_g >= piece_{g,k}(x), by SLSQP; the x part."""
    smooth, groups = epigraph_form(number)
    n = x.size
    sizes = [np.atleast_1d(g(x)).size for g in groups]
    z0 = np.concatenate([x, [float(np.max(g(x))) for g in groups]])

    def pieces(xx):
        return np.concatenate([np.atleast_1d(g(xx)) for g in groups])

    rows = np.repeat(np.arange(len(groups)), sizes)
    select = np.zeros((rows.size, len(groups)))
    select[np.arange(rows.size), rows] = 1.0

    def objective(z):
        return smooth(z[:n]) + float(np.sum(z[n:]))

    def objective_grad(z):
        return np.concatenate([_fd_jacobian(smooth, z[:n])[0], np.ones(len(groups))])

    def cons(z):
        return select @ z[n:] - pieces(z[:n])

    def cons_jac(z):
        return np.hstack([-_fd_jacobian(pieces, z[:n]), select])

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", (OptimizeWarning, RuntimeWarning))
        res = minimize(objective, z0, jac=objective_grad, method="SLSQP",
                       constraints=[{"type": "ineq", "fun": cons, "jac": cons_jac}],
                       options={"maxiter": maxiter, "ftol": 1e-15})
    return res.x[:n]


def polish(problem, x, value):
    """Coordinate steps down to rounding size, kept only where the library's value drops."""
    x = np.array(x, dtype=float)
    for scale in (1e-6, 1e-8, 1e-10, 1e-12, 1e-14, 2e-16):
        for _ in range(4):
            improved = False
            for i in range(x.size):
                for sign in (1.0, -1.0):
                    y = x.copy()
                    y[i] += sign * scale * max(abs(x[i]), 1.0)
                    fy = problem.value(y)
                    if fy < value:
                        x, value, improved = y, fy, True
            if not improved:
                break
    return x, value


def active_and_kkt(number, problem, x):
    """Active pieces per group and the least-norm element of the subdifferential at x.

    The subdifferential of smooth + sum of group maxima is grad smooth plus, per group,
    the convex hull of the active pieces' gradients; the residual is the smallest norm of
    its elements (0 at an exact minimiser of a convex problem, small near any local one).
    """
    form = epigraph_form(number)
    if form is None:
        return None, None
    smooth, groups = form
    grad = _fd_jacobian(smooth, x)[0]
    columns, active, owners = [], [], []
    for gi, g in enumerate(groups):
        vals = np.atleast_1d(g(x))
        top = float(np.max(vals))
        tol = 1e-7 * max(1.0, abs(top))
        ks = [int(k) for k in np.flatnonzero(vals >= top - tol)]
        active.append([k + 1 for k in ks])
        jac = _fd_jacobian(g, x)
        for k in ks:
            columns.append(jac[k])
            owners.append(gi)
    # least squares with the per-group sums of weights held at 1 by heavy rows
    weight = 1e4
    a = np.vstack([np.array(columns).T,
                   weight * (np.arange(len(groups))[:, None] == np.array(owners)[None, :])])
    b = np.concatenate([-grad, weight * np.ones(len(groups))])
    lam, _ = nnls(a, b, maxiter=50 * a.shape[1])
    residual = float(np.linalg.norm(grad + np.array(columns).T @ lam))
    return active, residual
