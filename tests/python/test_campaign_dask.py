"""A campaign on a dask.distributed cluster of separate worker processes (on loopback)
writes the same logs, bit for bit, as the same campaign run serially."""

import pytest

from kinkbench.campaign import Campaign, checksum, run_campaign

distributed = pytest.importorskip("distributed", reason="needs python3-distributed")
pytest.importorskip("scipy", reason="the campaign runs SciPy's solvers")


def test_a_local_cluster_gives_the_serial_bits(tmp_path):
    campaign = Campaign(
        solvers={"NM": "kinkbench.solvers:nelder_mead", "BFGS": "kinkbench.solvers:bfgs"},
        problems={"list": [["nonsmooth", 1], ["nonsmooth", 11], ["minimax", 3], ["minimax", 7]]},
        starts=3,
        budget=200,
    )
    serial = run_campaign(campaign, tmp_path / "serial", progress=False)
    with distributed.LocalCluster(processes=True, n_workers=2, threads_per_worker=1, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        with distributed.get_task_stream(client) as stream:
            on_cluster = run_campaign(campaign, tmp_path / "cluster", executor=client.get_executor(),
                                      progress=False)
    # The runs went to the two worker processes, not to this one.
    assert len(stream.data) == 24 and len({task["worker"] for task in stream.data}) == 2
    assert [s.outcome for s in on_cluster] == [s.outcome for s in serial] and len(serial) == 24
    assert checksum(tmp_path / "cluster") == checksum(tmp_path / "serial")


def test_the_command_runs_on_a_local_cluster(tmp_path, capsys, monkeypatch):
    from kinkbench import campaign as command

    threads = []

    def run_campaign_seeing_the_cluster(*args, **kwargs):
        threads.append(sorted(distributed.default_client().nthreads().values()))
        return run_campaign(*args, **kwargs)

    monkeypatch.setattr(command, "run_campaign", run_campaign_seeing_the_cluster)
    manifest = tmp_path / "c.json"
    manifest.write_text('{"solvers": {"NM": "kinkbench.solvers:nelder_mead"}, '
                        '"problems": {"list": [["nonsmooth", 1]]}, "budget": 20}')
    assert command.main(["run", str(manifest), str(tmp_path / "logs"), "--local-cluster", "1",
                         "--no-progress"]) == 0
    assert threads == [[1]]  # one worker process, one run at a time in it
    assert capsys.readouterr().out.startswith("1 runs: 1 ran, 0 complete before")
    assert checksum(tmp_path / "logs")[1] == 1
