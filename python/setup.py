"""pip installation of tivra: builds the native module with the project's CMake build and packages it with
the libraries it loads and the library's resource files.

    python3 -m venv --system-site-packages venv
    venv/bin/pip install --no-build-isolation ./python

Uses the system's setuptools, CMake, compiler and pybind11; downloads nothing.
"""
import glob
import os
import re
import shutil
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


class BuildWithCMake(build_py):
    """Configures the project without tests, benchmarks and programs, builds the module and copies the
    package folder of the build, the shared libraries and the resources into the build's package."""

    def run(self):
        build = os.path.join(ROOT, "build-pip")
        subprocess.check_call(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                               "-DTIVRA_BUILD_TESTS=OFF", "-DTIVRA_BUILD_BENCH=OFF", "-DTIVRA_BUILD_TOOLS=OFF",
                               "-DPython_EXECUTABLE=" + sys.executable])
        subprocess.check_call(["cmake", "--build", build, "--target", "tivra_python",
                               "-j", os.environ.get("TIVRA_BUILD_JOBS", "2")])
        target = os.path.join(self.build_lib, "tivra")
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(os.path.join(build, "python", "tivra"), target)
        # The libraries under the names the module and each other load them by: the versioned
        # name where there is one (libtivra.so.1.1), else the plain one.
        for lib in glob.glob(os.path.join(build, "lib", "*.so*")):
            name = os.path.basename(lib)
            versioned = re.fullmatch(r"lib\w+\.so\.\d+\.\d+", name)
            plain = name.endswith(".so") and not glob.glob(lib + ".*")
            if versioned or plain:
                shutil.copy2(lib, target, follow_symlinks=True)
        shutil.copytree(os.path.join(ROOT, "resources", "Resource"), os.path.join(target, "Resource"),
                        ignore=shutil.ignore_patterns(".keep"))


setup(
    name="tivra",
    version="1.1.0",
    description="Raster resampling, warps, statistics, colour and geodesy on numpy arrays",
    packages=["tivra"],
    package_dir={"tivra": "tivra"},
    cmdclass={"build_py": BuildWithCMake},
    python_requires=">=3.9",
    zip_safe=False,
)
