"""The strict reader: folders of logs of both formats into one table of runs, with every
fault named by file (and line), and nothing in the folders changed."""

import json
import math

import pytest

import fake_logs
from kinkbench import logs, report


def write(folder, solver="A", problem=1, start=0, seed=None, **more):
    more.setdefault("f0", 4.0)
    more.setdefault("fstar", 0.0)
    more.setdefault("values", [4.0, 1.0, 0.1])
    return fake_logs.write(folder, solver, "nonsmooth", problem, 2, start, seed, **more)


def test_both_formats_read_into_one_table_keyed_by_start_and_seed(tmp_path):
    import kinkbench

    p = kinkbench.nonsmooth(1)
    # A log of version 0.1.0's RunLog (format 1: start 0, no seed), as it wrote them.
    f0, f1 = p.value(p.x0), p.value(p.x0 * 0.5)
    old = tmp_path / "old" / "a" / "nonsmooth-01-n2.jsonl"
    old.parent.mkdir(parents=True)
    old.write_text("".join(json.dumps(r) + "\n" for r in [
        {"log_format": 1, "solver": "A", "collection": "nonsmooth", "problem": 1, "n": 2, "form": "f", "f0": f0,
         "fstar": p.best_value, "fstar_status": p.best_status, "budget": 100, "record_x": False,
         "started": "2026-12-08T22:02:03+00:00"},
        {"eval": 1, "f": f0, "best": f0}, {"eval": 2, "f": f1, "best": min(f0, f1)},
        {"outcome": "converged", "evaluations": 2, "best": min(f0, f1), "seconds": 0.001, "message": None}]))
    write(tmp_path / "new", "A", problem=1, start=1, f0=p.value(p.x0), fstar=p.best_value)
    write(tmp_path / "new", "B", problem=1, start=0, seed=3, f0=p.value(p.x0), fstar=p.best_value,
          stationarity={"1e-06": 0.25})
    table = logs.read_table([tmp_path / "old", tmp_path / "new"])
    assert [r.key for r in table.runs] == [("A", "nonsmooth", 1, 2, 0, None), ("A", "nonsmooth", 1, 2, 1, None),
                                         ("B", "nonsmooth", 1, 2, 0, 3)]
    assert [r.log_format for r in table.runs] == [1, 2, 2]
    assert table.runs[0].values == [p.value(p.x0), p.value(p.x0 * 0.5)] and table.runs[0].used == 2
    assert table.runs[2].stationarity == {"1e-06": 0.25}
    # A missing start 1 run of B is named; so nothing else is wrong.
    assert table.problems() == ["missing run: B on nonsmooth 1 n=2 start 1"]


def lines_of(*records):
    return "".join((r if isinstance(r, str) else json.dumps(r)) + "\n" for r in records).encode()


HEADER = fake_logs.header("A", "nonsmooth", 1, 2, f0=4.0, fstar=0.0)
EVAL = {"eval": 1, "f": 4.0, "best": 4.0}
END = {"outcome": "converged", "evaluations": 1}


