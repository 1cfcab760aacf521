"""pip installs the module from the checkout as a user does, without network:
a virtual environment that sees Debian's packages, pip install
--no-build-isolation of the repository, then the installed package in use
from another folder, stubs and all.

PIP_TEST_VENV names the environment's folder (made afresh); the interpreter
that runs pytest makes it.
"""

import os
import shutil
import subprocess
import sys

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

USE = """
import os, meshsubdivide
here = os.path.dirname(meshsubdivide.__file__)
print(sorted(name for name in os.listdir(here) if not name.startswith("__pycache__")))
print(meshsubdivide.subdivide(*meshsubdivide.read(os.path.join({data!r}, "Cube.obj")), passes=2))
"""


def testPipInstallsAWorkingPackageFromTheCheckout(tmp_path):
  venv = os.environ.get("PIP_TEST_VENV", str(tmp_path / "venv"))
  shutil.rmtree(venv, ignore_errors=True)
  subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True)
  python = os.path.join(venv, "bin", "python")
  subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "."], cwd=REPOSITORY, check=True)
  environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
  used = subprocess.run([python, "-c", USE.format(data=os.path.join(REPOSITORY, "Data"))], cwd=str(tmp_path),
                        env=environment, capture_output=True, text=True, check=True)
  listing, mesh = used.stdout.splitlines()
  assert listing.startswith("['__init__.py', '__init__.pyi', '_core.") and listing.endswith(".so', 'py.typed']")
  # The cube: 8 + 18 vertices and 48 triangles after one pass, 26 + 72 and 192 after two.
  assert mesh == "Mesh(98 vertices, 192 faces)"
