"""The nonsmooth problems written as a smooth part plus sums of maxima of smooth pieces.

f(x) = smooth(x) + sum over groups g of max_k piece_{g,k}(x). The epigraph form
min smooth(x) + sum t_g subject to t_g >= piece_{g,k}(x) is smooth, so SLSQP can solve it
to high accuracy where a quasi-Newton run on f stalls at a kink. These forms only steer
the search: every value that is stored comes from the library itself.
"""

import numpy as np

# Data block shared by problems 13 and 25 (A 10x5, b, C 5x5 symmetric, d, e).
CP_A = np.array([
    [-16, 2, 0, 1, 0],
    [0, -2, 0, 4, 2],
    [-3.5, 0, 2, 0, 0],
    [0, -2, 0, -4, -1],
    [0, -9, -2, 1, -2.8],
    [2, 0, -4, 0, 0],
    [-1, -1, -1, -1, -1],
    [-1, -2, -3, -2, -1],
    [1, 2, 3, 4, 5],
    [1, 1, 1, 1, 1],
], dtype=float)
CP_B = np.array([-40, -2, -0.25, -4, -4, -1, -40, -60, 5, 1], dtype=float)
CP_C = np.array([
    [30, -20, -10, 32, -10],
    [-20, 39, -6, -31, 32],
    [-10, -6, 10, -6, -10],
    [32, -31, -6, 39, -20],
    [-10, 32, -10, -20, 30],
], dtype=float)
CP_D = np.array([4, 8, 10, 6, 2], dtype=float)
CP_E = np.array([-15, -27, -36, -18, -12], dtype=float)

SHOR_A = np.array([
    [0, 0, 0, 0, 0], [2, 1, 1, 1, 3], [1, 2, 1, 1, 2], [1, 4, 1, 2, 2], [3, 2, 1, 0, 1],
    [0, 2, 1, 0, 1], [1, 1, 1, 1, 1], [1, 0, 1, 2, 1], [0, 0, 2, 1, 0], [1, 1, 2, 0, 0],
], dtype=float)
SHOR_B = np.array([1, 5, 10, 2, 4, 3, 1.7, 2.5, 6, 3.5])

CHAIN_Q = np.array([[0, 2], [2, 3], [3, -1], [4, -0.5], [5, 2], [6, 2]], dtype=float)
CHAIN_W = np.array([2, 1, 1, 5, 1, 1], dtype=float)
CHAIN_U = np.array([1, 1, 2, 3, 2], dtype=float)

FIT_T = np.arange(51) / 10.0
FIT_Y = (0.5 * np.exp(-FIT_T) - np.exp(-2 * FIT_T) + 0.5 * np.exp(-3 * FIT_T)
         + 1.5 * np.exp(-1.5 * FIT_T) * np.sin(7 * FIT_T) + np.exp(-2.5 * FIT_T) * np.sin(5 * FIT_T))


def quadratics16(n=10):
    """Problem 16's five (A_k, b_k), generated as its set-up does."""
    blocks = []
    for k in range(1, 6):
        a = np.zeros((n, n))
        for i in range(1, n + 1):
            for j in range(i, n + 1):
                a[i - 1, j - 1] = a[j - 1, i - 1] = np.exp(i / j) * np.cos(i * j) * np.sin(k)
        b = np.array([np.exp(i / k) * np.sin(i * k) for i in range(1, n + 1)])
        for i in range(n):
            a[i, i] = (i + 1) * abs(np.sin(k)) / n + sum(abs(a[j, i]) for j in range(n) if j != i)
        blocks.append((a, b))
    return blocks


def _zero(_x):
    return 0.0


def _abs_group(fn):
    return lambda x: np.array([fn(x), -fn(x)])


def _p17_pieces(x):
    r_sum = float(np.sum(x[:10] ** 2)) - 0.25
    f1 = float(np.sum((x[:10] - 1) ** 2)) + 0.001 * r_sum ** 2
    t = np.arange(1, 30) / 29.0
    powers = t[:, None] ** np.arange(10)[None, :]
    s = powers @ x[:10]
    deriv = (powers[:, :9] * np.arange(1, 10)[None, :]) @ x[1:10]
    r = deriv - s ** 2 - 1
    f2 = float(np.sum(r ** 2)) + x[0] ** 2 + (x[1] - x[0] ** 2 - 1) ** 2
    f3 = float(np.sum(100 * (x[1:10] - x[:9] ** 2) ** 2) + np.sum((1 - x[1:10]) ** 2))
    return np.array([f1, f2, f3])


def _p25_h(x):
    y = x[5:15]
    u = x[:5]
    return CP_A.T @ y - 2 * (CP_C @ u) - 3 * CP_D * u ** 2 - CP_E


def _p14_inner(x):
    return np.array([x[0] ** 3 + x[1] ** 3 + 1, x[1] * x[2] - 5 * x[3] * x[4],
                     float(np.sum(x[:5] ** 2)) - 10])