@pytest.mark.parametrize(
    "content, line, says",
    [
        (lines_of("5", EVAL, END), 1, "the header is 5, not a JSON object"),
        (lines_of("null", END), 1, "the header is null, not a JSON object"),
        (lines_of('"a header"', END), 1, 'the header is "a header", not a JSON object'),
        (lines_of(HEADER, "5", END), 2, "5 is not a JSON object"),
        (lines_of(HEADER, "null", END), 2, "null is not a JSON object"),
        (lines_of(HEADER, {**EVAL, "f": None}, END), 2, "f is null, not a number"),
        (lines_of(HEADER, {**EVAL, "f": "low"}, END), 2, 'f is "low", not a number'),
        (lines_of(HEADER, {**EVAL, "f": True}, END), 2, "f is true, not a number"),
        (lines_of(HEADER, {"eval": 1}, END), 2, "an evaluation line without f"),
        (lines_of(HEADER, {**EVAL, "eval": 2}, EVAL, END), 3, "eval 1 after eval 2"),
        (lines_of(HEADER, EVAL, EVAL, END), 3, "eval 1 after eval 1"),
        (lines_of(HEADER, {**END, "outcome": ""}), 2, 'outcome is "", not a text'),
        (lines_of(HEADER, {**END, "outcome": 1}), 2, "outcome is 1, not a text"),
        (lines_of(HEADER, END, EVAL), 3, "a line after the outcome"),
        (lines_of(HEADER, {"x": 1}, END), 2, "neither an evaluation nor an outcome line"),
        (lines_of({k: v for k, v in HEADER.items() if k != "f0"}, END), 1, "the header has no f0"),
        (lines_of({k: v for k, v in HEADER.items() if k not in ("solver", "start")}, END), 1,
         "the header has no solver, start"),
        (lines_of({**HEADER, "log_format": 3}, END), 1, "log_format 3 is not one this version reads"),
        (lines_of({**HEADER, "f0": "nan"}, END), 1, "f0 is nan: no target can be set from it"),
        (lines_of({**HEADER, "fstar": "-inf"}, END), 1, "fstar is -inf, not a finite value"),
        (lines_of({**HEADER, "n": "2"}, END), 1, 'n is "2", not a whole number >= 1'),
        (lines_of({**HEADER, "n": None}, END), 1, "n is null, not a whole number >= 1"),
        (lines_of({**HEADER, "collection": "other"}, END), 1, 'collection is "other"'),
        (lines_of(HEADER, {**EVAL, "eval": 101}, END), 2, "eval 101 beyond the budget of 100"),
        (lines_of(HEADER) + b'{"eval": 1, "f": "\xff"}\n' + lines_of(END), 2,
         "not UTF-8 text (byte 0xff at column 19)"),
        (b"", 1, "empty file"),
        (b'{"log_format": 2, "solver"', 1, "not JSON"),  # a lone line is the header, never a cut one
    ],
)
def test_a_malformed_log_is_one_error_naming_file_and_line(tmp_path, capsys, content, line, says):
    pytest.importorskip("matplotlib", reason="the command draws with matplotlib")
    path = tmp_path / "a" / "nonsmooth-01-n2-s0.jsonl"
    path.parent.mkdir()
    path.write_bytes(content)
    with pytest.raises(logs.LogError) as caught:
        logs.read_table(tmp_path)
    assert str(caught.value).startswith(f"{path}:{line}: ") and says in str(caught.value)
    assert report.main([str(tmp_path), "-o", str(tmp_path.parent / "out")]) == 2
    err = capsys.readouterr().err
    assert err == f"kinkbench.report: {caught.value}\n"


@pytest.mark.parametrize("last", ['{"eval": 4, "f": 0.1, "be', '{"eval": 4, "f": 0.1, "best": 0.1}'])
def test_a_log_cut_short_is_unfinished_and_its_last_line_skipped(tmp_path, last):
    path = write(tmp_path, values=[4.0, 1.0, 0.5], outcome=None)
    path.write_text(path.read_text() + last + "\n")
    write(tmp_path, "B")
    table = logs.read_table(tmp_path)
    assert [r.solver for r in table.runs] == ["B"]
    (run,) = table.unfinished
    assert run.values == [4.0, 1.0, 0.5] and run.path == path and run.used == 3
    assert table.warnings and table.warnings[0].startswith(f"{path}:5: ")
    assert f"unfinished (no outcome line): {path}" in table.problems()


def test_a_log_cut_after_its_first_evaluation_is_unfinished_with_nothing_recorded(tmp_path):
    path = write(tmp_path, values=[4.0], outcome=None)
    (run,) = logs.read_table(tmp_path).unfinished
    assert run.values == [] and run.used == 0 and run.path == path


@pytest.mark.parametrize("cut, partial, says", [
    ("", False, ": a header only; the run is unfinished"),
    ('{"eval": 1, "f"\n', False, ":2: broken last line skipped"),
    ("", True, None),  # a .partial file has no outcome by design
])
def test_a_log_of_its_header_alone_is_unfinished_and_said_once(tmp_path, cut, partial, says):
    path = write(tmp_path, values=[], outcome=None, partial=partial)
    path.write_text(path.read_text() + cut)
    table = logs.read_table(tmp_path)
    (run,) = table.unfinished
    assert run.values == [] and run.path == path and run.partial == partial
    assert len(table.warnings) == (says is not None)
    assert all(w.startswith(f"{path}{says}") for w in table.warnings)


def test_a_log_without_its_last_newline_reads_whole(tmp_path):
    path = write(tmp_path)
    path.write_text(path.read_text().rstrip("\n"))
    table = logs.read_table(tmp_path)
    assert [r.values for r in table.runs] == [[4.0, 1.0, 0.1]] and not table.warnings


