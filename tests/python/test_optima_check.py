"""data/check.py passes on the committed optima and catches each kind of damage to them."""

import json
import math
import os
import subprocess
import sys

import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(REPO, "data", "check.py")
OPTIMA = os.path.join(REPO, "data", "optima.json")


def run_check(path=OPTIMA):
    return subprocess.run([sys.executable, CHECK, "--file", str(path)], capture_output=True,
                          text=True, timeout=300)


def load():
    with open(OPTIMA, encoding="utf-8") as f:
        return json.load(f)


def entry(data, number):
    return next(e for e in data["nonsmooth"] if e["number"] == number)


def test_committed_optima_pass():
    data = load()
    total = sum(len(data.get(s, [])) for s in ("minimax", "nonsmooth"))
    result = run_check()
    assert result.returncode == 0, result.stdout + result.stderr
    lines = result.stdout.splitlines()
    # one line per entry and one per entry's further claims (data/_claims.py)
    assert lines[-1] == f"{2 * total} passed, 0 failed"
    assert len(lines) == 2 * total + 1


def test_file_is_what_the_scripts_write():
    # pretty-printed with two spaces and shortest round-trip floats, as json.dump writes it
    with open(OPTIMA, encoding="utf-8") as f:
        text = f.read()
    assert text == json.dumps(json.loads(text), indent=2, allow_nan=False) + "\n"


def bump_value(data, number):
    e = entry(data, number)
    e["best_value"] = math.nextafter(e["best_value"], math.inf)


def bump_ray(data, number):
    ray = entry(data, number)["ray"]
    ray["values"][1][1] = math.nextafter(ray["values"][1][1], math.inf)


def flatten_ray(data, number):
    # values that no longer fall: also a point where they were evaluated must move
    ray = entry(data, number)["ray"]
    ray["direction"] = [-v for v in ray["direction"]]


def bump_parabola(data, number):
    curve = entry(data, number)["evidence"]["unbounded_curve"]
    curve["values"][0][1] = math.nextafter(curve["values"][0][1], -math.inf)


def move_to_start(data, number):
    # a consistent pair (the library's value at the start) that is not the LP optimum
    import kinkbench
    e = entry(data, number)
    p = kinkbench.nonsmooth(number, e["n"])
    e["best_point"] = p.x0.tolist()
    e["best_value"] = p.value(p.x0)


def drop_entry(data, number):
    data["nonsmooth"] = [e for e in data["nonsmooth"] if e["number"] != number]


# Each damage is named by the check that must see it; the library's own copy of the
# optima differs from a damaged file as well, and must not be the only one to notice.
@pytest.mark.parametrize("damage, number, expect, why", [
    (bump_value, 21, "nonsmooth 21", "at best_point"),   # an LP-certified integer value
    (bump_value, 12, "nonsmooth 12", "at best_point"),   # a searched value, all 17 digits
    (bump_value, 19, "nonsmooth 19", "at best_point"),   # zero: the smallest subnormal fails
    (bump_ray, 14, "nonsmooth 14", "ray at 10.0"),
    (flatten_ray, 13, "nonsmooth 13", "ray at"),
    (bump_parabola, 25, "nonsmooth 25", "parabola at"),
    (move_to_start, 21, "nonsmooth 21", "LP primal"),  # only the re-solved LP can notice
    (drop_entry, 7, "nonsmooth: problem 7 is missing", ""),
])
def test_damage_is_caught(tmp_path, damage, number, expect, why):
    data = load()
    damage(data, number)
    path = tmp_path / "optima.json"
    path.write_text(json.dumps(data, indent=2) + "\n", encoding="utf-8")
    result = run_check(path)
    assert result.returncode == 1, result.stdout
    # damage to a value may also break a claim about it (a gap); the value's own line must fail
    failing = [line for line in result.stdout.splitlines()
               if line.startswith("FAIL") and " claims: " not in line]
    assert len(failing) == 1 and failing[0].startswith("FAIL " + expect), failing
    assert why in failing[0]
    fails = sum(line.startswith("FAIL") for line in result.stdout.splitlines())
    assert result.stdout.splitlines()[-1].endswith(f" passed, {fails} failed")


def test_last_decimal_digit_edit_is_caught(tmp_path):
    # the edit a careless hand would make: the last printed digit of problem 12's value
    text = open(OPTIMA, encoding="utf-8").read()
    old = repr(entry(json.loads(text), 12)["best_value"])
    # a 17-digit text shares its double with a neighbour or two: step until it moves
    new = next(old[:-1] + str(int(old[-1]) + step) for step in (1, -1, 2, -2, 3, -3)
               if 0 <= int(old[-1]) + step <= 9
               and float(old[:-1] + str(int(old[-1]) + step)) != float(old))
    assert text.count(old) >= 1
    path = tmp_path / "optima.json"
    path.write_text(text.replace('"best_value": ' + old, '"best_value": ' + new, 1),
                    encoding="utf-8")
    result = run_check(path)
    assert result.returncode == 1
    failing = [line for line in result.stdout.splitlines() if line.startswith("FAIL")]
    assert failing[0].startswith("FAIL nonsmooth 12 (n = 5)"), failing
    assert result.stdout.splitlines()[-1].endswith(f" passed, {len(failing)} failed")


def test_unreadable_file_is_one_line_and_status_2(tmp_path):
    result = run_check(tmp_path / "missing.json")
    assert result.returncode == 2
    assert len(result.stderr.splitlines()) == 1 and "cannot read" in result.stderr


# The searches steer by the epigraph forms and the LP by its own reading of the table: a
# wrong piece would send them to a wrong point, so each must match the library.
sys.path.insert(0, os.path.join(REPO, "data"))


@pytest.mark.parametrize("number", [2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 19,
                                    20, 25])
def test_epigraph_form_is_the_library_function(number):
    import numpy as np
    import kinkbench
    from _nonsmooth_pieces import evaluate
    p = kinkbench.nonsmooth(number)
    rng = np.random.default_rng(number)
    for x in [p.x0] + [p.x0 + rng.normal(size=p.n) for _ in range(5)]:
        want = p.value(x)
        assert evaluate(number, x) == pytest.approx(want, rel=1e-12, abs=1e-12)


def test_lp_table_of_problem_21_is_the_library_data():
    import numpy as np
    import kinkbench
    pytest.importorskip("scipy", reason="the linear programmes are solved with SciPy")
    import _nonsmooth_lp as lp
    d, a, c = lp.table21()
    assert a.sum() == c.sum() == 2426 and d[1, 0] == 273 and d[47, 46] == 1157
    p = kinkbench.nonsmooth(21)
    assert lp.table21_mismatches(p, d, a, c) == []
    assert lp.value21(d, a, c, np.zeros(48)) == p.value(np.zeros(48)) == -464816
