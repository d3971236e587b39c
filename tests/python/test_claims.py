"""data/_claims.py and data/metadata.json: the claims hold on the committed files, and each
kind of false claim is caught."""

import copy
import json
import os
import sys

import pytest

pytest.importorskip("scipy", reason="the claims are re-derived with SciPy")

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "data"))
import _claims  # noqa: E402
import metadata  # noqa: E402


@pytest.fixture(scope="module")
def files():
    with open(os.path.join(REPO, "data", "optima.json"), encoding="utf-8") as f:
        optima = json.load(f)
    with open(os.path.join(REPO, "data", "metadata.json"), encoding="utf-8") as f:
        meta = json.load(f)
    return optima, meta


def entry(optima, section, number):
    return next(e for e in optima[section] if e["number"] == number)


def row(meta, section, number):
    return next(r for r in meta["problems"] if (r["collection"], r["number"]) == (section, number))


def failures_of(optima, meta, section, number):
    for label, failures, _ in _claims.run(optima, meta):
        if label == f"{section} {number:2d} claims":
            return failures
    raise AssertionError("no such label")


def test_every_claim_holds_on_the_committed_files(files):
    optima, meta = files
    bad = [(label, f) for label, f, _ in _claims.run(optima, meta) if f]
    assert bad == []


def test_metadata_file_is_what_the_script_writes(files):
    optima, meta = files
    assert metadata.build(optima) == meta


# OpenBLAS picks its kernels by CPU, and they round differently in the last bits; every
# CPU must find the same claims true. Prescott's kernels run on any x86-64.
@pytest.mark.parametrize("kernels", ["Prescott", "Haswell"])
def test_claims_hold_whatever_blas_kernels_run(kernels):
    import subprocess

    script = ("import json, sys; sys.path.insert(0, 'data'); import _claims, metadata\n"
              "optima, meta = (json.load(open(f'data/{n}.json')) for n in ('optima', 'metadata'))\n"
              "bad = [(l, f) for l, f, _ in _claims.run(optima, meta) if f]\n"
              "print(bad, metadata.build(optima) == meta)")
    env = dict(os.environ, OPENBLAS_CORETYPE=kernels)
    done = subprocess.run([sys.executable, "-c", script], cwd=REPO, env=env, capture_output=True,
                          text=True, timeout=120)
    assert done.stdout.strip() == "[] True", done.stdout + done.stderr


def test_active_pieces_carry_the_formulas_names(files):
    # independent reading of the formulas at x*: nonsmooth 13's zero residuals are r3, r5, r6,
    # r9 with the 0 piece; nonsmooth 11's active constraints c1 and c3
    _, meta = files
    groups = row(meta, "nonsmooth", 13)["at_x_star"]["groups"]
    assert groups[0]["active"] == ["0", "r3", "r5", "r6", "r9"]
    assert row(meta, "nonsmooth", 11)["at_x_star"]["groups"][0]["active"] == ["0", "c1", "c3"]
    # relative tolerance: the tiny f* of minimax 13 and 24 no longer make every piece active
    assert row(meta, "minimax", 13)["at_x_star"]["active_count"] == 5
    assert 17 <= row(meta, "minimax", 24)["at_x_star"]["active_count"] <= 18
    for r in meta["problems"]:
        if r["collection"] == "nonsmooth" and r["number"] != 1:
            assert r["at_x_star"]["groups"], r["number"]  # filled in, 20-24 included


def test_unbounded_problems_are_marked_beside_fmin(files):
    _, meta = files
    unbounded = sorted(r["number"] for r in meta["problems"] if r["unbounded_below"])
    assert unbounded == [13, 14, 25]
    r25 = row(meta, "nonsmooth", 25)
    assert r25["fmin"] == 0.0 and r25["fmin_reachable"] and "parabola" in r25["boundedness"]


# Each damage must produce a failure in the claims of that problem.
def lower_lambda(optima, meta):
    cert = entry(optima, "nonsmooth", 12)["evidence"]["certificate"]
    cert["lambda"] = [0.1] * 10  # a feasible but weak multiplier: the stored bound is not its
    return "nonsmooth", 12


def break_plan(optima, meta):
    entry(optima, "nonsmooth", 21)["evidence"]["certificate"]["plan"][0][2] += 1
    return "nonsmooth", 21


def widen_y(optima, meta):
    y = entry(optima, "nonsmooth", 18)["evidence"]["certificate"]["y"]
    y[1] = [v * 10 for v in y[1]]
    return "nonsmooth", 18


