"""SciPy's solvers as functions of a RunLog, importable by name so that campaigns can send
them to worker processes ("kinkbench.solvers:bfgs"). Each lifts SciPy's own iteration
limits so that the budget decides, silences SciPy's warnings (the log's outcome says how
the run ended) and returns SciPy's result, whose success and message set the outcome.
Needs SciPy (python3-scipy).
"""

from __future__ import annotations

import warnings

import numpy as np

UNLIMITED = 10**9


def _minimize(*args, **kwargs):
    from scipy.optimize import minimize

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return minimize(*args, **kwargs)


def bfgs(log):
    """BFGS with the library's gradient (for minimax problems, grad's subgradient)."""
    return _minimize(log.fun, log.x0, jac=log.grad, method="BFGS", options={"maxiter": UNLIMITED})


def cg(log):
    """Nonlinear conjugate gradients with the library's gradient."""
    return _minimize(log.fun, log.x0, jac=log.grad, method="CG", options={"maxiter": UNLIMITED})


def lbfgsb(log):
    """L-BFGS-B without bounds, with the library's gradient."""
    options = {"maxiter": UNLIMITED, "maxfun": UNLIMITED}
    return _minimize(log.fun, log.x0, jac=log.grad, method="L-BFGS-B", options=options)


def nelder_mead(log):
    """Nelder-Mead with SciPy's default tolerances."""
    options = {"maxfev": UNLIMITED, "maxiter": UNLIMITED}
    return _minimize(log.fun, log.x0, method="Nelder-Mead", options=options)


def powell(log):
    """Powell's direction set method with SciPy's default tolerances."""
    options = {"maxfev": UNLIMITED, "maxiter": UNLIMITED}
    return _minimize(log.fun, log.x0, method="Powell", options=options)


def slsqp_epigraph(log):
    """SLSQP on the epigraph of a minimax problem: min t over (x, t) subject to
    t >= f_k(x) (and t >= -f_k(x) for the fits), with the library's Jacobian. Each point
    costs one values and one jacobian call, which the log counts as one evaluation."""
    problem = log.problem
    if not log.minimax:
        raise TypeError("slsqp_epigraph is for minimax problems")
    n, m = problem.n, problem.m
    signs = [1.0] if problem.itype != 0 else [1.0, -1.0]

    def constraints(z):
        f = log.values(z[:n])
        return np.concatenate([z[n] - s * f for s in signs])

    def constraints_jacobian(z):
        jac = log.jacobian(z[:n])
        return np.vstack([np.hstack([-s * jac, np.ones((m, 1))]) for s in signs])

    return _minimize(
        lambda z: z[n],
        np.append(log.x0, log.f0),
        jac=lambda z: np.eye(1, n + 1, n).ravel(),
        constraints=[{"type": "ineq", "fun": constraints, "jac": constraints_jacobian}],
        method="SLSQP",
        options={"maxiter": UNLIMITED, "ftol": 1e-12},
    )


def random_search(log):
    """A randomised solver for repetitions: Gaussian steps from the best point so far,
    halving the step after 2n failures in a row; its generator is seeded by log.seed."""
    rng = np.random.default_rng(log.seed)
    x, fx = log.x0, log.fun(log.x0)
    step, failures = 1.0, 0
    while step > 1e-12:
        y = x + step * rng.standard_normal(log.n)
        fy = log.fun(y)
        if fy < fx:
            x, fx, failures = y, fy, 0
        else:
            failures += 1
            if failures >= 2 * log.n:
                step, failures = step / 2, 0
    return None
