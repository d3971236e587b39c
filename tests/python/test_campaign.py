"""A campaign is data: its starts are the same anywhere, its selection and solvers are
checked before anything runs, and its logs are the same bits however it is run: serially,
in a process pool, killed and resumed, or twice at once into one folder."""

import functools
import json
import multiprocessing
import os
import signal
import subprocess
import sys
import time

import numpy as np
import pytest

import kinkbench
from kinkbench import solvers
from kinkbench.campaign import Campaign, Plan, checksum, resolve, run_campaign, solver_reference
from kinkbench.runlog import RunLog
from kinkbench.starts import start_point


def test_starts_follow_the_documented_recipe():
    p = kinkbench.minimax(3, n=4)
    np.testing.assert_array_equal(start_point(p, 0), p.x0)
    z = np.random.Generator(np.random.PCG64(np.random.SeedSequence([9, 0, 3, 4, 2]))).standard_normal(4)
    x0 = p.x0
    np.testing.assert_array_equal(start_point(p, 2, seed=9, scale=0.5), x0 + 0.5 * np.maximum(1, np.abs(x0)) * z)
    z = np.random.Generator(np.random.PCG64(np.random.SeedSequence([0, 0, 3, 4, 1]))).standard_normal(4)
    np.testing.assert_array_equal(start_point(p, 1, seed=0), x0 + 0.1 * np.maximum(1, np.abs(x0)) * z)
    q = kinkbench.nonsmooth(3, n=4)  # the collection's code, 1, follows the seed
    z = np.random.Generator(np.random.PCG64(np.random.SeedSequence([9, 1, 3, 4, 2]))).standard_normal(4)
    np.testing.assert_array_equal(start_point(q, 2, seed=9, scale=0.5), q.x0 + 0.5 * np.maximum(1, np.abs(q.x0)) * z)
    assert not np.array_equal(start_point(p, 1), start_point(p, 2))
    assert not np.array_equal(start_point(p, 1), start_point(kinkbench.nonsmooth(3, n=4), 1))
    for bad in ({"start": -1}, {"start": 1.0}, {"start": 1, "seed": -2}, {"start": 1, "scale": 0.0}):
        with pytest.raises(ValueError):
            start_point(p, **{"start": 1, **bad})


@pytest.mark.parametrize(
    "problems, expected",
    [
        ({"collections": ["nonsmooth"], "numbers": [1, 16, 21], "n": [9, 11]},
         [("nonsmooth", 1, n) for n in (9, 10, 11)] + [("nonsmooth", 16, 10)]),
        ({"collections": ["nonsmooth"], "numbers": [1, 16], "n": 12}, [("nonsmooth", 1, 12)]),
        ({"collections": ["nonsmooth"], "numbers": [1, 16], "n": 10},
         [("nonsmooth", 1, 10), ("nonsmooth", 16, 10)]),
        ({"list": [["minimax", 7], ["nonsmooth", 2, 5]]}, [("minimax", 7, 3), ("nonsmooth", 2, 5)]),
    ],
    ids=["n range within max_n", "one n, where accepted", "one n, at min_n and max_n", "list"],
)
def test_selection(problems, expected):
    assert Campaign(solvers={"s": "kinkbench.solvers:bfgs"}, problems=problems).setups() == expected


def test_forms_select_the_fits():
    chosen = Campaign(solvers={"s": "kinkbench.solvers:bfgs"}, problems={"forms": ["max |f_k|"]}).setups()
    fits = [r.number for r in kinkbench.problems() if r.form == "max |f_k|"]
    assert [number for _, number, _ in chosen] == fits and 0 < len(fits) < 25


@pytest.mark.parametrize(
    "problems, says",
    [({"collection": ["minimax"]}, "unknown keys"), ({"collections": ["fits"]}, "collections are"),
     ({"numbers": [99]}, "is empty"), ({"list": [["minimax", 7]], "n": 3}, "goes alone"),
     ({"n": "max"}, '"min", a number'), ({"n": [9, 10, 11]}, '"min", a number'),
     ({"list": [["minimax", 7, 3, 9]]}, "a list entry is"), ({"list": ["minimax"]}, "a list entry is")],
)
def test_a_bad_selection_is_refused_before_anything_runs(problems, says):
    with pytest.raises(ValueError, match=says):
        Campaign(solvers={"s": "kinkbench.solvers:bfgs"}, problems=problems)


