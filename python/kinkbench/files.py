"""The black boxes' files: write the point an optimiser hands to mmeval or nseval, read
the value they write back."""

from __future__ import annotations

import math
import os
import re
from typing import Union

import numpy as np

PathLike = Union[str, "os.PathLike[str]"]

# "(E15.6)": [-]0.dddddd then E+dd / E-dd, or a signed three-digit exponent without the
# letter once its magnitude passes 99 ("0.150000-119"). The writer spells non-finite
# values NaN, Infinity and -Infinity.
_RESULT = re.compile(r"\s*([+-]?(?:\d+\.?\d*|\.\d+))(?:[EeDd]([+-]?\d+)|([+-]\d+))?\s*")
_NON_FINITE = {"nan": math.nan, "infinity": math.inf, "-infinity": -math.inf, "inf": math.inf,
               "-inf": -math.inf, "+infinity": math.inf, "+inf": math.inf}


def write_point_file(path: PathLike, x) -> None:
    """Write point x, one value per line with 17 significant digits, so that the
    black boxes' point-file reader gets back exactly the same doubles.

    x is any 1-D array of real numbers. Raises ValueError for another shape or for a
    NaN or infinite entry (the point-file format has no spelling for them), TypeError
    for complex or non-numeric input. The file is replaced.
    """
    values = np.asarray(x)
    if values.dtype.kind not in "biuf":
        raise TypeError(f"the point must hold real numbers, got dtype {values.dtype}")
    values = values.astype(np.float64, copy=False)
    if values.ndim != 1:
        raise ValueError(f"the point must be 1-D, got shape {values.shape}")
    bad = np.flatnonzero(~np.isfinite(values))
    if bad.size:
        raise ValueError(
            f"x[{bad[0]}] = {values[bad[0]]} cannot be written: a point file holds finite "
            "numbers only"
        )
    text = "".join(f"{v:.16e}\n" for v in values.tolist())
    with open(path, "w", encoding="ascii") as file:
        file.write(text)


def parse_result(line: str) -> float:
    """The value of one result line in the "(E15.6)" form, such as "   0.100000E+01",
    "   0.150000-119" (a three-digit exponent has no letter) or "NaN".

    Raises ValueError, quoting the line, when it is not such a value.
    """
    text = line.strip()
    special = _NON_FINITE.get(text.lower())
    if special is not None:
        return special
    match = _RESULT.fullmatch(text)
    if not match:
        raise ValueError(f"{line!r} is not a result value in the (E15.6) form")
    mantissa, exponent_with_letter, exponent_without = match.groups()
    exponent = exponent_with_letter or exponent_without or "0"
    # One correctly rounded conversion of the decimal as written.
    return float(f"{mantissa}e{exponent}")


def read_result_file(path: PathLike = "output.out") -> float:
    """The value in a result file written by mmeval or nseval (default "output.out").

    Raises OSError when the file cannot be read, ValueError when it does not hold
    exactly one result line.
    """
    with open(path, encoding="ascii", errors="replace") as file:
        lines = [line for line in file.read().splitlines() if line.strip()]
    if len(lines) != 1:
        raise ValueError(f"{os.fspath(path)}: expected one result line, found {len(lines)}")
    try:
        return parse_result(lines[0])
    except ValueError as error:
        raise ValueError(f"{os.fspath(path)}: {error}") from None
