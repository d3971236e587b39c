"""Both collections' tables as records, for filtering."""

from __future__ import annotations

from typing import NamedTuple, Optional

from . import _core


class ProblemInfo(NamedTuple):
    """One problem of either collection.

    Fields that do not apply are None: max_n for minimax problems (any n from min_n up is
    accepted) and for nonsmooth problems without an upper limit; m and itype for nonsmooth
    problems, which have a single objective.
    """

    collection: str  # "minimax" or "nonsmooth"
    number: int
    min_n: int
    max_n: Optional[int]
    m: Optional[int]
    itype: Optional[int]
    form: str  # "max f_k", "max |f_k|" or "f"
    fmin: float
    stepmax: float
    summary: str


def problems() -> list[ProblemInfo]:
    """Both tables: minimax problems 1..25, then nonsmooth problems 1..25.

    >>> [p.number for p in problems() if p.collection == "nonsmooth" and p.max_n]
    [16, 21]
    """
    rows = [
        ProblemInfo("minimax", number, min_n, None, m, itype, form, fmin, stepmax, summary)
        for number, min_n, m, itype, form, fmin, stepmax, summary in _core._minimax_table()
    ]
    rows += [
        ProblemInfo("nonsmooth", number, min_n, max_n, None, None, "f", fmin, stepmax, summary)
        for number, min_n, max_n, fmin, stepmax, summary in _core._nonsmooth_table()
    ]
    return rows
