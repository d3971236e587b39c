"""Builds the kinkbench Python package: `pip install --no-build-isolation .`

The version and the library's source folders are read from CMakeLists.txt, so that both
builds compile the same files with the same floating-point rules.
"""

import pathlib
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

ROOT = pathlib.Path(__file__).resolve().parent
CMAKE = (ROOT / "CMakeLists.txt").read_text()


def version():
    match = re.search(r"project\(\s*kinkbench\s+VERSION\s+([0-9.]+)", CMAKE)
    if not match:
        raise SystemExit("setup.py: no project(kinkbench VERSION ...) line in CMakeLists.txt")
    return match.group(1)


def core_sources():
    """The files CMake globs into the library: file(GLOB KINKBENCH_CORE_SOURCES ...)."""
    block = re.search(r"file\(GLOB KINKBENCH_CORE_SOURCES\b(.*?)\)", CMAKE, re.S)
    patterns = re.findall(r"\$\{PROJECT_SOURCE_DIR\}/(\S+)", block.group(1)) if block else []
    sources = sorted({str(path.relative_to(ROOT)) for p in patterns for path in ROOT.glob(p)})
    if not sources:
        raise SystemExit("setup.py: found no library sources through CMakeLists.txt's glob")
    return sources


ParallelCompile("KINKBENCH_BUILD_JOBS").install()

setup(
    version=version(),
    packages=["kinkbench"],
    package_dir={"": "python"},
    package_data={"kinkbench": ["*.pyi", "py.typed"]},
    ext_modules=[
        Pybind11Extension(
            "kinkbench._core",
            ["python/src/core.cpp"] + core_sources(),
            include_dirs=["include", "src"],
            cxx_std=20,
            # Values follow the written order of operations, as in the CMake build.
            extra_compile_args=["-O3", "-ffp-contract=off", "-fno-fast-math"],
        )
    ],
)
