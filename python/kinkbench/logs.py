"""Read folders of run logs strictly into one table of runs (the format: docs/log-format.md).

    table = kinkbench.logs.read_table(["out/campaign"])
    table.runs            # one Run per (solver, collection, problem, n, start, seed)
    table.problems()      # what is wrong with the folder, one line each

Logs of format 1 (version 0.1.0) read as start 0 with no seed. Nothing is resolved
silently: two logs of one key are duplicates, different f*, f0 or budgets for what must
share them are conflicts, and a `.jsonl.partial` file or a log without an outcome is an
unfinished run; all of them are named with their files. A log that is not a run log is a
LogError naming the file and the line. Reading opens files for reading only.
"""

from __future__ import annotations

import json
import math
import pathlib
from dataclasses import dataclass, field
from typing import Any, Iterable, Optional, Sequence, Union

FORMATS = (1, 2)
NUMBER_WORDS = {"inf": math.inf, "-inf": -math.inf, "nan": math.nan}

Key = tuple  # (solver, collection, problem, n, start, seed)
Instance = tuple  # (collection, problem, n, start): what every solver is compared on
ProblemKey = tuple  # (collection, problem, n)


class LogError(ValueError):
    """A file that is not a run log, or a folder that cannot be read; names file and line."""


@dataclass
class Run:
    solver: str
    collection: str
    problem: int
    n: int
    start: int
    seed: Optional[int]
    form: Optional[str]
    f0: float
    fstar: Optional[float]  # as stored; None where none is
    fstar_status: Optional[str]
    budget: Optional[int]
    evals: list  # evaluation numbers of the lines kept
    values: list  # f at those evaluations
    outcome: Optional[str]  # None: unfinished
    path: pathlib.Path
    log_format: int
    header: dict
    evaluations: Optional[int] = None  # from the outcome line
    stationarity: dict = field(default_factory=dict)  # eps text -> value
    partial: bool = False  # a .jsonl.partial file

    @property
    def key(self) -> Key:
        return (self.solver, self.collection, self.problem, self.n, self.start, self.seed)

    @property
    def instance(self) -> Instance:
        return (self.collection, self.problem, self.n, self.start)

    @property
    def problem_key(self) -> ProblemKey:
        return (self.collection, self.problem, self.n)

    @property
    def finished(self) -> bool:
        return self.outcome is not None

    @property
    def interrupted(self) -> bool:
        # The suite runner of format 1 writes "error: interrupted" for a KeyboardInterrupt.
        return self.outcome in ("interrupted", "error: interrupted")

    @property
    def used(self) -> int:
        """Evaluations the run spent: the outcome's count, else the last one recorded."""
        if self.evaluations is not None:
            return self.evaluations
        return self.evals[-1] if self.evals else 0


# ------------------------------------------------------------------ one file


def _number(value: Any, where: str, name: str, *, allow_none: bool = False) -> Optional[float]:
    if value is None and allow_none:
        return None
    if isinstance(value, bool) or not isinstance(value, (int, float, str)):
        raise LogError(f"{where}: {name} is {json.dumps(value)}, not a number")
    if isinstance(value, str):
        if value not in NUMBER_WORDS:
            raise LogError(f"{where}: {name} is {json.dumps(value)}, not a number")
        return NUMBER_WORDS[value]
    return float(value)


def _integer(value: Any, where: str, name: str, *, allow_none: bool = False, least: int = 0) -> Optional[int]:
    if value is None and allow_none:
        return None
    if isinstance(value, bool) or not isinstance(value, int) or value < least:
        raise LogError(f"{where}: {name} is {json.dumps(value)}, not a whole number >= {least}")
    return value


def _text(value: Any, where: str, name: str) -> str:
    if not isinstance(value, str) or not value:
        raise LogError(f"{where}: {name} is {json.dumps(value)}, not a name")
    return value


HEADER_KEYS = {
    1: ("solver", "collection", "problem", "n", "f0", "fstar", "budget"),
    2: ("solver", "collection", "problem", "n", "start", "seed", "f0", "fstar", "budget"),
}


