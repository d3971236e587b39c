"""Test problems for minimax and nonsmooth optimisation, on numpy arrays.

    import kinkbench
    p = kinkbench.minimax(7)            # n and capacity default to the minimum and m
    value, k = p.objective(p.x0)        # max f_k (max |f_k| for the fits), first k attaining it
    J = p.jacobian(p.x0)                # shape (m, n)

Every number comes from the C++ library, bit for bit. The same calls take a batch of
points of shape (N, n) and return stacked results.

To benchmark a solver: kinkbench.RunLog records one run's evaluations under a budget,
kinkbench.run_suite runs solvers over a selection of problems, and
`python3 -m kinkbench.profiles LOGDIR -o OUT` draws data and performance profiles;
`python3 -m kinkbench.report LOGDIR -o OUT` writes a campaign's whole report as one HTML
page (kinkbench.logs reads the logs strictly).
"""

from ._core import MinimaxProblem, NonsmoothProblem, minimax, nonsmooth
from .catalogue import ProblemInfo, problems
from .files import parse_result, read_result_file, write_point_file
from .runlog import RunLog
from .suite import run_suite

__all__ = [
    "MinimaxProblem",
    "NonsmoothProblem",
    "ProblemInfo",
    "RunLog",
    "minimax",
    "nonsmooth",
    "parse_result",
    "problems",
    "read_result_file",
    "run_suite",
    "write_point_file",
]
