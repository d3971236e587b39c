#!/usr/bin/python3
"""Mutation run over the command, data/check.py and the benchmarking modules, each file
against its own tests.

tools/mutate.py plants faults in the library and runs the whole suite; this one covers
the parts around it, C++ and Python, and runs only the tests that exercise the mutated
file, so that a run fits in about twenty minutes:

    /usr/bin/python3 tools/mutate_selected.py --build build/default --seed 27

A C++ mutant is one change of mutate.py's kinds (comparison, arithmetic and logical
operators, integer constants, indices, two call arguments swapped); the command and its
tests are rebuilt incrementally. A Python mutant is one token: a comparison or arithmetic
operator, and/or, True/False, a `not` dropped, `is` and `is not` exchanged, an integer
constant plus one. Besides the seeded ones, every run plants FIXED: the faults an audit
found the tests blind to. A mutant is killed when its tests fail or time out, stillborn
when it does not build (not counted), and survives otherwise; a survivor judged
equivalent (EQUIVALENT, with the reason) is listed but not counted against the score.

`--all` plants every site of the files chosen with --only instead of a sample: that finds
all of a file's survivors at once, at one to three minutes a mutant for the report.

Files are restored after every mutant, also on Ctrl-C or SIGTERM, and the build is brought back at
the end. Not part of CI: it rebuilds and reruns for each mutant.
"""

import argparse
import io
import json
import os
import py_compile
import random
import resource
import signal
import subprocess
import sys
import tempfile
import time
import tokenize
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import mutate  # noqa: E402  (the C++ mutation sites)

ROOT = mutate.ROOT
PYTHON = "/usr/bin/python3"

CPP_TESTS = "KinkbenchCommand.*:KinkbenchFaults.*:PointStream.*:EvalActive.*:DerivativeCheck.*:CommandArguments.*"
CHECK_TESTS = ["tests/python/test_check_file.py", "tests/python/test_optima_check.py"]
CAMPAIGN_TESTS = ["tests/python/test_campaign.py", "tests/python/test_campaign_archive.py",
                  "tests/python/test_campaign_dask.py"]
REPORT_TESTS = ["tests/python/test_report.py", "tests/python/test_report_reading.py",
                "tests/python/test_report_pages.py"]

# File, seeded mutants, and the tests of it (a gtest filter for C++, pytest files else).
TARGETS = [
    ("src/tools/command.cpp", 5, CPP_TESTS),
    ("src/tools/eval.cpp", 5, CPP_TESTS),
    ("src/tools/list.cpp", 3, CPP_TESTS),
    ("src/tools/check.cpp", 3, CPP_TESTS),
    ("src/tools/stream.cpp", 4, CPP_TESTS),
    ("src/tools/arguments.cpp", 3, CPP_TESTS),
    ("src/tools/format.cpp", 1, CPP_TESTS),
    ("data/check.py", 8, CHECK_TESTS),
    ("python/kinkbench/runlog.py", 12, ["tests/python/test_runlog.py", "tests/python/test_suite.py"]),
    ("python/kinkbench/campaign.py", 12, CAMPAIGN_TESTS),
    ("python/kinkbench/suite.py", 6, ["tests/python/test_suite.py", "tests/python/test_runlog.py"]),
    ("python/kinkbench/starts.py", 3, ["tests/python/test_campaign.py", "tests/python/test_runlog.py"]),
    ("python/kinkbench/profiles.py", 10, ["tests/python/test_profiles.py"]),
    ("python/kinkbench/logs.py", 8, ["tests/python/test_report_reading.py", "tests/python/test_report.py",
                                     "tests/python/test_campaign.py"]),
    ("python/kinkbench/report.py", 10, REPORT_TESTS),
    ("python/kinkbench/files.py", 4, ["tests/python/test_files.py"]),
]

# (file, text, replacement): the faults the audit's tests did not see, in this tree's code.
FIXED = [
    ("src/tools/command.cpp", "if (flushed && !std::ferror(out)) return {};", "return {};"),
    ("src/tools/command.cpp", "if (c.eval.stream && status != kUsageError) return status;",
     "if (c.eval.stream || status != kUsageError) return status;"),
    ("src/tools/eval.cpp", "minimax_problems()[static_cast<size_t>(r.problem - 1)].m",
     "minimax_problems()[static_cast<size_t>(r.problem)].m"),
    ("src/tools/eval.cpp", "if (r.hessian && r.n > kMaxHessianN) {",
     "if (r.hessian && r.n >= kMaxHessianN) {"),
    ("src/tools/stream.cpp", 'find_first_of(".en")', 'find_first_of(".n")'),
    ("src/tools/stream.cpp", "return sent && std::fflush(out) == 0;", "return sent;"),
    ("src/tools/stream.cpp", "if (failure.empty() && std::ferror(in)) {", "if (false) {"),
    ("src/tools/check.cpp", "if (std::isnan(error) || error > worst) worst = error;",
     "if (error > worst) worst = error;"),
    ("src/tools/check.cpp", "for (int k = 1; k <= p->m(); ++k) {",
     "for (int k = 1; k < p->m(); ++k) {"),
    ("src/tools/tolerances.hpp", "return {1e-3, 3e-3, 1e-3, 3e-4};",
     "return {1e-3, 3e-3, 1e-3, 1e-3};"),
    ("data/check.py", "return float(a).hex() == float(b).hex()", "return float(a) == float(b)"),
    ("data/check.py", "if any(b >= a for", "if any(b > a for"),
    ("data/check.py", "if not abs(sol[name] - best) <= tol:", "if abs(sol[name] - best) > tol:"),
    ("data/check.py", "if seen.count(number) > 1:", "if False:"),
    ("data/check.py", "if missing:", "if False:"),
    ("data/check.py", 'need(isinstance(data, dict), "", "not a JSON object")', "pass"),
    ("data/check.py", "library = library_difference(problem, entry)", "library = None"),
]

