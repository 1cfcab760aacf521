"""Window tests of tools/view-mesh: a user's own mesh shown through the
"Cube" entry, prepared for the fixed view, with the user's file and the
repository's Data/ left as they were.

  view_mesh_tests.py --viewer PATH [unittest arguments]
"""

import argparse
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import scene
import viewer
import window_tests
import xsession

VIEW_MESH = os.path.join(viewer.REPOSITORY, "tools", "view-mesh")
CUBE_VERTICES, CUBE_TRIANGLES = window_tests.CUBE
# The side-2 cube's corners in Data/Cube.obj's order, and its six faces as
# counter-clockwise quads seen from outside: fanned from their first corners
# they give Cube.obj's twelve triangles.
CUBE_QUADS = [(1, 2, 4, 3), (5, 7, 8, 6), (1, 5, 6, 2), (3, 4, 8, 7), (1, 3, 7, 5), (2, 6, 8, 4)]


def digest(path):
  with open(path, "rb") as f:
    return hashlib.sha256(f.read()).hexdigest()


def dataDigests():
  return {name: digest(os.path.join(window_tests.DATA, name))
          for name in sorted(os.listdir(window_tests.DATA))}


def childOf(pid):
  """The pid of the one process whose parent is pid."""
  children = []
  for entry in os.listdir("/proc"):
    if not entry.isdigit():
      continue
    try:
      with open(f"/proc/{entry}/stat") as f:
        # The name in parentheses may hold spaces; the parent follows the state.
        fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
      continue
    if int(fields[1]) == pid:
      children.append(int(entry))
  if len(children) != 1:
    raise viewer.ViewerError(f"expected one viewer under tools/view-mesh, found {children}")
  return children[0]


class ViewMeshRun(viewer.Viewer):
  """The viewer started by tools/view-mesh. The script's output and exit
  status are the ones that count; waiting for inputs to be handled watches
  the viewer."""

  def __init__(self, session, executable, meshFile, *options):
    self.viewerPid = None
    super().__init__(session, executable, command=[
        sys.executable, VIEW_MESH, meshFile, "--viewer", os.path.abspath(executable), *options])

  def watched(self):
    if self.viewerPid is None:
      self.viewerPid = childOf(self.process.pid)
    return self.viewerPid

  def workingDirectory(self):
    return os.readlink(f"/proc/{self.watched()}/cwd")

  def close(self):
    """After a failed test: the viewer ended first, so that the script
    removes its scratch directory, and its window gone, so that the next run
    cannot take it for its own."""
    if self.process.poll() is None and self.viewerPid is not None:
      try:
        os.kill(self.viewerPid, signal.SIGKILL)
      except ProcessLookupError:
        pass
      try:
        self.process.wait(timeout=10)
      except subprocess.TimeoutExpired:
        pass
      deadline = time.monotonic() + 10
      while (self.session.visibleWindows(f"^{viewer.WINDOW_TITLE}$")
             and time.monotonic() < deadline):
        time.sleep(xsession.POLL_SECONDS)
    super().close()


def objText(vertices, polygons):
  """An exporter's file: vertices, texture coordinates and a normal, then
  the polygons in slash forms inside a group with a material."""
  lines = ["# exported", "mtllib scene.mtl", "o Thing"]
  lines += ["v %.6f %.6f %.6f" % p for p in vertices]
  lines += ["vt 0 0", "vt 1 0", "vt 1 1", "vn 0 0 1", "g thing", "usemtl grey", "s 1"]
  for n, polygon in enumerate(polygons):
    forms = ("{0}", "{0}/{1}", "{0}//1", "{0}/{1}/1")
    lines.append("f " + " ".join(forms[n % 4].format(i, k % 3 + 1) for k, i in enumerate(polygon)))
  return "\n".join(lines) + "\n"


def fanned(polygons):
  return [(p[0], p[i], p[i + 1]) for p in polygons for i in range(1, len(p) - 1)]


