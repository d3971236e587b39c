#!/usr/bin/python3
"""Make the reference campaign archive, data/reference-campaign.tar.xz: the SciPy solvers
of the reference run (examples/python/reference_run.py) from several starts, for users to
put their own solver beside.

usage: PYTHONPATH=build/default/python /usr/bin/python3 data/reference_campaign.py [--workers N]

Two campaigns into one folder: BFGS (with the library's gradients, for minimax problems
the subgradient), Nelder-Mead and Powell on all 50 problems, and SLSQP on the epigraph of
the 25 minimax problems; each at the minimum n, starts 0..4, budget 2000, recording the
improvements only (all that profiles need). The archive holds the logs and both
manifests under reference-campaign/; unpack it and run your solver into the same folder
with the same budget and starts, then report on the folder.
"""

import argparse
import pathlib
import sys
import tarfile
import tempfile

from kinkbench.campaign import Campaign, checksum, run_campaign

HERE = pathlib.Path(__file__).resolve().parent
COMMON = dict(starts=5, budget=2000, record="improvements",
              metadata={"made_by": "data/reference_campaign.py"})
CAMPAIGNS = [
    Campaign(solvers={"BFGS": "kinkbench.solvers:bfgs", "Nelder-Mead": "kinkbench.solvers:nelder_mead",
                      "Powell": "kinkbench.solvers:powell"},
             problems={"collections": ["minimax", "nonsmooth"]}, **COMMON),
    Campaign(solvers={"SLSQP (epigraph)": "kinkbench.solvers:slsqp_epigraph"},
             problems={"collections": ["minimax"]}, **COMMON),
]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--workers", type=int, default=None)
    parser.add_argument("--output", default=str(HERE / "reference-campaign.tar.xz"))
    args = parser.parse_args(argv[1:])
    with tempfile.TemporaryDirectory() as scratch:
        folder = pathlib.Path(scratch) / "reference-campaign"
        runs = []
        for campaign in CAMPAIGNS:
            runs += run_campaign(campaign, folder, workers=args.workers, progress=False)
        digest, count = checksum(folder)

        def normalised(info):
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            info.mtime = 0
            return info

        with tarfile.open(args.output, "w:xz", preset=9) as archive:
            for path in sorted(folder.rglob("*")):
                if path.is_file():
                    archive.add(path, arcname=path.relative_to(folder.parent).as_posix(), filter=normalised)
    size = pathlib.Path(args.output).stat().st_size
    print(f"{len(runs)} runs, {count} logs, checksum {digest}; {args.output}: {size / 1024:.0f} KiB")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
