"""Reading and writing data/optima.json, and the collection scripts' command line: each
script replaces only its own entries, so the two can be re-run independently; a stored
entry gives way only to one at least as good, and a quick run never writes the file."""

import json
import os
import sys

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "optima.json")
SECTIONS = ("minimax", "nonsmooth")


def _same_apart_from_date(a, b):
    return {k: v for k, v in a.items() if k != "date"} == {k: v for k, v in b.items() if k != "date"}


def merge(stored, entries, replace_worse=False):
    """The section after taking in entries, and what became of each: an entry replaces the
    stored one only when its best_value is at least as good (lower), or with
    replace_worse; an entry equal to the stored one but for its date keeps the stored
    one, date included, so that a reproduction that finds nothing new changes nothing."""
    section = {e["number"]: e for e in stored}
    report = []
    for e in entries:
        old = section.get(e["number"])
        if old is None:
            action = "added"
        elif _same_apart_from_date(old, e):
            action = "unchanged"
        elif e["best_value"] <= old["best_value"] or replace_worse:
            action = "replaced" if e["best_value"] <= old["best_value"] else "replaced (worse)"
        else:
            action = "kept (new is worse)"
        if action.startswith(("added", "replaced")):
            section[e["number"]] = e
        report.append((e["number"], None if old is None else old["best_value"], e["best_value"],
                       action))
    return [section[i] for i in sorted(section)], report


def update(collection, entries, path=DATA, replace_worse=False, source=None):
    """Take these entries into the file's section for collection (see merge(); everything
    else stays), reading the stored entries from source (default: path). The file is
    rewritten only when its text changes, and then through a temporary file, so that an
    interrupted run leaves the old one whole. Returns merge()'s report."""
    data = {}
    source = path if source is None else source
    if os.path.exists(source):
        with open(source, encoding="utf-8") as f:
            data = json.load(f)
    data[collection], report = merge(data.get(collection, []), entries, replace_worse)
    ordered = {name: data.get(name, []) for name in SECTIONS}
    ordered.update({k: v for k, v in data.items() if k not in ordered})
    text = json.dumps(ordered, indent=2, allow_nan=False) + "\n"
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return report
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temporary, path)
    return report


def print_report(collection, report, stream=None):
    """One line per problem: the stored and the new value and what was done."""
    stream = sys.stdout if stream is None else stream
    for number, old, new, action in report:
        before = "-" if old is None else f"{old!r}"
        print(f"  {collection} {number:2d}: stored {before}, found {new!r}: {action}", file=stream,
              flush=True)


USAGE_OPTIONS = "[--quick | --replace-worse] [--output FILE]"
OPTIONS_HELP = """\
  --quick          a few starts per problem, to try the scripts out: compares with
                   data/optima.json and writes nothing there (only to --output FILE)
  --replace-worse  let an entry replace a stored one that is better (otherwise only
                   entries at least as good as the stored ones replace them); with
                   --quick, only together with --output
  --output FILE    write the merged file there instead of data/optima.json"""


def options(argv, program):
    """Splits argv into (flags, other words); flags is None after a usage line, and then
    the second item is the exit status (0 after --help)."""
    flags = {"quick": False, "replace_worse": False, "output": None}
    words = []
    it = iter(argv)
    for a in it:
        if a == "--quick":
            flags["quick"] = True
        elif a == "--replace-worse":
            flags["replace_worse"] = True
        elif a == "--output" or a.startswith("--output="):
            value = a.partition("=")[2] if "=" in a else next(it, None)
            if not value:
                print(f"{program}: --output needs a file name", file=sys.stderr)
                return None, 2
            flags["output"] = value
        elif a in ("-h", "--help"):
            print(f"usage: {program} {USAGE_OPTIONS} [NUMBERS...]\n{OPTIONS_HELP}")
            return None, 0
        elif a.startswith("-"):
            print(f"{program}: unknown option {a!r}; usage: {program} {USAGE_OPTIONS} "
                  "[NUMBERS...]", file=sys.stderr)
            return None, 2
        else:
            words.append(a)
    if flags["quick"] and flags["replace_worse"] and not flags["output"]:
        print(f"{program}: --quick never replaces stored entries; --replace-worse needs "
              "--output FILE with it", file=sys.stderr)
        return None, 2
    if flags["output"] and os.path.abspath(flags["output"]) == os.path.abspath(DATA) \
            and flags["quick"]:
        print(f"{program}: --quick never writes data/optima.json", file=sys.stderr)
        return None, 2
    return flags, words


def take(collection, entries, flags, path=DATA, fresh_output=True):
    """What a run does with its entries: a quick run only compares them with the stored
    file (and writes --output if given); a full run merges them into the file, or into
    --output. --output starts from the stored file (fresh_output) or from itself (for a
    second collection of the same run). Prints the report and returns it."""
    out = flags["output"]
    source = path if out and fresh_output else None
    if flags["quick"]:
        stored = []
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                stored = json.load(f).get(collection, [])
        _, report = merge(stored, entries)
        report = [(i, old, new, "compared only (quick run)") for i, old, new, _ in report]
        if out:
            update(collection, entries, out, flags["replace_worse"], source=source)
    else:
        report = update(collection, entries, out or path, flags["replace_worse"], source=source)
    print_report(collection, report)
    return report


def problem_numbers(words, program):
    """The problem numbers among words (all 25 when none), or None after a usage line."""
    try:
        numbers = [int(w) for w in words]
    except ValueError:
        print(f"usage: {program} {USAGE_OPTIONS} [NUMBERS...]", file=sys.stderr)
        return None
    if any(not 1 <= i <= 25 for i in numbers):
        print(f"{program}: problem numbers run from 1 to 25", file=sys.stderr)
        return None
    return sorted(numbers) if numbers else list(range(1, 26))


def need_kinkbench(program):
    """Whether this interpreter can import the kinkbench package; if not, says how to run."""
    try:
        import kinkbench  # noqa: F401
    except ImportError:
        print(f"{program}: {sys.executable} cannot import the kinkbench package; run this with "
              ".venv/bin/python after the README's Python install, or with "
              "PYTHONPATH=build/default/python /usr/bin/python3 after the test command",
              file=sys.stderr)
        return False
    return True


def main(argv, program, solve_one, row, collection):
    """A collection script's command line: [--quick | --replace-worse] [--output FILE]
    [NUMBERS...]; solves each problem, prints its row, then hands the entries to take()."""
    flags, words = options(argv, program)
    if flags is None:
        return words
    numbers = problem_numbers(words, program)
    if numbers is None:
        return 2
    if not need_kinkbench(program):
        return 2
    entries = []
    for i in numbers:
        entries.append(solve_one(i, flags["quick"]))
        print(row(entries[-1]), flush=True)
    take(collection, entries, flags)
    return 0
