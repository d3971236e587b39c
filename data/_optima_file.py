"""Reading and writing data/optima.json: each collection's script replaces only its own
entries, so the two can be re-run independently."""

import json
import os

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "optima.json")
SECTIONS = ("minimax", "nonsmooth")


def update(collection, entries, path=DATA):
    """Replace these entries in the file's section for collection; everything else stays."""
    data = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    section = {e["number"]: e for e in data.get(collection, [])}
    section.update({e["number"]: e for e in entries})
    data[collection] = [section[i] for i in sorted(section)]
    ordered = {name: data.get(name, []) for name in SECTIONS}
    ordered.update({k: v for k, v in data.items() if k not in ordered})
    with open(path, "w", encoding="utf-8") as f:
        json.dump(ordered, f, indent=2, allow_nan=False)
        f.write("\n")
