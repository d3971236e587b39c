"""Benchmark campaigns: many solvers, problems, starts and seeds, on any executor,
resumable.

    from kinkbench.campaign import Campaign, run_campaign
    campaign = Campaign(
        solvers={"BFGS": "kinkbench.solvers:bfgs", "Nelder-Mead": "kinkbench.solvers:nelder_mead"},
        problems={"collections": ["nonsmooth"]},
        starts=10, budget=2000)
    run_campaign(campaign, "logs")                 # in this process
    run_campaign(campaign, "logs", workers=2)      # a process pool on this machine

and on a dask.distributed cluster (the folder must be one every worker can write to):

    from dask.distributed import Client
    run_campaign(campaign, "logs", executor=Client("tcp://scheduler:8786").get_executor())

From the command line, with the campaign as JSON (the manifest this module writes):

    python3 -m kinkbench.campaign run CAMPAIGN.json LOGDIR [--workers N | --scheduler ADDRESS]
    python3 -m kinkbench.campaign checksum LOGDIR

A run is one solver on one problem set-up from one start with one seed: one log,
LOGDIR/<solver>/<collection>-NN-nN-sSTART[-rSEED].jsonl (docs/log-format.md). Solvers are
named by import path, "module:function", so that a worker process can import them; a
function given instead must be importable the same way (defined at the top level of a
module other than __main__), or it is refused before anything runs. Workers get the run's
set-up (collection, number, n, start, seed, budget, ...), never problem objects.

Resuming: a run whose complete log exists is skipped (and its outcome reported); a log
without its outcome line, an unfinished NAME.jsonl.partial, and a run that ended
"interrupted" are set aside (renamed to NAME...-1) and run again; a run another process
is writing (its lock is held) is left to it. A complete log whose header disagrees with
the campaign (budget, record, weights, start seed or scale) stops the campaign before it
starts, naming the files. A parallel campaign gives the same logs, bit for bit, as a
serial one except for the time fields: `started` in the header and `seconds` in the
outcome, which `checksum` leaves out.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import dataclasses
import hashlib
import importlib
import json
import os
import pathlib
import sys
import time
from typing import Any, Callable, Iterable, Mapping, Optional, Sequence, Union

from .catalogue import problems as problem_table
from .runlog import (
    DEFAULT_WEIGHTS,
    RECORD,
    RunHeld,
    RunLog,
    check_budget,
    log_name,
    number_from_json,
    set_aside,
    slug,
)
from .starts import DEFAULT_SCALE, DEFAULT_SEED
from .suite import Progress, RunSummary, make, run_one

Setup = tuple  # (collection, number, n)


# ------------------------------------------------------------------------ solvers


def solver_reference(solver: Union[str, Callable]) -> str:
    """The import path "module:qualname" of a solver, checked to import back to it."""
    if isinstance(solver, str):
        resolve(solver)
        return solver
    module = getattr(solver, "__module__", None)
    qualname = getattr(solver, "__qualname__", None)
    name = getattr(solver, "__name__", repr(solver))
    if module is None or qualname is None:
        raise ValueError(f"solver {name!r} cannot be sent to a worker: it has no import path")
    if module == "__main__":
        raise ValueError(
            f"solver {name!r} cannot be sent to a worker: it is defined in the script being "
            "run (__main__); put it in a module and import it, or name it as 'module:function'"
        )
    if "<" in qualname:
        raise ValueError(
            f"solver {name!r} cannot be sent to a worker: a lambda or a function defined inside "
            "another cannot be imported; define it at the top level of a module"
        )
    reference = f"{module}:{qualname}"
    try:
        found = resolve(reference)
    except ValueError:
        found = None
    if found is not solver:
        raise ValueError(f"solver {name!r} cannot be sent to a worker: {reference} does not import back to it")
    return reference


def resolve(reference: str) -> Callable:
    """The callable an import path "module:qualname" names."""
    module_name, _, qualname = reference.partition(":")
    if not module_name or not qualname:
        raise ValueError(f"a solver's import path is 'module:function', got {reference!r}")
    try:
        target: Any = importlib.import_module(module_name)
        for part in qualname.split("."):
            target = getattr(target, part)
    except (ImportError, AttributeError) as error:
        raise ValueError(f"solver {reference!r} cannot be imported: {error}") from None
    if not callable(target):
        raise ValueError(f"solver {reference!r} is not callable")
    return target


# --------------------------------------------------------------------- the runs


@dataclasses.dataclass(frozen=True)
class Task:
    """One run, as a worker receives it: plain data only."""

    solver: str
    solver_ref: Optional[str]
    collection: str
    number: int
    n: int
    start: int
    seed: Optional[int]
    start_seed: int
    start_scale: float
    budget: int
    record: str
    weights: Mapping[str, float]
    solver_options: Mapping[str, Any]
    metadata: Mapping[str, Any]
    campaign: Optional[str]
    logdir: str

    @property
    def path(self) -> pathlib.Path:
        name = log_name(self.collection, self.number, self.n, self.start, self.seed)
        return pathlib.Path(self.logdir) / slug(self.solver) / name


@dataclasses.dataclass
class Plan:
    tasks: list[Task]

    @classmethod
    def build(
        cls,
        solvers: Mapping[str, Any],
        setups: Sequence[Setup],
        logdir: Union[str, pathlib.Path],
        *,
        budget: int = 2000,
        record: str = "all",
        starts: int = 1,
        start_seed: Optional[int] = None,
        start_scale: Optional[float] = None,
        seeds: Sequence[Optional[int]] = (None,),
        weights: Optional[Mapping[str, float]] = None,
        solver_options: Optional[Mapping[str, Mapping[str, Any]]] = None,
        metadata: Optional[Mapping[str, Any]] = None,
        campaign: Optional[str] = None,
        references: Optional[Mapping[str, str]] = None,
    ) -> "Plan":
        budget = check_budget(budget)
        if budget is None:
            raise ValueError("a campaign needs a budget")
        if record not in RECORD:
            raise ValueError(f'record is "all" or "improvements", got {record!r}')
        if isinstance(starts, bool) or not isinstance(starts, int) or starts < 1:
            raise ValueError(f"starts is the number of starts, at least 1, got {starts!r}")
        if not seeds:
            raise ValueError("seeds: give at least one (None for a deterministic solver)")
        folders: dict[str, str] = {}
        for name in solvers:
            other = folders.setdefault(slug(name), name)
            if other != name:
                raise ValueError(f"solvers {other!r} and {name!r} would share the log folder {slug(name)!r}")
        seed = DEFAULT_SEED if start_seed is None else start_seed
        scale = DEFAULT_SCALE if start_scale is None else float(start_scale)
        tasks = [
            Task(
                solver=name,
                solver_ref=(references or {}).get(name),
                collection=collection,
                number=number,
                n=n,
                start=start,
                seed=repetition,
                start_seed=seed,
                start_scale=scale,
                budget=budget,
                record=record,
                weights={**DEFAULT_WEIGHTS, **(weights or {})},
                solver_options=dict((solver_options or {}).get(name, {})),
                metadata=dict(metadata or {}),
                campaign=campaign,
                logdir=str(logdir),
            )
            for collection, number, n in setups
            for start in range(starts)
            for repetition in seeds
            for name in solvers
        ]
        return cls(tasks)


def _read_ends(path: pathlib.Path) -> tuple[Optional[dict], Optional[dict]]:
    """A log's header and its last line, each None where it does not parse."""
    with path.open("rb") as file:
        first = file.readline()
        file.seek(0, os.SEEK_END)
        size = file.tell()
        file.seek(max(0, size - 65536))
        tail = file.read()
        if b"\n" not in tail.rstrip(b"\n"):  # a last line longer than that: x_best of thousands of variables
            file.seek(len(first))
            tail = file.read()
        tail = tail.rstrip(b"\n").rsplit(b"\n", 1)[-1]

    def parse(raw: bytes) -> Optional[dict]:
        try:
            value = json.loads(raw)
        except ValueError:
            return None
        return value if isinstance(value, dict) else None

    return parse(first), parse(tail)


