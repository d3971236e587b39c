"""data/check.py on files that are not what the scripts write: each is refused in one
line with status 2, or fails the check with status 1, and never passes."""

import copy
import importlib.util
import json
import math
import os
import subprocess
import sys

import pytest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(REPO, "data", "check.py")
OPTIMA = os.path.join(REPO, "data", "optima.json")

with open(OPTIMA, encoding="utf-8") as f:
    GOOD = json.load(f)


def run_check(path):
    return subprocess.run([sys.executable, CHECK, "--file", str(path)], capture_output=True,
                          text=True, timeout=300)


def write(tmp_path, data):
    path = tmp_path / "optima.json"
    path.write_text(json.dumps(data, indent=2) + "\n", encoding="utf-8")
    return path


def entry(data, section, number):
    return next(e for e in data[section] if e["number"] == number)


def changed(change):
    data = copy.deepcopy(GOOD)
    change(data)
    return data


def set_key(section, number, key, value):
    return lambda data: entry(data, section, number).__setitem__(key, value)


def drop_key(section, number, key):
    return lambda data: entry(data, section, number).pop(key)


def set_ray(key, value):
    return lambda data: entry(data, "nonsmooth", 14)["ray"].__setitem__(key, value)


@pytest.mark.parametrize("content, says", [
    (b"", "the file is empty"),
    (b" \n", "the file is empty"),
    (b"{", "not JSON"),
    (b"\xff\xfe{}", "not UTF-8"),
    (b"[]", "not a JSON object"),
    (b"{}", 'no "minimax" section'),
    (b'{"minimax": [], "nonsmooth": {}}', "nonsmooth: not a list of entries"),
    (b'{"minimax": [7], "nonsmooth": []}', "minimax entry 1: not an object"),
    (b'{"minimax": [], "nonsmooth": [{"number": 1, "n": NaN}]}', "NaN is not a JSON number"),
])
def test_text_that_is_no_optima_file_is_refused(tmp_path, content, says):
    path = tmp_path / "optima.json"
    path.write_bytes(content)
    result = run_check(path)
    assert result.returncode == 2, result.stdout + result.stderr
    assert result.stdout == ""
    assert result.stderr.count("\n") == 1 and result.stderr.startswith("check.py: ")
    assert says in result.stderr, result.stderr


@pytest.mark.parametrize("change, says", [
    (drop_key("minimax", 3, "best_point"), 'minimax entry 3: no "best_point"'),
    (drop_key("minimax", 3, "form"), 'minimax entry 3: no "form"'),
    (set_key("minimax", 3, "number", "3"), "number '3' is not one of 1..25"),
    (set_key("minimax", 3, "number", True), "number True is not one of 1..25"),
    (set_key("minimax", 3, "number", 26), "number 26 is not one of 1..25"),
    (set_key("nonsmooth", 2, "n", 0), "nonsmooth 2: n 0 is not a whole number"),
    (set_key("nonsmooth", 2, "n", 2.0), "nonsmooth 2: n 2.0 is not a whole number"),
    (set_key("nonsmooth", 2, "best_value", "0.5"), "best_value '0.5' is not a number"),
    (set_key("nonsmooth", 2, "best_value", None), "best_value None is not a number"),
    (set_key("nonsmooth", 2, "best_point", [1, "2"]), "nonsmooth 2 best_point: not a list"),
    (set_key("nonsmooth", 2, "status", 1), "nonsmooth 2: status is not a string"),
    (set_key("minimax", 2, "form", None), "minimax 2: form is not a string"),
    (set_key("nonsmooth", 2, "evidence", []), "evidence is not an object"),
    (set_key("nonsmooth", 2, "ray", []), "ray is neither null nor an object"),
    (set_ray("origin", [0.0]), "nonsmooth 14 ray origin: 1 numbers, not"),
    (set_ray("values", []), "nonsmooth 14 ray values: not a list of [t, value] pairs"),
    (set_ray("values", [[1.0, 2.0], [3.0]]), "ray values[1]: 1 numbers, not 2"),
    (lambda d: entry(d, "nonsmooth", 14)["ray"].pop("direction"), 'ray: no "direction"'),
    (lambda d: entry(d, "nonsmooth", 25)["evidence"]["unbounded_curve"].pop("k"),
     "unbounded_curve: k is not a number"),
    (lambda d: entry(d, "nonsmooth", 25)["evidence"]["unbounded_curve"].__setitem__("u", [1]),
     "unbounded_curve u: 1 numbers, not 5"),
    # the curve runs in 5 of at least 14 variables: an entry at a smaller n cannot hold one
    (set_key("nonsmooth", 25, "n", 13), "unbounded_curve is not an object for n >= 14"),
])
def test_entry_of_the_wrong_shape_is_refused_where_it_is(tmp_path, change, says):
    result = run_check(write(tmp_path, changed(change)))
    assert result.returncode == 2, result.stdout + result.stderr
    assert result.stdout == "" and "Traceback" not in result.stderr
    assert result.stderr.count("\n") == 1, result.stderr
    assert says in result.stderr, result.stderr


