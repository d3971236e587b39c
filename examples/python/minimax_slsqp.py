#!/usr/bin/python3
"""Solve a minimax problem with SciPy's SLSQP on its epigraph form.

    minimise t  over (x, t)  subject to  t >= f_k(x)           for k = 1..m
                                         t >= -f_k(x)          as well, for the fits (itype 0)

so that at the solution t is the problem's objective: max f_k, or max |f_k|. The
constraints' Jacobian comes from kinkbench's jacobian(x) in one call per iterate.

usage: minimax_slsqp.py [PROBLEM [N]]   (default: problem 7, a fit, at its minimum n)
Exits 1 unless SLSQP ends below the starting objective.
"""

import sys

import numpy as np
from scipy.optimize import minimize

import kinkbench


def solve(problem, max_iterations=200):
    n = problem.n
    signs = [1.0] if problem.itype != 0 else [1.0, -1.0]  # fits: t >= f_k and t >= -f_k

    def constraints(z):
        x, t = z[:n], z[n]
        f = problem.values(x)
        return np.concatenate([t - s * f for s in signs])

    def constraints_jacobian(z):
        jac = problem.jacobian(z[:n])
        ones = np.ones((problem.m, 1))
        return np.vstack([np.hstack([-s * jac, ones]) for s in signs])

    start_value, _ = problem.objective(problem.x0)
    z0 = np.append(problem.x0, start_value)
    result = minimize(
        lambda z: z[n],
        z0,
        jac=lambda z: np.eye(1, n + 1, n).ravel(),
        constraints=[{"type": "ineq", "fun": constraints, "jac": constraints_jacobian}],
        method="SLSQP",
        options={"maxiter": max_iterations, "ftol": 1e-12},
    )
    return start_value, result


def main(argv):
    number = int(argv[1]) if len(argv) > 1 else 7
    n = int(argv[2]) if len(argv) > 2 else None
    problem = kinkbench.minimax(number, n=n)
    start_value, result = solve(problem)
    x = result.x[: problem.n]
    final_value, k = problem.objective(x)  # measured by the library, not by SLSQP's t
    print(f"minimax problem {problem.number} ({problem.summary}), n = {problem.n}, "
          f"m = {problem.m}, objective {problem.form}")
    print(f"start: {start_value:.10g}")
    print(f"SLSQP: {final_value:.10g} (attained by k = {k}) after {result.nit} iterations; "
          f"{result.message}")
    return 0 if final_value < start_value else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
