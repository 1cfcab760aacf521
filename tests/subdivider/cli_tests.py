#!/usr/bin/env python3
"""Runs the meshsubdivide program itself: its help, its errors, and its
reading of a file as tools/view-mesh prepares it.

  cli_tests.py --program PATH [--runner PATH]

--runner starts the program through another (tools/run-windows for the
Windows build under Wine). Exit status 0 when every check holds.
"""

import argparse
import importlib.machinery
import importlib.util
import os
import shutil
import struct
import subprocess
import sys
import tempfile

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Everything a modelling tool may write around the triangles.
AWKWARD_OBJ = (
    "# exported by hand\r\n"
    "mtllib m.mtl\r\n"
    "v 0 0 0\r\nvt 0 0\r\nvn 0 0 1\r\n"
    "v 1 0 0 1\r\n"
    "v 1 1 0 # corner\r\n"
    "v 0 1 \\\r\n 0\r\n"
    "v 0.5 0.5 1\r\n"
    "v 2 bad 0\r\n"
    "g side\r\n"
    "f 1/1/1 2/1/1 3/1/1 4/1/1\r\n"
    "f -2//1 -3//1 -4//1\r\n"
    "f 1 2 6\r\n"
    "f 1 2\r\n"
    "f 5 2 1 \\\r\n 4\r\n"
)


def floatBits(x):
  return struct.unpack("<I", struct.pack("<f", x))[0]


def viewMeshTriangles(text):
  """The triangles of tools/view-mesh as tuples of float32 corner bits."""
  loader = importlib.machinery.SourceFileLoader("view_mesh", os.path.join(REPOSITORY, "tools", "view-mesh"))
  spec = importlib.util.spec_from_loader("view_mesh", loader)
  module = importlib.util.module_from_spec(spec)
  loader.exec_module(module)
  vertices, triangles = module.readMesh(text)
  return [tuple(tuple(floatBits(c) for c in vertices[i]) for i in t) for t in triangles]


def writtenTriangles(text):
  vertices, triangles = [], []
  for line in text.splitlines():
    words = line.split()
    if words and words[0] == "v":
      vertices.append(tuple(floatBits(float(w)) for w in words[1:4]))
    elif words and words[0] == "f":
      triangles.append(tuple(vertices[int(w.split("/")[0]) - 1] for w in words[1:4]))
  return triangles


class Checks:
  def __init__(self, command):
    self.command = command
    self.failures = []

  def run(self, *arguments):
    return subprocess.run(self.command + list(arguments), capture_output=True, timeout=300)

  def expect(self, condition, what):
    if not condition:
      self.failures.append(what)
      print("FAILED: " + what, file=sys.stderr)


def main():
  parser = argparse.ArgumentParser()
  parser.add_argument("--program", required=True)
  parser.add_argument("--runner")
  options = parser.parse_args()
  checks = Checks(([options.runner] if options.runner else []) + [options.program])
  scratch = tempfile.mkdtemp(prefix="meshsubdivide-cli-")
  try:
    shown = checks.run("--help")
    checks.expect(shown.returncode == 0, "--help exits with status 0")
    for option in (b"-n, --passes", b"-o, --output", b"--tension", b"--progress"):
      checks.expect(option in shown.stdout, "--help names " + option.decode())

    source = os.path.join(scratch, "awkward.obj")
    with open(source, "wb") as f:
      f.write(AWKWARD_OBJ.encode())
    output = os.path.join(scratch, "out.obj")
    done = checks.run(source, "-n", "0", "-o", output)
    checks.expect(done.returncode == 0 and done.stderr == b"", "a run with -n 0 succeeds quietly: %r" % done.stderr)
    with open(output, "rb") as f:
      written = writtenTriangles(f.read().decode())
    checks.expect(written == viewMeshTriangles(AWKWARD_OBJ),
                  "the triangles are those tools/view-mesh prepares: %r" % written)

    missing = os.path.join(scratch, "missing.obj")
    failed = checks.run(missing, "-o", output)
    lines = failed.stderr.decode().splitlines()
    checks.expect(failed.returncode == 2, "a missing input ends with status 2, not %d" % failed.returncode)
    checks.expect(len(lines) == 1 and lines[0].startswith("meshsubdivide: ") and "missing.obj" in lines[0],
                  "a missing input gets one line naming it: %r" % lines)
    bad = checks.run(source, "--passes", "many")
    checks.expect(bad.returncode == 2 and bad.stdout == b"", "a bad option ends with status 2 and no mesh")
  finally:
    shutil.rmtree(scratch, ignore_errors=True)
  return 1 if checks.failures else 0


if __name__ == "__main__":
  sys.exit(main())