def test_partial_interrupted_and_missing_runs_are_named(tmp_path):
    write(tmp_path, "A", problem=1)
    write(tmp_path, "A", problem=2)
    write(tmp_path, "B", problem=1)
    partial = write(tmp_path, "B", problem=2, outcome=None, partial=True)
    (partial.parent / (partial.name[: -len(".partial")] + ".lock")).write_text("1234\n")
    stopped = write(tmp_path, "A", problem=3, outcome="interrupted")
    table = logs.read_table(tmp_path)
    assert [r.key[:3] for r in table.runs] == [("A", "nonsmooth", 1), ("A", "nonsmooth", 2), ("B", "nonsmooth", 1)]
    assert table.problems() == [
        f"unfinished (a .partial file): {partial}",
        f"interrupted: {stopped}",
        "missing run: B on nonsmooth 2 n=2 start 0",
    ]
    assert not table.warnings  # a .partial file has no outcome by design


def test_duplicates_across_folders_are_found_with_both_files(tmp_path):
    one = write(tmp_path / "mine", "A", values=[4.0, 1.0])
    two = write(tmp_path / "theirs", "A", values=[4.0, 0.5])
    table = logs.read_table([tmp_path / "mine", tmp_path / "theirs"])
    assert table.runs == [] and table.duplicates == {("A", "nonsmooth", 1, 2, 0, None): [one, two]}
    with pytest.raises(logs.LogError, match="duplicate run A on nonsmooth 1 n=2 start 0: .*mine.*theirs") as error:
        logs.check(table)
    assert str(error.value) == table.problems()[0]  # one fault: no count of others
    logs.check(table, allow_duplicates=True)  # then neither copy is drawn


def test_duplicates_are_named_in_the_order_of_their_runs_not_of_their_files(tmp_path):
    for problem, name in ((1, "z"), (2, "a")):
        for copy in (1, 2):
            write(tmp_path, "A", problem=problem, name=f"{name}{copy}.jsonl")
    table = logs.read_table(tmp_path)
    assert [line.split(":")[0] for line in table.problems()] == [
        "duplicate run A on nonsmooth 1 n=2 start 0", "duplicate run A on nonsmooth 2 n=2 start 0"]
    with pytest.raises(logs.LogError, match=r"^duplicate run A on nonsmooth 1 .*z1.*z2.*; and 1 more like it$"):
        logs.check(table)


@pytest.mark.parametrize(
    "second, says",
    [
        (dict(solver="B", fstar=-1.0), "f* differs for nonsmooth 1 n=2: -1.0 in "),
        (dict(solver="B", f0=5.0, values=[5.0]), "f0 differs for nonsmooth 1 n=2 start 0: 4.0 in "),
        (dict(solver="B", budget=50), "budget differs for the runs: 100 in "),
        (dict(solver="A", start=1, budget=50), "budget differs for the runs: 100 in "),
    ],
)
def test_conflicts_are_refused_naming_values_and_files(tmp_path, capsys, second, says):
    pytest.importorskip("matplotlib", reason="the command draws with matplotlib")
    first = write(tmp_path, "A")
    other = write(tmp_path, **second)
    table = logs.read_table(tmp_path)
    assert len(table.conflicts) == 1 and says in table.conflicts[0]
    assert str(first) in table.conflicts[0] and str(other) in table.conflicts[0]
    assert report.main([str(tmp_path), "-o", str(tmp_path.parent / "out")]) == 2
    assert says in capsys.readouterr().err


@pytest.mark.parametrize("sharing", [3, 4, 6])
def test_a_conflict_names_three_files_of_each_value_and_counts_the_rest(tmp_path, sharing):
    paths = sorted(str(write(tmp_path, "A", start=s, budget=50)) for s in range(sharing))
    other = write(tmp_path, "B", budget=100)
    (line,) = logs.read_table(tmp_path).conflicts
    rest = f" and {sharing - 3} more" if sharing > 3 else ""
    assert line == f"budget differs for the runs: 100 in {other}; 50 in {', '.join(paths[:3])}{rest}"


def test_conflicts_are_listed_in_the_order_of_their_cases(tmp_path):
    # neither the files nor the values sort the cases' way
    for problem, (a, b) in ((2, (1.0, 2.0)), (1, (9.0, 5.0))):
        write(tmp_path, "A", problem=problem, fstar=a)
        write(tmp_path, "B", problem=problem, fstar=b)
    lines = logs.read_table(tmp_path).conflicts
    assert [line.split(":")[0] for line in lines] == ["f* differs for nonsmooth 1 n=2", "f* differs for nonsmooth 2 n=2"]