def local_solver():
    def inner(log):
        return None

    return inner


def main_solver(log):
    return None


main_solver.__module__ = "__main__"


@pytest.mark.parametrize(
    "solver, says",
    [(lambda log: None, "lambda"), (local_solver(), "inside another"), (main_solver, "__main__"),
     ("kinkbench.nosuch:f", "cannot be imported"), ("kinkbench.solvers", "'module:function'"),
     ("kinkbench.solvers:UNLIMITED", "not callable"), (functools.partial(solvers.powell), "no import path")],
    ids=["lambda", "local", "main", "missing", "no function", "not callable", "partial"],
)
def test_a_solver_that_cannot_reach_a_worker_is_refused(solver, says):
    with pytest.raises(ValueError, match=says):
        Campaign(solvers={"s": solver})


def test_a_function_becomes_its_import_path_and_the_id_follows_the_description():
    assert solver_reference(solvers.powell) == "kinkbench.solvers:powell"
    assert resolve("kinkbench.solvers:powell") is solvers.powell
    one = Campaign(solvers={"P": solvers.powell}, budget=100)
    assert one.id == Campaign(solvers={"P": "kinkbench.solvers:powell"}, budget=100).id
    assert one.id != Campaign(solvers={"P": "kinkbench.solvers:powell"}, budget=101).id
    # the same campaign written in another order is the same campaign
    two = {"Méthode": "kinkbench.solvers:powell", "B": "kinkbench.solvers:bfgs"}
    assert Campaign(solvers=two, problems={"numbers": [1, 2], "collections": ["nonsmooth"]}).id \
        == Campaign(solvers=dict(reversed(two.items())), problems={"collections": ["nonsmooth"], "numbers": [1, 2]}).id


def test_the_manifest_keeps_names_as_written(tmp_path):
    campaign = Campaign(solvers={"Méthode à pas": "kinkbench.solvers:powell"}, problems={"list": [["nonsmooth", 1]]})
    path = campaign.save(tmp_path)
    assert '"Méthode à pas"' in path.read_text(encoding="utf-8")
    assert Campaign.load(path).id == campaign.id
    # written once, an id must stay: the manifests and log headers of earlier runs name it
    assert path.name == f"{campaign.id}.json" and campaign.id == "66e7054b886f"


SMALL = dict(
    solvers={"NM": "kinkbench.solvers:nelder_mead", "BFGS": "kinkbench.solvers:bfgs"},
    problems={"list": [["nonsmooth", 1], ["nonsmooth", 11], ["minimax", 3], ["minimax", 7]]},
    starts=2,
    budget=150,
)


def test_a_process_pool_gives_the_serial_bits_and_a_rerun_skips_them(tmp_path):
    campaign = Campaign(**SMALL)
    serial = run_campaign(campaign, tmp_path / "serial", progress=False)
    pooled = run_campaign(campaign, tmp_path / "pool", workers=2, progress=False)
    assert len(serial) == 16 and [s.outcome for s in serial] == [s.outcome for s in pooled]
    assert checksum(tmp_path / "serial") == checksum(tmp_path / "pool")
    again = run_campaign(campaign, tmp_path / "pool", workers=2, progress=False)
    assert all(s.skipped for s in again) and checksum(tmp_path / "pool") == checksum(tmp_path / "serial")
    assert [s[4:7] for s in again] == [s[4:7] for s in pooled]  # outcome, evaluations, best
    manifest = tmp_path / "serial" / "campaigns" / f"{campaign.id}.json"
    assert Campaign.load(manifest).id == campaign.id
    header = json.loads(serial[3].path.read_text().splitlines()[0])
    assert (header["campaign"], header["start"], header["start_seed"]) == (campaign.id, 1, 1)