class ViewMesh(window_tests.WindowTest):
  def setUp(self):
    self.directory = tempfile.mkdtemp(prefix="view-mesh-test-")
    self.addCleanup(shutil.rmtree, self.directory)
    self.dataBefore = dataDigests()

  def writeMesh(self, text):
    path = os.path.join(self.directory, "mine.obj")
    with open(path, "w") as f:
      f.write(text)
    return path

  def startOn(self, path, *options):
    return self.started(ViewMeshRun(self.session, window_tests.EXECUTABLE, path, *options))

  def showCube(self, path, *options, half=1.0):
    """Chooses "Cube", checks that the drawing is a cube of side 2 half
    centred and seen face on, and returns the program and its listings of
    vertices and faces."""
    program = self.startOn(path, *options)
    program.chooseModel("Cube")
    image = program.screenshot()
    self.assertDrawing(image)
    self.assertBoxNear(image.box(window_tests.LIGHT_GREY),
                       scene.projectedBox([(-half, -half, half), (half, half, half)]))
    return program, self.listing(program, "v"), self.listing(program, "f")

  def finishAndCheckLeftovers(self, program, path, before):
    scratch = program.workingDirectory()
    self.assertTrue(os.path.isfile(os.path.join(scratch, "Data", "Cube.obj")))
    self.finish(program)
    self.assertFalse(os.path.exists(scratch), "the scratch directory is removed")
    self.assertEqual(digest(path), before, "the user's file is unchanged")
    self.assertEqual(dataDigests(), self.dataBefore, "the repository's Data/ is unchanged")

  def test_farAndLargeMeshIsCentredAtTheCubesSize(self):
    # The cube 150 times as large, thousands of units away: the eye would be
    # inside it and the view would show nothing of it.
    far = [tuple(150 * c + o for c, o in zip(p, (5000, -3000, 800))) for p in CUBE_VERTICES]
    path = self.writeMesh(objText(far, CUBE_TRIANGLES))
    before = digest(path)
    program, vertices, faces = self.showCube(path)
    vertexLines, _, faceLines = scene.freshListings(CUBE_VERTICES, CUBE_TRIANGLES)
    self.assertEqual(vertices, vertexLines)
    self.assertEqual(faces, faceLines)
    self.finishAndCheckLeftovers(program, path, before)

  def test_fourCornerFacesAreFannedIntoTriangles(self):
    # A tiny cube of quads, off to one side.
    tiny = [tuple(0.001 * c + o for c, o in zip(p, (-7, 3, 0.5))) for p in CUBE_VERTICES]
    path = self.writeMesh(objText(tiny, CUBE_QUADS))
    before = digest(path)
    program, vertices, faces = self.showCube(path)
    vertexLines, _, faceLines = scene.freshListings(CUBE_VERTICES, fanned(CUBE_QUADS))
    self.assertEqual(vertices, vertexLines)
    # Both triangles of every quad, each side held by two of them (flag 0).
    self.assertEqual(faces, faceLines)
    self.finishAndCheckLeftovers(program, path, before)

  def test_asIsKeepsCoordinatesAndPolygons(self):
    # A cube of side 1, not scaled up; the viewer takes the first triangle of
    # each quad.
    small = [tuple(0.5 * c for c in p) for p in CUBE_VERTICES]
    path = self.writeMesh(objText(small, CUBE_QUADS))
    before = digest(path)
    program, vertices, faces = self.showCube(path, "--as-is", half=0.5)
    vertexLines, _, faceLines = scene.freshListings(small, [q[:3] for q in CUBE_QUADS])
    self.assertEqual(vertices, vertexLines)
    self.assertEqual([line[:-1] for line in faces], [line[:-1] for line in faceLines])
    self.finishAndCheckLeftovers(program, path, before)

  def test_unusableFileEndsWithStatusTwo(self):
    noTriangles = self.writeMesh("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\nf 1 2 7\n")
    for path in (os.path.join(self.directory, "missing.obj"), self.directory, noTriangles):
      with self.subTest(path=os.path.basename(path)):
        run = subprocess.run([sys.executable, VIEW_MESH, path, "--viewer", window_tests.EXECUTABLE],
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 2, run.stderr)
        self.assertRegex(run.stderr, r"^view-mesh: .*" + re.escape(os.path.basename(path)))
        self.assertEqual(run.stdout, "")
        self.assertEqual(self.session.visibleWindows(f"^{viewer.WINDOW_TITLE}$"), [])
    self.assertEqual(dataDigests(), self.dataBefore)


def main():
  parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
  parser.add_argument("--viewer", required=True, help="the viewer executable to drive")
  args, rest = parser.parse_known_args()
  window_tests.EXECUTABLE = os.path.abspath(args.viewer)
  unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
  main()
