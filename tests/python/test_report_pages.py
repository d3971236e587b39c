"""The page checker in headless Chromium: a built report passes it, and each fault it is
there to catch is caught on a small site made to have it."""

import os
import pathlib
import subprocess
import sys

import pytest

import fake_logs

pytest.importorskip("selenium")
pytest.importorskip("matplotlib")
if not (os.path.exists("/usr/bin/chromedriver") and os.path.exists("/usr/bin/chromium")):
    pytest.skip("needs Debian's chromium and chromium-driver", allow_module_level=True)

SOURCE = pathlib.Path(os.environ.get("KINKBENCH_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
sys.path.insert(0, str(SOURCE / "tools"))
import check_pages  # noqa: E402


@pytest.fixture(scope="module")
def browser():
    driver = check_pages.start_browser()
    yield driver
    driver.quit()


def test_a_built_report_passes_the_command(tmp_path):
    from kinkbench import report

    for solver in ("A", "B"):
        for start in (0, 1):
            fake_logs.write(tmp_path / "logs", solver, "minimax", 1, 2, start, f0=8.0, fstar=0.0,
                            values=[8.0, 1.0 + start, 0.01], budget=10)
    report.build(tmp_path / "logs", tmp_path / "site", taus=(0.1,))
    shot = tmp_path / "shot.png"
    done = subprocess.run([sys.executable, str(SOURCE / "tools" / "check_pages.py"), str(tmp_path / "site"),
                           "--screenshot", str(shot)], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stdout + done.stderr
    # 5 pictures (3 profiles, the ECDF, one convergence plot); the links: the 5 pictures,
    # their 5 SVGs, the profiles' 3 JSON files, 4 contents entries, 4 table files.
    assert done.stdout == "1 pages, 5 images, 21 links, 0 errors\n"
    assert shot.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


PAGES = {
    "index.html": """<!DOCTYPE html><html><head><title>t</title><link rel="icon" href="data:,"></head><body>
<h1 id="top">Top</h1><img src="good.svg" alt="good"><a href="other.html#here">other</a>
<a href="#top">up</a><a href="http://example.invalid/">outside, not followed</a></body></html>""",
    "other.html": """<!DOCTYPE html><html><head><title>o</title><link rel="icon" href="data:,"></head>
<body><p id="here">here</p><span class="arithmatex"><mjx-container>x</mjx-container></span></body></html>""",
    "good.svg": '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10"/></svg>',
}


def site(tmp_path, **changes):
    for name, text in {**PAGES, **changes}.items():
        (tmp_path / name).write_text(text)
    return tmp_path


def test_a_clean_site_passes_with_its_formulas(tmp_path, browser):
    errors, counts = check_pages.check_site(site(tmp_path), require_math=True, browser=browser)
    assert errors == []
    assert (counts["pages"], counts["images"], counts["links"], counts["formulas"]) == (2, 1, 3, 1)


BODY = '<!DOCTYPE html><html><head><link rel="icon" href="data:,"></head><body>{}</body></html>'


@pytest.mark.parametrize(
    "page, says",
    [
        ('<img src="missing.png" alt="x">', "image missing.png did not render"),
        ('<img src="broken.png" alt="x">', "image broken.png did not render"),
        ('<a href="nowhere.html">x</a>', "broken link nowhere.html"),
        ('<a href="other.html#gone">x</a>', "link other.html#gone: no id 'gone' on other.html"),
        ('<a href="#gone">x</a>', "link #gone: no id 'gone' on bad.html"),
        ("<script>undefinedFunction();</script>", "console error: "),
        ('<span class="arithmatex">\\(x^2\\)</span>', "1 of 1 formulas not rendered"),
        ('<span class="arithmatex"><mjx-container><mjx-merror>?</mjx-merror></mjx-container></span>',
         "1 formulas failed to render"),
    ],
)
def test_each_fault_is_caught_and_named(tmp_path, browser, page, says):
    (tmp_path / "broken.png").write_bytes(b"\x89PNG\r\n\x1a\nnot really")
    site(tmp_path, **{"bad.html": BODY.format(page)})
    errors, _ = check_pages.check_site(tmp_path, require_math=True, browser=browser)
    assert errors and all(e.startswith("bad.html: ") for e in errors), errors
    assert any(says in e for e in errors), errors


def test_require_math_wants_a_formula_somewhere(tmp_path, browser):
    site(tmp_path, **{"other.html": BODY.format('<p id="here">no formulas</p>')})
    assert check_pages.check_site(tmp_path, browser=browser)[0] == []
    errors = check_pages.check_site(tmp_path, require_math=True, browser=browser)[0]
    assert errors == [f"{tmp_path.resolve()}: --require-math, but no formula rendered on any page"]


def test_the_command_fails_on_a_missing_entry_page(tmp_path):
    site(tmp_path)
    done = subprocess.run([sys.executable, str(SOURCE / "tools" / "check_pages.py"), str(tmp_path), "--entry",
                           "start.html"], capture_output=True, text=True, timeout=120)
    assert done.returncode == 1
    assert done.stdout.splitlines() == [f"{tmp_path.resolve() / 'start.html'}: the entry page does not exist",
                                        "2 pages, 1 images, 3 links, 1 errors"]


def test_the_page_filters_hide_what_they_exclude(tmp_path, browser):
    from selenium.webdriver.support.ui import Select

    from kinkbench import report

    for collection, n in (("minimax", 2), ("nonsmooth", 5)):
        for solver in ("A", "B"):
            fake_logs.write(tmp_path / "logs", solver, collection, 1, n, f0=8.0, fstar=0.0, values=[8.0, 0.5],
                            budget=10)
    report.build(tmp_path / "logs", tmp_path / "site", taus=(0.1,))
    browser.get((tmp_path / "site" / "index.html").as_uri())

    def shown(selector):
        return sum(e.is_displayed() for e in browser.find_elements("css selector", selector))

    assert (shown("tbody tr[data-solver]"), shown("figure")) == (4, 10)
    Select(browser.find_element("name", "collection")).select_by_value("nonsmooth")
    assert (shown("tbody tr[data-solver]"), shown("figure")) == (2, 5)
    browser.find_element("css selector", "input[name=solver][value=A]").click()
    assert shown("tbody tr[data-solver]") == 1
    n_max = browser.find_element("name", "nmax")
    n_max.clear()
    n_max.send_keys("4")
    assert (shown("tbody tr[data-solver]"), shown("figure")) == (0, 4)  # the profiles have no n