def _conflicts(task: Task, header: dict) -> list[str]:
    wanted = {"budget": task.budget, "record": task.record, "weights": dict(task.weights)}
    if task.start > 0:
        wanted["start_seed"], wanted["start_scale"] = task.start_seed, task.start_scale
    return [f"{key} {header.get(key)!r} (campaign: {value!r})" for key, value in wanted.items() if header.get(key) != value]


def _summary(task: Task, outcome: str, evaluations: int, best: float, seconds: float,
             path: Optional[pathlib.Path], skipped: bool = False) -> RunSummary:
    problem = make(task.collection, task.number, task.n)
    return RunSummary(task.solver, task.collection, task.number, task.n, outcome, evaluations,
                      best, problem.best_value, seconds, path, task.start, task.seed, skipped)


def _existing(task: Task) -> tuple[Optional[RunSummary], Optional[str]]:
    """The summary of a complete log of the task (None: run it), or a conflict."""
    path = task.path
    try:
        header, last = _read_ends(path)
    except FileNotFoundError:
        return None, None
    if header is None or last is None or "outcome" not in last or last["outcome"] == "interrupted":
        try:
            set_aside(path)
        except FileNotFoundError:  # another campaign set it aside first
            pass
        return None, None
    differences = _conflicts(task, header)
    if differences:
        return None, f"{path}: " + ", ".join(differences)
    best = number_from_json(last.get("best"))
    summary = _summary(task, last["outcome"], int(last.get("evaluations", 0)),
                       float("inf") if best is None else best, float(last.get("seconds", 0.0)),
                       path, skipped=True)
    return summary, None


