"""Starting points beyond a problem's standard one, the same on every machine.

Start 0 is the problem's own x0. Start s > 0 with seed r is

    x0 + scale * max(1, |x0|) * z,    z ~ N(0, I)

(max and |.| componentwise), z drawn by numpy's PCG64 generator seeded with
SeedSequence([r, c, number, n, s]), c = 0 for minimax and 1 for nonsmooth problems. Each
start depends on its own key only, so a start is the same whichever starts, problems or
workers a campaign has. The default scale is 0.1.
"""

from __future__ import annotations

import numbers
from typing import Union

import numpy as np

from ._core import MinimaxProblem, NonsmoothProblem

DEFAULT_SCALE = 0.1
DEFAULT_SEED = 1


def _whole(value, what: str, least: int) -> int:
    if isinstance(value, bool) or not isinstance(value, numbers.Integral) or value < least:
        raise ValueError(f"{what} must be a whole number of at least {least}, got {value!r}")
    return int(value)


def start_point(
    problem: Union[MinimaxProblem, NonsmoothProblem],
    start: int,
    seed: int = DEFAULT_SEED,
    scale: float = DEFAULT_SCALE,
) -> np.ndarray:
    """Start number `start` of the problem as it is set up (its n), a fresh array."""
    start = _whole(start, "start", 0)
    x0 = problem.x0
    if start == 0:
        return x0
    seed = _whole(seed, "the start seed", 0)
    scale = float(scale)
    if not np.isfinite(scale) or scale <= 0:
        raise ValueError(f"the start scale must be a positive finite number, got {scale!r}")
    code = 0 if isinstance(problem, MinimaxProblem) else 1
    sequence = np.random.SeedSequence([seed, code, problem.number, problem.n, start])
    z = np.random.Generator(np.random.PCG64(sequence)).standard_normal(problem.n)
    return x0 + scale * np.maximum(1.0, np.abs(x0)) * z