def epigraph_form(number):
    """(smooth, groups) for the problems that have one, else None."""
    if number == 2:
        t = lambda x: x[0] ** 2 + (x[1] - 1) ** 2 - 1
        return (lambda x: x[1]), [_abs_group(t)]
    if number == 3:
        return _zero, [lambda x: np.array([x[0] ** 2 + x[1] ** 4, (2 - x[0]) ** 2 + (2 - x[1]) ** 2,
                                           2 * np.exp(x[1] - x[0])])]
    if number == 4:
        return _zero, [lambda x: np.array([x[0] ** 4 + x[1] ** 2, (2 - x[0]) ** 2 + (2 - x[1]) ** 2,
                                           2 * np.exp(x[1] - x[0])])]
    if number == 5:
        return _zero, [lambda x: np.array([5 * x[0] + x[1], -5 * x[0] + x[1],
                                           x[0] ** 2 + x[1] ** 2 + 4 * x[1]])]
    if number == 6:
        return (lambda x: x[0] ** 2 + x[1] ** 2), [
            lambda x: np.array([0.0, 10 * (-4 * x[0] - x[1] + 4), 10 * (-x[0] - 2 * x[1] + 6)])]
    if number == 7:
        return (lambda x: -x[0] - x[1]), [lambda x: np.array([0.0, x[0] ** 2 + x[1] ** 2 - 1])]
    if number == 8:
        return (lambda x: -x[0]), [lambda x: np.array([0.0, 20 * (x[0] ** 2 + x[1] ** 2 - 1)])]
    if number == 9:
        t = lambda x: x[0] ** 2 + x[1] ** 2 - 1
        return (lambda x: -x[0] + 2 * t(x)), [lambda x: np.array([1.75 * t(x), -1.75 * t(x)])]
    if number == 11:
        def f0(x):
            return (x[0] ** 2 + x[1] ** 2 + 2 * x[2] ** 2 + x[3] ** 2 - 5 * x[0] - 5 * x[1]
                    - 21 * x[2] + 7 * x[3])

        def cons(x):
            x1, x2, x3, x4 = x[:4]
            return 10 * np.array([0.0,
                                  x1 ** 2 + x2 ** 2 + x3 ** 2 + x4 ** 2 + x1 - x2 + x3 - x4 - 8,
                                  x1 ** 2 + 2 * x2 ** 2 + x3 ** 2 + 2 * x4 ** 2 - x1 - x4 - 10,
                                  x1 ** 2 + x2 ** 2 + x3 ** 2 + 2 * x1 - x2 - x4 - 5])
        return f0, [cons]
    if number == 12:
        return _zero, [lambda x: SHOR_B * np.sum((x[None, :5] - SHOR_A) ** 2, axis=1)]
    if number == 13:
        def smooth(x):
            u = x[:5]
            return float(CP_E @ u + u @ (CP_C @ u) + CP_D @ u ** 3)
        return smooth, [lambda x: 50 * np.concatenate([[0.0], CP_B - CP_A @ x[:5]])]
    if number == 14:
        return (lambda x: float(np.prod(x[:5]))), [
            (lambda x, i=i: 10 * np.array([_p14_inner(x)[i], -_p14_inner(x)[i]])) for i in range(3)]
    if number == 15:
        def residual(x, i):
            t = FIT_T[i]
            return (x[0] * np.exp(-x[1] * t) * np.cos(x[2] * t + x[3]) + x[4] * np.exp(-x[5] * t)
                    - FIT_Y[i])
        return _zero, [_abs_group(lambda x, i=i: residual(x, i)) for i in range(51)]
    if number == 16:
        blocks = quadratics16()
        return _zero, [lambda x: np.array([-b @ x[:10] + x[:10] @ (a @ x[:10]) for a, b in blocks])]
    if number == 17:
        return _zero, [_p17_pieces]
    if number == 19:
        return _zero, [lambda x: x[:20] ** 2]
    if number == 20:
        return _zero, [lambda x: np.concatenate([x[:20], -x[:20]])]
    if number == 25:
        def smooth(x):
            u = x[:5]
            return float(u @ (CP_C @ u) - CP_B @ x[5:15])
        cubic = lambda x: float(CP_D @ x[:5] ** 3)
        groups = [lambda x: np.array([2 * cubic(x), -2 * cubic(x)])]
        groups += [(lambda x, j=j: np.array([0.0, 100 * _p25_h(x)[j]])) for j in range(5)]
        groups += [(lambda x, i=i: np.array([0.0, -100 * x[i]])) for i in range(15)]
        return smooth, groups
    return None


def evaluate(number, x):
    """f from the epigraph form (for cross-checks of the form against the library)."""
    smooth, groups = epigraph_form(number)
    return smooth(x) + sum(float(np.max(g(x))) for g in groups)


def _signed(symbol):
    return [f"+{symbol}", f"-{symbol}"]


def piece_names(number):
    """The names of the pieces of epigraph_form(number), group by group, in the formula's own
    symbols. Groups are numbered 1.. in the order their terms appear in the formula (the
    smooth part is group 0 and has no pieces); an absolute value |t| is the group (+t, -t)
    and a penalty max(0, c) the group (0, c). None when there is no epigraph form."""
    names = {
        2: [_signed("t")],
        3: [["f1", "f2", "f3"]],
        4: [["f1", "f2", "f3"]],
        5: [["f1", "f2", "f3"]],
        6: [["f1", "f2", "f3"]],  # s, s + c1, s + c2: s is added to all three alike
        7: [["f1", "f2"]],  # -x1 - x2 and -x1 - x2 + t
        8: [["0", "t"]],
        9: [_signed("t")],
        11: [["0", "c1", "c2", "c3"]],
        12: [[f"d{i}" for i in range(1, 11)]],
        13: [["0"] + [f"r{i}" for i in range(1, 11)]],
        14: [_signed(f"t{i}") for i in range(1, 4)],
        15: [_signed(f"r{i}") for i in range(0, 51)],
        16: [[f"f{k}" for k in range(1, 6)]],
        17: [["F1", "F2", "F3"]],
        19: [[f"x{i}^2" for i in range(1, 21)]],
        20: [[f"+x{i}" for i in range(1, 21)] + [f"-x{i}" for i in range(1, 21)]],
        25: [_signed("u")] + [["0", f"h{j}"] for j in range(1, 6)]
        + [["0", f"x{i}"] for i in range(1, 16)],
    }
    return names.get(number)