def _header(record: Any, where: str) -> dict:
    if not isinstance(record, dict):
        raise LogError(f"{where}: the header is {json.dumps(record)[:40]}, not a JSON object")
    if "log_format" not in record:
        raise LogError(f"{where}: not a run log header (no log_format)")
    version = record["log_format"]
    if version not in FORMATS or isinstance(version, bool):
        raise LogError(f"{where}: log_format {json.dumps(version)} is not one this version reads (1 or 2)")
    missing = [k for k in HEADER_KEYS[version] if k not in record]
    if missing:
        raise LogError(f"{where}: the header has no {', '.join(missing)}")
    return record


def read_log(path: Union[str, pathlib.Path]) -> tuple[Run, list[str]]:
    """One log file as a Run, and the warnings it gave (a broken last line)."""
    path = pathlib.Path(path)
    try:
        data = path.read_bytes()
    except OSError as error:
        raise LogError(f"{path}: cannot read: {error.strerror or error}") from None
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    if not lines:
        raise LogError(f"{path}:1: empty file, not a run log")
    warnings: list[str] = []
    records = []
    for number, raw in enumerate(lines, start=1):
        where = f"{path}:{number}"
        try:
            text = raw.decode("utf-8")
            record = json.loads(text)
        except (UnicodeDecodeError, ValueError) as error:
            if number == len(lines) and number > 1:
                # A write cut short: the last line only, and the run is unfinished.
                warnings.append(f"{where}: broken last line skipped ({_reason(error)})")
                break
            raise LogError(f"{where}: {_reason(error)}") from None
        records.append((where, record))
    where, header = records[0]
    header = _header(header, where)
    version = header["log_format"]
    solver = _text(header["solver"], where, "solver")
    collection = header["collection"]
    if collection not in ("minimax", "nonsmooth"):
        raise LogError(f"{where}: collection is {json.dumps(collection)}, not minimax or nonsmooth")
    problem = _integer(header["problem"], where, "problem", least=1)
    n = _integer(header["n"], where, "n", least=1)
    start = _integer(header.get("start", 0), where, "start")
    seed = _integer(header.get("seed"), where, "seed", allow_none=True)
    f0 = _number(header["f0"], where, "f0")
    if not math.isfinite(f0):
        raise LogError(f"{where}: f0 is {header['f0']}: no target can be set from it")
    fstar = _number(header["fstar"], where, "fstar", allow_none=True)
    if fstar is not None and not math.isfinite(fstar):
        raise LogError(f"{where}: fstar is {header['fstar']}, not a finite value")
    budget = _integer(header["budget"], where, "budget", allow_none=True, least=1)
    form = header.get("form")
    status = header.get("fstar_status")

    evals: list[int] = []
    values: list[float] = []
    outcome = None
    evaluations = None
    stationarity: dict = {}
    body = records[1:]
    for index, (where, record) in enumerate(body):
        if not isinstance(record, dict):
            raise LogError(f"{where}: {json.dumps(record)[:40]} is not a JSON object")
        if outcome is not None:
            raise LogError(f"{where}: a line after the outcome")
        if "eval" in record:
            i = _integer(record["eval"], where, "eval", least=1)
            if "f" not in record:
                raise LogError(f"{where}: an evaluation line without f")
            if evals and i <= evals[-1]:
                raise LogError(f"{where}: eval {i} after eval {evals[-1]}")
            if budget is not None and i > budget:
                raise LogError(f"{where}: eval {i} beyond the budget of {budget}")
            evals.append(i)
            values.append(_number(record["f"], where, "f"))
        elif "outcome" in record:
            outcome = record["outcome"]
            if not isinstance(outcome, str) or not outcome:
                raise LogError(f"{where}: outcome is {json.dumps(outcome)}, not a text")
            if "evaluations" in record:
                evaluations = _integer(record["evaluations"], where, "evaluations")
                if evals and evaluations < evals[-1]:
                    raise LogError(f"{where}: {evaluations} evaluations, but eval {evals[-1]} is recorded")
            raw = record.get("stationarity") or {}
            if not isinstance(raw, dict):
                raise LogError(f"{where}: stationarity is {json.dumps(raw)[:40]}, not an object")
            stationarity = {str(k): _number(v, where, f"stationarity {k}") for k, v in raw.items()}
        else:
            raise LogError(f"{where}: neither an evaluation nor an outcome line")
    partial = path.name.endswith(".jsonl.partial")
    if outcome is None and not partial and not warnings and len(body) > 0:
        # The last line is not an outcome: a write cut short there.
        where = body[-1][0]
        warnings.append(f"{where}: the last line is not an outcome; skipped, the run is unfinished")
        if "eval" in body[-1][1]:
            evals.pop()
            values.pop()
    elif outcome is None and not partial and not warnings:
        warnings.append(f"{path}: a header only; the run is unfinished")
    run = Run(solver, collection, problem, n, start, seed, form, f0, fstar, status, budget,
              evals, values, outcome, path, version, header, evaluations, stationarity, partial)
    return run, warnings


