"""Builds the kinkbench Python package: `pip install --no-build-isolation .`

The version, the library's source folders and the optima table's data file and script
are read from CMakeLists.txt, so that both builds compile the same files with the same
floating-point rules. The table is generated with CMake's script mode, so cmake must be
on PATH.
"""

import os
import pathlib
import re
import subprocess

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
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


def cmake_path(pattern, what):
    match = re.search(pattern, CMAKE)
    if not match:
        raise SystemExit(f"setup.py: CMakeLists.txt no longer names {what} as expected")
    return ROOT / match.group(1)


class BuildExt(build_ext):
    """Generates the optima table as the CMake build does, then compiles."""

    def build_extensions(self):
        data = cmake_path(r"set\(KINKBENCH_OPTIMA \$\{PROJECT_SOURCE_DIR\}/(\S+)\)",
                          "the optima file")
        script = cmake_path(r"-P \$\{PROJECT_SOURCE_DIR\}/(\S+embed_optima\S*)",
                            "the optima script")
        table = pathlib.Path(self.build_temp, "generated", "optima_table.cpp").resolve()
        table.parent.mkdir(parents=True, exist_ok=True)
        try:
            subprocess.run(
                ["cmake", f"-DINPUT={data}", f"-DOUTPUT={table}", "-P", str(script)],
                check=True,
            )
        except (OSError, subprocess.CalledProcessError) as error:
            raise SystemExit(f"setup.py: cannot generate the optima table with cmake: {error}")
        source = os.path.relpath(table, ROOT)
        for extension in self.extensions:
            if source not in extension.sources:
                extension.sources.append(source)
        super().build_extensions()
        # problems() reads the per-problem facts beside the package's modules
        facts = pathlib.Path(self.build_lib, "kinkbench", "metadata.json")
        facts.parent.mkdir(parents=True, exist_ok=True)
        facts.write_bytes((ROOT / "data" / "metadata.json").read_bytes())


ParallelCompile("KINKBENCH_BUILD_JOBS").install()

setup(
    version=version(),
    cmdclass={"build_ext": BuildExt},
    packages=["kinkbench"],
    package_dir={"": "python"},
    package_data={"kinkbench": ["*.pyi", "py.typed"]},
    ext_modules=[
        Pybind11Extension(
            "kinkbench._core",
            ["python/src/core.cpp", "python/src/pieces.cpp", "python/src/recorder.cpp"] + core_sources(),
            include_dirs=["include", "src"],
            define_macros=[("KINKBENCH_VERSION", f'"{version()}"')],
            cxx_std=20,
            # Values follow the written order of operations, as in the CMake build.
            extra_compile_args=["-O3", "-ffp-contract=off", "-fno-fast-math"],
        )
    ],
)
