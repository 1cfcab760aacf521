"""Window tests: the real viewer in a private X server, driven with the menu,
keys and drags, judged by screenshots, listings and exit statuses.

  window_tests.py --viewer PATH [unittest arguments, e.g. a class name]

Each class gets its own Xvfb; each test starts the program afresh. With
UPDATE_PICTURE=1 the Picture case also writes docs/cylinder-two-passes.png.
"""

import argparse
import functools
import os
import shutil
import sys
import tempfile
import unittest

import images
import scene
import viewer
import xsession

LIGHT_GREY = images.rgb(scene.OUTLINE_LEVEL, scene.OUTLINE_LEVEL, scene.OUTLINE_LEVEL)
DATA = os.path.join(viewer.REPOSITORY, "Data")
PICTURE = os.path.join(viewer.REPOSITORY, "docs", "cylinder-two-passes.png")
CUBE = scene.readObj(os.path.join(DATA, "Cube.obj"))
SMALL_CUBE = scene.readObj(os.path.join(DATA, "SmallCube.obj"))
CYLINDER = scene.readObj(os.path.join(DATA, "table.obj"))
CUBE_CORNERS = [(x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1)]
EXECUTABLE = None  # set from the command line


def explainedOnFailure(test):
  """The test, printing on standard error an account of each program it
  started when it fails; the harness's own errors carry theirs already."""
  @functools.wraps(test)
  def run(self):
    try:
      test(self)
    except viewer.ViewerError:
      raise
    except Exception:
      for program in self.__dict__.get("programs", []):
        print(program.explain(f"{self.id()} failed; the program it started:"), file=sys.stderr)
      raise
  return run


class WindowTest(unittest.TestCase):
  # A line at pixel coordinate 342.3 lights pixel 342: each edge of a
  # measured box lies within a pixel of the projected one. One step of the
  # zoom moves the cube's edges by 8 pixels, a wrong factor such as 1.1 by 2.
  PIXEL_TOLERANCE = 1.0

  def __init_subclass__(cls, **kwargs):
    super().__init_subclass__(**kwargs)
    for name, member in list(vars(cls).items()):
      if name.startswith("test") and callable(member):
        setattr(cls, name, explainedOnFailure(member))

  @classmethod
  def setUpClass(cls):
    cls.session = xsession.XSession()

  @classmethod
  def tearDownClass(cls):
    cls.session.close()

  def start(self, cwd=viewer.REPOSITORY, wrapper=()):
    return self.started(viewer.Viewer(self.session, EXECUTABLE, cwd, wrapper=wrapper))

  def started(self, program):
    self.__dict__.setdefault("programs", []).append(program)
    self.addCleanup(program.close)
    self.addCleanup(lambda: self.assertNotIn("Sanitizer", program.stderr()))
    return program

  def finish(self, program):
    self.assertEqual(program.quit(), 0, program.stderr())

  def listing(self, program, key):
    program.key(key)
    return program.takeLines()

  def background(self):
    return {images.rgb(v, v, v) for v in scene.BACKGROUND_LEVELS}

  def assertBoxNear(self, measured, expected):
    """A box of pixel indices (inclusive) against a projected one."""
    for name, got, want in zip(("left", "top", "right", "bottom"), measured, expected):
      self.assertAlmostEqual(got, want, delta=self.PIXEL_TOLERANCE,
                             msg=f"{name}: measured box {measured}, projected {expected}")

  def assertBoxWithin(self, inner, outer):
    """Each edge of one measured box inside the other's, to a pixel."""
    for name, got, bound, inward in zip(("left", "top", "right", "bottom"), inner, outer,
                                        (1, 1, -1, -1)):
      self.assertGreaterEqual(inward * (got - bound), -self.PIXEL_TOLERANCE,
                              msg=f"{name}: box {inner} reaches out of {outer}")

  def assertDrawing(self, image):
    """Only the background and the model's grey, at the window's size."""
    self.assertEqual((image.width, image.height), (scene.WIDTH, scene.HEIGHT))
    colours = image.colours()
    self.assertIn(LIGHT_GREY, colours)
    self.assertEqual(len(colours - {LIGHT_GREY}), 1, [hex(c) for c in colours])
    self.assertLessEqual(colours - {LIGHT_GREY}, self.background())


class StartupAndMenu(WindowTest):
  def test_backgroundOnlyUntilAModelIsChosen(self):
    program = self.start()
    image = program.screenshot()
    self.assertEqual((image.width, image.height), (scene.WIDTH, scene.HEIGHT))
    self.assertEqual(len(image.colours()), 1)
    self.assertLessEqual(image.colours(), self.background())
    self.finish(program)
    self.assertEqual(program.takeLines(), [])

  def test_cubeSeenFaceOn(self):
    program = self.start()
    program.chooseModel("Cube")
    image = program.screenshot()
    self.assertDrawing(image)
    # The front face (z = 1) is the outline's silhouette, about 115 pixels
    # wide and high in the middle of the window.
    front = scene.projectedBox([(-1, -1, 1), (1, 1, 1)])
    self.assertBoxNear(image.box(LIGHT_GREY), front)
    self.finish(program)