def lagrangian_too_high(optima, meta):
    ev = entry(optima, "minimax", 20)["evidence"]
    ev["lagrangian_bound"] += 1e-3
    return "minimax", 20


def plain_ray_bumped(optima, meta):
    ray = entry(optima, "minimax", 13)["plain_max"]["ray"]
    ray["values"][2][1] *= 1 + 1e-15
    return "minimax", 13


def certified_without_bound(optima, meta):
    entry(optima, "nonsmooth", 17)["status"] = "certified"
    row(meta, "nonsmooth", 17)["best_status"] = "certified"
    return "nonsmooth", 17


def lowest_below_best(optima, meta):
    e = entry(optima, "nonsmooth", 12)
    e["evidence"]["lowest_seen"] = e["best_value"] - 1e-6
    return "nonsmooth", 12


def convex_claimed_for_cubic(optima, meta):
    r = row(meta, "nonsmooth", 13)
    r["convex"], r["convexity_witness"] = True, None
    return "nonsmooth", 13


def witness_that_is_none(optima, meta):
    r = row(meta, "minimax", 19)
    r["convexity_witness"] = [r["convexity_witness"][0], r["convexity_witness"][0]]
    return "minimax", 19


def digits_overstated(optima, meta):
    row(meta, "minimax", 24)["digits"] = 6
    return "minimax", 24


def active_set_edited(optima, meta):
    row(meta, "minimax", 13)["at_x_star"]["groups"][0]["active"].append("+f1")
    return "minimax", 13


@pytest.mark.parametrize("damage", [
    lower_lambda, break_plan, widen_y, lagrangian_too_high, plain_ray_bumped,
    certified_without_bound, lowest_below_best, convex_claimed_for_cubic, witness_that_is_none,
    digits_overstated, active_set_edited,
])
def test_false_claims_are_caught(files, damage):
    optima, meta = copy.deepcopy(files)
    section, number = damage(optima, meta)
    assert failures_of(optima, meta, section, number), damage.__name__


def test_problems_and_the_command_read_the_same_facts(files):
    import subprocess

    import kinkbench

    optima, meta = files
    infos = {(p.collection, p.number): p for p in kinkbench.problems()}
    for r in meta["problems"]:
        p = infos[(r["collection"], r["number"])]
        e = entry(optima, r["collection"], r["number"])
        assert (p.best_value, p.best_status) == (e["best_value"], e["status"])
        assert p.unbounded_below == r["unbounded_below"] and p.facts == r
    command = os.environ["KINKBENCH_COMMAND"]  # ctest or conftest.py sets it
    listed = json.loads(subprocess.run([command, "list", "--json"], capture_output=True,
                                       text=True, check=True).stdout)
    assert [row["facts"] for c in ("minimax", "nonsmooth") for row in listed[c]] == meta["problems"]


def test_dimension_rule_is_what_the_library_does():
    import numpy as np

    import kinkbench

    assert metadata.dimension("nonsmooth", 16) == {"min_n": 10, "max_n": 10, "fixed_n": True,
                                                  "uses_all_n": None}
    # nonsmooth 19 reads x1..x20 only, nonsmooth 23 every variable
    assert metadata.dimension("nonsmooth", 19)["uses_all_n"] is False
    assert metadata.dimension("nonsmooth", 23)["uses_all_n"] is True
    x = np.zeros(22)
    x[21] = 50.0
    assert kinkbench.nonsmooth(19, 22).value(x) == 0.0
    assert kinkbench.nonsmooth(23, 32).value(np.r_[np.zeros(31), 1.0]) > 0


def test_closed_forms_and_gaps_are_held_to_their_numbers(files):
    optima, _ = files
    e = copy.deepcopy(entry(optima, "minimax", 22))
    assert _claims.closed_form_failures("minimax", e) == []
    e["best_value"] *= 1 + 1e-12  # e^4 to 12 digits is not e^4
    assert _claims.closed_form_failures("minimax", e)
    e = copy.deepcopy(entry(optima, "nonsmooth", 16))
    assert _claims.certificate_failures(e) == []
    e["evidence"]["gap"] *= 2
    assert _claims.certificate_failures(e)


def test_run_ends_are_grouped_within_a_relative_tolerance():
    import local_minima

    got = local_minima.groups([0.158336, 0.1583360001, float("nan"), 0.163122, 0.197291,
                               0.1972910000001])
    assert [(round(g["value"], 6), g["count"]) for g in got] == [(0.158336, 2), (0.163122, 1),
                                                                 (0.197291, 2)]
