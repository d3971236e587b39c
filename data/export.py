#!/usr/bin/python3
"""The data of the data-driven problems as files beside the catalogue (docs/data/).

    /usr/bin/python3 data/export.py            # write docs/data/*
    /usr/bin/python3 data/export.py --check    # compare the files with the library (exit 1)

minimax 13 (t_k, y_k), 18 (t_k), 25 (y_k) as CSV; nonsmooth 13 and 25 (A, b, C, d, e) and 21
(D, a, c) as JSON. The numbers are read from the library's own constant tables (its sources),
written as the shortest text that reads back to the same double, and every file is checked
by rebuilding the problem's formula from the file alone and comparing it with the library at
the start, at x* and at random points.
"""

import csv
import io
import json
import os
import re
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
OUT = os.path.join(REPO, "docs", "data")
sys.path.insert(0, HERE)
import kinkbench  # noqa: E402
import _nonsmooth_lp as lp  # noqa: E402
from _nonsmooth_pieces import CP_A, CP_B, CP_C, CP_D, CP_E  # noqa: E402

AGREE = 1e-12  # relative: the rebuilt formula against the library (orders of evaluation differ)


def table(source, name):
    """The numbers of `constexpr double name[...] = {...};` in a source of the library."""
    with open(os.path.join(REPO, source), encoding="utf-8") as f:
        text = f.read()
    start = text.index("{", text.index(f"{name}["))
    body = re.sub(r"//[^\n]*", "", text[start + 1:text.index("};", start)])
    return [float(v) for v in body.replace(",", " ").split()]


def shortest(v):
    return repr(float(v))


def csv_text(header, columns):
    out = io.StringIO()
    w = csv.writer(out, lineterminator="\n")
    w.writerow(header)
    for row in zip(*columns):
        w.writerow([r if isinstance(r, int) else shortest(r) for r in row])
    return out.getvalue()


def files():
    """{file name: text}."""
    t13, y13 = table("src/minimax/p13.cpp", "kT"), table("src/minimax/p13.cpp", "kY")
    t18 = table("src/minimax/p18.cpp", "kT")
    y25 = table("src/minimax/p25.cpp", "kValues")
    d, a, c = lp.table21()
    block = {"note": "nonsmooth 13 and 25 share this block: A is 10 x 5 (rows i), b has 10 "
                     "entries, C is 5 x 5 symmetric, d and e have 5",
             "A": CP_A.tolist(), "b": CP_B.tolist(), "C": CP_C.tolist(), "d": CP_D.tolist(),
             "e": CP_E.tolist()}
    dist = {"note": "nonsmooth 21: D is 48 x 48 symmetric (D[j][i], diagonal 100000), a and c "
                    "are the integer weights; f(x) = -(sum_i c_i x_i + sum_j a_j min_i (D_ji - x_i))",
            "D": d.astype(int).tolist(), "a": a.astype(int).tolist(), "c": c.astype(int).tolist()}
    return {
        "minimax-13.csv": csv_text(["k", "t", "y"], [list(range(1, 62)), t13, y13]),
        "minimax-18.csv": csv_text(["k", "t"], [list(range(1, 42)), t18]),
        "minimax-25.csv": csv_text(["k", "t", "y"], [list(range(1, 66)),
                                                     [(k - 1) / 10 for k in range(1, 66)], y25]),
        "nonsmooth-13-25.json": json.dumps(block, indent=1) + "\n",
        "nonsmooth-21.json": json.dumps(dist) + "\n",
    }


# --- each problem rebuilt from its file alone --------------------------------------------------


def read_csv(text):
    rows = list(csv.DictReader(io.StringIO(text)))
    return {k: np.array([float(r[k]) for r in rows]) for k in rows[0]}


@np.errstate(all="ignore")
def minimax13(data, x):
    t, y = data["t"], data["y"]
    q = (1 / (x[2] * t + x[3]) + t + x[1]) / ((t + 1) * y)
    return x[0] * np.abs(q) ** (t + 0.5) - 1


@np.errstate(all="ignore")
def minimax18(data, x):
    c, s = np.cos(np.pi * data["t"]), np.sin(np.pi * data["t"])

    def quad(p, q):
        return (p + (1 + q) * c) ** 2 + ((1 - q) * s) ** 2
    return (x[8] * np.sqrt(quad(x[0], x[1]) / quad(x[2], x[3]))
            * np.sqrt(quad(x[4], x[5]) / quad(x[6], x[7])) - np.abs(1 - 2 * data["t"]))


