"""Types of the compiled core. Points are 1-D arrays of length n, or batches (N, n);
any real-valued array-like is accepted and converted to float64 once."""

from typing import Any, Optional, Union

import numpy as np
import numpy.typing as npt

_Point = npt.ArrayLike
_F64 = npt.NDArray[np.float64]
_I64 = npt.NDArray[np.int64]

class MinimaxProblem:
    """A minimax problem: partial functions f_1..f_m of a point x with n components.
    Create with kinkbench.minimax(); immutable and safe to share between threads."""

    @property
    def number(self) -> int:
        """Problem number, 1..25."""
    @property
    def n(self) -> int:
        """Number of variables it is set up for."""
    @property
    def min_n(self) -> int:
        """Smallest n the problem accepts."""
    @property
    def m(self) -> int:
        """Number of partial functions f_k."""
    @property
    def itype(self) -> int:
        """Objective type: -1 for max f_k, 0 for max |f_k|."""
    @property
    def form(self) -> str:
        """The objective's form: "max f_k" (itype -1) or "max |f_k|" (itype 0)."""
    @property
    def fmin(self) -> float:
        """Lower bound for the objective given by the set-up."""
    @property
    def stepmax(self) -> float:
        """Largest step length an optimiser should take."""
    @property
    def x0(self) -> _F64:
        """The starting point, a fresh float64 array of length n on every access."""
    @property
    def summary(self) -> str:
        """One line describing the problem."""
    @property
    def best_value(self) -> Optional[float]:
        """Best-known objective value (in form) at best_point, exactly as the library
        computes it; None when none is stored for this n (stored at the minimum n)."""
    @property
    def best_point(self) -> Optional[_F64]:
        """A point attaining best_value, a fresh array of length n; None like best_value."""
    @property
    def best_status(self) -> Optional[str]:
        """"certified", "closed form", "best known" or "local" (unbounded below; the
        local minimum the start leads to)."""
    def value(self, x: _Point, k: int) -> Union[float, _F64]:
        """f_k(x) as a float; for a batch (N, n) an array (N,). IndexError for k outside
        1..m, ValueError for a point of the wrong length or dimension."""
    def gradient(self, x: _Point, k: int) -> _F64:
        """Gradient of f_k: (n,), or (N, n) for a batch."""
    def hessian(self, x: _Point, k: int, packed: bool = False) -> _F64:
        """Hessian of f_k: dense (n, n) or packed lower triangle by rows (n(n+1)/2,);
        for a batch (N, n, n) or (N, n(n+1)/2)."""
    def values(self, x: _Point) -> _F64:
        """All f_k: (m,), or (N, m) for a batch."""
    def jacobian(self, x: _Point) -> _F64:
        """Row k-1 is the gradient of f_k: (m, n), or (N, m, n) for a batch."""
    def objective(self, x: _Point) -> Union[tuple[float, int], tuple[_F64, _I64]]:
        """(value, k): max f_k for itype -1, max |f_k| for itype 0, and the first k
        attaining it; NaN terms are passed over. A batch gives (values, ks)."""
    def largest(self, x: _Point) -> Union[tuple[float, int], tuple[_F64, _I64]]:
        """(value, k): the plain max f_k whatever itype is. A batch gives (values, ks)."""
    def counts(self) -> dict[str, int]:
        """Calls made since creation or the last reset: "values" (values, objective and
        largest: every f_k at once), "jacobians", "partial_values", "partial_gradients",
        "partial_hessians" (single f_k; m of them are one evaluation's worth). A batch
        of N points counts N; a call that raises counts nothing."""
    def reset_counts(self) -> dict[str, int]:
        """Zero the counts and return them as they were; none is lost to another thread."""
    def pieces(self, x: _Point) -> dict[str, Any]:
        """The decomposition s(x) + sum over groups of max of pieces (docs/kinks.md):
        "names", "groups" (each piece's group, 1..G), "s", "ds" (n,), "values" (P,),
        "gradients" (P, n); a batch (N, n) stacks s, ds, values and gradients."""
    def active(self, x: _Point, eps: float = 0.0) -> Union[dict[str, Any], list[dict[str, Any]]]:
        """Pieces with value >= their group's maximum - eps: "names", "indices",
        "groups", "values", "gradients" (k, n), "group_max" (G,), "s", "ds". A batch
        gives a list of such dicts."""
    def stationarity(self, x: _Point, eps: float = 0.0) -> dict[str, Any]:
        """Least-norm element of grad s + sum over groups of conv{active gradients}:
        "norm", "gap" (|z - z*|^2 <= gap), "converged", "iterations", "multipliers"
        (P,), "element" (n,), "active", "names". A batch gives arrays per point."""