def test_the_checksum_sees_results_and_not_times(tmp_path):
    pytest.importorskip("scipy", reason="the campaign runs SciPy's solvers")
    run_campaign(Campaign(**SMALL), tmp_path, progress=False)
    before = checksum(tmp_path)
    path = tmp_path / "nm" / "minimax-07-n3-s1.jsonl"
    lines = [json.loads(line) for line in path.read_text().splitlines()]
    lines[0]["started"], lines[-1]["seconds"] = "1999-01-01T00:00:00+00:00", 99.0
    path.write_text("".join(json.dumps(dict(reversed(r.items()))) + "\n" for r in lines))
    assert checksum(tmp_path) == before
    lines[1]["f"] = lines[1]["f"] * (1 + 2**-52)
    path.write_text("".join(json.dumps(r) + "\n" for r in lines))
    assert checksum(tmp_path) != before


def command(*args):
    return [sys.executable, "-m", "kinkbench.campaign", *map(str, args)]


LONG = dict(
    solvers={"NM": "kinkbench.solvers:nelder_mead", "Powell": "kinkbench.solvers:powell"},
    problems={"collections": ["nonsmooth"]},
    budget=2000,
)


@pytest.fixture(scope="module")
def uninterrupted(tmp_path_factory):
    folder = tmp_path_factory.mktemp("whole")
    manifest = folder / "campaign.json"
    manifest.write_text(json.dumps(LONG))
    subprocess.run(command("run", manifest, folder / "logs"), check=True, capture_output=True)
    return manifest, checksum(folder / "logs")


def test_kill_9_then_rerun_gives_the_uninterrupted_results(tmp_path, uninterrupted):
    manifest, whole = uninterrupted
    logs = tmp_path / "logs"
    process = subprocess.Popen(command("run", manifest, logs), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    # Stopped first, so that the run half-written when we look is the one killed: a run
    # can finish between a look and a kill.
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        os.kill(process.pid, signal.SIGSTOP)
        done = list(logs.rglob("*.jsonl"))
        partial = list(logs.rglob("*.jsonl.partial"))
        if len(done) >= 10 and partial:
            break
        os.kill(process.pid, signal.SIGCONT)
        time.sleep(0.002)
    os.kill(process.pid, signal.SIGKILL)
    process.wait()
    assert partial and len(done) < whole[1]
    rerun = subprocess.run(command("run", manifest, logs), check=True, capture_output=True, text=True)
    kept = int(rerun.stdout.split(" complete before")[0].split()[-1])
    assert len(done) <= kept < whole[1]
    assert checksum(logs) == whole
    assert list(logs.rglob("*.jsonl.partial-1")), "the killed run's partial log was not set aside"


def test_two_campaigns_into_one_folder_at_once(tmp_path, uninterrupted):
    manifest, whole = uninterrupted
    logs = tmp_path / "logs"
    both = [subprocess.Popen(command("run", manifest, logs), stdout=subprocess.PIPE, text=True) for _ in range(2)]
    printed = [p.communicate()[0] for p in both]
    assert [p.returncode for p in both] == [0, 0]
    ran = [int(text.split(" ran,")[0].split()[-1]) for text in printed]
    assert sum(ran) == whole[1] and min(ran) > 0, printed
    assert checksum(logs) == whole
    assert not [p for p in logs.rglob("*") if p.suffix in (".partial", ".lock")]


def test_the_strict_reader_takes_a_campaign_folder_as_it_is(tmp_path):
    from kinkbench import logs

    campaign = Campaign(**SMALL)
    run_campaign(campaign, tmp_path, progress=False)
    table = logs.read_table([tmp_path])
    assert len(table.runs) == 16 and table.problems() == []
    assert list(table.manifests) == [str(tmp_path / "campaigns" / f"{campaign.id}.json")]


def test_selection_by_convexity_follows_the_catalogue():
    rows = kinkbench.problems()
    for want in (True, False):
        chosen = Campaign(solvers={"s": "kinkbench.solvers:nelder_mead"},
                          problems={"convex": want}).setups()
        expected = [(r.collection, r.number, r.min_n) for r in rows if r.convex is want]
        assert chosen == expected and expected
    with pytest.raises(ValueError, match="convex is true or false"):
        Campaign(solvers={"s": "kinkbench.solvers:nelder_mead"}, problems={"convex": 1}).setups()


@pytest.mark.parametrize("starts, more", [(5, ""), (6, " (and 1 more)")])
def test_a_folder_whose_logs_disagree_is_refused_naming_them(tmp_path, starts, more):
    # complete runs at budget 20; the same campaign at budget 21 must not skip them as
    # done, nor overwrite them; five are named
    first = dict(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]},
                 starts=starts)
    run_campaign(Campaign(**first, budget=20), tmp_path, progress=False)
    before = checksum(tmp_path)
    with pytest.raises(ValueError) as refused:
        run_campaign(Campaign(**first, budget=21), tmp_path, progress=False)
    text = str(refused.value)
    assert text.startswith("complete logs in the folder disagree with this campaign: ")
    assert f"{tmp_path / 'nm' / 'nonsmooth-01-n2-s0.jsonl'}: budget 20 (campaign: 21)" in text
    assert text.count("(campaign: 21)") == 5 and text.endswith("(campaign: 21)" + more)
    assert checksum(tmp_path) == before