def _execute(task: Task, solver: Optional[Callable] = None) -> RunSummary:
    """One run in whatever process the executor chose; the log is its result."""
    if solver is None:
        assert task.solver_ref is not None
        solver = resolve(task.solver_ref)
    problem = make(task.collection, task.number, task.n)
    began = time.perf_counter()
    try:
        log = RunLog(
            problem,
            task.solver,
            path=task.path,
            budget=task.budget,
            record=task.record,
            start=task.start,
            start_seed=task.start_seed,
            start_scale=task.start_scale,
            seed=task.seed,
            weights=task.weights,
            solver_options=task.solver_options,
            metadata=task.metadata,
            campaign=task.campaign,
        )
    except RunHeld:
        return _summary(task, "", 0, float("inf"), 0.0, task.path, skipped=True)
    except FileExistsError:  # finished by another campaign meanwhile
        done, _ = _existing(task)
        if done is not None:
            return done
        raise
    try:
        run_one(solver, log)
    except OSError as error:  # the log could not be written; the campaign goes on
        return _summary(task, f"error: OSError: {error}", log.evaluations, log.best,
                        time.perf_counter() - began, None)
    return _summary(task, log.outcome or "", log.evaluations, log.best,
                    time.perf_counter() - began, log.path)


CHUNKS = 400


def _execute_many(tasks: Sequence[Task]) -> list[RunSummary]:
    return [_execute(task) for task in tasks]


def _label(task: Task) -> str:
    return f"{task.collection} {task.number:2d} n={task.n} s={task.start} | {task.solver}"