# Survivors that no test can or should tell apart, keyed by (file, line, change), and by
# the 12 characters from the change on where the line has the same change twice, or by the
# line before it where the same line stands in several places of the file.
EQUIVALENT = {
    ("src/tools/eval.cpp", "int k = 0;               // minimax: the partial function evaluated",
     "'0' -> '1' (constant)"): "every path sets k before anything reads it",
    ("python/kinkbench/files.py", "values = values.astype(np.float64, copy=False)",
     "'False' -> 'True' (logic)"): "the array is only read: a copy of it gives the same file",
    ("python/kinkbench/suite.py",
     'self.bar = tqdm(total=total, unit="run", file=sys.stderr, dynamic_ncols=True)',
     "'True' -> 'False' (logic)"): "only the bar's width after a terminal is resized changes",
    ("src/tools/format.cpp",
     "const std::string text = object.dump(-1, ' ', false, Json::error_handler_t::replace);",
     "'1' -> '2' (constant)"): "any negative indent makes nlohmann's dump compact",
    ("src/tools/stream.cpp",
     "WaitingInput(int fd, Flush flush) : fd_(fd), flush_(flush), buffer_(std::size_t{1} << 16) {}",
     "'1' -> '2' (constant)"): "the buffer only sets how much one read() asks for",
    ("src/tools/stream.cpp", "return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;",
     "'!=' -> '==' (operator)"):
        "only how answers are batched into writes changes: where it says input waits that "
        "has none, poll() saw a hang-up or an error, and the read that follows returns at once",
    ("python/kinkbench/runlog.py", "return False", "'False' -> 'True' (logic)", "self.finish()"):
        "with no exception, what __exit__ returns is ignored",
    ("python/kinkbench/runlog.py", "self._lock_fd = -1", "'1' -> '2' (constant)"):
        "any negative descriptor means none; after RunHeld or the one release nothing reads it",
    ("python/kinkbench/runlog.py", "self._lock_fd = -1", "'-' -> '+' (operator)"):
        "any negative descriptor means none; after RunHeld or the one release nothing reads it",
    ("python/kinkbench/runlog.py",
     "return {k: now[k] - self._counts_before.get(k, 0) for k in now if now[k] != "
     "self._counts_before.get(k, 0)}", "'0' -> '1' (constant)"):
        "both counts come from problem.counts(), which always has every key",
    ("python/kinkbench/runlog.py", "self._partial.unlink(missing_ok=True)", "'True' -> 'False' (logic)"):
        "this log made the partial file and holds its lock: it is there to remove",
    ("python/kinkbench/campaign.py", 'tail = tail.rstrip(b"\\n").rsplit(b"\\n", 1)[-1]',
     "'1' -> '2' (constant)"): "the last piece of a split is the same however many splits",
    ("python/kinkbench/campaign.py", "CHUNKS = 400", "'400' -> '401' (constant)"):
        "only how many runs go to a worker at once",
    ("python/kinkbench/report.py",
     "budget = max([r.budget or 0 for r in group.runs] + [r.used for r in group.runs] + [1])",
     "'0' -> '1' (constant)"): "the list holds 1 already: a budget taken as 1 changes no maximum",
    ("python/kinkbench/runlog.py", "if self._fd >= 0:", "'>=' -> '>' (operator)"):
        "the lock is opened first and takes descriptor 0 when it is free: the log's never is",
    ("python/kinkbench/runlog.py", 'self.path.with_name(self.path.name + ".lock").unlink(missing_ok=True)',
     "'True' -> 'False' (logic)"): "this log made the lock file and holds it: it is there to remove",
    ("python/kinkbench/campaign.py", "pool.shutdown(wait=True, cancel_futures=True)",
     "'True' -> 'False' (logic)", "True)"): "the futures are all done or cancelled by then",
    ("python/kinkbench/report.py",
     'path.write_text(json.dumps(data, allow_nan=False) + "\\n", encoding="utf-8")',
     "'False' -> 'True' (logic)"): "the curves hold finite numbers only: steps() drops the rest",
    ("python/kinkbench/profiles.py", "frameon=False)", "'False' -> 'True' (logic)"):
        "a style, not a fault: a frame round the legend",
    ("python/kinkbench/report.py", "ax.grid(True, alpha=0.3)", "'True' -> 'False' (logic)"):
        "matplotlib turns the grid on when line properties are given, and says so",
    ("src/tools/command.cpp",
     'return option->count() > 0 && value.size() > 2 && value.starts_with("--");',
     "'>' -> '>=' (operator)", "> 0 && value"):
        "an option not given holds its empty default, which never starts with --",
    ("src/tools/eval.cpp", "double eps = -1;  // < 0: not asked for", "'1' -> '2' (constant)"):
        "any negative eps means not asked for",
    ("src/tools/format.cpp", 'return v > 0 ? "inf" : "-inf";', "'0' -> '1' (constant)"):
        "only infinities come here",
    ("python/kinkbench/runlog.py", "self._fd = -1", "'1' -> '2' (constant)"):
        "any negative descriptor means none",
    ("python/kinkbench/runlog.py", "if self._fd >= 0:", "'0' -> '1' (constant)"):
        "the lock is opened first and takes descriptor 0 when it is free: the log's never is",
    ("python/kinkbench/suite.py", "start: int = 0", "'0' -> '1' (constant)"):
        "every RunSummary is made with its start",
    ("python/kinkbench/report.py", "ax.legend(fontsize=7, frameon=False)", "'7' -> '8' (constant)"):
        "a type size, not a fault: the legend says the same at 8 pt",
    ("python/kinkbench/runlog.py", "self._fd = -1", "'-' -> '+' (operator)"):
        "the log is released once, and nothing reads the descriptor after it",
    ("python/kinkbench/runlog.py", "def hessian(self, x, packed: bool = False) -> np.ndarray:",
     "'False' -> 'True' (logic)"):
        "the constructor puts the compiled recorder's hessian in its place; this one carries the help",
    ("python/kinkbench/runlog.py", "-1 if self.budget is None else self.budget,",
     "'1' -> '2' (constant)"): "the recorder takes any negative budget as none",
    ("python/kinkbench/runlog.py", 'return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")',
     "'>' -> '>=' (operator)"): "only infinities come here",
    ("python/kinkbench/runlog.py", 'return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")',
     "'0' -> '1' (constant)"): "only infinities come here",
    ("python/kinkbench/runlog.py", "self._release(keep_partial=True)", "'True' -> 'False' (logic)",
     "except BaseException:"):
        "the partial is opened last: when anything before it fails, this log has none to remove",
    ("src/tools/command.cpp", "c.formatter->column_width(19);", "'19' -> '20' (constant)"):
        "a style, not a fault: the helps' descriptions start a column later, and still fit 80",
    ("src/tools/eval.cpp", "int problem = 1;", "'1' -> '2' (constant)"):
        "every request sets its problem before anything reads it",
    ("src/tools/list.cpp", "char buf[64];", "'[64]' -> '[64 + 1]' (index)"):
        "only the buffer's room, more than any f* and gap written need",
    ("src/tools/list.cpp", "char buf[64];", "'64' -> '65' (constant)"):
        "only the buffer's room, more than any f* and gap written need",
    ("src/tools/list.cpp", "char buf[32];", "'32' -> '33' (constant)"):
        "only the buffer's room, more than any fmin written needs",
    ("src/tools/list.cpp", "char buf[32];", "'[32]' -> '[32 + 1]' (index)"):
        "only the buffer's room, more than any fmin written needs",
    ("src/tools/list.cpp",
     "unbounded = unbounded || (is_local(row.best) && row.best->unbounded_below);",
     "'&&' -> '||' (operator)"):
        "every local f* stored is on a problem unbounded below, so the two notes coincide",
    ("src/tools/list.cpp", "local = local || (is_local(row.best) && !row.best->unbounded_below);",
     "'||' -> '&&' (operator)"):
        "every local f* stored is on a problem unbounded below: the plain note is never due",
    ("src/tools/check.cpp", "std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));",
     "'1' -> '2' (constant)"):
        "the routine takes a longer span and writes its n(n+1)/2 entries all the same",
    ("src/tools/check.cpp", "std::span<double>(out, static_cast<size_t>(n * (n + 1) / 2)));",
     "'/' -> '*' (operator)"):
        "the routine takes a longer span and writes its n(n+1)/2 entries all the same",
    ("src/tools/check.cpp", "double v = 0;", "'0' -> '1' (constant)"): "the next line sets it",
    ("src/tools/list.cpp", "double f = 0;", "'0' -> '1' (constant)"): "the next line sets it",
    ("src/tools/check.cpp", "if (std::isnan(error) || error > worst) worst = error;",
     "'>' -> '>=' (operator)"): "taking an equal error for the worst changes nothing",
    ("src/tools/check.cpp", "double fk = 0;", "'0' -> '1' (constant)"): "the next line sets it",
    ("src/tools/check.cpp", "perturb(wrong, false, number, 0, false, out);", "'0' -> '1' (constant)"):
        "a nonsmooth problem has no f_k: the perturbation does not read k for it",
    ("src/tools/check.cpp", "failures += ok ? 0 : 1;", "'1' -> '2' (constant)"):
        "the failures are only ever compared with 0",
    ("src/tools/stream.cpp", "char buf[32];", "'[32]' -> '[32 + 1]' (index)"):
        "only the buffer's room: the shortest form of a double takes at most 24 characters",
    ("src/tools/stream.cpp", "char buf[32];", "'32' -> '33' (constant)"):
        "only the buffer's room: the shortest form of a double takes at most 24 characters",
    ("src/tools/eval.cpp", "int n = 0;", "'0' -> '1' (constant)"):
        "every request sets n before anything reads it",
    ("src/tools/eval.cpp", "double value = 0;", "'0' -> '1' (constant)"):
        "every evaluation sets the value before it is printed",
    ("src/tools/eval.cpp", "double stationarity = 0;", "'0' -> '1' (constant)"):
        "set with the active pieces, and printed only with them",
    ("src/tools/eval.cpp", "double fk = 0;", "'0' -> '1' (constant)"):
        "the next line sets it",
    ("src/tools/eval.cpp", 'if (e.active.size() > 1) text += std::to_string(g + 1) + ": ";',
     "'1' -> '2' (constant)"):
        "no problem has exactly two groups of pieces (they have 1, 3, 13, 21, 30, 48 or 51 and more)",
    ("src/tools/eval.cpp", "if (fk < 0) {", "'<' -> '<=' (operator)"):
        "f_k = 0 is the kink of |f_k|, where either sign's gradient is a subgradient; the "
        "objective is 0 only where every f_k is",
    ("python/kinkbench/campaign.py", "@dataclasses.dataclass(frozen=True)", "'True' -> 'False' (logic)"):
        "nothing assigns to a task; freezing only refuses it",
    ("python/kinkbench/campaign.py", "file.seek(0, os.SEEK_END)", "'0' -> '1' (constant)"):
        "only where the window over the end starts; one without the whole last line reads the rest",
    ("python/kinkbench/campaign.py", "file.seek(max(0, size - 65536))", "'0' -> '1' (constant)"):
        "only where the window over the end starts; one without the whole last line reads the rest",
    ("python/kinkbench/campaign.py", "file.seek(max(0, size - 65536))", "'65536' -> '65537' (constant)"):
        "only the window's size; one without the whole last line reads the rest",
    ("python/kinkbench/campaign.py", "file.seek(max(0, size - 65536))", "'-' -> '+' (operator)"):
        "a window past the end reads nothing, and then the rest after the header is read",
    ("python/kinkbench/campaign.py",
     'summary = _summary(task, last["outcome"], int(last.get("evaluations", 0)),',
     "'0' -> '1' (constant)"): "every outcome line a run log writes holds its evaluations",
    ("python/kinkbench/campaign.py",
     'text = json.dumps({"id": self.id, **self.to_dict()}, indent=1, ensure_ascii=False) + "\\n"',
     "'1' -> '2' (constant)"): "only the manifest's indentation: it reads back as the same campaign",
    ("python/kinkbench/suite.py", "skipped: bool = False  # a complete log was there already",
     "'False' -> 'True' (logic)"): "every RunSummary is made with its skipped flag",
    ("python/kinkbench/profiles.py",
     "budget = max([r.budget or 0 for r in group.runs] + [r.used for r in group.runs] + [1])",
     "'0' -> '1' (constant)"): "the list holds 1 already: a budget taken as 1 changes no maximum",
    ("python/kinkbench/profiles.py",
     "fig, axes = plt.subplots(len(group_list), len(taus), figsize=(4.6 * len(taus), "
     "4.0 * len(group_list) + 0.6),", "'+' -> '-' (operator)"):
        "a style, not a fault: the picture's height",
    ("python/kinkbench/profiles.py", "sharey=True, squeeze=False)", "'True' -> 'False' (logic)"):
        "every panel sets the same y range: only the inner panels' repeated tick labels change",
    ("python/kinkbench/profiles.py", "step = max(1, math.ceil(top / 6))", "'6' -> '7' (constant)"):
        "a style, not a fault: how densely the powers of two are labelled",
    ("python/kinkbench/profiles.py", 'ax.grid(True, which="major", alpha=0.3)',
     "'True' -> 'False' (logic)"):
        "matplotlib turns the grid on when line properties are given, and says so",
    ("python/kinkbench/profiles.py", "if ncol == 1 or width <= 0.98 * fig.bbox.width:",
     "'<=' -> '<' (operator)"):
        "a legend of exactly 0.98 of the figure's width cannot be made; the margin is a taste",
    ("python/kinkbench/profiles.py", "fig.savefig(target_path, dpi=110, format=fmt, **options)",
     "'110' -> '111' (constant)"): "a style, not a fault: the PNG's resolution",
    ("python/kinkbench/logs.py", "partial: bool = False  # a .jsonl.partial file",
     "'False' -> 'True' (logic)"): "every Run is made by read_log, which gives partial",
    ("python/kinkbench/logs.py",
     "return (solver, collection, problem, n, start, -1 if seed is None else seed)",
     "'1' -> '2' (constant)"):
        "seeds are whole numbers >= 0: any negative stand-in sorts the seedless first",
    ("data/check.py", "sys.path.insert(0, HERE)", "'0' -> '1' (constant)"):
        "run as a script, data/ is on the path already; only a module of the same name could tell",
    ("python/kinkbench/runlog.py", "self._has_result = False", "'False' -> 'True' (logic)"):
        "the result is None until one is handed over, and None reads as converged without a message",
    ("python/kinkbench/report.py", 'return "inf" if value > 0 else "-inf"', "'>' -> '>=' (operator)"):
        "only infinities come here",
    ("python/kinkbench/report.py", 'return "inf" if value > 0 else "-inf"', "'0' -> '1' (constant)"):
        "only infinities come here",
    ("python/kinkbench/report.py", "ax.set_title(title, fontsize=10)", "'10' -> '11' (constant)"):
        "a type size, not a fault: the title says the same at 11 pt",
    ("python/kinkbench/report.py", "ax.legend(fontsize=7, frameon=False)", "'False' -> 'True' (logic)"):
        "a style, not a fault: a frame round the legend",
    ("python/kinkbench/report.py", 'axes[1].legend(fontsize=8, frameon=False, loc="upper left")',
     "'False' -> 'True' (logic)"): "a style, not a fault: a frame round the legend",
    ("python/kinkbench/report.py", 'axes[1].legend(fontsize=8, frameon=False, loc="upper left")',
     "'8' -> '9' (constant)"): "a type size, not a fault: the legend says the same at 9 pt",
    ("src/tools/stream.cpp", "out += word[i] < ' ' || word[i] > '~' ? '?' : word[i];",
     "'<' -> '<=' (operator)"): "a word never holds a space: blanks split the line",
    ("src/tools/stream.cpp", "while (at < line.size() && !blank(line[at]) && line[at] != ',') ++at;",
     "'<' -> '<=' (operator)"):
        "looks one byte past the line, but the word is cut at the line's end all the same",
    ("src/tools/stream.cpp", "if (line.size() < kMaxStreamLine + 2) line += static_cast<char>(c);",
     "'2' -> '3' (constant)"): "keeps one byte more of a line that is too long either way",
    ("src/tools/stream.cpp",
     "const std::size_t room = kMaxStreamLine + 2 - std::min(spill.size(), kMaxStreamLine + 2);",
     "'2' -> '3' (constant)"): "keeps one byte more of a line that is too long either way",
    ("src/tools/stream.cpp",
     "const std::size_t room = kMaxStreamLine + 2 - std::min(spill.size(), kMaxStreamLine + 2);",
     "'+' -> '-' (operator)", "+ 2);"):
        "keeps up to 4 bytes more per read only of a line already too long; it is refused all the same",
    ("src/tools/stream.cpp",
     "WaitingInput(int fd, Flush flush) : fd_(fd), flush_(flush), buffer_(std::size_t{1} << 16) {}",
     "'16' -> '17' (constant)"): "the buffer only sets how much one read() asks for",
    ("src/tools/stream.cpp", "constexpr std::size_t kOutput = std::size_t{1} << 16;",
     "'1' -> '2' (constant)"): "only how many answers gather before a write",
    ("src/tools/stream.cpp", "constexpr std::size_t kOutput = std::size_t{1} << 16;",
     "'16' -> '17' (constant)"): "only how many answers gather before a write",
    ("src/tools/stream.cpp", "return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;",
     "'1' -> '2' (constant)", "1, 0) == 1 &"):
        "only how answers are batched into writes changes: poll() then also looks at what "
        "follows on the stack, and at worst says no input waits",
    ("python/kinkbench/report.py", "fig, axes = plt.subplots(1, 2, figsize=(10, 4.4), sharey=True)",
     "'10' -> '11' (constant)"): "a style, not a fault: the picture's width",
    ("src/tools/stream.cpp", "return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;",
     "'&&' -> '||' (operator)"):
        "only how answers are batched into writes changes: where it says input waits that "
        "has none, poll() saw a hang-up or an error, and the read that follows returns at once",
    ("python/kinkbench/report.py", "end = max([r.used for r in runs] + [1])", "'1' -> '2' (constant)"):
        "only where no run made an evaluation, and then no curve is drawn either way",
    ("src/tools/stream.cpp", 'return v > 0 ? "inf" : "-inf";', "'0' -> '1' (constant)"):
        "only infinities come here",
    ("src/tools/stream.cpp", "while (at < line.size() && blank(line[at])) ++at;", "'<' -> '<=' (operator)"):
        "looks one byte past the line, where no blank lies: an answered line ends at its "
        "newline or at the end of its copy",
    ("src/tools/stream.cpp", "double fk = 0;", "'0' -> '1' (constant)"): "the next line sets it",
    ("src/tools/stream.cpp", "if (line.size() < kMaxStreamLine + 2) line += static_cast<char>(c);",
     "'<' -> '<=' (operator)"): "keeps one byte more of a line that is too long either way",
    ("src/tools/stream.cpp",
     "if (!take(std::string_view(from, std::min(size, kMaxStreamLine + 2)), ++number)) return;",
     "'2' -> '3' (constant)"): "hands on one byte more of a line that is too long either way",
    ("src/tools/stream.cpp", "return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;",
     "'==' -> '!=' (operator)"):
        "only how answers are batched into writes changes: no input is ever said to wait, so "
        "each read that filled the buffer is followed by a flush",
    ("src/tools/stream.cpp", "if (fd < 0) {", "'0' -> '1' (constant)"):
        "standard input then takes the path of a stream without a descriptor, which answers the "
        "same, each answer flushed as it is written",
    ("src/tools/arguments.cpp",
     "const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];",
     "'<=' -> '<' (operator)"): "no word compared holds a z",
    ("python/kinkbench/report.py", 'seeds = sorted({r.seed for r in mine}, key=lambda s: -1 if s is None else s)',
     "'1' -> '2' (constant)"): "seeds are whole numbers >= 0: any negative stand-in sorts the seedless first",
    ("src/tools/stream.cpp", "full_ = end_ == buffer_.size();", "'==' -> '!=' (operator)"):
        "only how answers are batched into writes changes: a short read then asks poll(), a "
        "full one flushes at once",
    ("src/tools/stream.cpp", "return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;",
     "'0' -> '1' (constant)"): "poll() waits a millisecond for input before the flush: only slower",
    ("src/tools/check.cpp", "perturb(wrong, false, number, 0, true, out);", "'0' -> '1' (constant)"):
        "a nonsmooth problem has no f_k: the perturbation does not read k for it",
    ("src/tools/list.cpp", 'if (key == "facts" && value.is_object()) {', "'&&' -> '||' (operator)"):
        "the facts are the only object in a row, and always one",
    ("src/tools/stream.cpp", "double v = 0;", "'0' -> '1' (constant)"):
        "number_word() sets it, or the line is refused before it is read",
    ("src/tools/stream.cpp", "char buf[24];", "'[24]' -> '[24 + 1]' (index)"):
        "only the buffer's room: a long long takes at most 20 characters",
    ("src/tools/stream.cpp", "char buf[24];", "'24' -> '25' (constant)"):
        "only the buffer's room: a long long takes at most 20 characters",
    ("src/tools/stream.cpp", "pollfd ready{fd_, POLLIN, 0};", "'0' -> '1' (constant)"):
        "poll() sets revents whatever it held",
    ("src/tools/stream.cpp",
     "if (!take(std::string_view(from, std::min(size, kMaxStreamLine + 2)), ++number)) return;",
     "'+' -> '-' (operator)"): "a line within one read is far shorter than either bound",
    ("src/tools/arguments.cpp", "long long n = 0;", "'0' -> '1' (constant)"):
        "read only where whole_number() set it",
    ("src/tools/arguments.cpp", "long long number = 0;", "'0' -> '1' (constant)"):
        "read only where whole_number() set it",
    ("src/tools/format.cpp", "char buf[32];", "'32' -> '33' (constant)"):
        "only the buffer's room: '%.17g' of a double takes at most 24 characters",
    ("src/tools/format.cpp", "char buf[32];", "'[32]' -> '[32 + 1]' (index)"):
        "only the buffer's room: '%.17g' of a double takes at most 24 characters",
    ("src/tools/stream.cpp", "return out_.size() < kOutput || send() || write_failed();",
     "'<' -> '<=' (operator)"): "only how many answers gather before a write",
    ("src/tools/arguments.cpp", "if (d.max_n != 0 && d.max_n == d.min_n) {", "'0' -> '1' (constant)"):
        "no problem's n is capped at 1, and none has a least n of 0",
    ("src/tools/stream.cpp", "if (at < line.size() && line[at] == ',') {", "'<' -> '<=' (operator)"):
        "looks one byte past the line, where no comma lies: an answered line ends at its "
        "newline or at the end of its copy",
    ("src/tools/format.cpp", 'return v > 0 ? "inf" : "-inf";', "'>' -> '>=' (operator)"):
        "only infinities come here",
    ("src/tools/arguments.cpp", "long long k = 0;", "'0' -> '1' (constant)"):
        "read only where whole_number() set it",
    ("src/tools/arguments.cpp", "double v = 0;", "'0' -> '1' (constant)"):
        "read only where parse_value() set it",
    ("src/tools/stream.cpp", "negate = fk < 0;", "'<' -> '<=' (operator)"):
        "f_k = 0 is the kink of |f_k|, where either sign's gradient is a subgradient; the "
        "objective is 0 only where every f_k is",
    ("src/tools/stream.cpp", "if (fd < 0) {", "'<' -> '<=' (operator)"):
        "standard input then takes the path of a stream without a descriptor, which answers the "
        "same, each answer flushed as it is written",
    ("src/tools/stream.cpp", 'return v > 0 ? "inf" : "-inf";', "'>' -> '>=' (operator)"):
        "only infinities come here",
}