class NonsmoothProblem:
    """A nonsmooth problem: one objective f with kinks. Create with
    kinkbench.nonsmooth(); immutable and safe to share between threads."""

    @property
    def number(self) -> int:
        """Problem number, 1..25."""
    @property
    def n(self) -> int:
        """Number of variables it is set up for."""
    @property
    def min_n(self) -> int:
        """Smallest n the problem accepts."""
    @property
    def max_n(self) -> Optional[int]:
        """Largest n the problem accepts, or None when there is no limit."""
    @property
    def form(self) -> str:
        """The objective's form: always "f"."""
    @property
    def fmin(self) -> float:
        """Lower bound for the objective given by the set-up."""
    @property
    def stepmax(self) -> float:
        """Largest step length an optimiser should take."""
    @property
    def x0(self) -> _F64:
        """The starting point, a fresh float64 array of length n on every access."""
    @property
    def summary(self) -> str:
        """One line describing the problem."""
    @property
    def best_value(self) -> Optional[float]:
        """Best-known objective value (in form) at best_point, exactly as the library
        computes it; None when none is stored for this n (stored at the minimum n)."""
    @property
    def best_point(self) -> Optional[_F64]:
        """A point attaining best_value, a fresh array of length n; None like best_value."""
    @property
    def best_status(self) -> Optional[str]:
        """"certified", "closed form", "best known" or "local" (unbounded below; the
        local minimum the start leads to)."""
    def value(self, x: _Point) -> Union[float, _F64]:
        """f(x) as a float; for a batch (N, n) an array (N,)."""
    def objective(self, x: _Point) -> Union[float, _F64]:
        """The same as value(x)."""
    def gradient(self, x: _Point) -> _F64:
        """Gradient (of the piece the tie rules choose at a kink): (n,) or (N, n)."""
    def hessian(self, x: _Point, packed: bool = False) -> _F64:
        """Dense (n, n) or packed (n(n+1)/2,); for a batch (N, n, n) or (N, n(n+1)/2)."""
    def counts(self) -> dict[str, int]:
        """Calls made since creation or the last reset: "values" (value and objective),
        "gradients", "hessians". A batch of N points counts N; a call that raises counts
        nothing."""
    def reset_counts(self) -> dict[str, int]:
        """Zero the counts and return them as they were; none is lost to another thread."""
    def pieces(self, x: _Point) -> dict[str, Any]:
        """The decomposition s(x) + sum over groups of max of pieces (docs/kinks.md):
        "names", "groups" (each piece's group, 1..G), "s", "ds" (n,), "values" (P,),
        "gradients" (P, n); a batch (N, n) stacks s, ds, values and gradients."""
    def active(self, x: _Point, eps: float = 0.0) -> Union[dict[str, Any], list[dict[str, Any]]]:
        """Pieces with value >= their group's maximum - eps: "names", "indices",
        "groups", "values", "gradients" (k, n), "group_max" (G,), "s", "ds". A batch
        gives a list of such dicts."""
    def stationarity(self, x: _Point, eps: float = 0.0) -> dict[str, Any]:
        """Least-norm element of grad s + sum over groups of conv{active gradients}:
        "norm", "gap" (|z - z*|^2 <= gap), "converged", "iterations", "multipliers"
        (P,), "element" (n,), "active", "names". A batch gives arrays per point."""

def minimax(number: int, n: Optional[int] = None, capacity: Optional[int] = None) -> MinimaxProblem:
    """Set up minimax problem `number` (1..25); n defaults to its minimum, capacity to m.
    ValueError for a rejected set-up or a number outside 1..25, TypeError for a
    non-integer number."""

def nonsmooth(number: int, n: Optional[int] = None) -> NonsmoothProblem:
    """Set up nonsmooth problem `number` (1..25); n defaults to its minimum. ValueError
    for a rejected set-up or a number outside 1..25, TypeError for a non-integer number."""

def _minimax_table() -> list[tuple[int, int, int, int, str, float, float, str]]: ...
def _nonsmooth_table() -> list[tuple[int, int, Optional[int], float, float, str]]: ...