def execute_plan(
    plan: Plan,
    *,
    solvers: Optional[Mapping[str, Callable]] = None,
    executor: Optional[concurrent.futures.Executor] = None,
    workers: Optional[int] = None,
    progress: Optional[bool] = None,
) -> list[RunSummary]:
    """Run a plan's tasks (complete ones skipped), one summary per task in plan order."""
    if executor is not None and workers is not None:
        raise ValueError("give an executor or a number of workers, not both")
    if workers is not None and (isinstance(workers, bool) or not isinstance(workers, int) or workers < 1):
        raise ValueError(f"workers must be a whole number of at least 1, got {workers!r}")
    summaries: list[Optional[RunSummary]] = [None] * len(plan.tasks)
    pending, conflicts = [], []
    for index, task in enumerate(plan.tasks):
        done, conflict = _existing(task)
        if conflict:
            conflicts.append(conflict)
        elif done is not None:
            summaries[index] = done
        else:
            pending.append(index)
    if conflicts:
        more = f" (and {len(conflicts) - 5} more)" if len(conflicts) > 5 else ""
        raise ValueError("complete logs in the folder disagree with this campaign: "
                         + "; ".join(conflicts[:5]) + more)
    inline = executor is None and (workers is None or workers == 1)
    if not inline:
        missing = [t.solver for t in plan.tasks if t.solver_ref is None]
        if missing:
            raise ValueError(f"solver {missing[0]!r} cannot be sent to a worker: give it as an import path")
    with Progress(len(pending), progress) as bar:
        if inline:
            for index in pending:
                task = plan.tasks[index]
                bar.start(_label(task))
                solver = (solvers or {}).get(task.solver)
                summaries[index] = _execute(task, solver)
                bar.done()
        else:
            own = executor is None
            pool = concurrent.futures.ProcessPoolExecutor(workers) if own else executor
            # Runs go out in chunks: a cluster's per-task overhead (milliseconds) would
            # otherwise rival the shorter runs; CHUNKS per campaign keeps the load even.
            size = max(1, len(pending) // CHUNKS)
            chunks = [pending[i : i + size] for i in range(0, len(pending), size)]
            futures = {pool.submit(_execute_many, [plan.tasks[i] for i in chunk]): chunk for chunk in chunks}
            try:
                for future in concurrent.futures.as_completed(futures):
                    chunk = futures[future]
                    for index, summary in zip(chunk, future.result()):
                        summaries[index] = summary
                        bar.start(_label(plan.tasks[index]))
                        bar.done()
            except BaseException:
                for future in futures:
                    future.cancel()
                raise
            finally:
                if own:
                    pool.shutdown(wait=True, cancel_futures=True)
    return [s for s in summaries if s is not None]


# ------------------------------------------------------------------ the campaign

PROBLEM_KEYS = ("collections", "numbers", "forms", "convex", "n", "list")


@dataclasses.dataclass
class Campaign:
    """What a campaign runs, as data (JSON in its manifest).

    solvers: name -> import path "module:function" (or a function importable as one).
    problems: {"collections": [...] (default both), "numbers": [...] (default all),
        "forms": [...] (e.g. ["max |f_k|"]), "convex": true or false (the catalogue's
        convexity), "n": "min" (default), a number (the
        problems that accept it) or [lo, hi] (every accepted n in the range)}, or
        {"list": [[collection, number], [collection, number, n], ...]}.
    starts: starts 0..starts-1 per problem (kinkbench.starts), from start_seed and
        start_scale. seeds: the solver's seeds, one repetition each ([None]: one run).
    budget, record, weights: as RunLog takes them. solver_options: name -> JSON object
        handed to the solver as log.solver_options. metadata: kept in every header.
    """

    solvers: Mapping[str, Any]
    problems: Mapping[str, Any] = dataclasses.field(default_factory=dict)
    starts: int = 1
    start_seed: int = DEFAULT_SEED
    start_scale: float = DEFAULT_SCALE
    seeds: Sequence[Optional[int]] = (None,)
    budget: int = 2000
    record: str = "all"
    weights: Mapping[str, float] = dataclasses.field(default_factory=dict)
    solver_options: Mapping[str, Mapping[str, Any]] = dataclasses.field(default_factory=dict)
    metadata: Mapping[str, Any] = dataclasses.field(default_factory=dict)

    def __post_init__(self) -> None:
        if not self.solvers:
            raise ValueError("a campaign needs at least one solver")
        self.solvers = {str(name): solver_reference(s) for name, s in self.solvers.items()}
        unknown = set(self.problems) - set(PROBLEM_KEYS)
        if unknown:
            raise ValueError(f"problems: unknown keys {sorted(unknown)}; known: {', '.join(PROBLEM_KEYS)}")
        self.seeds = list(self.seeds)
        self.setups()  # refuse a bad selection now, not in a worker

    def to_dict(self) -> dict[str, Any]:
        return {field.name: getattr(self, field.name) for field in dataclasses.fields(self)}

    @property
    def id(self) -> str:
        """A digest of the description: the same campaign has the same id anywhere."""
        text = json.dumps(self.to_dict(), sort_keys=True, ensure_ascii=False, default=list)
        return hashlib.sha256(text.encode()).hexdigest()[:12]

    @classmethod
    def load(cls, path: Union[str, pathlib.Path]) -> "Campaign":
        """A campaign from its JSON file (a manifest, or one written by hand)."""
        return cls.load_text(pathlib.Path(path).read_text(encoding="utf-8"), str(path))

    @classmethod
    def load_text(cls, text: str, where: str = "campaign") -> "Campaign":
        try:
            data = json.loads(text)
        except ValueError as error:
            raise ValueError(f"{where}: not JSON: {error}") from None
        if not isinstance(data, dict):
            raise ValueError(f"{where}: a campaign is a JSON object")
        data.pop("id", None)
        fields = {f.name for f in dataclasses.fields(cls)}
        unknown = set(data) - fields
        if unknown:
            raise ValueError(f"{where}: unknown campaign keys {sorted(unknown)}")
        return cls(**data)

    def save(self, logdir: Union[str, pathlib.Path]) -> pathlib.Path:
        """Write the manifest LOGDIR/campaigns/ID.json (campaigns sharing a folder keep
        their own)."""
        path = pathlib.Path(logdir) / "campaigns" / f"{self.id}.json"
        path.parent.mkdir(parents=True, exist_ok=True)
        text = json.dumps({"id": self.id, **self.to_dict()}, indent=1, ensure_ascii=False) + "\n"
        partial = path.with_name(path.name + f".{os.getpid()}")
        partial.write_text(text, encoding="utf-8")
        os.replace(partial, path)
        return path

    def setups(self) -> list[Setup]:
        """The selected (collection, number, n), in table order."""
        selection = dict(self.problems)
        if "list" in selection:
            if set(selection) != {"list"}:
                raise ValueError('problems: "list" goes alone')
            chosen = []
            for item in selection["list"]:
                if not isinstance(item, (list, tuple)) or len(item) not in (2, 3):
                    raise ValueError(f"problems: a list entry is [collection, number] or [collection, number, n], got {item!r}")
                p = make(item[0], item[1], item[2] if len(item) == 3 else None)
                chosen.append((item[0], p.number, p.n))
            return chosen
        collections = selection.get("collections", ["minimax", "nonsmooth"])
        numbers = selection.get("numbers")
        forms = selection.get("forms")
        convex = selection.get("convex")
        if convex is not None and not isinstance(convex, bool):
            raise ValueError(f"problems: convex is true or false, got {convex!r}")
        n_spec = selection.get("n", "min")
        for c in collections:
            if c not in ("minimax", "nonsmooth"):
                raise ValueError(f'problems: the collections are "minimax" and "nonsmooth", got {c!r}')
        chosen = []
        for row in problem_table():
            if row.collection not in collections or (numbers is not None and row.number not in numbers):
                continue
            if forms is not None and row.form not in forms:
                continue
            if convex is not None and row.convex is not convex:
                continue
            top = row.max_n if row.max_n is not None else float("inf")
            if n_spec == "min":
                sizes = [row.min_n]
            elif isinstance(n_spec, int) and not isinstance(n_spec, bool):
                sizes = [n_spec] if row.min_n <= n_spec <= top else []
            elif isinstance(n_spec, (list, tuple)) and len(n_spec) == 2:
                low, high = n_spec
                sizes = [k for k in range(max(low, row.min_n), high + 1) if k <= top]
            else:
                raise ValueError(f'problems: n is "min", a number or [lo, hi], got {n_spec!r}')
            chosen += [(row.collection, row.number, k) for k in sizes]
        if not chosen:
            raise ValueError(f"problems: the selection {selection} is empty")
        return chosen

    def plan(self, logdir: Union[str, pathlib.Path]) -> Plan:
        return Plan.build(
            self.solvers,
            self.setups(),
            logdir,
            budget=self.budget,
            record=self.record,
            starts=self.starts,
            start_seed=self.start_seed,
            start_scale=self.start_scale,
            seeds=self.seeds,
            weights=self.weights,
            solver_options=self.solver_options,
            metadata=self.metadata,
            campaign=self.id,
            references=self.solvers,
        )


def run_campaign(
    campaign: Campaign,
    logdir: Union[str, pathlib.Path],
    *,
    executor: Optional[concurrent.futures.Executor] = None,
    workers: Optional[int] = None,
    progress: Optional[bool] = None,
) -> list[RunSummary]:
    """Write the manifest, then every run of the campaign not complete in logdir: in
    this process by default, in a pool of `workers` processes, or on `executor` (any
    concurrent.futures.Executor, such as a dask.distributed client's get_executor()).
    Returns one summary per run, skipped ones included (skipped=True)."""
    campaign.save(logdir)
    return execute_plan(campaign.plan(logdir), executor=executor, workers=workers, progress=progress)


# --------------------------------------------------------------------- checking

TIME_FIELDS = {"header": ("started",), "outcome": ("seconds",)}


def checksum(logdir: Union[str, pathlib.Path]) -> tuple[str, int]:
    """A SHA-256 over every complete log below logdir (by relative path), each line as
    parsed JSON with the time fields (the header's "started", the outcome's "seconds")
    left out, and the number of logs."""
    root = pathlib.Path(logdir)
    digest = hashlib.sha256()
    files = sorted(root.rglob("*.jsonl"))
    for path in files:
        digest.update(path.relative_to(root).as_posix().encode() + b"\0")
        lines = path.read_text(encoding="utf-8").splitlines()
        for number, line in enumerate(lines):
            record = json.loads(line)
            if number == 0:
                for key in TIME_FIELDS["header"]:
                    record.pop(key, None)
            elif "outcome" in record:
                for key in TIME_FIELDS["outcome"]:
                    record.pop(key, None)
            digest.update(json.dumps(record, sort_keys=True).encode() + b"\n")
    return digest.hexdigest(), len(files)


def _tally(summaries: Iterable[RunSummary]) -> list[str]:
    counts: dict[str, dict[str, int]] = {}
    for s in summaries:
        kind = "held elsewhere" if s.outcome == "" else s.outcome.split(":")[0]
        counts.setdefault(s.solver, {}).setdefault(kind, 0)
        counts[s.solver][kind] += 1
    return [f"  {solver}: " + ", ".join(f"{k} {v}" for k, v in sorted(c.items())) for solver, c in counts.items()]


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m kinkbench.campaign", description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    run = commands.add_parser("run", help="run a campaign (a manifest) into a log folder")
    run.add_argument("manifest", help="the campaign as JSON (see kinkbench.campaign.Campaign)")
    run.add_argument("logdir", help="the log folder (complete runs in it are skipped)")
    where = run.add_mutually_exclusive_group()
    where.add_argument("--workers", type=int, metavar="N", help="a pool of N processes on this machine")
    where.add_argument("--scheduler", help="a dask.distributed scheduler's address, tcp://HOST:PORT")
    where.add_argument("--local-cluster", type=int, metavar="N",
                       help="a dask LocalCluster of N worker processes on 127.0.0.1")
    run.add_argument("--progress", action=argparse.BooleanOptionalAction, default=None,
                     help="a progress line on stderr (default: when stderr is a terminal)")
    check = commands.add_parser("checksum", help="a checksum of the complete logs, time fields left out")
    check.add_argument("logdir")
    args = parser.parse_args(argv)
    if args.command == "checksum":
        digest, count = checksum(args.logdir)
        print(f"{digest}  {count} logs")
        return 0
    try:
        campaign = Campaign.load(args.manifest)
    except (OSError, ValueError) as error:
        print(f"kinkbench.campaign: {error}", file=sys.stderr)
        return 2
    began = time.perf_counter()
    client = cluster = None
    executor = None
    try:
        if args.scheduler or args.local_cluster:
            from dask.distributed import Client, LocalCluster

            if args.local_cluster:
                cluster = LocalCluster(processes=True, n_workers=args.local_cluster,
                                       threads_per_worker=1, host="127.0.0.1", dashboard_address=None)
                client = Client(cluster)
            else:
                client = Client(args.scheduler)
            executor = client.get_executor()
        summaries = run_campaign(campaign, args.logdir, executor=executor, workers=args.workers,
                                 progress=args.progress)
    except ValueError as error:
        print(f"kinkbench.campaign: {error}", file=sys.stderr)
        return 2
    finally:
        if client is not None:
            client.close()
        if cluster is not None:
            cluster.close()
    seconds = time.perf_counter() - began
    skipped = sum(s.skipped and s.outcome != "" for s in summaries)
    held = sum(s.outcome == "" for s in summaries)
    print(f"{len(summaries)} runs: {len(summaries) - skipped - held} ran, {skipped} complete before, "
          f"{held} held by another process; {seconds:.1f} s; campaign {campaign.id} in {args.logdir}")
    for line in _tally(summaries):
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