class MissingMesh(WindowTest):
  def setUp(self):
    self.directory = tempfile.mkdtemp(prefix="window-cwd-")
    self.addCleanup(shutil.rmtree, self.directory)

  def test_noDataDirectoryEndsWithStatusOne(self):
    program = self.start(cwd=self.directory)
    program.chooseModel("Cube")
    self.assertEqual(program.wait(), 1, program.stderr())
    self.assertEqual(program.takeLines(), [])

  def test_missingCubeAfterAnotherModelEndsWithStatusOne(self):
    os.mkdir(os.path.join(self.directory, "Data"))
    shutil.copy(os.path.join(DATA, "SmallCube.obj"), os.path.join(self.directory, "Data"))
    # Points and no triangle: passes make nothing, and the second must not
    # take the first's empty hand-over for a list of a pass's edges.
    points = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (0.0, 1.0, 0.0)]
    with open(os.path.join(self.directory, "Data", "table.obj"), "w") as f:
      f.writelines(f"v {x} {y} {z}\n" for x, y, z in points)
    program = self.start(cwd=self.directory)
    program.chooseModel("Cylinder")
    program.key("s")
    program.key("s")
    self.assertEqual([scene.parseLine(line, 3) for line in self.listing(program, "v")],
                     [(p, i) for i, p in enumerate(points, 1)])
    self.assertEqual(self.listing(program, "e"), [])
    program.chooseModel("SmallCube")
    self.assertEqual(self.listing(program, "e"), scene.freshListings(*SMALL_CUBE)[1])
    program.chooseModel("Cube")
    self.assertEqual(program.wait(), 1, program.stderr())
    self.assertEqual(program.takeLines(), [])


class Listings(WindowTest):
  def test_cubeAsRead(self):
    program = self.start()
    program.chooseModel("Cube")
    edges, vertices, faces = (self.listing(program, key) for key in "evf")
    self.finish(program)
    self.assertEqual((len(edges), len(vertices), len(faces)), (72, 8, 36))
    vertexLines, edgeLines, faceLines = scene.freshListings(*CUBE)
    self.assertEqual(edges, edgeLines)
    self.assertEqual(vertices, vertexLines)
    self.assertEqual(faces, faceLines)

  def test_cubeAfterOnePass(self):
    program = self.start()
    program.chooseModel("Cube")
    program.key("s")
    edges = [scene.parseLine(line, 3) for line in self.listing(program, "e")]
    vertices = [scene.parseLine(line, 3) for line in self.listing(program, "v")]
    faces = self.listing(program, "f")
    self.finish(program)

    self.assertEqual(len(edges), 288)
    flags = [flag for _, flag in edges]
    self.assertEqual((flags.count(0), flags.count(1)), (144, 144))
    for start, end in zip(edges[0::2], edges[1::2]):
      self.assertEqual(start[1], end[1], "both lines of an edge carry its flag")
      self.assertNotEqual(start[0], end[0], "an edge joins two points")

    self.assertEqual([i for _, i in vertices], list(range(1, 45)))
    # Old vertices keep their places; all corners are listed vertices.
    self.assertEqual([p for p, _ in vertices[:8]], CUBE[0])
    points = {p for p, _ in vertices}
    self.assertLessEqual({p for p, _ in edges}, points)

    self.assertEqual(len(faces), 144)
    planar = {p[:2] for p in points}
    for first, second, third in zip(faces[0::3], faces[1::3], faces[2::3]):
      corner, flag = scene.parseLine(first, 2)
      self.assertIn(corner, planar)
      self.assertIn(flag, (0, 1))
      for line in (second, third):
        corner, flag = scene.parseLine(line, 3)
        self.assertIn(corner, points)
        self.assertIn(flag, (0, 1))