def test_solvers_given_as_functions_run_in_process_and_are_refused_for_workers(tmp_path):
    from kinkbench.campaign import Plan, execute_plan

    def local(log):
        log.fun(log.x0)

    plan = Plan.build({"local": local}, [("nonsmooth", 1, 2)], tmp_path, budget=5)
    with pytest.raises(ValueError, match="solver 'local' cannot be sent to a worker: give it as an import path"):
        execute_plan(plan, solvers={"local": local}, workers=2, progress=False)
    assert not (tmp_path / "local").exists()
    (summary,) = execute_plan(plan, solvers={"local": local}, progress=False)
    assert summary.evaluations == 1 and summary.path.exists()


def dies_on_problem_1(log):
    if log.problem.number == 1:
        os._exit(3)
    time.sleep(0.5)
    log.fun(log.x0)


def test_a_worker_that_dies_fails_the_campaign_once_every_worker_is_gone(tmp_path):
    import concurrent.futures.process
    import multiprocessing

    campaign = Campaign(solvers={"dies": f"{__name__}:dies_on_problem_1"},
                        problems={"list": [["nonsmooth", k] for k in (1, 2, 3, 4)]}, budget=5)
    with pytest.raises(concurrent.futures.process.BrokenProcessPool):
        run_campaign(campaign, tmp_path, workers=2, progress=False)
    assert multiprocessing.active_children() == []


def interrupted_while_another_runs(log):
    if log.problem.number == 1:
        other = log.path.with_name("nonsmooth-02-n2-s0.jsonl.partial")
        deadline = time.monotonic() + 30
        while not other.exists() and time.monotonic() < deadline:
            time.sleep(0.01)
        raise KeyboardInterrupt
    time.sleep(1)
    log.fun(log.x0)


def test_a_stopped_pool_lets_the_runs_in_progress_finish_before_it_returns(tmp_path):
    # else they would go on writing (and holding) logs after the campaign has ended
    campaign = Campaign(solvers={"s": f"{__name__}:interrupted_while_another_runs"},
                        problems={"list": [["nonsmooth", 1], ["nonsmooth", 2]]}, budget=5)
    with pytest.raises(KeyboardInterrupt):
        run_campaign(campaign, tmp_path, workers=2, progress=False)
    folder = tmp_path / "s"
    assert sorted(p.name for p in folder.iterdir()) == ["nonsmooth-01-n2-s0.jsonl", "nonsmooth-02-n2-s0.jsonl"]
    outcomes = [json.loads(p.read_text().splitlines()[-1])["outcome"] for p in sorted(folder.iterdir())]
    assert outcomes == ["interrupted", "converged"] and multiprocessing.active_children() == []


@pytest.mark.parametrize("damage", [lambda lines: lines[:1], lambda lines: ["{broken"] + lines[1:]],
                         ids=["cut after its header", "header broken"])
