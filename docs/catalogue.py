"""Writes the problem catalogue (docs/problems.md, docs/minimax.md, docs/nonsmooth.md) and
its pictures (docs/img/*.png): contours for two variables, and for more a plane section
through x* and one-dimensional slices through x*.

The formulas and the notes on kinks are written by hand below; every number on the pages
(start, value there, f*, x*, active pieces, facts, ray) comes from the library itself
(`import kinkbench`), data/optima.json or data/metadata.json. Without the data files the
pages say "not yet computed". docs/site.py builds the browsable site from the same text.

    /usr/bin/python3 docs/catalogue.py                # pages and pictures (minutes)
    /usr/bin/python3 docs/catalogue.py --no-pictures  # pages only
"""

from __future__ import annotations

import argparse
import io
import json
import math
import os
import sys
from dataclasses import dataclass, field

import numpy as np

import kinkbench

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NOT_YET = "not yet computed"

# A partial function counts as active at x* when its term (f_k or |f_k|) lies within this
# much of the objective, relative to max(1, |f*|).
ACTIVE_TOLERANCE = 1e-6


# ---------------------------------------------------------------------------------------
# Formulas and kinks, by hand. Subscripts: x₁..xₙ are the variables, k the partial function.
# ---------------------------------------------------------------------------------------