# ------------------------------------------------------------------ Python mutation sites

SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "+": "-",
         "-": "+", "+=": "-=", "-=": "+=", "and": "or", "or": "and", "True": "False",
         "False": "True"}


def python_sites(path):
    """(line index, column, old, new, kind) for every one-token change of a Python file."""
    tokens = list(tokenize.generate_tokens(io.StringIO(path.read_text()).readline))
    found = []
    for i, tok in enumerate(tokens):
        row, col = tok.start
        before = tokens[i - 1].string if i > 0 else ""
        after = tokens[i + 1].string if i + 1 < len(tokens) else ""
        if tok.type == tokenize.OP and tok.string in SWAPS:
            found.append((row - 1, col, tok.string, SWAPS[tok.string], "operator"))
        elif tok.type == tokenize.NAME and tok.string in SWAPS:
            found.append((row - 1, col, tok.string, SWAPS[tok.string], "logic"))
        elif tok.type == tokenize.NAME and tok.string == "not" and before != "is":
            if tok.line[col:col + 4] == "not ":
                found.append((row - 1, col, "not ", "", "logic"))
        elif tok.type == tokenize.NAME and tok.string == "is":
            if after == "not":
                found.append((row - 1, col, "is not", "is", "logic"))
            elif tok.line[col:col + 3] == "is ":
                found.append((row - 1, col, "is ", "is not ", "logic"))
        elif tok.type == tokenize.NUMBER and tok.string.isdigit():
            found.append((row - 1, col, tok.string, str(int(tok.string) + 1), "constant"))
    return found


