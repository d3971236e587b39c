"""The black-box file helpers: a written point reads back exactly through the programs'
point-file reader, and every result line the programs write reads back as its value."""

import math
import os
import subprocess

import numpy as np
import pytest

import kinkbench
from conftest import bits, to_words

AWKWARD = [0.1, -0.0, 5e-324, -2.2250738585072014e-308, 1.7976931348623157e308, 1 / 3,
           -123456789.01234567, 1e-300, 2.0]


def test_written_points_read_back_exactly(reference, tmp_path):
    rng = np.random.default_rng(3)
    random = rng.standard_normal(40) * 10.0 ** rng.integers(-320, 300, 40)
    x = np.concatenate([AWKWARD, random])
    path = tmp_path / "input.in"
    kinkbench.write_point_file(path, x)
    sentinel = np.full(x.size, 7.0)
    read = reference.ask(f"point {path} {x.size} {to_words(sentinel)}")
    assert np.array_equal(read, bits(x))
    assert len(path.read_text().splitlines()) == x.size


@pytest.mark.parametrize(
    "point, error",
    [([1.0, math.nan], ValueError), ([math.inf], ValueError), ([[1.0]], ValueError),
     ([1j], TypeError)],
)
def test_unwritable_points_are_refused(tmp_path, point, error):
    path = tmp_path / "input.in"
    with pytest.raises(error):
        kinkbench.write_point_file(path, point)
    assert not path.exists()


@pytest.mark.parametrize(
    "line, value",
    [
        ("   0.100000E+01", 1.0),
        ("  -0.250000E+01", -2.5),
        ("   0.000000E+00", 0.0),
        ("   0.100000E+81", 1e80),
        ("   0.150000-119", 1.5e-120),
        ("  -0.499994-319", -4.99994e-320),
        ("   0.123457+100", 1.23457e99),
        ("            NaN", math.nan),
        ("       Infinity", math.inf),
        ("      -Infinity", -math.inf),
        # the other spellings of the non-finite values, each with its own sign
        ("            inf", math.inf),
        ("           -inf", -math.inf),
        ("           +INF", math.inf),
        ("      +Infinity", math.inf),
    ],
)
def test_result_lines_parse_to_their_value(line, value):
    parsed = kinkbench.parse_result(line)
    assert parsed == value or (math.isnan(parsed) and math.isnan(value))


def test_negative_zero_keeps_its_sign():
    assert math.copysign(1.0, kinkbench.parse_result("  -0.000000E+00")) == -1.0


@pytest.mark.parametrize("line", ["", "0.1E", "1,5", "0.100000E+01x", "--1.0", "E+01"])
def test_malformed_result_lines_are_refused(line):
    with pytest.raises(ValueError, match="is not a result value"):
        kinkbench.parse_result(line)


def test_the_result_writers_lines_read_back_as_their_six_digits(reference, tmp_path):
    values = AWKWARD + [1.5e-120, -4.99994e-320, 9.9999996, -1e100, 123.4565, math.inf]
    path = tmp_path / "output.out"
    for v in values:
        reference.ask(f"result {path} {to_words(v)}")
        expected = float(f"{v:.5e}")  # six significant digits, rounded as printf does
        assert bits(kinkbench.read_result_file(path)) == bits(expected), path.read_text()


def test_read_result_file_names_the_file_when_it_is_not_one_line(tmp_path):
    path = tmp_path / "output.out"
    path.write_text("   0.100000E+01\n   0.200000E+01\n")
    with pytest.raises(ValueError, match="output.out: expected one result line, found 2"):
        kinkbench.read_result_file(path)
    with pytest.raises(OSError):
        kinkbench.read_result_file(tmp_path / "missing.out")


def test_nseval_driven_from_python(tmp_path):
    program = os.environ.get("KINKBENCH_NSEVAL")
    if not program:
        pytest.skip("KINKBENCH_NSEVAL is not set (ctest sets it)")
    problem = kinkbench.nonsmooth(11)
    x = problem.x0 + np.array([0.1, -0.2, 1 / 3, 0.7])
    kinkbench.write_point_file(tmp_path / "input.in", x)
    subprocess.run([program], cwd=tmp_path, check=True)
    assert kinkbench.read_result_file(tmp_path / "output.out") == float(
        f"{problem.value(x):.5e}"
    )