def _reason(error: Exception) -> str:
    if isinstance(error, UnicodeDecodeError):
        return f"not UTF-8 text (byte {error.object[error.start]:#04x} at column {error.start + 1})"
    return f"not JSON ({error})"


# ------------------------------------------------------------------ the table


@dataclass
class Table:
    """Every run found, and what is wrong with them. `runs` holds one finished run per key
    (keys read twice are in `duplicates`, with all their files, and not in `runs`)."""

    runs: list
    unfinished: list  # runs without an outcome (.partial files, broken logs)
    interrupted: list
    duplicates: dict  # key -> [paths]
    conflicts: list  # lines, one per conflict
    warnings: list
    folders: list
    manifests: dict = field(default_factory=dict)  # path -> manifest object

    def solvers(self) -> list[str]:
        return sorted({r.solver for r in self.runs})

    def missing(self) -> list[tuple]:
        """(solver, collection, problem, n, start) that another solver ran in a collection
        this solver also ran, and this one did not finish."""
        have: dict[str, set] = {}
        for run in self.runs:
            have.setdefault(run.solver, set()).add(run.instance)
        out = []
        for solver, mine in sorted(have.items()):
            collections = {i[0] for i in mine}
            wanted = {i for other in have.values() for i in other if i[0] in collections}
            out += [(solver, *i) for i in sorted(wanted - mine)]
        return out

    def problems(self) -> list[str]:
        """What keeps this table from being a clean campaign, one line each."""
        lines = []
        for key, paths in sorted(self.duplicates.items(), key=lambda kv: str(kv[0])):
            lines.append(f"duplicate run {describe(key)}: " + ", ".join(str(p) for p in paths))
        lines += self.conflicts
        for run in self.unfinished:
            what = "unfinished (a .partial file)" if run.partial else "unfinished (no outcome line)"
            lines.append(f"{what}: {run.path}")
        for run in self.interrupted:
            lines.append(f"interrupted: {run.path}")
        for solver, *instance in self.missing():
            lines.append(f"missing run: {solver} on {instance[0]} {instance[1]} n={instance[2]} start {instance[3]}")
        return lines


def describe(key: Key) -> str:
    solver, collection, problem, n, start, seed = key
    text = f"{solver} on {collection} {problem} n={n} start {start}"
    return text + (f" seed {seed}" if seed is not None else "")


def log_files(folder: pathlib.Path) -> list[pathlib.Path]:
    return sorted(p for p in folder.rglob("*") if p.is_file() and
                  (p.name.endswith(".jsonl") or p.name.endswith(".jsonl.partial")))


