"""The catalogue generator (docs/catalogue.py): where its own logic could go wrong quietly."""

import json
import os
import re
import sys

import numpy as np
import pytest

kinkbench = pytest.importorskip("kinkbench")

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "docs"))
import catalogue  # noqa: E402  (docs/ is not a package)

COLLECTIONS = ("minimax", "nonsmooth")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


@pytest.fixture(scope="module")
def without_optima(tmp_path_factory):
    pytest.importorskip("matplotlib", reason="the catalogue draws its pictures with matplotlib")
    out = tmp_path_factory.mktemp("pages")
    facts, issues = catalogue.generate(str(out), str(out / "absent.json"), pictures=True, size=41)
    return out, facts, issues


def test_pages_hold_all_fifty_problems_and_their_links_resolve(without_optima):
    out, _, issues = without_optima
    assert issues == []
    anchors = {}
    for c in COLLECTIONS:
        text = read(out / f"{c}.md")
        ids = re.findall(r'<a id="([^"]+)"></a>', text)
        assert ids == [f"{c}-problem-{k}" for k in range(1, 26)]
        assert len(re.findall(r"^### Problem \d+: ", text, re.M)) == 25
        assert catalogue.NOT_YET in text
        anchors[c] = set(ids)
    links = re.findall(r"\]\((minimax|nonsmooth)\.md#([^)]+)\)", read(out / "problems.md"))
    assert sorted(links) == sorted((c, a) for c in COLLECTIONS for a in anchors[c])


def test_every_picture_referenced_exists_and_only_two_variable_problems_have_one(without_optima):
    out, facts, _ = without_optima
    for c in COLLECTIONS:
        pictures = re.findall(r"!\[[^]]*\]\((img/[^)]+)\)", read(out / f"{c}.md"))
        for p in pictures:
            assert (out / p).stat().st_size > 0, p
        two = [f.number for f in facts[c] if f.n == 2]
        assert pictures == [catalogue.picture_name(c, k) for k in two]


def write_optima(path, entries):
    data = {c: [] for c in COLLECTIONS}
    for c, number, point in entries:
        p = catalogue.make_problem(c, number)
        value, _ = catalogue.objective(p, c, point)
        data[c].append({"number": number, "n": int(p.n), "best_value": value,
                        "best_point": [float(v) for v in point], "status": "best known",
                        "ray": None, "method": "test", "starts": 1, "agreeing": 1,
                        "evidence": {"active": ["piece 2"]}, "date": "2026-12-08"})
    path.write_text(json.dumps(data, indent=2))
    return data


def test_stored_optimum_is_shown_and_a_one_ulp_change_is_reported(tmp_path):
    data = write_optima(tmp_path / "optima.json",
                        [("minimax", 24, np.zeros(20)), ("nonsmooth", 7, np.array([0.5, -0.25]))])
    _, issues = catalogue.generate(str(tmp_path), str(tmp_path / "optima.json"), pictures=False)
    assert issues == []
    assert "**f\\*:** 1 (**best known**" in read(tmp_path / "minimax.md")
    # without data/metadata.json beside the file the page falls back to the entry's own list
    assert "**Active at x\\*:** piece 2" in read(tmp_path / "nonsmooth.md")

    entry = data["nonsmooth"][0]
    entry["best_value"] = float(np.nextafter(entry["best_value"], np.inf))
    (tmp_path / "optima.json").write_text(json.dumps(data))
    _, issues = catalogue.generate(str(tmp_path), str(tmp_path / "optima.json"), pictures=False)
    assert len(issues) == 1 and issues[0].startswith("nonsmooth 7:")


def test_active_pieces_are_named_with_a_tolerance_relative_to_f_star():
    sys.path.insert(0, os.path.join(ROOT, "data"))
    import metadata

    # minimax 24 at x = 0: f_1 = 0 and f_k = -1 for k = 2..31, so max |f_k| = 1 is
    # attained by the 30 negative ones, named by sign
    p = kinkbench.minimax(24)
    groups, _ = metadata.minimax_active(p, np.zeros(20), 1.0)
    assert groups[0]["active"] == [f"-f{k}" for k in range(2, 32)]
    # a tiny f*: pieces 1e-12 apart are not all active (an absolute 1e-6 made them so)
    groups, tol = metadata.minimax_active(p, np.array(p.best_point), p.best_value)
    assert tol < 1e-12 and 17 <= len(groups[0]["active"]) <= 18


