#!/usr/bin/python3
"""Builds the browsable catalogue: one page per problem, the collection pages and a sortable,
filterable overview, as a static site in build/site.

    /usr/bin/python3 docs/site.py [--check]

writes the Markdown sources into build/site-src (from the library, data/optima.json and
data/metadata.json, with the pictures and data files of docs/), copies KaTeX, jQuery and
DataTables from their Debian packages (libjs-katex, libjs-jquery, libjs-jquery-datatables)
beside them, and runs `mkdocs build --strict`. With --check it then loads every page in
headless Chromium (tools/check_pages.py). It needs the kinkbench Python package importable.
"""

import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCES = os.path.join(ROOT, "build", "site-src")
SITE = os.path.join(ROOT, "build", "site")
ASSETS = {  # destination under assets/: the Debian file or folder
    "katex/katex.min.css": "/usr/share/javascript/katex/katex.min.css",
    "katex/katex.min.js": "/usr/share/javascript/katex/katex.min.js",
    "katex/auto-render.js": "/usr/share/javascript/katex/contrib/auto-render.js",
    "katex/fonts": "/usr/share/javascript/katex/fonts",
    "jquery/jquery.min.js": "/usr/share/javascript/jquery/jquery.min.js",
    "datatables/jquery.dataTables.min.js":
        "/usr/share/javascript/jquery-datatables/jquery.dataTables.min.js",
    "datatables/css/jquery.dataTables.min.css":
        "/usr/share/javascript/jquery-datatables/css/jquery.dataTables.min.css",
    "datatables/images": "/usr/share/javascript/jquery-datatables/images",
    "site.js": os.path.join(ROOT, "docs", "site", "site.js"),
    "site.css": os.path.join(ROOT, "docs", "site", "site.css"),
}


def copy_assets():
    for dest, source in ASSETS.items():
        target = os.path.join(SOURCES, "assets", dest)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if not os.path.exists(source):
            if dest.endswith("images"):
                continue  # optional: the sort arrows
            raise SystemExit(f"site.py: {source} is missing (install the Debian package)")
        if os.path.isdir(source):
            shutil.copytree(os.path.realpath(source), target, dirs_exist_ok=True)
        else:
            shutil.copyfile(os.path.realpath(source), target)


def main(argv):
    if argv not in ([], ["--check"]):
        print("usage: site.py [--check]", file=sys.stderr)
        return 2
    sys.path.insert(0, os.path.join(ROOT, "docs"))
    import catalogue

    if os.path.exists(SOURCES):
        shutil.rmtree(SOURCES)
    facts, issues = catalogue.generate(os.path.join(SOURCES, "_pages"),
                                       os.path.join(ROOT, "data", "optima.json"), pictures=False)
    shutil.rmtree(os.path.join(SOURCES, "_pages"))
    if issues:
        for line in issues:
            print(f"site.py: {line}", file=sys.stderr)
        return 1
    catalogue.write_site_sources(SOURCES, facts)
    copy_assets()
    subprocess.run([sys.executable, "-m", "mkdocs", "build", "--strict", "--quiet",
                    "-f", os.path.join(ROOT, "mkdocs.yml")], check=True, cwd=ROOT)
    # the theme's 404 page assumes a web server at the site's root; the site is read as files
    os.remove(os.path.join(SITE, "404.html"))
    pages = sum(1 for d, _, fs in os.walk(SITE) for f in fs if f.endswith(".html"))
    print(f"site.py: {pages} pages in {SITE}")
    if argv == ["--check"]:
        return subprocess.run([sys.executable, os.path.join(ROOT, "tools", "check_pages.py"),
                               SITE, "--entry", "index.html", "--require-math"]).returncode
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