@np.errstate(all="ignore")
def minimax25(data, x):
    t = data["t"]
    return (data["y"] - x[0] * np.exp(-x[4] * t) - x[1] * np.exp(-x[5] * (t - x[8]) ** 2)
            - x[2] * np.exp(-x[6] * (t - x[9]) ** 2) - x[3] * np.exp(-x[7] * (t - x[10]) ** 2))


def nonsmooth13(b, x):
    u = x[:5]
    r = b["b"] - b["A"] @ u
    return float(b["e"] @ u + u @ b["C"] @ u + b["d"] @ u ** 3 + 50 * max(0.0, float(r.max())))


def nonsmooth25(b, x):
    y, lam = x[:5], x[5:15]
    h = b["A"].T @ lam - 2 * (b["C"] @ y) - 3 * b["d"] * y ** 2 - b["e"]
    return float(y @ b["C"] @ y + 2 * abs(float(b["d"] @ y ** 3)) - b["b"] @ lam
                 + 100 * np.maximum(h, 0).sum() + 100 * np.maximum(-x[:15], 0).sum())


def nonsmooth21(t, x):
    d, a, c = (np.array(t[k], dtype=float) for k in ("D", "a", "c"))
    return float(-(c @ x + a @ np.min(d - x[None, :], axis=1)))


def mismatches(texts):
    """(file, where, rebuilt, library) wherever a file disagrees with the library."""
    rng = np.random.default_rng(2026)
    out = []

    def points(p):
        x0 = np.asarray(p.x0, dtype=float)
        pts = [x0, np.asarray(p.best_point, dtype=float)]
        # near the start and far from it, so that every penalty and row minimum takes part
        return pts + [x0 + scale * (1 + np.abs(x0)) * rng.standard_normal(x0.size)
                      for scale in (0.1, 1.0, 10.0, 100.0) for _ in range(25)]

    def compare(name, rebuilt, library, where):
        rebuilt, library = np.atleast_1d(rebuilt), np.atleast_1d(library)
        with np.errstate(all="ignore"):
            same = (rebuilt == library) | (np.isnan(rebuilt) & np.isnan(library))
            close = np.abs(rebuilt - library) <= AGREE * np.maximum(1.0, np.abs(library))
        if not np.all(same | close):
            out.append((name, where, rebuilt.tolist()[:3], library.tolist()[:3]))

    for name, number, rebuild in (("minimax-13.csv", 13, minimax13),
                                  ("minimax-18.csv", 18, minimax18),
                                  ("minimax-25.csv", 25, minimax25)):
        data = read_csv(texts[name])
        p = kinkbench.minimax(number)
        for i, x in enumerate(points(p)):
            compare(name, rebuild(data, x), np.asarray(p.values(x)), f"point {i}")
    block = {k: np.array(v, dtype=float) for k, v in json.loads(texts["nonsmooth-13-25.json"]).items()
             if k != "note"}
    for number, rebuild in ((13, nonsmooth13), (25, nonsmooth25)):
        p = kinkbench.nonsmooth(number)
        for i, x in enumerate(points(p)):
            compare(f"nonsmooth-13-25.json ({number})", rebuild(block, x), p.value(x), f"point {i}")
    dist = json.loads(texts["nonsmooth-21.json"])
    p = kinkbench.nonsmooth(21)
    for i, x in enumerate(points(p)):
        compare("nonsmooth-21.json", nonsmooth21(dist, x), p.value(x), f"point {i}")
    return out


def main(argv):
    if argv not in ([], ["--check"]):
        print("usage: export.py [--check]", file=sys.stderr)
        return 2
    texts = files()
    if argv == ["--check"]:
        stale = []
        for name, text in texts.items():
            path = os.path.join(OUT, name)
            if not os.path.exists(path) or open(path, encoding="utf-8").read() != text:
                stale.append(name)
        bad = mismatches({n: open(os.path.join(OUT, n), encoding="utf-8").read()
                          for n in texts if n not in stale})
        for name in stale:
            print(f"export.py: docs/data/{name} is missing or not what the library holds")
        for item in bad:
            print(f"export.py: {item[0]} disagrees with the library at {item[1]}: {item[2]} vs {item[3]}")
        return 1 if stale or bad else 0
    os.makedirs(OUT, exist_ok=True)
    for name, text in texts.items():
        with open(os.path.join(OUT, name), "w", encoding="utf-8") as f:
            f.write(text)
    print(f"export.py: {len(texts)} files in {OUT}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