def read_table(folders: Union[str, pathlib.Path, Sequence[Union[str, pathlib.Path]]],
               *, mixed_budgets: bool = False) -> Table:
    """All run logs below the folders. LogError for a folder without logs or a malformed
    log; duplicates and conflicts are collected, not raised (see Table.problems and
    check). mixed_budgets: budgets that differ between solvers are not a conflict."""
    if isinstance(folders, (str, pathlib.Path)):
        folders = [folders]
    folders = [pathlib.Path(f) for f in folders]
    found: dict[Key, list[Run]] = {}
    unfinished, interrupted, warnings = [], [], []
    manifests = {}
    for folder in folders:
        if not folder.is_dir():
            raise LogError(f"{folder}: not a folder")
        files = log_files(folder)
        if not files:
            raise LogError(f"{folder}: no run logs (*.jsonl) found")
        for name in ("manifest.json", "campaign.json"):
            path = folder / name
            if path.is_file():
                try:
                    manifests[str(path)] = json.loads(path.read_text(encoding="utf-8"))
                except (UnicodeDecodeError, ValueError) as error:
                    raise LogError(f"{path}: {_reason(error)}") from None
        for path in files:
            run, said = read_log(path)
            warnings += said
            if not run.finished:
                unfinished.append(run)
            elif run.interrupted:
                interrupted.append(run)
            else:
                found.setdefault(run.key, []).append(run)
    duplicates = {key: [r.path for r in runs] for key, runs in found.items() if len(runs) > 1}
    runs = [rs[0] for key, rs in sorted(found.items(), key=lambda kv: _sort_key(kv[0])) if len(rs) == 1]
    every = [r for rs in found.values() for r in rs] + interrupted
    conflicts = _conflicts(every, mixed_budgets)
    return Table(runs, unfinished, interrupted, duplicates, conflicts, warnings,
                 [str(f) for f in folders], manifests)


def _sort_key(key: Key):
    solver, collection, problem, n, start, seed = key
    return (solver, collection, problem, n, start, -1 if seed is None else seed)


def _conflicts(runs: Iterable[Run], mixed_budgets: bool) -> list[str]:
    lines = []

    def differ(what: str, group_of, value_of, name_of):
        groups: dict = {}
        for run in runs:
            groups.setdefault(group_of(run), {}).setdefault(value_of(run), []).append(run.path)
        for group, values in sorted(groups.items(), key=lambda kv: str(kv[0])):
            if len(values) > 1:
                parts = "; ".join(f"{_show(v)} in {', '.join(str(p) for p in sorted(paths)[:3])}"
                                  + (f" and {len(paths) - 3} more" if len(paths) > 3 else "")
                                  for v, paths in sorted(values.items(), key=lambda kv: str(kv[0])))
                lines.append(f"{what} differs for {name_of(group)}: {parts}")

    differ("f*", lambda r: r.problem_key, lambda r: r.fstar,
           lambda g: f"{g[0]} {g[1]} n={g[2]}")
    differ("f0", lambda r: r.instance, lambda r: r.f0,
           lambda g: f"{g[0]} {g[1]} n={g[2]} start {g[3]}")
    if mixed_budgets:
        differ("budget", lambda r: (r.solver,), lambda r: r.budget, lambda g: g[0])
    else:
        differ("budget", lambda r: (), lambda r: r.budget, lambda g: "the runs")
    return lines


def _show(value) -> str:
    return "none" if value is None else repr(value)


def check(table: Table, *, allow_duplicates: bool = False) -> None:
    """LogError, one line, for what a report must not draw over: conflicts, and duplicates
    unless allowed (then neither of a duplicated pair is used, and the report names them)."""
    lines = [] if allow_duplicates else [
        f"duplicate run {describe(k)}: " + ", ".join(str(p) for p in ps)
        for k, ps in sorted(table.duplicates.items(), key=lambda kv: str(kv[0]))]
    lines += table.conflicts
    if lines:
        more = f"; and {len(lines) - 1} more like it" if len(lines) > 1 else ""
        raise LogError(lines[0] + more)


def read_runs(folders, *, mixed_budgets: bool = False, allow_duplicates: bool = False
              ) -> tuple[list[Run], Table]:
    """The finished runs of a checked table, and the table."""
    table = read_table(folders, mixed_budgets=mixed_budgets)
    check(table, allow_duplicates=allow_duplicates)
    return table.runs, table
