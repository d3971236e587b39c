"""docs/data: the data-driven problems' files are what the library holds, and a formula
rebuilt from each file alone gives the library's values; an edited number is caught."""

import os
import sys

import pytest

pytest.importorskip("scipy", reason="the data scripts solve with SciPy")
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, "data"))
import export  # noqa: E402


def committed():
    return {name: open(os.path.join(REPO, "docs", "data", name), encoding="utf-8").read()
            for name in export.files()}


def test_files_are_current_and_rebuild_every_problem():
    texts = committed()
    assert texts == export.files()
    assert export.mismatches(texts) == []


def bump_csv(column, row):
    def edit(text):
        lines = text.splitlines(keepends=True)
        cells = lines[row].rstrip("\n").split(",")
        cells[column] = repr(float(cells[column]) * (1 + 1e-9))
        lines[row] = ",".join(cells) + "\n"
        return "".join(lines)
    return edit


def replace_once(old, new):
    return lambda text: text.replace(old, new, 1)


@pytest.mark.parametrize("name, edit", [
    ("minimax-13.csv", bump_csv(1, 30)),                  # a t_k
    ("minimax-13.csv", bump_csv(2, 61)),                  # the last y_k
    ("minimax-18.csv", bump_csv(1, 21)),
    ("minimax-25.csv", bump_csv(2, 1)),
    ("nonsmooth-13-25.json", replace_once("-16.0", "-16.5")),  # A(1, 1), shared by 13 and 25
    ("nonsmooth-21.json", lambda text: text.replace('"a": [', '"a": [1', 1)),  # a_1 gains a digit
])
def test_an_edited_number_is_caught(name, edit):
    texts = committed()
    edited = edit(texts[name])
    assert edited != texts[name]
    texts[name] = edited
    bad = export.mismatches(texts)
    assert bad and bad[0][0].startswith(name), bad