class ViewCommands(WindowTest):
  def setUp(self):
    self.program = self.start()
    self.program.chooseModel("Cube")
    self.outlines = self.program.screenshot()

  def test_fillAndBack(self):
    self.program.key("o")
    filled = self.program.screenshot()
    self.assertDrawing(filled)
    outlineBox = self.outlines.box(LIGHT_GREY)
    filledBox = filled.box(LIGHT_GREY)
    self.assertGreater(filled.count(LIGHT_GREY), 5 * self.outlines.count(LIGHT_GREY))
    self.assertBoxWithin(filledBox, outlineBox)
    self.program.key("o")
    again = self.program.screenshot()
    self.assertEqual(again.count(LIGHT_GREY), self.outlines.count(LIGHT_GREY))
    self.assertTrue(again == self.outlines)
    self.finish(self.program)

  def test_zoomInAndOut(self):
    self.program.key("z")
    zoomed = self.program.screenshot()
    self.assertDrawing(zoomed)
    # Scaling by 1.125 also brings the front face nearer, so the drawing
    # grows by a little more than the zoom factor.
    self.assertBoxNear(zoomed.box(LIGHT_GREY),
                       scene.projectedBox([(-1, -1, 1), (1, 1, 1)], scale=scene.ZOOM))
    self.program.key("x")
    self.assertTrue(self.program.screenshot() == self.outlines)
    self.finish(self.program)

  def test_dragTurnsTheModel(self):
    self.program.click(600, 450)
    self.assertTrue(self.program.screenshot() == self.outlines, "a click turns nothing")
    # Five pixels a degree: 150 pixels to the right turn the model 30 degrees
    # about y, 100 down 20 about x, the turn about x applied last. The other
    # order would move the box's right and bottom edges by about 7 pixels.
    self.program.drag((500, 400), (650, 500))
    turned = self.program.screenshot()
    self.assertDrawing(turned)
    self.assertBoxNear(turned.box(LIGHT_GREY), scene.projectedBox(CUBE_CORNERS, rotX=20, rotY=30))
    self.finish(self.program)

  def test_upperCaseKeysChangeNothing(self):
    edges = self.listing(self.program, "e")
    for key in ("shift+s", "shift+z", "shift+v", "shift+o"):
      self.program.key(key)
      self.assertEqual(self.program.takeLines(), [], key)
      self.assertTrue(self.program.screenshot() == self.outlines, key)
    self.assertEqual(self.listing(self.program, "e"), edges)
    self.finish(self.program)


class ModelChange(WindowTest):
  def test_smallCubeAfterPassesIsReadFresh(self):
    program = self.start()
    program.chooseModel("Cube")
    program.key("s")
    program.key("s")
    program.chooseModel("SmallCube")
    vertexLines, edgeLines, _ = scene.freshListings(*SMALL_CUBE)
    self.assertEqual(self.listing(program, "e"), edgeLines)
    self.assertEqual(self.listing(program, "v"), vertexLines)
    image = program.screenshot()
    self.assertDrawing(image)
    self.assertBoxNear(image.box(LIGHT_GREY),
                       scene.projectedBox([(-0.5, -0.5, 0.5), (0.5, 0.5, 0.5)]))
    self.finish(program)


class ViewState(WindowTest):
  """What turns the model, and what the view keeps while models change."""

  def test_middleDragTurnsTheModelBeforeAnyLeftPress(self):
    # Until the left button has been released once, any drag turns the model,
    # measured from (0, 0): ending at (200, 150) means 40 degrees about y and
    # 30 about x.
    program = self.start()
    program.chooseModel("Cube")
    program.drag((100, 100), (200, 150), button=2)
    image = program.screenshot()
    self.assertDrawing(image)
    self.assertBoxNear(image.box(LIGHT_GREY), scene.projectedBox(CUBE_CORNERS, rotX=30, rotY=40))
    self.finish(program)

  def test_turnZoomAndFillSurviveModelChanges(self):
    program = self.start()
    program.chooseModel("Cube")
    program.drag((500, 400), (650, 500))
    program.key("z")
    program.key("o")
    before = program.screenshot()
    program.chooseModel("SmallCube")
    program.chooseModel("Cube")
    self.assertTrue(program.screenshot() == before)
    self.finish(program)


class Picture(WindowTest):
  """The cylinder after two passes, outlines and filled; the README shows it."""

  MARGIN = 12

  def test_cylinderTwoPasses(self):
    program = self.start()
    program.chooseModel("Cylinder")
    program.key("s")
    program.key("s")
    vertexIds = [scene.parseLine(line, 3)[1] for line in self.listing(program, "v")]
    # Each pass adds three points per triangle and makes four of each.
    triangles = len(CYLINDER[1])
    expected = len(CYLINDER[0]) + 3 * triangles + 3 * 4 * triangles
    self.assertEqual(vertexIds, list(range(1, expected + 1)))
    # Tip it towards the viewer to show the top, and bring it closer.
    program.drag((600, 400), (600, 500))
    for _ in range(5):
      program.key("z")
    outlines = program.screenshot()
    program.key("o")
    filled = program.screenshot()
    self.finish(program)

    self.assertDrawing(outlines)
    self.assertDrawing(filled)
    outlineBox, filledBox = outlines.box(LIGHT_GREY), filled.box(LIGHT_GREY)
    self.assertGreater(filled.count(LIGHT_GREY), outlines.count(LIGHT_GREY))
    self.assertBoxWithin(filledBox, outlineBox)
    if os.environ.get("UPDATE_PICTURE") == "1":
      self.savePicture(filled, outlines, outlineBox)

  def savePicture(self, filled, outlines, box):
    left, top, right, bottom = box
    side = max(right - left, bottom - top) + 1 + 2 * self.MARGIN
    x = (left + right + 1 - side) // 2
    y = (top + bottom + 1 - side) // 2
    background = outlines.pixels[0]
    picture = images.sideBySide(filled.crop(x, y, side, side), outlines.crop(x, y, side, side),
                                self.MARGIN, background)
    os.makedirs(os.path.dirname(PICTURE), exist_ok=True)
    with open(PICTURE, "wb") as f:
      f.write(images.pngBytes(picture))