def test_unreadable_paths_say_why(tmp_path):
    for path, says in ((tmp_path, "Is a directory"),
                       (tmp_path / "none.json", "No such file or directory")):
        result = run_check(path)
        assert result.returncode == 2
        assert result.stderr == f"check.py: cannot read {path}: {says}\n"


def failing_lines(result):
    assert result.returncode == 1, result.stdout + result.stderr
    assert result.stderr == ""
    # the claims beyond the values have their own tests (test_claims.py)
    return [line for line in result.stdout.splitlines()
            if line.startswith("FAIL") and " claims" not in line]


def test_missing_and_repeated_problems_fail(tmp_path):
    empty = failing_lines(run_check(write(tmp_path, {"minimax": [], "nonsmooth": []})))
    every = ", ".join(map(str, range(1, 26)))
    assert empty == [f"FAIL minimax: problems {every} are missing",
                     f"FAIL nonsmooth: problems {every} are missing"]

    def repeat_and_drop(data):
        data["minimax"].append(copy.deepcopy(entry(data, "minimax", 5)))
        data["minimax"].append(copy.deepcopy(entry(data, "minimax", 5)))
        data["nonsmooth"] = [e for e in data["nonsmooth"] if e["number"] not in (1, 25)]
    result = run_check(write(tmp_path, changed(repeat_and_drop)))
    assert failing_lines(result) == ["FAIL minimax: problem 5 has 3 entries",
                                     "FAIL nonsmooth: problems 1, 25 are missing"]
    entries_ok = [line for line in result.stdout.splitlines()
                  if line.startswith("ok ") and " claims" not in line]
    assert len(entries_ok) == 50
    assert result.stdout.splitlines()[-1].endswith(" passed, 2 failed")


def test_minus_zero_is_not_zero(tmp_path):
    # nonsmooth 19's optimum is 0.0 at the origin; -0.0 reads as equal but is another double
    assert entry(GOOD, "nonsmooth", 19)["best_value"] == 0.0
    result = run_check(write(tmp_path, changed(set_key("nonsmooth", 19, "best_value", -0.0))))
    (line,) = failing_lines(result)
    assert line.startswith("FAIL nonsmooth 19 (n = 20): ")
    assert "library 0.0 at best_point, stored -0.0" in line
    assert "the built library carries another best_value (its f* = 0.0, closed form)" in line


def test_ray_with_a_flat_step_fails(tmp_path):
    # The same sample twice: the stored values are the library's, but they do not fall.
    def repeat_sample(data):
        values = entry(data, "nonsmooth", 14)["ray"]["values"]
        values.insert(1, list(values[1]))
    (line,) = failing_lines(run_check(write(tmp_path, changed(repeat_sample))))
    assert line.startswith("FAIL nonsmooth 14") and "ray does not fall below f*" in line


def test_a_ray_must_end_below_f_star_but_only_at_its_end(tmp_path):
    # nonsmooth 13's ray: 320 at t = 10, above f* = -32.3..., then far below it at t = 100.
    def keep(count):
        return lambda data: entry(data, "nonsmooth", 13)["ray"].__setitem__(
            "values", entry(GOOD, "nonsmooth", 13)["ray"]["values"][:count])
    assert entry(GOOD, "nonsmooth", 13)["ray"]["values"][0] == [10.0, 320.0]
    result = run_check(write(tmp_path, changed(keep(2))))
    assert result.returncode == 0, result.stdout
    (line,) = failing_lines(run_check(write(tmp_path, changed(keep(1)))))
    assert line.startswith("FAIL nonsmooth 13") and "ray does not fall below f*: [320.0]" in line


