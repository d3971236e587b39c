"""Test problems for minimax and nonsmooth optimisation, on numpy arrays.

    import kinkbench
    p = kinkbench.minimax(7)            # n and capacity default to the minimum and m
    value, k = p.objective(p.x0)        # max f_k (max |f_k| for the fits), first k attaining it
    J = p.jacobian(p.x0)                # shape (m, n)

Every number comes from the C++ library, bit for bit. The same calls take a batch of
points of shape (N, n) and return stacked results.
"""

from ._core import MinimaxProblem, NonsmoothProblem, minimax, nonsmooth
from .catalogue import ProblemInfo, problems
from .files import parse_result, read_result_file, write_point_file

__all__ = [
    "MinimaxProblem",
    "NonsmoothProblem",
    "ProblemInfo",
    "minimax",
    "nonsmooth",
    "parse_result",
    "problems",
    "read_result_file",
    "write_point_file",
]
