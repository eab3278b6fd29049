"""Builds the nlpeval Python package with the repository's CMake tree.

    python3 -m venv --system-site-packages ENV
    ENV/bin/python -m pip install --no-build-isolation ./python

The extension nlpeval._nlpeval and the library's shared objects it links are installed
together inside the package directory, found there through their $ORIGIN run path.
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

REPOSITORY = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    """Configures and builds the CMake tree, then installs its "python" component (the
    modules, the extension and the shared objects) into the package being built."""

    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        package_root = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        configure = [
            "cmake", "-S", str(REPOSITORY), "-B", str(build_dir), "-G", "Ninja",
            "-DCMAKE_BUILD_TYPE=Release", f"-DPython_EXECUTABLE={sys.executable}",
            "-DNLPEVAL_PYTHON=ON", "-DNLPEVAL_BUILD_TESTS=OFF", "-DNLPEVAL_BUILD_BENCH=OFF",
            "-DNLPEVAL_PYTHON_INSTALL_DIR=.",
        ]
        if shutil.which("ccache"):
            configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        jobs = os.environ.get("NLPEVAL_BUILD_JOBS", str(min(os.cpu_count() or 1, 2)))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "nlpeval_python",
                        "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python",
                        "--prefix", str(package_root)], check=True)


setup(
    name="nlpeval",
    version="0.1.0",
    description="Evaluation of NLP model predictions (ner, pos, cws, relation, attribute, "
                "event, dp, srl)",
    python_requires=">=3.9",
    packages=["nlpeval", "nlpeval.metrics"],
    ext_modules=[Extension("nlpeval._nlpeval", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