class OutOfMemory(WindowTest):
  """The release program under an address-space limit a little above what it
  uses with a model loaded: the pass or the load that cannot fit is refused
  with one line on standard error, and the session goes on."""

  MARGIN = 64 << 20  # the cube's seventh pass needs more, its sixth less
  PASS_REFUSED = "subdivision pass not made: it needs "
  LOAD_REFUSED = "model not loaded: out of memory while reading it"

  def setUp(self):
    with open(EXECUTABLE, "rb") as f:
      if b"__asan_init" in f.read():
        self.skipTest("AddressSanitizer reserves terabytes of address space; "
                      "the refusal logic runs under it in the unit tests")
    self.directory = tempfile.mkdtemp(prefix="window-cwd-")
    self.addCleanup(shutil.rmtree, self.directory)
    os.mkdir(os.path.join(self.directory, "Data"))
    for name in ("Cube.obj", "SmallCube.obj"):
      shutil.copy(os.path.join(DATA, name), os.path.join(self.directory, "Data"))

  def limited(self):
    """The program under a limit of its address space with the small cube
    loaded, measured on a run of its own, plus MARGIN."""
    program = self.start(cwd=self.directory)
    program.chooseModel("SmallCube")
    with open(f"/proc/{program.process.pid}/status") as f:
      kib = next(int(line.split()[1]) for line in f if line.startswith("VmSize:"))
    self.finish(program)
    return self.start(cwd=self.directory, wrapper=("prlimit", f"--as={kib * 1024 + self.MARGIN}"))

  def listings(self, program):
    return [self.listing(program, key) for key in "vef"]

  def assertStillServes(self, program):
    program.chooseModel("SmallCube")
    vertexLines, edgeLines, faceLines = scene.freshListings(*SMALL_CUBE)
    self.assertEqual(self.listings(program), [vertexLines, edgeLines, faceLines])
    self.assertDrawing(program.screenshot())
    self.finish(program)

  def test_passThatCannotFitIsRefused(self):
    program = self.limited()
    program.chooseModel("Cube")
    for passes in range(10):
      before = self.listings(program)
      program.key("s")
      if program.stderr():
        break
    self.assertIsNone(program.process.poll(), program.stderr())
    self.assertGreaterEqual(passes, 3, "the limit refused a small pass")
    message = program.stderr().splitlines()
    self.assertEqual(len(message), 1, message)
    self.assertTrue(message[0].startswith(self.PASS_REFUSED), message)
    self.assertTrue(self.listings(program) == before, "the refused pass changed the model")
    self.assertStillServes(program)

  def test_modelThatCannotFitIsDropped(self):
    # A sheet of about half a million triangles, some 130 MB in the store.
    side = 500
    with open(os.path.join(self.directory, "Data", "Cube.obj"), "w") as f:
      f.writelines(f"v {i % side} {i // side} 0\n" for i in range(side * side))
      for j in range(side - 1):
        for i in range(side - 1):
          a = j * side + i + 1
          f.write(f"f {a} {a + 1} {a + side}\nf {a + 1} {a + side + 1} {a + side}\n")
    program = self.limited()
    program.chooseModel("SmallCube")
    program.chooseModel("Cube")
    self.assertIsNone(program.process.poll(), program.stderr())
    self.assertEqual(program.stderr().splitlines(), [self.LOAD_REFUSED])
    self.assertEqual(self.listings(program), [[], [], []])
    self.assertEqual(len(program.screenshot().colours()), 1, "nothing is drawn")
    program.key("s")
    self.assertEqual(self.listings(program), [[], [], []])
    self.assertStillServes(program)
    self.assertEqual(program.stderr().splitlines(), [self.LOAD_REFUSED])


def main():
  global EXECUTABLE
  parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
  parser.add_argument("--viewer", required=True, help="the viewer executable to drive")
  args, rest = parser.parse_known_args()
  EXECUTABLE = os.path.abspath(args.viewer)
  unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
  main()