def test_a_log_cut_after_its_header_is_set_aside_and_run_again(tmp_path, damage):
    campaign = Campaign(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]},
                        budget=20)
    (whole,) = run_campaign(campaign, tmp_path / "whole", progress=False)
    cut = tmp_path / "cut" / "nm" / whole.path.name
    cut.parent.mkdir(parents=True)
    kept = damage(whole.path.read_text().splitlines())
    cut.write_text("".join(line + "\n" for line in kept))
    (again,) = run_campaign(campaign, tmp_path / "cut", workers=1, progress=False)
    assert not again.skipped and again.evaluations == whole.evaluations
    assert checksum(tmp_path / "cut") == checksum(tmp_path / "whole")
    assert (cut.parent / (cut.name + "-1")).read_text().count("\n") == len(kept)


def test_a_campaign_starts_from_each_problems_own_point_by_default(tmp_path):
    campaign = Campaign(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]})
    assert [t.start for t in campaign.plan(tmp_path).tasks] == [0]
    # the documented defaults: 2000 evaluations, starts drawn with seed 1 and scale 0.1
    (task,) = campaign.plan(tmp_path).tasks
    assert (task.budget, task.record, task.start_seed, task.start_scale) == (2000, "all", 1, 0.1)
    (task,) = Plan.build({"NM": None}, [("nonsmooth", 1, 2)], tmp_path).tasks
    assert (task.budget, task.record, task.start_seed, task.start_scale) == (2000, "all", 1, 0.1)


@pytest.mark.parametrize("starts", [0, True, 1.5])
def test_starts_are_a_whole_number_from_1(tmp_path, starts):
    campaign = Campaign(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]},
                        starts=starts)
    with pytest.raises(ValueError, match="starts is the number of starts, at least 1"):
        campaign.plan(tmp_path)


@pytest.mark.parametrize("workers", [0, -1, True, 1.0])
def test_workers_are_a_whole_number_from_1(tmp_path, workers):
    campaign = Campaign(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]},
                        budget=5)
    with pytest.raises(ValueError, match="workers must be a whole number of at least 1"):
        run_campaign(campaign, tmp_path, workers=workers, progress=False)



def test_a_start_made_another_way_is_a_conflict(tmp_path):
    # start 1 is drawn by its seed and scale: a log of it drawn otherwise is another run
    made = dict(solvers={"NM": "kinkbench.solvers:nelder_mead"}, problems={"list": [["nonsmooth", 1]]},
                starts=2, budget=20, start_seed=7)
    runs = run_campaign(Campaign(**made, start_scale=0.1), tmp_path, progress=False)
    header = json.loads(runs[1].path.read_text().splitlines()[0])
    assert header["start_seed"] == 7
    np.testing.assert_array_equal(header["x0"], start_point(kinkbench.nonsmooth(1), 1, seed=7, scale=0.1))
    with pytest.raises(ValueError, match=r"nonsmooth-01-n2-s1.jsonl: start_scale 0.1 \(campaign: 0.2\)$"):
        run_campaign(Campaign(**made, start_scale=0.2), tmp_path, progress=False)


@pytest.mark.parametrize("args, status, says", [
    ([], 2, "the following arguments are required: command"),
    (["run", "no-such-manifest.json", "logs"], 2, "kinkbench.campaign: "),
])
def test_the_command_refuses_what_it_cannot_run(tmp_path, monkeypatch, capsys, args, status, says):
    from kinkbench import campaign as command

    monkeypatch.chdir(tmp_path)
    try:
        got = command.main(args)
    except SystemExit as stopped:
        got = stopped.code
    assert got == status and says in capsys.readouterr().err
    assert not (tmp_path / "logs").exists()


def far_from_the_start(log):
    log.fun(log.x0 + 1 / 3)  # 3500 coordinates of 18 digits: an outcome line over 64 KiB


