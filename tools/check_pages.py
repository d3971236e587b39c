#!/usr/bin/python3
"""Load every HTML page of a static site in headless Chromium and check what a reader sees.

    /usr/bin/python3 tools/check_pages.py SITE_DIR [--entry index.html] [--require-math]
        [--screenshot PNG]

Each page must load; every <img> must be complete with a natural width above 0; every
local link (a, link, script, img, iframe, source; images count as links too) must name a
file that exists, and a
#fragment an id on the page it points to; the browser's log must hold no error. With
--require-math, formulas must have rendered: no MathJax or KaTeX error, every element
marked as math (class arithmatex) holding rendered output, and at least one formula on the
site. Prints one line per fault and then `N pages, M images, K links, E errors`; exits 0
only without errors (2 when the browser cannot be started).

Needs Debian's chromium, chromium-driver and python3-selenium. Links to other hosts are
not followed (only loopback is reachable).
"""

from __future__ import annotations

import argparse
import html.parser
import pathlib
import sys
import tempfile
import time
import urllib.parse

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--allow-file-access-from-files"]

# What the page reports once loaded: images, links, and the state of any formulas.
PROBE = """
const images = Array.from(document.images).map(i => [i.getAttribute('src'), i.complete, i.naturalWidth]);
const links = [];
for (const [selector, attribute] of [['a[href]', 'href'], ['link[href]', 'href'], ['script[src]', 'src'],
    ['img[src]', 'src'], ['iframe[src]', 'src'], ['source[src]', 'src']]) {
  document.querySelectorAll(selector).forEach(e => links.push([e.getAttribute(attribute), e[attribute]]));
}
const marked = Array.from(document.querySelectorAll('.arithmatex'));
const rendered = document.querySelectorAll('mjx-container, .katex, .MathJax').length;
const unrendered = marked.filter(e => !e.querySelector('mjx-container, .katex, .MathJax')).length;
const failed = document.querySelectorAll('mjx-merror, .katex-error, .MathJax_Error, merror').length;
const ids = Array.from(document.querySelectorAll('[id]')).map(e => e.id)
  .concat(Array.from(document.querySelectorAll('a[name]')).map(e => e.getAttribute('name')));
return {images, links, marked: marked.length, rendered, unrendered, failed, ids,
        ready: document.readyState};
"""


class _Ids(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id" or (tag == "a" and name == "name"):
                self.ids.add(value)


def ids_in(path: pathlib.Path) -> set:
    parser = _Ids()
    parser.feed(path.read_text(encoding="utf-8", errors="replace"))
    return parser.ids


def start_browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={tempfile.mkdtemp(prefix='check-pages-')}")
    options.add_argument("--window-size=1400,1800")
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def check_site(site: pathlib.Path, entry: str = "index.html", require_math: bool = False,
               screenshot: pathlib.Path | None = None, browser=None) -> tuple[list[str], dict]:
    """The faults found, and the counts of pages, images and links checked."""
    site = site.resolve()
    errors: list[str] = []
    counts = {"pages": 0, "images": 0, "links": 0, "formulas": 0}
    pages = sorted(site.rglob("*.html"))
    if not (site / entry).is_file():
        errors.append(f"{site / entry}: the entry page does not exist")
    if not pages:
        errors.append(f"{site}: no HTML pages")
        return errors, counts
    own = browser is None
    if own:
        browser = start_browser()
    id_cache: dict = {}
    try:
        for page in pages:
            name = page.relative_to(site)
            counts["pages"] += 1
            browser.get_log("browser")  # drop what an earlier page left
            browser.get(page.as_uri())
            state = _probe(browser, require_math)
            if state["ready"] != "complete":
                errors.append(f"{name}: did not finish loading")
            for src, complete, width in state["images"]:
                counts["images"] += 1
                if not complete or not width:
                    errors.append(f"{name}: image {src} did not render")
            for raw, resolved in state["links"]:
                problem = _link_problem(raw, resolved, page, site, state["ids"], id_cache)
                if problem is not None:
                    counts["links"] += 1
                    if problem:
                        errors.append(f"{name}: {problem}")
            for entry_line in browser.get_log("browser"):
                if entry_line.get("level") == "SEVERE":
                    errors.append(f"{name}: console error: {entry_line.get('message')}")
            counts["formulas"] += state["rendered"]
            if require_math:
                if state["failed"]:
                    errors.append(f"{name}: {state['failed']} formulas failed to render")
                if state["unrendered"]:
                    errors.append(f"{name}: {state['unrendered']} of {state['marked']} formulas not rendered")
            if screenshot is not None and page == (site / entry).resolve():
                browser.set_window_size(1400, min(12000, browser.execute_script(
                    "return document.documentElement.scrollHeight") + 40))
                browser.save_screenshot(str(screenshot))
                browser.set_window_size(1400, 1800)
    finally:
        if own:
            browser.quit()
    if require_math and counts["formulas"] == 0:
        errors.append(f"{site}: --require-math, but no formula rendered on any page")
    return errors, counts


def _probe(browser, require_math: bool) -> dict:
    state = browser.execute_script(PROBE)
    # Formulas are typeset after the load event; give them a moment.
    deadline = time.monotonic() + (8 if require_math else 0)
    while require_math and state["unrendered"] and time.monotonic() < deadline:
        time.sleep(0.25)
        state = browser.execute_script(PROBE)
    return state


def _link_problem(raw: str, resolved: str, page: pathlib.Path, site: pathlib.Path, ids, id_cache):
    """None for a link not checked (another host, mailto, data:), "" for a good one, else
    the fault."""
    if raw is None:
        return None
    parsed = urllib.parse.urlparse(resolved or "")
    if parsed.scheme in ("data", "mailto", "javascript", "about") or (parsed.scheme and parsed.scheme != "file"):
        return None
    target = pathlib.Path(urllib.parse.unquote(parsed.path))
    if raw.startswith("#"):
        target = page
    if target.is_dir():
        target = target / "index.html"
    if not target.exists():
        return f"broken link {raw} (no {target})"
    if site not in target.resolve().parents and target.resolve() != site:
        return f"link {raw} leaves the site"
    fragment = parsed.fragment
    if fragment and target.suffix == ".html":
        known = ids if target == page else id_cache.setdefault(target, ids_in(target))
        if fragment not in known:
            return f"link {raw}: no id {fragment!r} on {target.name}"
    return ""


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", type=pathlib.Path, help="folder of the static site")
    parser.add_argument("--entry", default="index.html", help="page that must exist (default index.html)")
    parser.add_argument("--require-math", action="store_true", help="formulas must have rendered")
    parser.add_argument("--screenshot", type=pathlib.Path, help="save the entry page, whole, as this PNG")
    args = parser.parse_args(argv)
    if not args.site.is_dir():
        print(f"check_pages: {args.site}: not a folder", file=sys.stderr)
        return 2
    try:
        errors, counts = check_site(args.site, args.entry, args.require_math, args.screenshot)
    except Exception as error:  # the browser or its driver: one line, not a traceback
        if type(error).__module__.startswith("selenium") or isinstance(error, (ImportError, OSError)):
            first = str(error).strip().splitlines()[0] if str(error).strip() else type(error).__name__
            print(f"check_pages: cannot run headless Chromium: {first}", file=sys.stderr)
            return 2
        raise
    for line in errors:
        print(line)
    print(f"{counts['pages']} pages, {counts['images']} images, {counts['links']} links, {len(errors)} errors")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