MINIMAX = {
    1: dict(
        title="three smooth functions of two variables",
        formula="""\
f₁ = x₁² + x₂⁴
f₂ = (2 − x₁)² + (2 − x₂)²
f₃ = 2·exp(x₂ − x₁)""",
        kinks="Along the curves where two of the three pieces tie for the largest value.",
    ),
    2: dict(
        title="a rational term and a quadratic",
        formula="""\
a  = 10·x₁ / (x₁ + 0.1),   s = 2·x₂²
f₁ = (x₁ + a + s) / 2
f₂ = (a − x₁ + s) / 2
f₃ = (x₁ − a + s) / 2""",
        kinks=(
            "f₁ − f₂ = x₁, f₁ − f₃ = a and f₂ − f₃ = a − x₁ depend on x₁ only, so the kinks are "
            "vertical lines: f₁ is largest for x₁ > 0, f₃ for −0.1 < x₁ < 0 and f₂ for x₁ < −0.1. "
            "The kink x₁ = 0 is the valley; at x₁ = −0.1 the pieces have a pole."
        ),
    ),
    3: dict(
        title="a spiral in polar form",
        formula="""\
q  = x₁² + x₂²,   r = √q
f₁ = (x₁ − r·cos r)² + 0.005·q
f₂ = (x₂ − r·sin r)² + 0.005·q""",
        kinks=(
            "Where f₁ = f₂. Both residuals vanish on the spiral (r·cos r, r·sin r), so the "
            "valley of F winds around the origin and the kink curves wind with it."
        ),
    ),
    4: dict(
        title="six functions of three variables",
        formula="""\
f₁ = x₁² + x₂² + x₃² − 1
f₂ = x₁² + x₂² + (x₃ − 2)²
f₃ = x₁ + x₂ + x₃ − 1
f₄ = x₁ + x₂ − x₃ + 1
f₅ = 2·(x₁³ + 3·x₂² + (5·x₃ − x₁ + 1)²)
f₆ = x₁² − 9·x₃""",
        kinks="On the surfaces where two of the six functions tie for the largest value.",
    ),
    5: dict(
        title="a quadratic with three quadratic penalties (4 variables)",
        formula="""\
f₁ = x₁² + x₂² + 2·x₃² + x₄² − 5·x₁ − 5·x₂ − 21·x₃ + 7·x₄
fₖ = f₁ + 10·cₖ  for k = 2, 3, 4, with
c₂ = x₁² + x₂² + x₃² + x₄² + x₁ − x₂ + x₃ − x₄ − 8
c₃ = x₁² + 2·x₂² + x₃² + 2·x₄² − x₁ − x₄ − 10
c₄ = x₁² + x₂² + x₃² + 2·x₁ − x₂ − x₄ − 5""",
        kinks=(
            "Where two pieces tie: fₖ = f₁ where cₖ = 0, fⱼ = fₖ where cⱼ = cₖ. "
            "F is the exact penalty of min f₁ subject to c₂, c₃, c₄ ≤ 0."
        ),
    ),
    6: dict(
        title="problem 5 in transformed variables",
        formula="""\
a = x₁ − (x₄ + 1)⁴,   b = x₂ − a⁴
fₖ = the fₖ of problem 5 with (x₁, x₂, x₃, x₄) replaced by (a, b, x₃, x₄)""",
        kinks="Those of problem 5, carried over by the transformation (a, b).",
    ),
    7: dict(
        title="fit of a damped sine, 21 points",
        formula="""\
tₖ = (k − 1)/2,  k = 1..21 (t from 0 to 10)
yₖ = 0.15·e^(−t) + (1/52)·e^(−5t) − (1/65)·e^(−2t)·(3·sin 2t + 11·cos 2t),  t = tₖ
fₖ = (x₃/x₂)·e^(−x₁·tₖ)·sin(x₂·tₖ) − yₖ""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    8: dict(
        title="rational fit, 15 points",
        formula="""\
fₖ = yₖ − x₁ − k / (vₖ·x₂ + wₖ·x₃),   vₖ = 16 − k,  wₖ = min(k, 16 − k),  k = 1..15
y = (0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39, 0.37, 0.58, 0.73, 0.96, 1.34, 2.1, 4.39)""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    9: dict(
        title="rational fit, 11 points",
        formula="""\
fₖ = yₖ − x₁·uₖ·(uₖ + x₂) / (uₖ·(uₖ + x₃) + x₄),  k = 1..11
y = (0.1957, 0.1947, 0.1735, 0.16, 0.0844, 0.0627, 0.0456, 0.0342, 0.0323, 0.0235, 0.0246)
u = (4, 2, 1, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625)""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    10: dict(
        title="sums of two squares, 20 points",
        formula="""\
tₖ = 0.2·k,  k = 1..20
fₖ = (x₁ + tₖ·x₂ − e^tₖ)² + (x₃ + x₄·sin tₖ − cos tₖ)²""",
        kinks=(
            "Every fₖ is a sum of squares, so |fₖ| = fₖ and F = max fₖ: kinks where two fₖ tie "
            "for the largest value."
        ),
    ),
    11: dict(
        title="square-root fit by a squared quadratic, 21 points",
        formula="""\
tₖ = 0.25, 0.2875, …, 1  (steps of 3/80),  k = 1..21
fₖ = x₄ − (x₁·tₖ² + x₂·tₖ + x₃)² − √tₖ""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    12: dict(
        title="two exponentials fitted to 1/(1 + t), 21 points",
        formula="""\
tₖ = (k − 1)/20 − 0.5,  k = 1..21 (t from −0.5 to 0.5)
fₖ = x₁·e^(x₃·tₖ) + x₂·e^(x₄·tₖ) − 1/(1 + tₖ)""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    13: dict(
        title="power-law fit, 61 tabulated points",
        formula="""\
qₖ = (1/(x₃·tₖ + x₄) + tₖ + x₂) / ((tₖ + 1)·yₖ)
fₖ = x₁·|qₖ|^(tₖ + 0.5) − 1,  k = 1..61
tₖ: 61 tabulated values from 1 to 100000; yₖ: tabulated values from 0.9739 to 0.9999992""",
        kinks=(
            "Where two |fₖ| tie for the largest value, where the largest fₖ changes sign, and "
            "where some qₖ = 0 (the power of |qₖ| has a cusp there)."
        ),
    ),
    14: dict(
        title="rational approximation of exp on [−1, 1], 21 points",
        formula="""\
vₖ = (k − 1)/10 − 1,  k = 1..21
fₖ = (x₁ + x₂·vₖ) / (1 + vₖ·(x₃ + vₖ·(x₄ + vₖ·x₅))) − e^vₖ""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    15: dict(
        title="rational fit of √((u−1)²+1)·atan(u)/u, 30 points",
        formula="""\
tₖ = −1 + 2(k − 1)/29,  k = 1..30
yₖ = √((8tₖ − 1)² + 1)·atan(8tₖ) / (8tₖ)
fₖ = (x₁ + tₖ·(x₂ + tₖ·x₃)) / (1 + tₖ·(x₄ + tₖ·x₅)) − yₖ""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    16: dict(
        title="damped cosine plus exponential, 51 points",
        formula="""\
tₖ = (k − 1)/10,  k = 1..51
yₖ = 0.5·e^(−t) − e^(−2t) + 0.5·e^(−3t) + 1.5·e^(−1.5t)·sin 7t + e^(−2.5t)·sin 5t,  t = tₖ
fₖ = x₁·e^(−x₂·tₖ)·cos(x₃·tₖ + x₄) + x₅·e^(−x₆·tₖ) − yₖ""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    17: dict(
        title="a three-section complex chain, 11 frequencies",
        formula="""\
θₖ = tₖ·π/2,  tₖ = 0.5, 0.6, 0.7, 0.77, 0.9, 1.0, 1.1, 1.23, 1.3, 1.4, 1.5
(a, b) = (1, 10); for (u, z) = (x₅, x₆), then (x₃, x₄), then (x₁, x₂):
    φ = θₖ·u
    a, b ← cos φ·a + i·(sin φ / z)·b,   i·(z·sin φ)·a + cos φ·b
    (cos φ, sin φ / z and z·sin φ rounded to single precision)
fₖ = |b − a| / |a + b|""",
        kinks="Every fₖ ≥ 0; kinks where two fₖ tie for the largest value.",
    ),
    18: dict(
        title="product of two root quotients, 41 points",
        formula="""\
cₖ = cos(π·tₖ),  sₖ = sin(π·tₖ),  tₖ: 41 tabulated values in [0, 1]
Q(p, q) = (p + (1 + q)·cₖ)² + ((1 − q)·sₖ)²
fₖ = x₉·√(Q(x₁, x₂)/Q(x₃, x₄))·√(Q(x₅, x₆)/Q(x₇, x₈)) − |1 − 2tₖ|""",
        kinks=(
            "Where two |fₖ| tie for the largest value, where the largest fₖ changes sign, and "
            "where a numerator Q vanishes (√ has a cusp there)."
        ),
    ),
    19: dict(
        title="a polynomial (x₅⁶, x₃⁴, x₇⁴) with four penalties (7 variables)",
        formula="""\
F  = (x₁ − 10)² + 5·(x₂ − 12)² + x₃⁴ + 3·(x₄ − 11)² + 10·x₅⁶ + 7·x₆² + x₇⁴
     − 4·x₆·x₇ − 10·x₆ − 8·x₇
f₁ = F,   fₖ = F + 10·gₖ  for k = 2..5, with
g₂ = 2·x₁² + 3·x₂⁴ + x₃ + 4·x₄² + 5·x₅ − 127
g₃ = 7·x₁ + 3·x₂ + 10·x₃² + x₄ − x₅ − 282
g₄ = 23·x₁ + x₂² + 6·x₆² − 8·x₇ − 196
g₅ = 4·x₁² + x₂² − 3·x₁·x₂ + 2·x₃² + 5·x₆ − 11·x₇""",
        kinks="Where gₖ = 0 (fₖ meets f₁) and where gⱼ = gₖ: F is the exact penalty of min F "
        "subject to gₖ ≤ 0.",
    ),
    20: dict(
        title="a quadratic with eight penalties (10 variables)",
        formula="""\
F  = x₁² + x₂² + x₁·x₂ − 14·x₁ − 16·x₂ + (x₃ − 10)² + 4·(x₄ − 5)² + (x₅ − 3)²
     + 2·(x₆ − 1)² + 5·x₇² + 7·(x₈ − 11)² + 2·(x₉ − 10)² + (x₁₀ − 7)² + 45
f₁ = F,   fₖ = F + 10·gₖ  for k = 2..9, with
g₂ = 3·(x₁ − 2)² + 4·(x₂ − 3)² + 2·x₃² − 7·x₄ − 120
g₃ = 5·x₁² + 8·x₂ + (x₃ − 6)² − 2·x₄ − 40
g₄ = 0.5·(x₁ − 8)² + 2·(x₂ − 4)² + 3·x₅² − x₆ − 30
g₅ = x₁² + 2·(x₂ − 2)² − 2·x₁·x₂ + 14·x₅ − 6·x₆
g₆ = 4·x₁ + 5·x₂ − 3·x₇ + 9·x₈ − 105
g₇ = 10·x₁ − 8·x₂ − 17·x₇ + 2·x₈
g₈ = −3·x₁ + 6·x₂ + 12·(x₉ − 8)² − 7·x₁₀
g₉ = −8·x₁ + 2·x₂ + 5·x₉ − 2·x₁₀ − 12""",
        kinks="Where gₖ = 0 and where gⱼ = gₖ: F is the exact penalty of min F subject to gₖ ≤ 0.",
    ),
    21: dict(
        title="problem 20 extended to 20 variables and 17 penalties",
        formula="""\
F  = (F of problem 20 without its constant 45) + (x₁₁ − 9)² + 10·(x₁₂ − 1)² + 5·(x₁₃ − 7)²
     + 4·(x₁₄ − 14)² + 27·(x₁₅ − 1)² + x₁₆⁴ + (x₁₇ − 2)² + 13·(x₁₈ − 2)² + (x₁₉ − 3)² + x₂₀² + 95
f₁ = F,   fₖ = F + 10·gₖ  for k = 2..18, with g₂..g₉ those of problem 20 and
g₁₀ = x₁ + x₂ + 4·x₁₁ − 21·x₁₂
g₁₁ = x₁² + 15·x₁₁ − 8·x₁₂ − 28
g₁₂ = 4·x₁ + 9·x₂ + 5·x₁₃² − 9·x₁₄ − 87
g₁₃ = 3·x₁ + 4·x₂ + 3·(x₁₃ − 6)² − 14·x₁₄ − 10
g₁₄ = 14·x₁² + 35·x₁₅ − 79·x₁₆ − 92
g₁₅ = 15·x₂² + 11·x₁₅ − 61·x₁₆ − 54
g₁₆ = 5·x₁² + 2·x₂ + 9·x₁₇⁴ − x₁₈ − 68
g₁₇ = x₁² − x₂ + 19·x₁₉ − 20·x₂₀ + 19
g₁₈ = 7·x₁² + 5·x₂² + x₁₉² − 30·x₂₀""",
        kinks="Where gₖ = 0 and where gⱼ = gₖ: F is the exact penalty of min F subject to gₖ ≤ 0.",
    ),
    22: dict(
        title="two shifted exponentials of a weighted sum of squares",
        formula="""\
S(σ) = 10⁻⁸·x₁² + (x₂ + σ)² + x₃² + 4·x₄² + x₅² + … + xₙ²
f₁ = e^S(2),   f₂ = e^S(−2)""",
        kinks=(
            "f₁ − f₂ has the sign of x₂, so the only kink is the hyperplane x₂ = 0, "
            "which is also the valley."
        ),
    ),
    23: dict(
        title="sums of exponentials of squares (11 variables and up)",
        formula="""\
fₖ = Σᵢ₌₁..ₙ (k + i − 1)·exp((xᵢ − sin(k + 2i − 3))²),  k = 1..10""",
        kinks="Where two fₖ tie for the largest value (every fₖ is positive).",
    ),
    24: dict(
        title="polynomial ODE residuals on [0, 1] (20 variables and up)",
        formula="""\
f₁ = x₁
f₂ = x₂ − x₁² − 1
fₖ = Σⱼ₌₂..ₙ (j − 1)·xⱼ·tₖ^(j−2) − (x₁ + Σⱼ₌₂..ₙ xⱼ·tₖ^(j−1))² − 1,
     tₖ = (k − 2)/29,  k = 3..31""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
    25: dict(
        title="exponential plus three Gaussians, 65 points",
        formula="""\
tₖ = (k − 1)/10,  k = 1..65
fₖ = yₖ − x₁·e^(−x₅·tₖ) − x₂·e^(−x₆·(tₖ − x₉)²) − x₃·e^(−x₇·(tₖ − x₁₀)²)
     − x₄·e^(−x₈·(tₖ − x₁₁)²)
yₖ: 65 tabulated values, 1.366 down to 0.054""",
        kinks="Where two |fₖ| tie for the largest value, and where the largest fₖ changes sign.",
    ),
}

NONSMOOTH = {
    1: dict(
        title="Rosenbrock's function (smooth)",
        formula="f = 100·(x₂ − x₁²)² + (1 − x₁)²",
        kinks="None: f is smooth. It is in the collection as a reference.",
    ),
    2: dict(
        title="absolute value of a circle plus a slope",
        formula="""\
t = x₁² + (x₂ − 1)² − 1
f = |t| + x₂""",
        kinks="On the circle t = 0 (centre (0, 1), radius 1).",
    ),
    3: dict(
        title="maximum of three pieces (fourth power on x₂)",
        formula="""\
f = max(f₁, f₂, f₃)
f₁ = x₁² + x₂⁴,   f₂ = (2 − x₁)² + (2 − x₂)²,   f₃ = 2·exp(x₂ − x₁)""",
        kinks="Where two of the pieces tie for the largest value.",
    ),
    4: dict(
        title="maximum of three pieces (fourth power on x₁)",
        formula="""\
f = max(f₁, f₂, f₃)
f₁ = x₁⁴ + x₂²,   f₂ = (2 − x₁)² + (2 − x₂)²,   f₃ = 2·exp(x₂ − x₁)""",
        kinks="Where two of the pieces tie for the largest value.",
    ),
    5: dict(
        title="two planes and a paraboloid",
        formula="""\
f = max(f₁, f₂, f₃),  f₁ = 5·x₁ + x₂,  f₂ = −5·x₁ + x₂,  f₃ = x₁² + x₂² + 4·x₂""",
        kinks=(
            "On the segment x₁ = 0, −3 < x₂ < 0, where the two planes meet above the "
            "paraboloid, and on the curves where the paraboloid meets one of the planes."
        ),
    ),
    6: dict(
        title="a paraboloid with two linear penalties",
        formula="""\
s = x₁² + x₂²
f = max(f₁, f₂, f₃),  f₁ = s,  f₂ = s + 10·(−4·x₁ − x₂ + 4),  f₃ = s + 10·(−x₁ − 2·x₂ + 6)""",
        kinks=(
            "On parts of the lines 4·x₁ + x₂ = 4 and x₁ + 2·x₂ = 6, where a penalty turns on, "
            "and of the line x₂ = 3·x₁ + 2, where the two penalties are equal."
        ),
    ),
    7: dict(
        title="a plane and a paraboloid",
        formula="""\
t = x₁² + x₂² − 1
f = max(f₁, f₂),  f₁ = −x₁ − x₂,  f₂ = −x₁ − x₂ + t""",
        kinks="On the unit circle x₁² + x₂² = 1, where the two pieces are equal.",
    ),
    8: dict(
        title="exact penalty of the unit disc",
        formula="""\
t = x₁² + x₂² − 1
f = −x₁ + 20·max(t, 0)""",
        kinks="On the unit circle t = 0.",
    ),
    9: dict(
        title="asymmetric absolute penalty of the unit circle",
        formula="""\
t = x₁² + x₂² − 1
f = −x₁ + 2·t + 1.75·|t|""",
        kinks="On the unit circle t = 0, where the slope in t jumps from 0.25 to 3.75.",
    ),
    10: dict(
        title="piecewise definition in three regions",
        formula="""\
f = 5·√(9·x₁² + 16·x₂²)         if x₁ > |x₂|
f = 9·x₁ + 16·|x₂|              if 0 < x₁ ≤ |x₂|
f = 9·x₁ + 16·|x₂| − x₁⁹        if x₁ ≤ 0
pieces: r₁ (the first region), ±r₂ and ±r₃ (the other two, by the sign of x₂)""",
        kinks=(
            "On the half-line x₂ = 0, x₁ ≤ 0 (the |x₂|). The region borders x₁ = |x₂| and "
            "x₁ = 0 are not kinks: the gradient is continuous across them."
        ),
    ),
    11: dict(
        title="a quadratic with three constraints as an exact penalty (4 variables)",
        formula="""\
f₀ = x₁² + x₂² + 2·x₃² + x₄² − 5·x₁ − 5·x₂ − 21·x₃ + 7·x₄
c₁ = x₁² + x₂² + x₃² + x₄² + x₁ − x₂ + x₃ − x₄ − 8
c₂ = x₁² + 2·x₂² + x₃² + 2·x₄² − x₁ − x₄ − 10
c₃ = x₁² + x₂² + x₃² + 2·x₁ − x₂ − x₄ − 5
f  = f₀ + 10·max(0, c₁, c₂, c₃)""",
        kinks="Where a constraint cᵢ crosses 0 while it is the largest, and where two cᵢ tie.",
    ),
    12: dict(
        title="maximum of ten weighted squared distances (5 variables)",
        formula="""\
dᵢ = bᵢ·‖x − aᵢ‖²,  i = 1..10
f  = max(d₁, …, d₁₀)
a₁..a₁₀ (rows, 5 coordinates): (0,0,0,0,0) (2,1,1,1,3) (1,2,1,1,2) (1,4,1,2,2) (3,2,1,0,1)
                               (0,2,1,0,1) (1,1,1,1,1) (1,0,1,2,1) (0,0,2,1,0) (1,1,2,0,0)
b = (1, 5, 10, 2, 4, 3, 1.7, 2.5, 6, 3.5)""",
        kinks="Where two of the dᵢ tie for the largest value.",
    ),
    13: dict(
        title="cubic program with an exact penalty (5 variables)",
        formula="""\
rᵢ = bᵢ − Σⱼ Aᵢⱼ·xⱼ,  i = 1..10
f  = Σⱼ eⱼ·xⱼ + xᵀ·C·x + Σⱼ dⱼ·xⱼ³ + 50·max(0, r₁, …, r₁₀)
A (10×5), b (10), C (5×5, symmetric), d = (4, 8, 10, 6, 2), e = (−15, −27, −36, −18, −12):
the data block it shares with problem 25""",
        kinks="Where a residual rᵢ crosses 0 while it is the largest, and where two rᵢ tie.",
    ),
    14: dict(
        title="product of five variables with three absolute penalties",
        formula="""\
t₁ = x₁³ + x₂³ + 1,   t₂ = x₂·x₃ − 5·x₄·x₅,   t₃ = x₁² + … + x₅² − 10
f = x₁·x₂·x₃·x₄·x₅ + 10·(|t₁| + |t₂| + |t₃|)""",
        kinks="On the three surfaces where an argument of an absolute value is 0.",
    ),
    15: dict(
        title="L1 fit of a damped cosine plus exponential, 51 points",
        formula="""\
tᵢ = i/10,  i = 0..50
y(t) = 0.5·e^(−t) − e^(−2t) + 0.5·e^(−3t) + 1.5·e^(−1.5t)·sin 7t + e^(−2.5t)·sin 5t
rᵢ = x₁·e^(−x₂·tᵢ)·cos(x₃·tᵢ + x₄) + x₅·e^(−x₆·tᵢ) − y(tᵢ)
f = Σᵢ |rᵢ|""",
        kinks="Where a residual vanishes: 51 surfaces in six dimensions.",
    ),
    16: dict(
        title="maximum of five convex quadratics (10 variables)",
        formula="""\
fₖ = xᵀ·Aₖ·x − bₖᵀ·x,  k = 1..5
Aₖ(i, j) = e^(i/j)·cos(i·j)·sin k  (i < j, symmetric),
Aₖ(i, i) = i·|sin k|/10 + Σⱼ≠ᵢ |Aₖ(i, j)|,   bₖ(i) = e^(i/k)·sin(i·k)
f  = max(f₁, …, f₅)""",
        kinks="Where two of the quadratics tie for the largest value.",
    ),
    17: dict(
        title="maximum of three smooth functions (10 variables)",
        formula="""\
F₁ = Σᵢ₌₁..₁₀ (xᵢ − 1)² + 0.001·(Σᵢ xᵢ² − 0.25)²
F₂ = Σₘ₌₁..₂₉ rₘ² + x₁² + (x₂ − x₁² − 1)²,  with tₘ = m/29 and
     rₘ = Σⱼ₌₂..₁₀ (j − 1)·xⱼ·tₘ^(j−2) − (Σⱼ₌₁..₁₀ xⱼ·tₘ^(j−1))² − 1
F₃ = Σᵢ₌₁..₉ 100·(xᵢ₊₁ − xᵢ²)² + Σᵢ₌₂..₁₀ (1 − xᵢ)²
f  = max(F₁, F₂, F₃)""",
        kinks="Where two of F₁, F₂, F₃ tie for the largest value.",
    ),
    18: dict(
        title="weighted chain of distances between six free points (12 variables)",
        formula="""\
Pᵢ = (xᵢ, xᵢ₊₆),  i = 1..6
f = ‖P₁‖ + Σᵢ₌₁..₆ wᵢ·‖Pᵢ − Qᵢ‖ + Σᵢ₌₁..₅ uᵢ·‖Pᵢ − Pᵢ₊₁‖ + ‖P₆ − (5.5, −1)‖
Q = (0, 2), (2, 3), (3, −1), (4, −0.5), (5, 2), (6, 2);  w = (2, 1, 1, 5, 1, 1);  u = (1, 1, 2, 3, 2)""",
        kinks="Where a point Pᵢ sits on a fixed point, on the origin or end point, or on its neighbour.",
    ),
    19: dict(
        title="largest square (20 variables)",
        formula="f = max(x₁², …, x₂₀²)",
        kinks="Where two |xᵢ| tie for the largest.",
    ),
    20: dict(
        title="largest absolute value (20 variables)",
        formula="f = max(|x₁|, …, |x₂₀|)      (pieces +xᵢ and −xᵢ)",
        kinks="Where two |xᵢ| tie for the largest, and at x = 0.",
    ),
    21: dict(
        title="convex piecewise linear function of a 48-point distance table",
        formula="""\
μⱼ = minᵢ₌₁..₄₈ (Dⱼᵢ − xᵢ),  j = 1..48
f  = −(Σᵢ cᵢ·xᵢ + Σⱼ aⱼ·μⱼ)
D: symmetric 48×48 integer distances (diagonal 100000); a, c: integer weights summing to 2426""",
        kinks="Where a row minimum μⱼ is attained by two indices i.",
    ),
    22: dict(
        title="largest component against the sum (50 variables)",
        formula="f = 50·max(x₁, …, x₅₀) − Σᵢ₌₁..₅₀ xᵢ",
        kinks="Where two components tie for the largest. f is constant along (1, …, 1).",
    ),
    23: dict(
        title="largest absolute row sum of a Hilbert system (30 variables and up)",
        formula="""\
Sᵢ = Σⱼ₌₁..ₙ xⱼ/(i + j − 1),  i = 1..n
f  = max(|S₁|, …, |Sₙ|)""",
        kinks="Where two |Sᵢ| tie for the largest, and where the largest Sᵢ is 0.",
    ),
    24: dict(
        title="sum of absolute row sums of a Hilbert system (30 variables and up)",
        formula="""\
Sᵢ = Σⱼ₌₁..ₙ xⱼ/(i + j − 1),  i = 1..n
f  = Σᵢ |Sᵢ|""",
        kinks="On the hyperplanes Sᵢ = 0.",
    ),
    25: dict(
        title="exact penalty of the dual of the cubic program (15 variables)",
        formula="""\
y = (x₁..x₅),  λ = (x₆..x₁₅)  (one multiplier per row of A)
hⱼ = Σᵢ Aᵢⱼ·λᵢ − 2·(C·y)ⱼ − 3·dⱼ·yⱼ² − eⱼ,  j = 1..5,   u = Σⱼ dⱼ·yⱼ³
f = yᵀ·C·y + 2·|u| − bᵀ·λ + 100·Σⱼ max(0, hⱼ) + 100·Σᵢ₌₁..₁₅ max(0, −xᵢ)
A, b, C, d, e: the data of problem 13""",
        kinks="Where some hⱼ = 0, some xᵢ = 0, or Σⱼ dⱼ·yⱼ³ = 0.",
    ),
}

FORMULAS = {"minimax": MINIMAX, "nonsmooth": NONSMOOTH}

# ---------------------------------------------------------------------------------------
# Facts from the library and the data file
# ---------------------------------------------------------------------------------------


@dataclass
class Facts:
    collection: str
    number: int
    n: int
    form: str
    start: np.ndarray
    start_value: float
    start_k: int | None = None  # minimax: the partial function that gives F(x⁰)
    m: int | None = None
    itype: int | None = None
    entry: dict | None = None  # the entry at the standard n, if data/optima.json has one
    others: list = field(default_factory=list)  # entries at other n
    active: str | None = None
    meta: dict | None = None  # the problem's row of data/metadata.json
    problems: list = field(default_factory=list)  # inconsistencies found


def make_problem(collection, number, n=None):
    if collection == "minimax":
        return kinkbench.minimax(number) if n is None else kinkbench.minimax(number, n=n)
    return kinkbench.nonsmooth(number) if n is None else kinkbench.nonsmooth(number, n=n)


def objective(problem, collection, x):
    """(F(x), k) for minimax problems in their form; (f(x), None) for nonsmooth ones."""
    r = problem.objective(np.asarray(x, dtype=np.float64))
    if hasattr(r, "value"):  # a result object rather than a pair
        return float(r.value), (int(r.k) if collection == "minimax" else None)
    if collection == "minimax":
        return float(r[0]), int(r[1])
    return (float(r[0]) if isinstance(r, tuple) else float(r)), None


def minimax_active(problem, x, value, tolerance=ACTIVE_TOLERANCE):
    """The partial functions whose term (f_k, or ±f_k for max |f_k|) is within tolerance of
    the objective at x, as text: "1, 3" or "+2, −7" (the sign of f_k)."""
    v = np.asarray(problem.values(np.asarray(x, dtype=np.float64)), dtype=np.float64)
    slack = tolerance * max(1.0, abs(value))
    out = []
    for k, fk in enumerate(v, start=1):
        if problem.itype == 0:
            if abs(abs(fk) - value) <= slack:
                out.append(("+" if fk >= 0 else "−") + str(k))
        elif abs(fk - value) <= slack:
            out.append(str(k))
    return ", ".join(out) if out else "none within the tolerance"


def load_optima(path):
    if path is None or not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def load_metadata(path):
    if path is None or not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8") as f:
        return {(r["collection"], r["number"]): r for r in json.load(f)["problems"]}


def collect(collection, number, optima, metadata=None):
    p = make_problem(collection, number)
    x0 = np.asarray(p.x0, dtype=np.float64)
    v0, k0 = objective(p, collection, x0)
    facts = Facts(collection, number, int(p.n), str(p.form), x0, v0, k0)
    if collection == "minimax":
        facts.m, facts.itype = int(p.m), int(p.itype)
    entries = [e for e in (optima or {}).get(collection, []) if e.get("number") == number]
    for e in entries:
        if e.get("n") == facts.n:
            facts.entry = e
        else:
            facts.others.append(e)
    for e in entries:
        q = p if e.get("n") == facts.n else make_problem(collection, number, e["n"])
        got, _ = objective(q, collection, e["best_point"])
        if got != e["best_value"]:
            facts.problems.append(
                f"n = {e['n']}: the library gives {got!r} at best_point, "
                f"the data file says {e['best_value']!r}"
            )
    facts.meta = (metadata or {}).get((collection, number))
    if facts.meta is not None and facts.entry is not None:
        if facts.meta["best_value"] != facts.entry["best_value"]:
            facts.problems.append("data/metadata.json is older than data/optima.json: "
                                  "run data/metadata.py")
        facts.active = active_text(facts.meta)
    elif facts.entry is not None:
        act = (facts.entry.get("evidence") or {}).get("active")
        if act is not None:
            facts.active = act if isinstance(act, str) else ", ".join(str(a) for a in act)
    return facts


def active_text(meta):
    """The active pieces at x* by name, group by group."""
    groups = meta["at_x_star"]["groups"]
    if not groups:
        return "none: f is smooth"
    parts = []
    for g in groups:
        names = ", ".join(g["active"])
        label = g.get("name", f"group {g['group']}")
        if len(groups) == 1:
            parts.append(names)
        elif g["pieces"] == 1:
            parts.append(f"{label} = 0")
        else:
            parts.append(f"{label}: {names}")
    return "; ".join(parts)


# ---------------------------------------------------------------------------------------
# Text
# ---------------------------------------------------------------------------------------


def num(v, digits=10):
    """A number for reading: integers as integers, others to `digits` significant digits."""
    v = float(v)
    if math.isnan(v) or math.isinf(v):
        return str(v)
    if v == int(v) and abs(v) < 1e15:
        return str(int(v))
    return f"{v:.{digits}g}"


def vector(x, digits=6):
    """Components rounded to `digits`; in long vectors, runs of one value and of equal
    steps are shortened."""
    vals = [float(v) for v in x]
    n = len(vals)
    if n <= 12:
        return "(" + ", ".join(num(v, digits) for v in vals) + ")"
    if n >= 4 and all(v == vals[0] for v in vals):
        return f"({num(vals[0], digits)}, …, {num(vals[0], digits)}) (all {n} components)"
    parts, i = [], 0
    while i < n:
        j = i + 1  # extend a run of equal values, then of equal steps
        while j < n and vals[j] == vals[i]:
            j += 1
        if j - i >= 4:
            parts.append(f"{num(vals[i], digits)} ({j - i} times)")
            i = j
            continue
        if i + 1 < n:
            step = vals[i + 1] - vals[i]
            j = i + 1
            while j + 1 < n and vals[j + 1] - vals[j] == step:
                j += 1
            if j - i + 1 >= 5:
                parts.append(f"{num(vals[i], digits)}, {num(vals[i + 1], digits)}, …, {num(vals[j], digits)}")
                i = j + 1
                continue
        parts.append(num(vals[i], digits))
        i += 1
    return "(" + ", ".join(parts) + ")"


def anchor(collection, number):
    return f"{collection}-problem-{number}"


def picture_name(collection, number):
    return f"img/{collection}-{number:02d}.png"


def slices_name(collection, number):
    return f"img/{collection}-{number:02d}-slices.png"


STATUS_WORDS = {
    "certified": "a stored lower bound (an LP dual, a Lagrangian or another dual object) meets "
                 "f\\* within the gap shown, and data/check.py proves the bound again",
    "closed form": "a short argument proves f\\*, and x\\* is the closed-form point",
    "best known": "many starts agree; no proof",
    "local": "the problem is unbounded below; the entry is the local minimum the standard "
             "start leads to",
}

STATUS_NOTE = ("Status words: " + "; ".join(f"**{k}**: {v}" for k, v in STATUS_WORDS.items())
               + ". Piece names are the formula's own symbols: a maximum's pieces by the "
               "symbol of each term (`f1`, `r3`, `0` for the zero in max(0, …)), the pieces "
               "of max |fₖ| as `+fk` and `-fk`, an absolute value |t| as `+t` and `-t`; "
               "groups (one per max or absolute value in a sum) are numbered 1.. in the "
               "order the terms appear in the formula (the names `kinkbench eval --active` uses, "
               "docs/kinks.md). A piece is active at x\\* when it lies "
               "within 1e-5·max(|f\\*|, |largest piece of its group|) + 1e-13 of that largest "
               "piece: relative to f\\*, with a floor at the rounding level of the pieces.")


def evidence_text(e):
    ev = e.get("evidence") or {}
    bits = []
    cert = ev.get("certificate")
    if cert:
        bits.append(f"{cert['kind']}; bound {num(cert['bound'], 15)}, gap {num(ev['gap'], 3)} "
                    "(the bound and its dual object are in data/optima.json)")
    elif "lp" in ev:
        bits.append(f"LP dual bound {num(ev['dual_bound'], 15)}, gap {num(ev['gap'], 3)}")
    elif "lagrangian_bound" in ev:
        bits.append(f"Lagrangian at the multipliers: bound {num(ev['lagrangian_bound'], 15)}, "
                    f"gap {num(ev['gap'], 3)}")
    if isinstance(ev.get("kkt_residual"), (int, float)):
        bits.append(f"KKT residual {num(ev['kkt_residual'], 3)}")
    if isinstance(ev.get("closed_form"), str):
        bits.append(md(ev["closed_form"]))
    return "; ".join(bits)


def ray_lines(ray, name):
    out = [
        "- **Unbounded below.** Along the ray x = o + t·d, t ≥ 0, with",
        f"  o = {vector(ray['origin'])} and d = {vector(ray['direction'])},",
        f"  {name} falls without bound:",
    ]
    out.append("  " + ", ".join(f"{name}(t = {num(t, 3)}) = {num(v, 4)}" for t, v in ray.get("values", [])))
    return out


def parabola_lines(curve):
    return [
        "- **Unbounded below**, along no ray but along the parabola x₁..₅ = s·u, "
        f"x₁₄ = k·s², other components 0, with u = {vector(curve['u'])}, k = {num(curve['k'], 6)}:",
        "  " + ", ".join(f"f(s = {num(t, 3)}) = {num(v, 4)}" for t, v in curve["values"]),
    ]


def method_text(e):
    """The method, without repeating the status word in front of it."""
    method = e.get("method", "")
    status = e.get("status", "")
    if method.startswith(status + "; "):
        method = method[len(status) + 2:]
    return method


def agreement_text(f):
    e = f.entry
    if f.collection == "minimax":
        rel = e["evidence"].get("agreeing_relative_1e-6")
        return (f"{e['agreeing']} of {e['starts']} starts end within 1e-8·|f\\*| of f\\*"
                + (f", {rel} within 1e-6·|f\\*|" if rel is not None else ""))
    return f"{e['agreeing']} of {e['starts']} starts end within 1e-8·max(1, |f\\*|) of f\\*"


def dimension_text(meta):
    d = meta["dimension"]
    if d["fixed_n"]:
        return f"n = {d['min_n']} only"
    if d["max_n"]:
        return f"{d['min_n']} ≤ n ≤ {d['max_n']}"
    if d["uses_all_n"]:
        return f"any n ≥ {d['min_n']}; every variable counts"
    return f"any n ≥ {d['min_n']}; the variables past x{subscript(d['min_n'])} are ignored"


def subscript(k):
    return str(k).translate(str.maketrans("0123456789", "₀₁₂₃₄₅₆₇₈₉"))


def md(text):
    """Plain text from the data files, safe in Markdown: a lone * would start emphasis."""
    return str(text).replace("*", "\\*")


def facts_lines(f):
    """The problem's facts from data/metadata.json."""
    m = f.meta
    if m is None:
        return [f"- **Facts:** {NOT_YET} (data/metadata.json)"]
    name = "F" if f.collection == "minimax" else "f"
    out = [f"- **Dimension:** {dimension_text(m)}"]
    convex = "yes: " + md(m["convexity"]) if m["convex"] else "no (a midpoint witness is in data/metadata.json)"
    out.append(f"- **Convex:** {convex}; **nonsmoothness:** {m['nonsmoothness']}")
    out.append(f"- **Where {name} is inf or NaN:** {md(m['inf_or_nan'])}")
    fmin = f"- **fmin** = {num(m['fmin'])}, **stepmax** = {num(m['stepmax'])}"
    if m["unbounded_below"]:
        fmin += (" — **unbounded below**: fmin is no bound here, a solver may run past it "
                 "(the evidence is below)")
    out.append(fmin)
    if m.get("scaling"):
        out.append(f"- **Scaling:** {md(m['scaling'])}")
    every = m.get("fstar_every_n")
    if every:
        value = every["closed_form"] or num(every["value"], 12)
        out.append(f"- **f\\* at other n:** {value} ({md(every['why'])})")
    return out


def optimum_lines(f):
    e = f.entry
    if e is None:
        return [f"- **f\\*:** {NOT_YET}", f"- **x\\*:** {NOT_YET}"]
    status = e.get("status", "?")
    m = f.meta
    head = f"- **f\\*:** {num(e['best_value'], 12)} (**{status}**"
    if m is not None:
        head += f"; good to {m['digits']} significant digits: {md(m['digits_reason'])}"
    head += ")"
    out = [head]
    out.append(f"- **Found by:** {method_text(e)}")
    if "starts" in e and "agreeing" in e:
        out.append(f"- **Agreement:** {agreement_text(f)}")
    ev = evidence_text(e)
    if ev:
        out.append(f"- **Evidence:** {ev}")
    out.append(f"- **x\\*** (rounded): {vector(e['best_point'])}")
    if m is not None:
        a = m["at_x_star"]
        out.append(f"- **Active at x\\*:** {f.active}")
        count = (f"{a['active_count']} active pieces against n + 1 = {a['n_plus_1']}"
                 if len(a["groups"]) <= 1 else
                 f"{a['kinks_through_x']} kinks through x\\* against n = {a['n_plus_1'] - 1}")
        out.append(f"  ({count}; x\\* {md(a['unique'])})")
        if a.get("multipliers"):
            lam = ", ".join(f"{k}: {num(v, 4)}" for k, v in a["multipliers"].items())
            out.append(f"- **Multipliers:** {lam}")
        out.append(f"- **‖x⁰ − x\\*‖** = {num(m['x0_distance'], 6)}")
        if m.get("local_minima"):
            seen = ", ".join(f"{num(v['value'], 6)} ({v['count']}×)" for v in m["local_minima"][:10])
            if len(m["local_minima"]) > 10:
                seen += f", and {len(m['local_minima']) - 10} more values"
            out.append(f"- **Where the multistart runs ended** (within 1e-6 relative, how many "
                       f"runs; local minima or stalls): {seen}")
    else:
        out.append(f"- **Active at x\\*:** {f.active if f.active else 'not recorded'}")
    name = "F" if f.collection == "minimax" else "f"
    out.append(f"- **Gap at the start:** {name}(x⁰) − f\\* = {num(f.start_value - e['best_value'], 6)}")
    if e.get("ray"):
        out += ray_lines(e["ray"], name)
    elif (e.get("evidence") or {}).get("unbounded_curve"):
        out += parabola_lines(e["evidence"]["unbounded_curve"])
    elif status == "local":
        out.append("- **Unbounded below**; the entry is the local minimum the start leads to.")
    plain = e.get("plain_max")
    if f.collection == "minimax" and f.itype == 0 and isinstance(plain, dict):
        word = "bounded below" if plain.get("bounded") else "unbounded below"
        note = f": {md(plain['note'])}" if plain.get("note") else ""
        out.append(f"- **Plain max fₖ:** {word}{note}")
    for o in f.others:
        out.append(
            f"- **At n = {o['n']}:** f\\* = {num(o['best_value'], 12)} ({o.get('status', '?')}), "
            f"x\\* = {vector(o['best_point'])}"
        )
    return out


def section(f, with_picture, prefix=""):
    """The problem's Markdown; prefix leads from the page's folder to docs/ (for the links)."""
    text = FORMULAS[f.collection][f.number]
    out = [f'<a id="{anchor(f.collection, f.number)}"></a>', ""]
    out.append(f"### Problem {f.number}: {text['title']}")
    out.append("")
    out.append("```text")
    out.append(text["formula"])
    out.append("```")
    out.append("")
    if f.collection == "minimax":
        objective_text = "F(x) = max |fₖ(x)|" if f.itype == 0 else "F(x) = max fₖ(x)"
        out.append(f"- **n** = {f.n}, **m** = {f.m}, **itype** = {f.itype}: objective {objective_text}")
        out.append(f"- **Start:** x⁰ = {vector(f.start)}, F(x⁰) = {num(f.start_value)} (k = {f.start_k})")
    else:
        out.append(f"- **n** = {f.n}")
        out.append(f"- **Start:** x⁰ = {vector(f.start)}, f(x⁰) = {num(f.start_value)}")
    out += facts_lines(f)
    out += optimum_lines(f)
    out.append(f"- **Kinks:** {text['kinks']}")
    if (f.collection, f.number) in DATA_FILES:
        out.append(f"- **Data:** [{DATA_FILES[(f.collection, f.number)]}]"
                   f"({prefix}data/{DATA_FILES[(f.collection, f.number)]}), written from the "
                   "library's own tables by `data/export.py`")
    for p in f.problems:
        out.append(f"- **Warning:** {p}")
    if with_picture:
        out += [""] + picture_lines(f, prefix)
    out.append("")
    return out


# The data of the data-driven problems, exported beside the catalogue (data/export.py).
DATA_FILES = {("minimax", 13): "minimax-13.csv", ("minimax", 18): "minimax-18.csv",
              ("minimax", 25): "minimax-25.csv", ("nonsmooth", 13): "nonsmooth-13-25.json",
              ("nonsmooth", 25): "nonsmooth-13-25.json", ("nonsmooth", 21): "nonsmooth-21.json"}


def picture_lines(f, prefix=""):
    if f.n == 2:
        return [f"![contours of {f.collection} problem {f.number}]({prefix}{picture_name(f.collection, f.number)})"]
    return [f"![slices of {f.collection} problem {f.number} through x*]"
            f"({prefix}{slices_name(f.collection, f.number)})", "",
            f"![a plane section of {f.collection} problem {f.number} through x*]"
            f"({prefix}{picture_name(f.collection, f.number)})"]


INTRO = {
    "minimax": """\
# Minimax collection

Each problem is a family of partial functions f₁(x), …, fₘ(x). The objective is
F(x) = max fₖ(x) for problems with itype = −1 and F(x) = max |fₖ(x)| for those with
itype = 0, which are fits to data: for most of them the plain max fₖ is unbounded below.
F has a kink wherever the largest term changes from one partial function to another (for
max |fₖ| also where the largest fₖ changes sign). Numbers below come from the library
and `data/optima.json`; the start value is F at the standard starting point, and k names
the partial function that gives it. Pictures mark the start and x\\*; white lines are
where the largest term changes. Colours start at f\\*. For more than two variables the
pictures are slices through x\\* and a plane section through x\\*.
""",
    "nonsmooth": """\
# Nonsmooth collection

Each problem is one objective f(x). Numbers below come from the library and
`data/optima.json`. Pictures mark the start and x\\*; white lines are where the
library's gradient jumps between neighbouring grid points, that is, the kinks. Colours
start at f\\*. For more than two variables the pictures are slices through x\\* and a
plane section through x\\*.
""",
}


def page(collection, facts, pictured):
    out = [INTRO[collection], STATUS_NOTE, "", "Back to the [overview](problems.md).", ""]
    for f in facts:
        out += section(f, f.number in pictured)
    return "\n".join(out).rstrip() + "\n"


def page_link(collection, number):
    return f"{collection}.md#{anchor(collection, number)}"


def overview(all_facts, have_optima, link=page_link):
    out = [
        "# Problem catalogue",
        "",
        "Both collections at a glance; each problem links to its formula, start, optimum, "
        "active pieces, facts, kinks and pictures:",
        "",
        "- [Minimax collection](minimax.md) (25 problems)",
        "- [Nonsmooth collection](nonsmooth.md) (25 problems)",
        "",
    ]
    if not have_optima:
        out += [f"f\\* is {NOT_YET}: `data/optima.json` is missing.", ""]
    out += [
        "Regenerate the pages and pictures with `.venv/bin/python docs/catalogue.py` "
        "(the `kinkbench` Python package must be importable); the browsable site with "
        "`.venv/bin/python docs/site.py`.",
        "",
        STATUS_NOTE,
        "",
        "**unbounded** in the last column: the problem is unbounded below (the evidence, a ray "
        "or nonsmooth 25's parabola, is on its page), f\\* is a local minimum and fmin is no "
        "bound. n is the standard n; *convex* is proved or disproved by a stored witness.",
        "",
        "| collection | problem | n | convex | nonsmoothness | f(x⁰) | f\\* | digits | status | below |",
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    for collection in ("minimax", "nonsmooth"):
        for f in all_facts[collection]:
            cell = f"[{f.number}]({link(collection, f.number)})"
            fstar = num(f.entry["best_value"], 10) if f.entry else NOT_YET
            status = f.entry.get("status", "?") if f.entry else "—"
            m = f.meta or {}
            if f.entry and m:  # no more digits than f* is good for
                fstar = num(f.entry["best_value"], max(2, min(10, m["digits"])))
            convex = "—" if not m else ("yes" if m["convex"] else "no")
            kind = m.get("nonsmoothness", "—")
            if collection == "minimax":
                kind = ("max |fₖ|" if f.itype == 0 else "max fₖ") + (f": {kind}" if "," in kind else "")
            digits = str(m["digits"]) if m else "—"
            below = "**unbounded**" if m.get("unbounded_below") else ("bounded" if m else "—")
            kind = kind.replace("|", "\\|")
            out.append(f"| {collection} | {cell} | {f.n} | {convex} | {kind} | "
                       f"{num(f.start_value, 8)} | {fstar} | {digits} | {status} | {below} |")
    out.append("")
    return "\n".join(out).rstrip() + "\n"


# ---------------------------------------------------------------------------------------
# Pictures
# ---------------------------------------------------------------------------------------


# Boxes that hold the structure a picture must show whole (a pole, a circle of kinks).
STRUCTURE = {
    ("minimax", 2): (-0.6, 1.2, -1.0, 1.0),  # the pole strip at x1 = -0.1 and the valley x1 = 0
    ("nonsmooth", 2): (-1.4, 1.4, -0.5, 2.5),  # the circle of centre (0, 1), radius 1
    ("nonsmooth", 7): (-1.4, 1.4, -1.4, 1.4),  # the unit circle
    ("nonsmooth", 8): (-1.4, 1.4, -1.4, 1.4),
    ("nonsmooth", 9): (-1.4, 1.4, -1.4, 1.4),
}


def window(f):
    """The plotted box: the start, x* and the problem's structure with a margin."""
    pts = [f.start[:2]]
    if f.entry is not None:
        pts.append(np.asarray(f.entry["best_point"][:2], dtype=np.float64))
    box = STRUCTURE.get((f.collection, f.number))
    if box is not None:
        pts += [np.array([box[0], box[2]]), np.array([box[1], box[3]])]
    pts = np.array(pts)
    lo, hi = pts.min(axis=0), pts.max(axis=0)
    centre = (lo + hi) / 2
    if len(pts) == 1:
        half = max(1.5, 0.6 * float(np.max(np.abs(centre))))
    else:
        half = 0.6 * max(float(np.max(hi - lo)), 1.0)
    return (centre[0] - half, centre[0] + half, centre[1] - half, centre[1] + half)


def plane_of(f):
    """(origin, u, v, box) of the section through x* drawn for n > 2: u along x0 - x*, v a
    direction in which a kink is crossed at x* (orthogonal to u), box in units of |x0 - x*|."""
    xs = np.asarray(f.entry["best_point"], dtype=np.float64)
    d = f.start - xs
    length = float(np.linalg.norm(d))
    if length == 0:
        d, length = np.eye(f.n)[0], 1.0
    u = d / length
    v = kink_direction(f, xs)
    v = v - (v @ u) * u
    if np.linalg.norm(v) < 1e-12:
        v = np.eye(f.n)[int(np.argmin(np.abs(u)))]
        v = v - (v @ u) * u
    v = v / np.linalg.norm(v)
    across = reach(f, make_problem(f.collection, f.number), xs, v, length)
    return xs, u, v, (-0.3 * length, 1.3 * length, -across, across)


def kink_direction(f, x):
    """A direction across which the gradient jumps at x: the difference of two active
    pieces' gradients (minimax), or of the library's gradients on either side (nonsmooth)."""
    p = make_problem(f.collection, f.number)
    if f.collection == "minimax":
        v = np.asarray(p.values(x), dtype=np.float64)
        jac = np.asarray(p.jacobian(x), dtype=np.float64).reshape(len(v), -1)
        signs = np.sign(v) if p.itype == 0 else np.ones_like(v)
        terms = signs * v
        order = np.argsort(-terms)
        if len(order) > 1:
            a, b = order[0], order[1]
            return signs[a] * jac[a] - signs[b] * jac[b]
        return jac[order[0]]
    rng = np.random.default_rng(f.number)
    best = np.zeros(f.n)
    for _ in range(20):
        w = rng.standard_normal(f.n)
        h = 1e-7 * (1 + np.linalg.norm(x))
        g1 = np.asarray(p.gradient(x + h * w), dtype=np.float64)
        g2 = np.asarray(p.gradient(x - h * w), dtype=np.float64)
        if np.linalg.norm(g1 - g2) > np.linalg.norm(best):
            best = g1 - g2
    return best if np.linalg.norm(best) > 0 else rng.standard_normal(f.n)


def grid_values(f, box, size, plane=None):
    """Values on a size x size grid over box: in (x1, x2) for n = 2, else at
    origin + a u + b v for plane = (origin, u, v). Minimax: the signed largest piece as the
    label; nonsmooth: the gradient in the plane's two directions."""
    p = make_problem(f.collection, f.number)
    xs = np.linspace(box[0], box[1], size)
    ys = np.linspace(box[2], box[3], size)
    z = np.empty((size, size))
    label = np.zeros((size, size), dtype=np.int64)
    grad = np.empty((size, size, 2)) if f.collection == "nonsmooth" else None
    if plane is None:
        origin, u, v = np.zeros(f.n), np.eye(f.n)[0], np.eye(f.n)[1]
    else:
        origin, u, v = plane
    for i, y in enumerate(ys):
        for j, x in enumerate(xs):
            point = origin + x * u + y * v
            if f.collection == "minimax":
                vals = np.asarray(p.values(point))
                terms = np.abs(vals) if f.itype == 0 else vals
                k = int(np.nanargmax(terms)) if not np.all(np.isnan(terms)) else -1
                z[i, j] = terms[k] if k >= 0 else np.nan
                # the sign matters for max |f_k|: +f_k and −f_k are different pieces
                label[i, j] = (k + 1) * (1 if f.itype != 0 or vals[k] >= 0 else -1)
            else:
                z[i, j], _ = objective(p, f.collection, point)
                g = np.asarray(p.gradient(point))
                grad[i, j] = (g @ u, g @ v)
    return xs, ys, z, label, grad


def kink_mask(label, grad):
    """Grid points next to a kink: where the active piece changes between neighbours
    (minimax), or where the gradient jumps between neighbours far more than it changes
    on the neighbouring steps (nonsmooth), which is scale free."""
    mask = np.zeros(label.shape, dtype=bool)
    if grad is None:
        for axis in (0, 1):
            d = np.diff(label, axis=axis) != 0
            if axis == 0:
                mask[:-1, :] |= d
            else:
                mask[:, :-1] |= d
        return mask
    for axis in (0, 1):
        g = np.moveaxis(grad, axis, 0)
        step = np.linalg.norm(np.diff(g, axis=0), axis=-1)  # |g(i+1) − g(i)|
        scale = np.linalg.norm(g, axis=-1)
        before = np.zeros_like(step)
        after = np.zeros_like(step)
        before[1:] = step[:-1]
        after[:-1] = step[1:]
        # max, not min: on a plane the steps are exactly 0, and a mere change of
        # curvature at a region border must not count as a kink
        around = np.maximum(before, after)
        big = 1e-6 * np.maximum(scale[:-1], scale[1:]) + 1e-12
        jump = (step > 8 * around) & (step > big)
        m = np.zeros(g.shape[:2], dtype=bool)
        m[:-1] |= jump
        mask |= np.moveaxis(m, 0, axis)
    return mask


def colour_levels(z, fstar):
    """Contour levels that start at f* (or at the lowest value, where the grid goes below
    f*): log-spaced above it when the values span decades, so the neighbourhood of x* is
    resolved down to 1e-5 of the range rather than drowned in one band."""
    from matplotlib.colors import FuncNorm

    finite = z[np.isfinite(z)]
    low = float(finite.min()) if finite.size else 0.0
    if fstar is not None:
        low = min(low, float(fstar))
    gap = np.where(np.isfinite(z), z - low, np.nan)
    top = float(np.nanpercentile(gap, 99)) if finite.size else 1.0
    top = top if top > 0 else 1.0
    floor = top * 1e-5
    positive = gap[gap > 0]
    logscale = positive.size > 0 and float(np.nanpercentile(positive, 5)) < top * 1e-2
    if logscale:
        levels = np.concatenate([[low], low + np.geomspace(floor, top, 24)])
        norm = FuncNorm((lambda v: np.log10(np.maximum(v - low, floor)), lambda w: low + 10.0**w),
                        vmin=levels[0], vmax=levels[-1])
    else:
        levels = np.linspace(low, low + top, 25)
        norm = None
    return levels, norm, logscale


def draw(f, path, size=301):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib import patheffects
    from matplotlib.colors import FuncNorm
    from matplotlib.lines import Line2D
    from PIL import Image

    plane = None
    if f.n > 2 and f.entry is not None:
        origin, u, v, box = plane_of(f)
        plane = (origin, u, v)
    else:
        box = window(f)
    xs, ys, z, label, grad = grid_values(f, box, size, plane)
    levels, norm, logscale = colour_levels(z, f.entry["best_value"] if f.entry else None)
    shown = np.clip(z, levels[0], levels[-1])

    fig, ax = plt.subplots(figsize=(9, 7), dpi=100)
    cs = ax.contourf(xs, ys, shown, levels=levels, norm=norm, cmap="viridis")
    ax.contour(xs, ys, shown, levels=levels, norm=norm, colors="k", linewidths=0.4, alpha=0.5)
    bar = fig.colorbar(cs, ax=ax, format=matplotlib.ticker.FuncFormatter(lambda v, _: f"{v:.3g}"))
    name = "F" if f.collection == "minimax" else "f"
    bar.set_label(f"{name}(x)" + (" (colours log-spaced above the lowest value)" if logscale else ""))
    bar.set_ticks(levels[::4])

    mask = kink_mask(label, grad)
    handles = []
    if mask.any():
        # one grid cell is about two pixels: widen the marks by a cell so that they read as lines
        wide = mask.copy()
        wide[1:, :] |= mask[:-1, :]
        wide[:, 1:] |= mask[:, :-1]
        overlay = np.zeros(mask.shape + (4,))
        overlay[wide] = (1.0, 1.0, 1.0, 1.0)
        dx, dy = (xs[1] - xs[0]) / 2, (ys[1] - ys[0]) / 2
        ax.imshow(overlay, origin="lower", interpolation="nearest", aspect="auto",
                  extent=(xs[0] - dx, xs[-1] + dx, ys[0] - dy, ys[-1] + dy), zorder=3)
        handles.append(Line2D([], [], color="white", lw=3, label="kinks",
                              path_effects=[patheffects.withStroke(linewidth=5, foreground="black")]))
    if plane is None:
        x0 = f.start[:2]
        xstar = f.entry["best_point"][:2] if f.entry is not None else None
    else:
        x0 = np.array([float(np.linalg.norm(f.start - plane[0])), 0.0])
        xstar = (0.0, 0.0)
    handles.append(ax.plot(x0[0], x0[1], "o", ms=9, mfc="tab:red", mec="white", mew=1.5,
                           label=f"start x⁰, {name} = {num(f.start_value, 5)}", zorder=5)[0])
    outline = [patheffects.withStroke(linewidth=3, foreground="black")]
    ax.annotate("x⁰", (x0[0], x0[1]), xytext=(8, 8), textcoords="offset points", color="white",
                fontsize=13, weight="bold", path_effects=outline, zorder=6)
    if xstar is not None:
        handles.append(ax.plot(xstar[0], xstar[1], "*", ms=16, mfc="gold", mec="black", mew=1,
                               label=f"x*, {name} = {num(f.entry['best_value'], 5)}", zorder=5)[0])
        ax.annotate("x*", (xstar[0], xstar[1]), xytext=(8, -16), textcoords="offset points",
                    color="white", fontsize=13, weight="bold", path_effects=outline, zorder=6)
    ax.set_xlim(box[0], box[1])
    ax.set_ylim(box[2], box[3])
    ax.set_aspect("equal" if plane is None else "auto")
    if plane is None:
        ax.set_xlabel("x₁")
        ax.set_ylabel("x₂")
    else:
        ax.set_xlabel("a: x = x* + a·u + b·v, u along x⁰ − x* (x⁰ at a = ‖x⁰ − x*‖)")
        ax.set_ylabel("b: v across a kink at x*, orthogonal to u")
    form = ""
    if f.collection == "minimax":
        form = ": F = max |fₖ|" if f.itype == 0 else ": F = max fₖ"
    title = FORMULAS[f.collection][f.number]["title"]
    where = "" if plane is None else f" — plane section through x* (n = {f.n})"
    ax.set_title(f"{f.collection.capitalize()} problem {f.number}{form}{where}\n{title}")
    # below the axes, where it can hide no part of the picture
    fig.legend(handles=handles, loc="lower center", ncol=len(handles), frameon=False)
    fig.tight_layout(rect=(0, 0.05, 1, 1))
    buffer = io.BytesIO()
    fig.savefig(buffer, dpi=100, format="png")
    plt.close(fig)
    # A palette of 256 colours keeps each picture small without a visible change.
    Image.open(buffer).convert("RGB").quantize(256, method=Image.Quantize.FASTOCTREE).save(path, optimize=True)


def slice_values(f, p, origin, d, ts):
    """F along origin + t d, and a mask of the t next to a kink: where the signed largest
    piece changes (minimax) or the slope jumps far more than on the neighbouring steps."""
    vals = np.empty(ts.size)
    key = np.zeros(ts.size)
    slope = np.empty(ts.size)
    for i, t in enumerate(ts):
        x = origin + t * d
        if f.collection == "minimax":
            v = np.asarray(p.values(x))
            terms = np.abs(v) if f.itype == 0 else v
            k = int(np.nanargmax(terms))
            vals[i] = terms[k]
            key[i] = (k + 1) * (1 if f.itype != 0 or v[k] >= 0 else -1)
        else:
            vals[i] = float(p.value(x))
            slope[i] = float(np.asarray(p.gradient(x)) @ d)
    if f.collection == "minimax":
        return vals, np.concatenate([np.diff(key) != 0, [False]])
    step = np.abs(np.diff(slope))
    around = np.maximum(np.concatenate([[0], step[:-1]]), np.concatenate([step[1:], [0]]))
    jump = (step > 8 * around) & (step > 1e-6 * (np.abs(slope[:-1]) + np.abs(slope[1:])) + 1e-12)
    return vals, np.concatenate([jump, [False]])


def reach(f, p, origin, d, length):
    """A half-width for a slice along d: the largest of length * 2^-k (k = 0..40) over which
    F - f* stays within the gap at the start, so that the structure near x* fills the window
    rather than one far-off parabola."""
    target = max(f.start_value - float(f.entry["best_value"]), 1e-300)
    h = length
    for _ in range(40):
        ends = [float(np.max(slice_values(f, p, origin, d, np.array([-h, h]))[0]))]
        if ends[0] - float(f.entry["best_value"]) <= target:
            return h
        h /= 2
    return h


def draw_slices(f, path, points=601):
    """One-dimensional slices through x*: along x0 - x*, across a kink, along coordinate axes."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from PIL import Image

    p = make_problem(f.collection, f.number)
    xs, u, v, _ = plane_of(f)
    length = float(np.linalg.norm(f.start - xs)) or 1.0
    fstar = float(f.entry["best_value"])
    order = np.argsort(-np.abs(f.start - xs), kind="stable")[:4]
    slices = [("along x⁰ − x* (x⁰ at the dot)", u, np.linspace(-0.3, 1.3, points) * length),
              ("across a kink at x*", v, np.linspace(-1, 1, points) * reach(f, p, xs, v, length))]
    slices += [(f"along the axis x{subscript(int(i) + 1)}", np.eye(f.n)[i],
                np.linspace(-1, 1, points) * reach(f, p, xs, np.eye(f.n)[i], length)) for i in order]
    name = "F" if f.collection == "minimax" else "f"
    fig, axes = plt.subplots(2, 3, figsize=(12, 7), dpi=100)
    for ax, (label, d, ts) in zip(axes.ravel(), slices):
        vals, kinks = slice_values(f, p, xs, d, ts)
        ax.plot(ts, vals - fstar, color="tab:blue", lw=1.2)
        ax.plot(ts[kinks], (vals - fstar)[kinks], "|", color="tab:red", ms=12, mew=1.5,
                label="kink" if kinks.any() else None)
        ax.plot([0], [0], "*", ms=12, mfc="gold", mec="black")
        if label.startswith("along x⁰"):
            ax.plot([length], [f.start_value - fstar], "o", mfc="tab:red", mec="white")
        ax.axhline(0, color="0.6", lw=0.6)
        ax.set_title(label, fontsize=10)
        ax.set_xlabel("t (x = x* + t·direction, unit direction)")
        ax.set_ylabel(f"{name}(x) − f*")
        finite = (vals - fstar)[np.isfinite(vals)]
        if finite.size:
            top = float(np.percentile(finite, 98))
            bottom = min(0.0, float(finite.min()))
            if top > bottom:
                ax.set_ylim(bottom - 0.05 * (top - bottom), top + 0.05 * (top - bottom))
        ax.ticklabel_format(axis="y", style="sci", scilimits=(-3, 4))
        if kinks.any():
            ax.legend(loc="upper center", fontsize=8, frameon=False)
    for ax in axes.ravel()[len(slices):]:
        ax.axis("off")
    form = ""
    if f.collection == "minimax":
        form = ": F = max |fₖ|" if f.itype == 0 else ": F = max fₖ"
    fig.suptitle(f"{f.collection.capitalize()} problem {f.number}{form} (n = {f.n}): slices "
                 f"through x*, f* = {num(fstar, 6)}, ‖x⁰ − x*‖ = {num(length, 4)}\n"
                 f"{FORMULAS[f.collection][f.number]['title']}", fontsize=11)
    fig.tight_layout(rect=(0, 0, 1, 0.94))
    buffer = io.BytesIO()
    fig.savefig(buffer, dpi=100, format="png")
    plt.close(fig)
    Image.open(buffer).convert("RGB").quantize(256, method=Image.Quantize.FASTOCTREE).save(path, optimize=True)


# ---------------------------------------------------------------------------------------


def generate(outdir, optima_path, pictures=True, size=301, only=None, metadata_path=None):
    """Writes the three pages (and the pictures) into outdir; returns the facts and the
    list of inconsistencies between the data files and the library."""
    optima = load_optima(optima_path)
    if metadata_path is None and optima_path is not None:
        metadata_path = os.path.join(os.path.dirname(os.path.abspath(optima_path)), "metadata.json")
    metadata = load_metadata(metadata_path) if optima is not None else {}
    all_facts = {c: [collect(c, k, optima, metadata) for k in range(1, 26)]
                 for c in ("minimax", "nonsmooth")}
    os.makedirs(os.path.join(outdir, "img"), exist_ok=True)
    for collection, facts in all_facts.items():
        with open(os.path.join(outdir, f"{collection}.md"), "w", encoding="utf-8") as fh:
            fh.write(page(collection, facts, pictured(facts)))
        if pictures:
            for f in facts:
                if f.number in pictured(facts) and (only is None or (collection, f.number) in only):
                    draw(f, os.path.join(outdir, picture_name(collection, f.number)),
                         size if f.n == 2 else max(41, size * 2 // 3))
                    if f.n > 2:
                        draw_slices(f, os.path.join(outdir, slices_name(collection, f.number)))
    with open(os.path.join(outdir, "problems.md"), "w", encoding="utf-8") as fh:
        fh.write(overview(all_facts, optima is not None))
    issues = [f"{c} {f.number}: {p}" for c, fs in all_facts.items() for f in fs for p in f.problems]
    return all_facts, issues


def pictured(facts):
    """The problems that get pictures: those with two variables, and with a stored x* the
    others (their pictures are drawn through x*)."""
    return {f.number for f in facts if f.n == 2 or f.entry is not None}


# ---------------------------------------------------------------------------------------
# The browsable site's sources (docs/site.py builds the site from them)
# ---------------------------------------------------------------------------------------

OBJECTIVE_MATH = {
    -1: r"\[ F(x) = \max_{1 \le k \le m} f_k(x) \]",
    0: r"\[ F(x) = \max_{1 \le k \le m} |f_k(x)| = \max_{1 \le k \le m} \max(+f_k(x), -f_k(x)) \]",
    None: r"\[ f(x) = s(x) + \sum_{g \ge 1} \max_{k} p_{g,k}(x) \quad \text{(group 0 is the "
          r"smooth part } s\text{; a group per max or absolute value)} \]",
}
ACTIVE_MATH = (r"A piece \(p\) of group \(g\) is active at \(x^*\) when "
               r"\( \max_g - p \le 10^{-5} \max(|f^*|, |\max_g|) + 10^{-13} \)."),


def site_page_name(collection, number):
    return f"problems/{collection}-{number:02d}.md"


def write_site_sources(outdir, all_facts):
    """One page per problem, the collection pages and the overview as index.md, with the
    pictures and data files beside them (copied from docs/)."""
    import shutil

    os.makedirs(os.path.join(outdir, "problems"), exist_ok=True)
    for sub in ("img", "data"):
        target = os.path.join(outdir, sub)
        if os.path.exists(target):
            shutil.rmtree(target)
        shutil.copytree(os.path.join(ROOT, "docs", sub), target)

    def link(collection, number):
        return site_page_name(collection, number)

    for collection, facts in all_facts.items():
        pages = pictured(facts)
        for f in facts:
            text = section(f, f.number in pages, prefix="../")
            text[2] = f"# {FORMULAS[collection][f.number]['title'].capitalize()}"
            head = [f"[Overview](../index.md) › [{collection.capitalize()} collection](../{collection}.md) "
                    f"› problem {f.number}", ""]
            math = ["", OBJECTIVE_MATH[f.itype if collection == "minimax" else None], "",
                    ACTIVE_MATH[0], ""]
            body = head + text[:3] + [f"*{collection.capitalize()} problem {f.number}*"] + math + text[3:]
            with open(os.path.join(outdir, site_page_name(collection, f.number)), "w",
                      encoding="utf-8") as fh:
                fh.write("\n".join(body).rstrip() + "\n\n" + STATUS_NOTE.replace("](", "](../") + "\n")
        intro = [INTRO[collection], STATUS_NOTE, "", "Back to the [overview](index.md).", ""]
        intro += [f"- [Problem {f.number}: {FORMULAS[collection][f.number]['title']}]({link(collection, f.number)})"
                  for f in facts]
        with open(os.path.join(outdir, f"{collection}.md"), "w", encoding="utf-8") as fh:
            fh.write("\n".join(intro).rstrip() + "\n")
    text = overview(all_facts, True, link=link)
    text = text.replace("(minimax.md)", "(minimax.md)").replace("(nonsmooth.md)", "(nonsmooth.md)")
    with open(os.path.join(outdir, "index.md"), "w", encoding="utf-8") as fh:
        fh.write(text)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--optima", default=os.path.join(ROOT, "data", "optima.json"),
                    help="the data file (default: data/optima.json)")
    ap.add_argument("--out", default=os.path.join(ROOT, "docs"), help="output folder (default: docs)")
    ap.add_argument("--no-pictures", action="store_true", help="write the pages only")
    ap.add_argument("--grid", type=int, default=301, help="grid points per axis in the pictures")
    ap.add_argument("--site-sources", metavar="DIR",
                    help="also write the site's Markdown sources (one page per problem) into DIR")
    ap.add_argument("--only", nargs="*", metavar="COLLECTION:NUMBER",
                    help="draw only these pictures, e.g. minimax:1 nonsmooth:10")
    args = ap.parse_args(argv)
    only = None
    if args.only:
        only = set()
        for item in args.only:
            c, _, k = item.partition(":")
            if c not in ("minimax", "nonsmooth") or not k.isdigit():
                ap.error(f"--only wants COLLECTION:NUMBER, got {item!r}")
            only.add((c, int(k)))
    facts, issues = generate(args.out, args.optima, not args.no_pictures, args.grid, only)
    if args.site_sources:
        write_site_sources(args.site_sources, facts)
    for line in issues:
        print(f"catalogue.py: {line}", file=sys.stderr)
    return 1 if issues else 0


if __name__ == "__main__":
    sys.exit(main())