def test_several_faults_are_one_line_that_counts_the_others(tmp_path):
    write(tmp_path / "a", "A")
    write(tmp_path / "b", "A")
    write(tmp_path / "a", "B", fstar=-1.0)
    with pytest.raises(logs.LogError, match=r"^duplicate run A on .*; and 1 more like it$"):
        logs.check(logs.read_table([tmp_path / "a", tmp_path / "b"]))


def test_mixed_budgets_pass_only_between_solvers_when_asked(tmp_path):
    write(tmp_path, "A", budget=100)
    write(tmp_path, "B", budget=50)
    assert logs.read_table(tmp_path, mixed_budgets=True).conflicts == []
    write(tmp_path, "B", problem=2, budget=60)
    (line,) = logs.read_table(tmp_path, mixed_budgets=True).conflicts
    assert line.startswith("budget differs for B: 50 in ")


def test_reading_and_reporting_never_change_the_folders(tmp_path):
    pytest.importorskip("matplotlib")
    write(tmp_path / "logs", "A")
    write(tmp_path / "logs", "B")
    write(tmp_path / "logs", "B", problem=2, outcome=None, partial=True)
    cut = write(tmp_path / "logs", "A", problem=2, outcome=None)
    cut.write_text(cut.read_text() + '{"eval": 4, "f"\n')
    (tmp_path / "logs" / "a" / "x.jsonl.lock").write_text("1\n")

    def snapshot():
        return {p: (p.is_file() and p.read_bytes(), p.stat().st_mtime_ns)
                for p in [tmp_path / "logs", *sorted((tmp_path / "logs").rglob("*"))]}

    before = snapshot()
    report.build(tmp_path / "logs", tmp_path / "out")
    assert snapshot() == before
    with pytest.raises(logs.LogError, match="inside the log folder"):
        report.build(tmp_path / "logs", tmp_path / "logs" / "report")
    assert snapshot() == before


def test_a_nan_value_reads_as_nan_and_infinities_as_infinities(tmp_path):
    write(tmp_path, values=[4.0, math.nan, math.inf, -math.inf, -1.0])
    (run,) = logs.read_table(tmp_path).runs
    assert math.isnan(run.values[1]) and run.values[2:] == [math.inf, -math.inf, -1.0]


def test_runs_with_and_without_a_seed_are_read_in_order(tmp_path):
    # a seedless run beside seeded ones of the same case must not stop the sort
    for seed in (2, None, 0):
        write(tmp_path, "A", seed=seed, name=f"s{seed}.jsonl")
    assert [r.seed for r in logs.read_table(tmp_path).runs] == [None, 0, 2]


@pytest.mark.parametrize("name", ["", 5, None])
def test_a_solver_must_be_a_name(tmp_path, name):
    path = write(tmp_path)
    lines = path.read_text().splitlines()
    header = json.loads(lines[0])
    header["solver"] = name
    path.write_text("\n".join([json.dumps(header)] + lines[1:]) + "\n")
    with pytest.raises(logs.LogError, match=f"{path}:1: solver is {json.dumps(name)}, not a name"):
        logs.read_table(tmp_path)


def test_a_run_without_a_budget_reads_as_unlimited(tmp_path):
    write(tmp_path, budget=None)
    (run,) = logs.read_table(tmp_path).runs
    assert run.budget is None and run.used == 3


def test_no_stored_f_star_and_the_least_budget_read(tmp_path):
    write(tmp_path, fstar=None, budget=1, values=[4.0])
    (run,) = logs.read_table(tmp_path).runs
    assert run.fstar is None and run.budget == 1 and run.used == 1


def test_read_runs_is_strict_unless_told(tmp_path):
    write(tmp_path, "A", budget=100)
    write(tmp_path, "B", budget=50)
    with pytest.raises(logs.LogError, match="budget differs"):
        logs.read_runs(tmp_path)
    assert [r.solver for r in logs.read_runs(tmp_path, mixed_budgets=True)[0]] == ["A", "B"]
    write(tmp_path, "B", budget=50, name="again.jsonl")
    with pytest.raises(logs.LogError, match="^duplicate run B on nonsmooth 1"):
        logs.read_runs(tmp_path, mixed_budgets=True)
    runs, table = logs.read_runs(tmp_path, mixed_budgets=True, allow_duplicates=True)
    assert [r.solver for r in runs] == ["A"] and list(table.duplicates) == [("B", "nonsmooth", 1, 2, 0, None)]