def test_pages_show_the_facts_and_the_status_words(tmp_path):
    _, issues = catalogue.generate(str(tmp_path), os.path.join(ROOT, "data", "optima.json"),
                                   pictures=False)
    assert issues == []
    ns = read(tmp_path / "nonsmooth.md")
    section25 = ns[ns.index('<a id="nonsmooth-problem-25">'):]
    assert "**fmin** = 0, **stepmax** = 1000 — **unbounded below**" in section25
    assert "along no ray but along the parabola" in section25
    for word in catalogue.STATUS_WORDS:
        assert f"**{word}**: " in ns and f"**{word}**: " in read(tmp_path / "problems.md")
    overview = read(tmp_path / "problems.md")
    unbounded = [line.split("|")[2] for line in overview.splitlines()
                 if line.startswith("| ") and "**unbounded**" in line]
    assert [u.strip().split("]")[0][1:] for u in unbounded] == ["13", "14", "25"]
    assert "**Active at x\\*:** 0, r3, r5, r6, r9" in ns
    assert "not recorded" not in ns


@pytest.mark.parametrize(
    "values, text",
    [
        ([0.0] * 48, "(0, …, 0) (all 48 components)"),
        ([i - 25.5 for i in range(1, 51)], "(-24.5, -23.5, …, 24.5)"),
        ([1e-4] * 11 + [60.0] + [1e-4] * 3, "(0.0001 (11 times), 60, 0.0001, 0.0001, 0.0001)"),
        ([1.41831, -4.79462], "(1.41831, -4.79462)"),
    ],
)
def test_shortened_vectors_keep_every_component_in_place(values, text):
    assert catalogue.vector(values) == text


def test_kinks_are_found_where_the_gradient_jumps_and_only_there():
    # nonsmooth 10 is smooth across its region borders x1 = |x2| and x1 = 0; its only
    # kink is |x2| on x1 <= 0. Rosenbrock (nonsmooth 1) has none.
    for number, box in ((10, (-2.0, 2.0, -1.5, 1.5)), (1, (-2.0, 2.0, -1.0, 3.0))):
        f = catalogue.collect("nonsmooth", number, None)
        xs, ys, _, label, grad = catalogue.grid_values(f, box, 81)
        marked = catalogue.kink_mask(label, grad)
        gx, gy = np.meshgrid(xs, ys)
        step = ys[1] - ys[0]
        if number == 1:
            assert not marked.any()
        else:
            assert np.all(np.abs(gy[marked]) <= step) and np.all(gx[marked] <= step)
            assert marked.sum() >= np.sum(xs <= 0)  # the whole half-line is found


def test_colour_scale_starts_at_f_star_and_resolves_its_neighbourhood():
    pytest.importorskip("matplotlib", reason="the colour scale is matplotlib's")
    # f* = -8 at the centre of a steep bowl: the lowest level is f* itself (not f* plus a
    # percentile of the gaps), and log spacing resolves the bottom of the bowl
    g = np.linspace(-1, 1, 101)
    r2 = g[None, :] ** 2 + g[:, None] ** 2
    levels, _, logscale = catalogue.colour_levels(-8.0 + 78.0 * r2 ** 4, -8.0)
    assert levels[0] == -8.0 and np.all(np.diff(levels) > 0)
    assert logscale and levels[1] - levels[0] <= 1e-3 * (levels[-1] - levels[0])
    # a grid that dips below f* (an unbounded problem) starts at its own lowest value
    levels, _, _ = catalogue.colour_levels(np.array([[-20.0, 5.0], [1.0, 3.0]]), -8.0)
    assert levels[0] == -20.0


def test_section_plane_is_orthonormal_through_x_star_and_holds_the_start():
    optima = catalogue.load_optima(os.path.join(ROOT, "data", "optima.json"))
    for collection, number in (("minimax", 13), ("nonsmooth", 25), ("nonsmooth", 21)):
        f = catalogue.collect(collection, number, optima)
        origin, u, v, box = catalogue.plane_of(f)
        assert np.allclose(origin, f.entry["best_point"])
        assert abs(u @ u - 1) < 1e-12 and abs(v @ v - 1) < 1e-12 and abs(u @ v) < 1e-12
        length = float(np.linalg.norm(f.start - origin))
        assert np.allclose(origin + length * u, f.start)  # x0 lies on the a axis at a = length
        assert box[0] < 0 < length < box[1] and box[2] < 0 < box[3]


def test_site_sources_have_one_page_per_problem_with_its_pictures(tmp_path):
    facts, issues = catalogue.generate(str(tmp_path / "pages"), os.path.join(ROOT, "data", "optima.json"),
                                       pictures=False)
    assert issues == []
    catalogue.write_site_sources(str(tmp_path / "site"), facts)
    pages = sorted(p.name for p in (tmp_path / "site" / "problems").iterdir())
    assert pages == sorted(f"{c}-{k:02d}.md" for c in COLLECTIONS for k in range(1, 26))
    for page in pages:
        text = read(tmp_path / "site" / "problems" / page)
        pictures = re.findall(r"!\[[^]]*\]\(\.\./(img/[^)]+)\)", text)
        assert pictures and all((tmp_path / "site" / p).exists() for p in pictures), page
        assert "\\[" in text  # a formula for KaTeX
    index = read(tmp_path / "site" / "index.md")
    assert len(re.findall(r"\]\(problems/(minimax|nonsmooth)-\d\d\.md\)", index)) == 50