def test_a_complete_log_with_a_long_last_line_is_kept(tmp_path):
    from kinkbench.suite import run_suite

    def run():
        (summary,) = run_suite({"far": far_from_the_start}, [("nonsmooth", 1, 3500)], tmp_path, budget=5,
                               progress=False)
        return summary

    first, again = run(), run()
    assert len(first.path.read_text().splitlines()[-1]) > 65536
    assert again.skipped and (again.outcome, again.evaluations, again.best) == (first.outcome, 1, first.best)
    assert [p.name for p in first.path.parent.iterdir()] == [first.path.name]


class Clock:
    """A perf_counter that moves on by `step` at each reading."""

    def __init__(self, now, step):
        self.now, self.step = now, step

    def perf_counter(self):
        self.now += self.step
        return self.now


def fills_the_disk(log):
    log.fun(log.x0)
    full = os.open("/dev/full", os.O_WRONLY)
    for fd in os.listdir("/proc/self/fd"):
        try:
            if os.readlink(f"/proc/self/fd/{fd}").endswith(".jsonl.partial"):
                os.dup2(full, int(fd))
        except OSError:
            pass
    os.close(full)


def test_a_log_that_cannot_be_written_is_an_error_and_the_campaign_goes_on(tmp_path, monkeypatch):
    pytest.importorskip("scipy", reason="the campaign runs SciPy's solvers")
    from kinkbench import campaign as module

    monkeypatch.setattr(module, "time", Clock(1000.0, 0.25))
    campaign = Campaign(solvers={"full": f"{__name__}:fills_the_disk", "NM": "kinkbench.solvers:nelder_mead"},
                        problems={"list": [["nonsmooth", 1]]}, budget=5)
    full, ran = run_campaign(campaign, tmp_path, progress=False)
    assert full.outcome.startswith("error: OSError: ") and "No space left on device" in full.outcome
    assert (full.path, full.evaluations, ran.outcome, ran.evaluations) == (None, 1, "budget", 5)
    assert full.seconds == ran.seconds == 0.25  # each run's own time


def test_the_command_reports_what_ran_what_was_there_and_what_is_held(tmp_path, monkeypatch, capsys):
    pytest.importorskip("scipy", reason="the campaign runs SciPy's solvers")
    from kinkbench import campaign as command

    manifest, logs = tmp_path / "c.json", tmp_path / "logs"
    manifest.write_text(json.dumps({"solvers": {"NM": "kinkbench.solvers:nelder_mead"}, "budget": 20,
                                    "problems": {"list": [["nonsmooth", 1], ["nonsmooth", 2], ["nonsmooth", 3]]}}))
    campaign = Campaign.load(manifest)
    task = campaign.plan(logs).tasks[2]
    holder = RunLog(kinkbench.nonsmooth(3), "NM", path=task.path, budget=20)  # as another process would
    # The clock is read at the start and end of the command and of each run it makes: 3 s.
    monkeypatch.setattr(command, "time", Clock(100.0, 0.5))
    assert command.main(["run", str(manifest), str(logs), "--no-progress"]) == 0
    assert capsys.readouterr().out == (f"3 runs: 2 ran, 0 complete before, 1 held by another process; 3.0 s; "
                                       f"campaign {campaign.id} in {logs}\n  NM: budget 2, held elsewhere 1\n")
    held = run_campaign(campaign, logs, progress=False)[2]
    assert (held.outcome, held.evaluations, held.skipped, held.path) == ("", 0, True, task.path)
    holder.finish("interrupted")
    assert command.main(["run", str(manifest), str(logs), "--no-progress"]) == 0
    assert capsys.readouterr().out.startswith("3 runs: 1 ran, 2 complete before, 0 held by another process; ")
    assert command.main(["checksum", str(logs)]) == 0
    digest, count = checksum(logs)
    assert capsys.readouterr().out == f"{digest}  3 logs\n" and count == 3
    manifest.write_text(manifest.read_text().replace('"budget": 20', '"budget": 21'))
    assert command.main(["run", str(manifest), str(logs)]) == 2
    assert capsys.readouterr().err.startswith("kinkbench.campaign: complete logs in the folder disagree")
    with pytest.raises(SystemExit) as stopped:
        command.main(["--help"])
    assert stopped.value.code == 0 and "Benchmark campaigns: many solvers, problems" in capsys.readouterr().out