def fixed_site(rel, old, new):
    lines = (ROOT / rel).read_text().split("\n")
    number = next(i for i, line in enumerate(lines) if old in line)
    return (number, lines[number].index(old), old, new, "audit")


def choose(rng, only, every=False):
    chosen = []
    for rel, count, tests in TARGETS:
        if only and rel not in only:
            continue
        path = ROOT / rel
        found = python_sites(path) if rel.endswith(".py") else mutate.sites(path)
        found = sorted(set(found))
        rng.shuffle(found)
        chosen += [(rel, site, tests) for site in (found if every else found[:count])]
    for rel, old, new in FIXED:
        if only and rel not in only:
            continue
        tests = next((t for r, _, t in TARGETS if r == rel), CPP_TESTS)
        chosen.append((rel, fixed_site(rel, old, new), tests))
    return chosen


# ----------------------------------------------------------------------------- running

def bounded_files():
    # A mutant that writes without end once filled a 250 GB disk in four minutes; such a
    # write now stops at 1 GiB, and the mutant counts as killed.
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 30, 1 << 30))


def run(command, limit, env=None):
    # In a session of its own, so that a timeout also ends what the tests started: a
    # mutated command a test ran as a co-process once looped on for hours.
    with subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", env=env, preexec_fn=bounded_files, start_new_session=True) as proc:
        try:
            out, _ = proc.communicate(timeout=limit)
            return proc.returncode, out
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
            return None, ""


