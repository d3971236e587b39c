"""Both collections' tables as records, for filtering, with each problem's facts from
data/metadata.json (copied beside this module by the build)."""

from __future__ import annotations

import json
import os
from functools import lru_cache
from typing import NamedTuple, Optional

from . import _core


class ProblemInfo(NamedTuple):
    """One problem of either collection.

    Fields that do not apply are None: max_n for minimax problems (any n from min_n up is
    accepted) and for nonsmooth problems without an upper limit; m and itype for nonsmooth
    problems, which have a single objective. The fields after `summary` come from the
    metadata file (None when it is missing); data/README.md describes them.
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
    best_value: Optional[float] = None  # f* at min_n
    best_status: Optional[str] = None  # "certified", "closed form", "best known" or "local"
    unbounded_below: Optional[bool] = None  # then best_value is a local minimum, fmin no bound
    convex: Optional[bool] = None
    nonsmoothness: Optional[str] = None  # "max-type", "absolute value", "L1 sum", ...
    uses_all_n: Optional[bool] = None  # False: the variables past min_n are ignored
    digits: Optional[int] = None  # significant digits best_value is good for
    fstar_every_n: Optional[dict] = None  # f* above min_n where known, and why
    facts: Optional[dict] = None  # the whole metadata row


@lru_cache(maxsize=1)
def _metadata() -> dict:
    here = os.path.dirname(os.path.abspath(__file__))
    for path in (os.path.join(here, "metadata.json"),
                 os.path.join(here, os.pardir, os.pardir, "data", "metadata.json")):
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                return {(r["collection"], r["number"]): r for r in json.load(f)["problems"]}
    return {}


def _with_facts(info: ProblemInfo) -> ProblemInfo:
    row = _metadata().get((info.collection, info.number))
    if row is None:
        return info
    return info._replace(
        best_value=row["best_value"], best_status=row["best_status"],
        unbounded_below=row["unbounded_below"], convex=row["convex"],
        nonsmoothness=row["nonsmoothness"], uses_all_n=row["dimension"]["uses_all_n"],
        digits=row["digits"], fstar_every_n=row["fstar_every_n"], facts=row)


def problems() -> list[ProblemInfo]:
    """Both tables: minimax problems 1..25, then nonsmooth problems 1..25.

    >>> [p.number for p in problems() if p.collection == "nonsmooth" and p.max_n]
    [16, 21]
    >>> [p.number for p in problems() if p.unbounded_below]
    [13, 14, 25]
    """
    rows = [
        ProblemInfo("minimax", number, min_n, None, m, itype, form, fmin, stepmax, summary)
        for number, min_n, m, itype, form, fmin, stepmax, summary in _core._minimax_table()
    ]
    rows += [
        ProblemInfo("nonsmooth", number, min_n, max_n, None, None, "f", fmin, stepmax, summary)
        for number, min_n, max_n, fmin, stepmax, summary in _core._nonsmooth_table()
    ]
    return [_with_facts(r) for r in rows]
