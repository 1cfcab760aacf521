"""The build step of the Python module: CMake builds the module's target, for
the interpreter that runs this script, and the file goes into the package.
The sources are listed once, in the CMake files."""

import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
  def build_extension(self, ext):
    tree = os.path.abspath(os.path.join(self.build_temp, "cmake"))
    subprocess.run(["cmake", "-S", SOURCE, "-B", tree, "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTING=OFF",
                    "-DVIEWER_BENCH=OFF", "-DPython3_EXECUTABLE=" + sys.executable], check=True)
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
    subprocess.run(["cmake", "--build", tree, "-j", jobs, "--target", "meshsubdivide_core"], check=True)
    built = glob.glob(os.path.join(tree, "src", "python", "meshsubdivide", "_core*"))
    if len(built) != 1:
      raise RuntimeError("the CMake build made %d module files, not one: %s" % (len(built), built))
    target = self.get_ext_fullpath(ext.name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(built[0], target)


setup(ext_modules=[Extension("meshsubdivide._core", sources=[])], cmdclass={"build_ext": CMakeBuild})