def first_failure(log, python):
    marker = "FAILED " if python else "[  FAILED  ] "
    for line in log.splitlines():
        if line.startswith(marker):
            return line[len(marker):].split(" ")[0]
    return ""


def try_mutant(rel, site, tests, args, env):
    """'stillborn', 'killed' or 'survived', and the first failing test."""
    python = rel.endswith(".py")
    if python:
        with tempfile.TemporaryDirectory() as scratch:
            try:
                py_compile.compile(str(ROOT / rel), cfile=os.path.join(scratch, "x.pyc"),
                                   doraise=True)
            except py_compile.PyCompileError:
                return "stillborn", ""
        command = [PYTHON, "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider"] + tests
    else:
        build = ["cmake", "--build", args.build, "-j2", "--target", "kinkbench_cli",
                 "kinkbench_tests"]
        status, _ = run(build, args.time_limit, env)
        if status != 0:
            return "stillborn", ""
        command = [str(Path(args.build) / "tests" / "kinkbench_tests"), "--gtest_filter=" + tests]
    status, log = run(command, args.time_limit, env)
    if status is None:
        return "killed", "timeout"
    return ("survived", "") if status == 0 else ("killed", first_failure(log, python))


def table(results):
    rows = []
    for rel, _, _ in TARGETS:
        mine = [r for r in results if r["file"] == rel]
        if not mine:
            continue
        counted = [r for r in mine if r["outcome"] != "stillborn"]
        equivalent = [r for r in counted if r["outcome"] == "survived" and r["equivalent"]]
        killed = sum(r["outcome"] == "killed" for r in counted)
        rows.append((rel, len(mine), len(mine) - len(counted), len(equivalent), killed,
                     len(counted) - len(equivalent) - killed))
    for rel in sorted({r["file"] for r in results} - {t[0] for t in TARGETS}):
        mine = [r for r in results if r["file"] == rel]
        counted = [r for r in mine if r["outcome"] != "stillborn"]
        killed = sum(r["outcome"] == "killed" for r in counted)
        rows.append((rel, len(mine), len(mine) - len(counted), 0, killed, len(counted) - killed))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build/default", help="configured build directory")
    parser.add_argument("--seed", type=int, default=27)
    parser.add_argument("--time-limit", type=int, default=240,
                        help="seconds per build and per test run")
    parser.add_argument("--only", action="append", help="only this file (repeatable)")
    parser.add_argument("--at", action="append",
                        help="only the chosen mutants at FILE:LINE (repeatable)")
    parser.add_argument("--all", action="store_true",
                        help="every mutation site of the chosen files, not a sample")
    parser.add_argument("--list", action="store_true", help="only print the chosen mutants")
    parser.add_argument("--report", help="write the results as JSON here")
    args = parser.parse_args()

    env = dict(os.environ, CMAKE_C_COMPILER_LAUNCHER="ccache",
               CMAKE_CXX_COMPILER_LAUNCHER="ccache", CCACHE_BASEDIR="/work",
               PYTHONPATH=str((ROOT / args.build / "python").resolve()),
               PYTHONDONTWRITEBYTECODE="1")
    # Stopped by Ctrl-C or kill, a run still puts every file back; a shell's background
    # job would otherwise ignore SIGINT.
    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGTERM, stop)
    # A key whose line has moved on would let a new survivor pass unremarked or miss an old one.
    for key in EQUIVALENT:
        if not any(text.strip() == key[1] for text in (ROOT / key[0]).read_text().split("\n")):
            print(f"an equivalent's line is gone from {key[0]}: {key[1]}", file=sys.stderr)
    mutants = choose(random.Random(args.seed), args.only, args.all)
    if args.at:
        mutants = [m for m in mutants if f"{m[0]}:{m[1][0] + 1}" in args.at]
    results = []
    if not args.list:
        # A test that fails unmutated would count every mutant of its file as killed.
        if any(not rel.endswith(".py") for rel, _, _ in mutants):
            run(["cmake", "--build", args.build, "-j2", "--target", "kinkbench_cli", "kinkbench_tests"],
                args.time_limit * 4, env)
        for tests in {tuple(t) if isinstance(t, list) else t for _, _, t in mutants}:
            python = isinstance(tests, tuple)
            command = ([PYTHON, "-m", "pytest", "-q", "-p", "no:cacheprovider", *tests] if python else
                       [str(Path(args.build) / "tests" / "kinkbench_tests"), "--gtest_filter=" + tests])
            status, log = run(command, args.time_limit, env)
            if status != 0:
                print(f"the unmutated tree fails {' '.join(tests) if python else tests}: "
                      f"{first_failure(log or '', python) or 'timeout'}", file=sys.stderr)
                return 1
    try:
        for index, (rel, site, tests) in enumerate(mutants, 1):
            path = ROOT / rel
            where = f"{rel}:{site[0] + 1}"
            change = f"{site[2]!r} -> {site[3]!r} ({site[4]})"
            if args.list:
                print(f"{index:3d} {where:34s} {change}")
                continue
            original = path.read_text()
            started = time.monotonic()
            mutant = mutate.apply(original, site)
            # The package's modules run from their copies in the build tree.
            copy = ROOT / args.build / rel if rel.startswith("python/kinkbench/") else None
            copied = copy.read_text() if copy else None
            path.write_text(mutant)
            try:
                if copy:
                    copy.write_text(mutant)
                outcome, killer = try_mutant(rel, site, tests, args, env)
            finally:
                path.write_text(original)
                if copy:
                    copy.write_text(copied)
            line = original.split("\n")[site[0]].strip()
            # Where one line has the same change twice, the key also names what follows it;
            # where the same line stands in several places, the line before it.
            raw = original.split("\n")[site[0]]
            after = raw[site[1]:site[1] + 12]
            before = next((text.strip() for text in reversed(original.split("\n")[:site[0]])
                           if text.strip()), "")
            reason = next((EQUIVALENT[key] for key in ((rel, line, change, after),
                                                        (rel, line, change, before), (rel, line, change))
                           if key in EQUIVALENT), None)
            results.append({"file": rel, "where": where, "change": change, "line": line,
                            "outcome": outcome, "killed_by": killer,
                            "equivalent": reason if outcome == "survived" else None})
            print(f"{index:3d} {outcome:9s} {where:34s} {change:40s} {killer} "
                  f"[{time.monotonic() - started:.0f} s]", flush=True)
    except KeyboardInterrupt:
        print("stopped; every mutated file is put back", file=sys.stderr)
        return 130
    finally:
        if not args.list and any(not r.endswith(".py") for r, _, _ in mutants):
            run(["cmake", "--build", args.build, "-j2"], args.time_limit * 4, env)
    if args.list:
        return 0
    print()
    print(f"| {'file':30s} | mutants | stillborn | equivalent | killed | survived |")
    print(f"|{'-' * 32}|---------|-----------|------------|--------|----------|")
    totals = [0] * 5
    for rel, *counts in table(results):
        totals = [a + b for a, b in zip(totals, counts)]
        print(f"| {rel:30s} | {counts[0]:7d} | {counts[1]:9d} | {counts[2]:10d} | "
              f"{counts[3]:6d} | {counts[4]:8d} |")
    print(f"| {'all':30s} | {totals[0]:7d} | {totals[1]:9d} | {totals[2]:10d} | "
          f"{totals[3]:6d} | {totals[4]:8d} |")
    scored = totals[3] + totals[4]
    if scored:
        print(f"score: {totals[3]} of {scored} non-equivalent mutants killed "
              f"({100.0 * totals[3] / scored:.1f} %)")
    for r in results:
        if r["outcome"] == "survived":
            note = f" (equivalent: {r['equivalent']})" if r["equivalent"] else ""
            print(f"survivor: {r['where']} {r['change']}: {r['line']}{note}")
    if args.report:
        Path(args.report).write_text(json.dumps(results, indent=1) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