def test_an_n_below_the_problems_is_a_failed_entry_not_a_shape(tmp_path):
    # n = 1 is a whole number >= 1, so the file is well formed; the library refuses it.
    (line,) = failing_lines(run_check(write(tmp_path, changed(set_key("nonsmooth", 2, "n", 1)))))
    assert line.startswith("FAIL nonsmooth  2 (n = 1): ValueError: nonsmooth problem 2 needs n >= ")


def test_what_only_the_library_copy_can_tell(tmp_path):
    # A status is evaluated by nothing else; the built library holds its own.
    data = changed(set_key("minimax", 9, "status", "certified"))
    assert entry(GOOD, "minimax", 9)["status"] != "certified"
    (line,) = failing_lines(run_check(write(tmp_path, data)))
    assert line.startswith("FAIL minimax  9") and "carries another status" in line
    # An n the library stores nothing for: its value there is consistent, but unknown to it.
    import kinkbench
    p = kinkbench.nonsmooth(11, 5)
    bigger = set_key("nonsmooth", 11, "n", 5)
    data = changed(bigger)
    entry(data, "nonsmooth", 11).update(best_point=p.x0.tolist(), best_value=p.value(p.x0))
    (line,) = failing_lines(run_check(write(tmp_path, data)))
    assert line == "FAIL nonsmooth 11 (n = 5): the built library carries no optimum at n = 5"


def load_module():
    pytest.importorskip("scipy", reason="data/check.py re-solves the LPs with SciPy")
    found = importlib.util.spec_from_file_location("optima_check", CHECK)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


@pytest.mark.parametrize("name", ["primal", "dual_bound"])
def test_a_nan_from_the_lp_fails(monkeypatch, name):
    check = load_module()
    e = entry(GOOD, "nonsmooth", 21)
    solved = {"primal": e["best_value"], "dual_bound": e["best_value"]}
    assert check.check_entry("nonsmooth", e) == []
    monkeypatch.setattr(check.lp, "solve", lambda number: dict(solved, **{name: math.nan}))
    assert check.check_entry("nonsmooth", e) == [
        f"LP {name} nan differs from f* -638565.0 by more than 6.4e-04"]


@pytest.mark.parametrize("args", [["--file"], ["--file", "a.json", "b.json"], ["--bogus"]])
def test_other_arguments_are_refused_with_the_usage(args):
    result = subprocess.run([sys.executable, CHECK, *args], capture_output=True, text=True,
                            timeout=300)
    assert (result.returncode, result.stdout) == (2, "")
    assert result.stderr == "usage: check.py [--file PATH]\n"


def test_the_limits_of_each_rule_are_where_they_are_documented(monkeypatch):
    check = load_module()
    # a path must end strictly below f*
    square = lambda x: float(x) ** 2  # noqa: E731
    assert check.check_samples("ray", square, [2.0, 1.0], [[0, 4.0], [1, 1.0]], 1.0) == \
        "ray does not fall below f*: [4.0, 1.0]"
    assert check.check_samples("ray", square, [2.0, 1.0], [[0, 4.0], [1, 1.0]], 1.5) is None
    # a repeated problem is caught at its second entry
    numbers = [{"number": k} for k in [*range(1, 26), 7]]
    assert check.coverage_failures("minimax", numbers) == ["FAIL minimax: problem 7 has 2 entries"]
    # an unbounded curve needs n >= 14, and 14 is enough
    check.check_shape(changed(set_key("nonsmooth", 25, "n", 14)))
    # the re-solved LP may differ from f* by the tolerance itself (f* = 0: it is 1e-9)
    e = entry(GOOD, "nonsmooth", 20)
    assert e["best_value"] == 0.0
    monkeypatch.setattr(check.lp, "solve", lambda number: {"primal": 1e-9, "dual_bound": -1e-9})
    assert check.check_entry("nonsmooth", e) == []
    monkeypatch.setattr(check.lp, "solve", lambda number: {"primal": 0.0, "dual_bound": 2e-9})
    assert check.check_entry("nonsmooth", e) == [
        "LP dual_bound 2e-09 differs from f* 0.0 by more than 1.0e-09"]


def test_a_best_point_one_ulp_off_is_not_the_librarys():
    import kinkbench
    check = load_module()
    e = copy.deepcopy(entry(GOOD, "nonsmooth", 12))
    assert check.library_difference(kinkbench.nonsmooth(12, e["n"]), e) is None
    e["best_point"][-1] = math.nextafter(e["best_point"][-1], math.inf)
    assert check.library_difference(kinkbench.nonsmooth(12, e["n"]), e).startswith(
        "the built library carries another best_point (its f* = ")
