"""Build step of the ljungcv package: the module and the host library from source.

The package carries no compiled code of its own. Its values come from the
module (libcvmodule.so) evaluated through the stand-in host's C interface
(libcvhost.so), and both are built here from this repository's sources with
CMake, exactly as the project builds them: the project's Release build with
its own compiler flags for the module (IEEE double, no contraction, run-time
log). Flags from the environment (CFLAGS, CXXFLAGS, LDFLAGS, ...) would
change the module's code, so they are not passed on. The two libraries go
into the package as ljungcv/_lib/, where the binding loads them.

The sources come from CVMODULE_SOURCE_DIR when set, else from native/ in an
unpacked sdist (which carries them there), else from the repository the
package directory lies in.
"""

import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from setuptools.command.sdist import sdist
from wheel.bdist_wheel import bdist_wheel

HERE = Path(__file__).resolve().parent
LIBRARIES = ("libcvhost.so", "libcvmodule.so")

# Variables that CMake or the compiler would read and that could change the
# module's flags or compiler; the project's defaults apply instead.
FLAG_VARIABLES = ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS", "CC", "CXX",
                  "CMAKE_BUILD_TYPE", "CMAKE_GENERATOR", "CMAKE_TOOLCHAIN_FILE",
                  "CMAKE_C_COMPILER_LAUNCHER", "CMAKE_CXX_COMPILER_LAUNCHER")


# What an sdist leaves out of the repository: this package (it is the sdist's
# root already), the other front-ends, version control, build trees.
NOT_NATIVE = ("python", "r", "docs", "out")


def source_dir():
    default = HERE / "native" if (HERE / "native").is_dir() else HERE.parent
    root = Path(os.environ.get("CVMODULE_SOURCE_DIR", default)).resolve()
    lists = root / "CMakeLists.txt"
    if not lists.is_file() or "project(cvmodule" not in lists.read_text(encoding="utf-8"):
        sys.exit(f"ljungcv: {root} is not the cvmodule source tree "
                 "(set CVMODULE_SOURCE_DIR to the repository)")
    return root


# The build's stages, each announced with how far it is: pip shows them
# with -v (otherwise only when the build fails), python -m build always.
STAGES = 3


def run(stage, what, command, env):
    print(f"ljungcv build: [{stage}/{STAGES}] {what}: {' '.join(str(part) for part in command)}", flush=True)
    subprocess.run([str(part) for part in command], env=env, check=True)


class BuildWithModule(build_py):
    """build_py, then CMake: the module and libcvhost into ljungcv/_lib."""

    def run(self):
        super().run()
        env = {key: value for key, value in os.environ.items() if key not in FLAG_VARIABLES}
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        tree = Path(self.build_lib).resolve().parent / "cmake"
        run(1, "configuring", ["cmake", "-S", source_dir(), "-B", tree, "-DCMAKE_BUILD_TYPE=Release",
             "-DCVMODULE_BUILD_TESTS=OFF", "-DCVMODULE_BUILD_TOOL=OFF",
             "-DCVMODULE_BUILD_BENCHMARKS=OFF"], env)
        run(2, "building the module and libcvhost (the longest stage)",
            ["cmake", "--build", tree, "-j", jobs], env)
        target = Path(self.build_lib) / "ljungcv" / "_lib"
        if target.exists():
            shutil.rmtree(target)
        target.mkdir(parents=True)
        # Installed, then picked from the prefix: the libraries as the
        # project installs them (no build-tree run paths).
        with tempfile.TemporaryDirectory() as prefix:
            run(3, "installing into the package", ["cmake", "--install", tree, "--prefix", prefix], env)
            for name in LIBRARIES:
                found = sorted(Path(prefix).rglob(name))
                if not found:
                    sys.exit(f"ljungcv: the CMake build installed no {name}")
                shutil.copyfile(found[0].resolve(), target / name)


def native_files(root):
    """The repository's files that the module's build may need, relative to root."""
    for folder, subfolders, files in os.walk(root):
        here = Path(folder).relative_to(root)
        subfolders[:] = sorted(name for name in subfolders
                               if not name.startswith((".", "build", "__pycache__"))
                               and not (here == Path(".") and name in NOT_NATIVE))
        yield from (here / name for name in sorted(files) if not name.startswith("."))


class SourceWithNative(sdist):
    """The sdist carries the module's sources under native/: a wheel builds from it alone."""

    def make_release_tree(self, base_dir, files):
        super().make_release_tree(base_dir, files)
        root = source_dir()
        for relative in native_files(root):
            target = Path(base_dir) / "native" / relative
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(root / relative, target)


class BinaryDistribution(Distribution):
    """Holds compiled libraries: built and installed as platform files."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    """The wheel holds Linux libraries but no Python extension: any Python 3."""

    def get_tag(self):
        return "py3", "none", super().get_tag()[2]


setup(distclass=BinaryDistribution,
      cmdclass={"build_py": BuildWithModule, "sdist": SourceWithNative, "bdist_wheel": PlatformWheel})
