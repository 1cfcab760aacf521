"""The Python module meshsubdivide against the program meshsubdivide and as a
numpy user meets it: the program's points bit for bit, every form of array it
takes, every bad array refused with a ValueError, a pass that cannot fit
refused with a MemoryError, two threads at once, Ctrl-C, and VTK's filters
taking the result.

Run with Debian's pytest; MESHSUBDIVIDE_PROGRAM names the program, and the
package is imported from PYTHONPATH (the build tree's src/python).
"""

import inspect
import os
import signal
import subprocess
import sys
import textwrap
import threading

import numpy as np
import pytest

import meshsubdivide

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(REPOSITORY, "Data")
PROGRAM = os.environ.get("MESHSUBDIVIDE_PROGRAM")

# An open, non-manifold file: a fin of three triangles on one side, a rim,
# a duplicated triangle, vertices a weld joins and one no face uses.
AWKWARD_OBJ = """\
v 0 0 0
v 1 0 0
v 0 1 0
v 0 0 1
v 1 1 1
v 0 -1 0.5
v 1 0 0.000001
v 9 9 9
f 1 2 3
f 2 1 4
f 1 2 6
f 3 2 5
f 3 2 5
f 7 5 4
"""


def grid(cells, lift=0.25):
  """A bumpy square sheet of cells x cells squares, two triangles each."""
  i, j = np.meshgrid(np.arange(cells + 1), np.arange(cells + 1), indexing="ij")
  x, y = i / cells, j / cells
  vertices = np.stack([x, y, lift * np.sin(6 * x) * np.cos(5 * y)], axis=-1).reshape(-1, 3)
  corner = (i[:-1, :-1] * (cells + 1) + j[:-1, :-1]).reshape(-1)
  faces = np.concatenate([np.stack([corner, corner + cells + 1, corner + 1], axis=-1),
                          np.stack([corner + 1, corner + cells + 1, corner + cells + 2], axis=-1)])
  return vertices, faces


def sideCount(faces):
  """The pairs of vertices that sides join."""
  sides = np.concatenate([faces[:, [0, 1]], faces[:, [1, 2]], faces[:, [2, 0]]]).astype(np.int64)
  return len(np.unique(np.sort(sides, axis=1), axis=0))


def readWritten(path):
  """The v and f lines of an OBJ file the program wrote, as float32 and 0-based."""
  vertices, faces = [], []
  with open(path) as file:
    for line in file:
      words = line.split()
      if words and words[0] == "v":
        vertices.append([np.float32(w) for w in words[1:4]])
      elif words and words[0] == "f":
        faces.append([int(w) - 1 for w in words[1:4]])
  return np.array(vertices, dtype=np.float32).reshape(-1, 3), np.array(faces, dtype=np.int64).reshape(-1, 3)


def runProgram(source, passes, options, output):
  """passes None: the program's own count, as --max-edge without -n."""
  count = [] if passes is None else ["-n", str(passes)]
  subprocess.run([PROGRAM, source, "-o", output] + count + options, check=True)
  return readWritten(output)


def sameBits(a, b):
  return a.shape == b.shape and a.dtype == b.dtype and np.array_equal(a.view(np.uint32), b.view(np.uint32))


def soupOf(vertices, faces):
  """Every triangle with corners of its own, as an exporter writes a soup."""
  return vertices[faces.reshape(-1)], np.arange(3 * len(faces)).reshape(-1, 3)


def objText(vertices, faces):
  lines = ["v %r %r %r" % tuple(float(c) for c in p) for p in vertices]
  lines += ["f %d %d %d" % tuple(c + 1 for c in f) for f in faces]
  return "\n".join(lines) + "\n"


def writeText(tmp_path, name, text):
  path = str(tmp_path / name)
  with open(path, "w") as file:
    file.write(text)
  return path


def seamedUv(vertices, faces):
  """Texture coordinates that disagree between any two faces at every vertex."""
  return np.random.default_rng(7).random((len(faces), 3, 2))


def vertexColors(vertices, faces):
  return np.random.default_rng(8).integers(0, 256, (len(vertices), 4), dtype=np.uint8)


# (input, passes, program options, module keywords); "soup:" inputs are read
# by the module as raw rows and welded by it, the others by read(). Passes
# None run the program without -n and the module with passes=0; a callable
# keyword is given the module's arrays. The program reads no texture
# coordinates or colours, so rows that carry them show that carrying
# leaves the points and triangles alone.
AGAINST_THE_PROGRAM = [
    ("Cube.obj", 3, [], {}),
    ("table.obj", 2, ["--tension", "0.0625"], {"tension": 0.0625}),
    ("Cube.obj", 3, ["--rule", "modified"], {"rule": "modified"}),
    ("awkward", 2, [], {}),
    ("awkward", 2, ["--rule", "modified"], {"rule": "modified"}),
    ("soup:table.obj", 2, [], {"weld": True}),
    ("soup:Cube.obj", 2, ["--rule", "modified"], {"rule": "modified", "weld": True}),
    ("Cube.obj", None, ["--max-edge", "30%"], {"max_edge": "30%"}),
    ("table.obj", None, ["--max-edge", "0.4"], {"max_edge": 0.4, "uv": seamedUv}),
    ("table.obj", 2, ["--max-edge", "0.7", "--rule", "modified"], {"max_edge": "0.7", "rule": "modified"}),
    ("table.obj", 2, ["--max-edge", "0"], {"max_edge": 0}),
    ("awkward", None, ["--max-edge", "25%"], {"max_edge": "25%", "colors": vertexColors}),
    ("table.obj", 2, ["--crease-angle", "30"], {"crease_angle": 30, "uv": seamedUv}),
    ("Cube.obj", 3, ["--crease-angle", "89.5", "--rule", "modified"], {"crease_angle": 89.5, "rule": "modified"}),
    ("table.obj", None, ["--crease-angle", "40", "--max-edge", "8%"], {"crease_angle": 40, "max_edge": "8%"}),
    ("soup:table.obj", None, ["--crease-angle", "40", "--max-edge", "0.5"],
     {"crease_angle": 40, "max_edge": 0.5, "weld": True, "colors": vertexColors}),
]


@pytest.mark.skipif(PROGRAM is None, reason="MESHSUBDIVIDE_PROGRAM not set")
@pytest.mark.parametrize("source,passes,options,keywords", AGAINST_THE_PROGRAM)
def testPointsAndTrianglesAreTheProgramsBitForBit(tmp_path, source, passes, options, keywords):
  if source == "awkward":
    path = writeText(tmp_path, "awkward.obj", AWKWARD_OBJ)
    vertices, faces = meshsubdivide.read(path)
  elif source.startswith("soup:"):
    welded = meshsubdivide.read(os.path.join(DATA, source[5:]))
    vertices, faces = soupOf(welded.vertices.astype(np.float64), welded.faces)
    path = writeText(tmp_path, "soup.obj", objText(vertices, faces))
  else:
    path = os.path.join(DATA, source)
    vertices, faces = meshsubdivide.read(path)
  expected = runProgram(path, passes, options, str(tmp_path / "program.obj"))
  keywords = {k: v(vertices, faces) if callable(v) else v for k, v in keywords.items()}
  mesh = meshsubdivide.subdivide(vertices, faces, passes or 0, **keywords)
  assert sameBits(mesh.vertices, expected[0])
  assert mesh.faces.dtype == np.uint32 and np.array_equal(mesh.faces, expected[1])
  # And the module's file is the program's but for the comment line.
  meshsubdivide.write(str(tmp_path / "module.obj"), mesh, positions_only=True)
  with open(str(tmp_path / "module.obj")) as ours, open(str(tmp_path / "program.obj")) as theirs:
    assert ours.read().split("\n", 1)[1] == theirs.read().split("\n", 1)[1]


def testResultsOwnTheirBuffersAndTheInputsAreNotWritten():
  vertices, faces = grid(40)
  before = vertices.copy(), faces.copy()
  mesh = meshsubdivide.subdivide(vertices, faces, passes=2)
  assert np.array_equal(vertices, before[0]) and np.array_equal(faces, before[1])
  # Handed over, not copied: the arrays' owner is the capsule of the pass's own buffer.
  for array in mesh:
    assert type(array.base).__name__ == "PyCapsule" and array.flags.c_contiguous and array.flags.writeable
  # Old vertices first and unmoved; each pass takes V and F to V + E and 4F.
  assert sameBits(mesh.vertices[:len(vertices)], vertices.astype(np.float32))
  once = meshsubdivide.subdivide(vertices, faces)
  assert len(once.vertices) == len(vertices) + sideCount(faces) and len(once.faces) == 4 * len(faces)
  assert len(mesh.vertices) == len(once.vertices) + sideCount(once.faces) and len(mesh.faces) == 16 * len(faces)


def testProgressRisesFromZeroToOneAndWhatItRaisesEndsTheCall():
  vertices, faces = grid(20)
  seen = []
  meshsubdivide.subdivide(vertices, faces, passes=3, progress=seen.append)
  assert len(seen) == 4 and seen[0] == 0.0 and seen[-1] == 1.0
  assert all(a < b for a, b in zip(seen, seen[1:]))

  def refuse(fraction):
    if fraction > 0:
      raise RuntimeError("enough")

  with pytest.raises(RuntimeError, match="enough"):
    meshsubdivide.subdivide(vertices, faces, passes=3, progress=refuse)


def testPassesToALengthReportProgressFromZeroToOne():
  seen = []
  mesh = meshsubdivide.subdivide(*grid(4), passes=0, max_edge="5%", progress=seen.append)
  assert seen[0] == 0.0 and seen[-1] == 1.0 and all(a < b for a, b in zip(seen, seen[1:]))
  # One report per pass made, and the last when no side is left longer.
  again = meshsubdivide.subdivide(mesh.vertices, mesh.faces, passes=0, max_edge="5%", progress=seen.append)
  assert len(again.faces) == len(mesh.faces) and seen[-2:] == [0.0, 1.0]


def midpoint(a, b):
  """Two values' midpoint as the pass makes it: in double, rounded once."""
  return ((a.astype(np.float64) + b) / 2).astype(np.float32)


def oldNeighbours(faces, vertex, oldCount):
  """The old vertices that share an output triangle with a new vertex."""
  return sorted({int(c) for face in faces if vertex in face for c in face if c < oldCount})


def attributesOf(vertices, faces, colorType):
  """Values that differ everywhere, so a midpoint of the wrong pair cannot pass for the right one."""
  rng = np.random.default_rng(3)
  uvOfVertex = rng.random((len(vertices), 2))
  normalOfVertex = rng.normal(size=(len(vertices), 3))
  normalOfVertex /= np.linalg.norm(normalOfVertex, axis=1, keepdims=True)
  colors = rng.random((len(vertices), 3))
  colors = (colors * 255).astype(np.uint8) if colorType == "uint8" else colors.astype(colorType)
  return {"uv": uvOfVertex[faces], "normals": normalOfVertex[faces], "colors": colors}


# (what, keywords, colour type): one pass, uniform or to a length, whose
# closures name a new point beside a third old vertex.
CARRIED_ATTRIBUTES = [
    ("a uniform pass", {}, "float64"),
    ("a pass to a length", {"max_edge": 0.4}, "float32"),
    ("a crease and bytes", {"crease_angle": 10}, "uint8"),
]


@pytest.mark.parametrize("keywords,colorType", [case[1:] for case in CARRIED_ATTRIBUTES],
                         ids=[case[0] for case in CARRIED_ATTRIBUTES])
def testNewCornersTakeTheMidpointsOfTheirSidesEnds(keywords, colorType):
  vertices, faces = grid(3)
  given = attributesOf(vertices, faces, colorType)
  mesh = meshsubdivide.subdivide(vertices, faces, passes=1, **given, **keywords)
  plain = meshsubdivide.subdivide(vertices, faces, passes=1, **keywords)
  assert sameBits(mesh.vertices, plain.vertices) and np.array_equal(mesh.faces, plain.faces)
  count, n = len(mesh.faces), len(vertices)
  assert mesh.uv.shape == (count, 3, 2) and mesh.normals.shape == (count, 3, 3) and mesh.uv.dtype == np.float32
  assert mesh.colors.shape == (len(mesh.vertices), 3)
  assert mesh.colors.dtype == (np.uint8 if colorType == "uint8" else np.float32)
  # Every face agrees at each vertex, so a vertex has one value of each kind.
  uvOfVertex = np.empty((n, 2), np.float32)
  uvOfVertex[faces.reshape(-1)] = given["uv"].reshape(-1, 2)
  normalOfVertex = np.empty((n, 3), np.float64)
  normalOfVertex[faces.reshape(-1)] = given["normals"].reshape(-1, 3).astype(np.float32)
  colorsIn = given["colors"]
  assert np.array_equal(mesh.colors[:n], colorsIn.astype(mesh.colors.dtype))
  newPoints = 0
  for corner, vertex in enumerate(mesh.faces.reshape(-1)):
    uv, normal = mesh.uv.reshape(-1, 2)[corner], mesh.normals.reshape(-1, 3)[corner]
    if vertex < n:
      assert sameBits(uv, uvOfVertex[vertex])
      continue
    # The side's ends are two of the old vertices beside the new point.
    ends = oldNeighbours(mesh.faces, vertex, n)
    pairs = [(a, b) for a in ends for b in ends if a < b]
    matching = [(a, b) for a, b in pairs if sameBits(uv, midpoint(uvOfVertex[a], uvOfVertex[b]))]
    assert len(matching) == 1
    a, b = matching[0]
    direction = normalOfVertex[a] + normalOfVertex[b]
    assert np.allclose(normal, direction / np.linalg.norm(direction), atol=1e-6)
    if colorType == "uint8":
      assert abs(float(mesh.colors[vertex][0]) - (float(colorsIn[a][0]) + float(colorsIn[b][0])) / 2) <= 0.5
    else:
      assert sameBits(mesh.colors[vertex], midpoint(colorsIn[a].astype(np.float32), colorsIn[b].astype(np.float32)))
    newPoints += 1
  assert newPoints > 0


def testATextureSeamStaysTwoValuesAndAgreeingFacesShareOne():
  # Two triangles on the diagonal of a square, 0-2; the first pair agree
  # at both ends of it, the second disagree at vertex 2.
  vertices = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], dtype=np.float64)
  faces = np.array([[0, 1, 2], [0, 2, 3]])
  agreeing = np.array([[[0, 0], [1, 0], [1, 1]], [[0, 0], [1, 1], [0, 1]]], dtype=np.float64)
  seamed = agreeing.copy()
  seamed[1, 1] = [0.5, 0.25]
  for uv, diagonalValues in [(agreeing, {(0.5, 0.5)}), (seamed, {(0.5, 0.5), (0.25, 0.125)})]:
    mesh = meshsubdivide.subdivide(vertices, faces, uv=uv)
    # The diagonal's point is the one new vertex both triangles' children name.
    first, second = set(mesh.faces[:4].reshape(-1)), set(mesh.faces[4:].reshape(-1))
    (point,) = [v for v in first & second if v >= len(vertices)]
    values = {tuple(map(float, mesh.uv.reshape(-1, 2)[c])) for c in np.flatnonzero(mesh.faces.reshape(-1) == point)}
    assert values == diagonalValues


def testColorsFollowTheFirstOfTheRowsAWeldJoins():
  vertices, faces = soupOf(*grid(2))
  colors = np.arange(len(vertices) * 3, dtype=np.uint8).reshape(-1, 3)
  mesh = meshsubdivide.subdivide(vertices, faces, passes=0, colors=colors, weld=True)
  assert len(mesh.vertices) == 9 and mesh.colors.dtype == np.uint8
  # Each welded vertex has the colour of the first corner that names it.
  for vertex in range(9):
    first = np.flatnonzero(mesh.faces.reshape(-1) == vertex)[0]
    assert np.array_equal(mesh.colors[vertex], colors[first])


def accepted(form):
  """The cube's arrays in another form numpy users hand in."""
  vertices, faces = meshsubdivide.read(os.path.join(DATA, "Cube.obj"))
  reversedRows = vertices[::-1].copy()[::-1]
  spaced = np.repeat(faces.astype(np.int64), 2, axis=0)[::2]
  forms = {
      "float64 and int64": (vertices.astype(np.float64), faces.astype(np.int64)),
      "Fortran order": (np.asfortranarray(vertices), np.asfortranarray(faces)),
      "negative and spaced strides": (reversedRows, spaced),
      "big-endian": (vertices.astype(">f8"), faces.astype(">i4")),
      "narrow integers": (vertices.astype(np.int16), faces.astype(np.uint8)),
      "float16 and uint64": (vertices.astype(np.float16), faces.astype(np.uint64)),
      "lists": (vertices.tolist(), faces.tolist()),
  }
  return forms[form]


@pytest.mark.parametrize("form", ["float64 and int64", "Fortran order", "negative and spaced strides", "big-endian",
                                  "narrow integers", "float16 and uint64", "lists"])
def testEveryFormOfTheSameArraysGivesTheSameMesh(form):
  cube = meshsubdivide.read(os.path.join(DATA, "Cube.obj"))
  expected = meshsubdivide.subdivide(*cube, passes=2)
  mesh = meshsubdivide.subdivide(*accepted(form), passes=2)
  assert sameBits(mesh.vertices, expected.vertices) and np.array_equal(mesh.faces, expected.faces)


def testAVertexNoFaceNamesMayHoldAnything():
  vertices, faces = grid(2)
  vertices = np.concatenate([vertices, [[np.nan, np.inf, 1e300]]])
  mesh = meshsubdivide.subdivide(vertices, faces)
  assert np.isnan(mesh.vertices[9, 0]) and np.isinf(mesh.vertices[9, 2])


TETRAHEDRON = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], dtype=np.float64)
TETRAHEDRON_FACES = np.array([[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3]])


def withVertex(row, value):
  vertices = TETRAHEDRON.copy()
  vertices[row] = value
  return vertices


# (what is wrong, vertices, faces, keywords, message fragment)
BAD_ARGUMENTS = [
    ("vertices of one dimension", TETRAHEDRON.reshape(-1), TETRAHEDRON_FACES, {}, r"vertices must have shape \(n, 3\), not \(12,\)"),
    ("vertices of two columns", TETRAHEDRON[:, :2], TETRAHEDRON_FACES, {}, r"vertices must have shape"),
    ("faces of four columns", TETRAHEDRON, np.zeros((2, 4), int), {}, r"faces must have shape \(n, 3\), not \(2, 4\)"),
    ("faces of three dimensions", TETRAHEDRON, TETRAHEDRON_FACES[None], {}, r"faces must have shape"),
    ("ragged rows", [[0, 0, 0], [1, 0]], TETRAHEDRON_FACES, {}, r"inhomogeneous|sequence"),
    ("complex vertices", TETRAHEDRON.astype(complex), TETRAHEDRON_FACES, {}, r"vertices must hold real numbers"),
    ("text vertices", TETRAHEDRON.astype(str), TETRAHEDRON_FACES, {}, r"vertices must hold real numbers"),
    ("boolean vertices", TETRAHEDRON.astype(bool), TETRAHEDRON_FACES, {}, r"vertices must hold real numbers"),
    ("object vertices", TETRAHEDRON.astype(object), TETRAHEDRON_FACES, {}, r"vertices must hold real numbers"),
    ("float faces", TETRAHEDRON, TETRAHEDRON_FACES.astype(float), {}, r"faces must hold integers"),
    ("boolean faces", TETRAHEDRON, TETRAHEDRON_FACES.astype(bool), {}, r"faces must hold integers"),
    ("a negative index", TETRAHEDRON, TETRAHEDRON_FACES - 1, {}, r"faces\[0, 0\] is -1, which names no vertex"),
    ("an index one past the end", TETRAHEDRON, np.array([[0, 1, 4]]), {}, r"faces\[0, 2\] is 4, which names no vertex \(vertices has 4 rows\)"),
    ("a huge unsigned index", TETRAHEDRON, np.array([[0, 1, 2**63]], dtype=np.uint64), {}, r"names no vertex"),
    ("a huge big-endian index", TETRAHEDRON, np.array([[0, 1, 2**40]], dtype=">i8"), {}, r"names no vertex"),
    ("NaN in a named vertex", withVertex(3, [0, np.nan, 0]), TETRAHEDRON_FACES, {}, r"vertices\[3\] is \(0.000000, nan, 0.000000\) as float32, not finite"),
    ("infinity in a named vertex", withVertex(1, [np.inf, 0, 0]), TETRAHEDRON_FACES, {}, r"vertices\[1\] .* not finite"),
    ("a float64 beyond float32", withVertex(2, [0, 1e39, 0]), TETRAHEDRON_FACES, {}, r"vertices\[2\] .* not finite"),
    ("negative passes", TETRAHEDRON, TETRAHEDRON_FACES, {"passes": -1}, r"passes must be 0 or more"),
    ("an unknown rule", TETRAHEDRON, TETRAHEDRON_FACES, {"rule": "loop"}, r"rule must be 'classic' or 'modified'"),
    ("tension with the modified rule", TETRAHEDRON, TETRAHEDRON_FACES, {"rule": "modified", "tension": 0.05}, r"no tension"),
    ("a tension of NaN", TETRAHEDRON, TETRAHEDRON_FACES, {"tension": float("nan")}, r"tension must be a finite number"),
    ("a tension beyond float32", TETRAHEDRON, TETRAHEDRON_FACES, {"tension": 1e39}, r"tension must be a finite number"),
    ("a negative max_edge", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": -0.5}, r"max_edge must be a length from 0 on"),
    ("a max_edge of NaN", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": float("nan")}, r"max_edge must be"),
    ("a max_edge of 0%", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": "0%"}, r"max_edge must be .* not '0%'"),
    ("a max_edge above 100%", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": "100.5%"}, r"max_edge must be"),
    ("a max_edge of words", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": "1 %"}, r"max_edge must be .* not '1 %'"),
    ("max_edge 0 without passes", TETRAHEDRON, TETRAHEDRON_FACES, {"max_edge": 0, "passes": 0}, r"give the passes"),
    ("a crease angle above 180", TETRAHEDRON, TETRAHEDRON_FACES, {"crease_angle": 180.5}, r"crease_angle must be a number of degrees from 0 to 180"),
    ("a crease angle of NaN", TETRAHEDRON, TETRAHEDRON_FACES, {"crease_angle": float("nan")}, r"crease_angle must be"),
    ("uv per vertex", TETRAHEDRON, TETRAHEDRON_FACES, {"uv": np.zeros((4, 2))}, r"uv must have shape \(4, 3, 2\), a row per face, not \(4, 2\)"),
    ("uv of three numbers", TETRAHEDRON, TETRAHEDRON_FACES, {"uv": np.zeros((4, 3, 3))}, r"uv must have shape \(4, 3, 2\)"),
    ("normals for too few faces", TETRAHEDRON, TETRAHEDRON_FACES, {"normals": np.zeros((3, 3, 3))}, r"normals must have shape \(4, 3, 3\)"),
    ("text uv", TETRAHEDRON, TETRAHEDRON_FACES, {"uv": np.zeros((4, 3, 2)).astype(str)}, r"uv must hold real numbers"),
    ("NaN in a normal", TETRAHEDRON, TETRAHEDRON_FACES, {"normals": np.where(np.arange(36).reshape(4, 3, 3) == 13, np.nan, 1.0)}, r"normals\[1, 1\] is \(1.000000, nan, 1.000000\) as float32, not finite"),
    ("uv beyond float32", TETRAHEDRON, TETRAHEDRON_FACES, {"uv": np.full((4, 3, 2), 1e39)}, r"uv\[0, 0\] .* not finite"),
    ("colors per face", TETRAHEDRON, TETRAHEDRON_FACES[:3], {"colors": np.zeros((3, 3))}, r"colors must have shape \(4, 3\) or \(4, 4\), a row per vertex"),
    ("colors of two channels", TETRAHEDRON, TETRAHEDRON_FACES, {"colors": np.zeros((4, 2))}, r"colors must have shape"),
    ("colors as int16", TETRAHEDRON, TETRAHEDRON_FACES, {"colors": np.zeros((4, 3), np.int16)}, r"colors must hold floats from 0 to 1 or uint8 from 0 to 255, not int16"),
    ("a float colour above 1", TETRAHEDRON, TETRAHEDRON_FACES, {"colors": np.full((4, 3), 0.5) + np.eye(4, 3)}, r"colors\[0\] is \(1.500000, 0.500000, 0.500000\) as float32, not within 0 to 1"),
    ("a NaN colour", TETRAHEDRON, TETRAHEDRON_FACES, {"colors": np.full((4, 4), np.nan)}, r"colors\[0\] .* not within 0 to 1"),
    ("a negative face group", TETRAHEDRON, TETRAHEDRON_FACES, {"face_groups": [0, 1, -1, 0]}, r"face_groups\[2\] is -1, not from 0"),
    ("face groups per vertex", TETRAHEDRON, TETRAHEDRON_FACES[:3], {"face_groups": [0, 0, 0, 0]}, r"face_groups must have shape \(3,\)"),
]


@pytest.mark.parametrize("vertices,faces,keywords,message", [case[1:] for case in BAD_ARGUMENTS],
                         ids=[case[0] for case in BAD_ARGUMENTS])
def testEveryBadArgumentIsAValueErrorWithItsReason(vertices, faces, keywords, message):
  with pytest.raises(ValueError, match=message):
    meshsubdivide.subdivide(vertices, faces, **keywords)


def testMeshChecksItsArraysAsSubdivideDoes():
  with pytest.raises(ValueError, match="names no vertex"):
    meshsubdivide.Mesh(TETRAHEDRON, TETRAHEDRON_FACES + 1)
  mesh = meshsubdivide.Mesh(TETRAHEDRON, TETRAHEDRON_FACES.astype(np.int8))
  assert mesh.vertices.dtype == np.float32 and mesh.faces.dtype == np.uint32 and repr(mesh) == "Mesh(4 vertices, 4 faces)"


def fileCases(tmp_path):
  directory = tmp_path / "folder"
  directory.mkdir()
  locked = writeText(tmp_path, "locked.obj", "v 0 0 0\n")
  os.chmod(locked, 0)
  return {
      "missing": (str(tmp_path / "nosuch.obj"), FileNotFoundError),
      "a directory": (str(directory), IsADirectoryError),
      "unreadable": (locked, PermissionError),
      "no triangle": (writeText(tmp_path, "points.obj", "v 0 0 0\nv 1 0 0\nf 1 2\n"), ValueError),
      "empty": (writeText(tmp_path, "empty.obj", ""), ValueError),
  }


@pytest.mark.parametrize("case", ["missing", "a directory", "unreadable", "no triangle", "empty"])
def testReadRaisesWhatPythonsOwnFunctionsRaise(tmp_path, case):
  path, error = fileCases(tmp_path)[case]
  if error is PermissionError and os.geteuid() == 0:
    pytest.skip("root reads every file")
  with pytest.raises(error, match=os.path.basename(path)):
    meshsubdivide.read(path)


@pytest.mark.parametrize("where,error", [("nosuch/out.obj", FileNotFoundError), ("", IsADirectoryError)])
def testWriteRaisesOSErrorNamingTheFile(tmp_path, where, error):
  mesh = meshsubdivide.Mesh(TETRAHEDRON, TETRAHEDRON_FACES)
  with pytest.raises(error) as raised:
    meshsubdivide.write(str(tmp_path / where), mesh)
  assert raised.value.filename == str(tmp_path / where)


MESH_FILES = os.path.join(REPOSITORY, "tests", "data", "mesh-files")


def sameArrays(a, b):
  return (a is None and b is None) or (a is not None and b is not None and a.dtype == b.dtype and
                                       np.array_equal(a, b, equal_nan=a.dtype.kind == "f"))


def sameMeshes(a, b):
  """The same points, faces and everything carried; the files' own value
  numbering may differ, as a Mesh keeps values per corner."""
  return (sameBits(a.vertices, b.vertices) and np.array_equal(a.faces, b.faces) and
          all(sameArrays(x, y) for x, y in [(a.uv, b.uv), (a.normals, b.normals), (a.colors, b.colors),
                                             (a.face_groups, b.face_groups)]) and
          a.groups == b.groups and a.material_libraries == b.material_libraries)


# (file, output, program options): read, one pass, written, with what each
# format holds: textures, normals, materials and groups, colours; the file
# read back is the program's read back.
FILES_THROUGH_THE_MODULE = [
    ("spider.obj", "out.obj", []),
    ("spider.obj", "out.PLY", ["--ascii"]),
    ("cube_uv.ply", "out.ply", []),
    ("cube_binary.ply", "out.obj", ["--rule", "modified"]),
    ("Spider_binary.stl", "out.stl", []),
    ("block.stl", "out.stl", ["--ascii"]),
    ("Cube.off", "out.off", ["--crease-angle", "60"]),
]


@pytest.mark.skipif(PROGRAM is None, reason="MESHSUBDIVIDE_PROGRAM not set")
@pytest.mark.parametrize("source,output,options", FILES_THROUGH_THE_MODULE)
def testFilesThroughTheModuleAreThePrograms(tmp_path, source, output, options):
  path = os.path.join(MESH_FILES, source)
  subprocess.run([PROGRAM, path, "-n", "1", "-o", str(tmp_path / ("program-" + output))] + options, check=True)
  mesh = meshsubdivide.read(path)
  keywords = {"rule": "modified"} if "modified" in options else {}
  if "--crease-angle" in options:
    keywords["crease_angle"] = 60
  meshsubdivide.write(tmp_path / output, mesh.subdivide(**keywords), ascii="--ascii" in options)
  with open(str(tmp_path / output), "rb") as ours, open(str(tmp_path / ("program-" + output)), "rb") as theirs:
    assert ours.read(5) == theirs.read(5)  # binary or text alike
  assert sameMeshes(meshsubdivide.read(tmp_path / output), meshsubdivide.read(tmp_path / ("program-" + output)))


def testAFileKeepsItsMaterialsAndGroupsAndWarnsOfWhatAFormatLoses(tmp_path):
  mesh = meshsubdivide.read(os.path.join(MESH_FILES, "spider.obj"))
  assert mesh.uv is not None and mesh.material_libraries == ["spider.mtl"]
  finer = mesh.subdivide()
  assert finer.groups == mesh.groups and len(set(g[0] for g in mesh.groups)) > 1
  assert np.array_equal(finer.face_groups, np.repeat(mesh.face_groups, 4))
  with pytest.warns(UserWarning, match=r"out\.stl: texture coordinates, normals, materials, groups and objects not"):
    meshsubdivide.write(tmp_path / "out.stl", finer)
  finer.groups = finer.groups[:1]
  with pytest.raises(ValueError, match=r"face_groups\[\d+\] is \d+, but groups has 1 entries"):
    meshsubdivide.write(tmp_path / "out.obj", finer)
  with pytest.raises(ValueError, match=r"format must be 'obj', 'ply', 'stl' or 'off', not 'gltf'"):
    meshsubdivide.write(tmp_path / "out.obj", finer, "glTF")
  assert not os.path.exists(tmp_path / "out.obj")


def testACornerWithoutATextureCoordinateStaysWithoutOne(tmp_path):
  text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0.5 0.5\nf 1/1 2/1 3/1\nf 2 4 3\n"
  mesh = meshsubdivide.read(writeText(tmp_path, "half.obj", text))
  assert np.isnan(mesh.uv[1]).all() and (mesh.uv[0] == 0.5).all()
  finer = mesh.subdivide()
  assert np.isnan(finer.uv[4:]).all() and (finer.uv[:4] == 0.5).all()


def testWrittenFilesReadBackAsTheSameMesh(tmp_path):
  mesh = meshsubdivide.subdivide(*grid(6), passes=2, rule="modified")
  meshsubdivide.write(tmp_path / "sheet.obj", mesh)
  again = meshsubdivide.read(tmp_path / "sheet.obj")
  assert sameBits(again.vertices, mesh.vertices) and np.array_equal(again.faces, mesh.faces)
  for name in ["sheet.ply", "sheet.off"]:
    meshsubdivide.write(tmp_path / name, mesh)
    again = meshsubdivide.read(tmp_path / name)
    assert sameBits(again.vertices, mesh.vertices) and np.array_equal(again.faces, mesh.faces), name


def runChild(script, **popen):
  environment = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
  return subprocess.Popen([sys.executable, "-c", textwrap.dedent(script)], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, env=environment, **popen)


GRID_SOURCE = "import numpy as np\n" + inspect.getsource(grid)


# Keywords of the call that cannot fit: uniform, to a length that splits
# every side, and carrying colours, whose bytes count too.
@pytest.mark.parametrize("keywords", ["", "max_edge='0.1%', passes=1", "colors=np.zeros((len(vertices), 3), np.float32)"])
def testAPassThatCannotFitIsAMemoryErrorBeforeAnyWork(keywords):
  # 2.09 M sides: the classification's table of 2^22 slots (101 MB) fits
  # in the limit, the pass's 166 MB do not.
  child = runChild(GRID_SOURCE + """
import resource
import meshsubdivide
vertices, faces = grid(590)
before = vertices.copy(), faces.copy()
keywords = dict(%s)
with open("/proc/self/status") as status:
  size = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, (size + (140 << 20), resource.RLIM_INFINITY))
try:
  meshsubdivide.subdivide(vertices, faces, **keywords)
  print("made")
except MemoryError as error:
  print("refused:", error)
print("untouched:", np.array_equal(vertices, before[0]) and np.array_equal(faces, before[1]))
print("then:", meshsubdivide.subdivide(*grid(3), passes=1))
""" % keywords)
  out, err = child.communicate(timeout=300)
  assert child.returncode == 0, err
  lines = out.splitlines()
  assert lines[0].startswith("refused: subdivision pass 1 of 1 not made: it needs ")
  assert "MiB of memory and" in lines[0] and lines[0].endswith("MiB can be had")
  assert lines[1:] == ["untouched: True", "then: Mesh(49 vertices, 72 faces)"]


def testTwoThreadsSubdivideSideBySideWithTheResultsOfOne():
  jobs = [(grid(150), {"rule": "classic"}), (grid(120, lift=0.5), {"rule": "modified"})]
  alone = [meshsubdivide.subdivide(*arrays, passes=2, **keywords) for arrays, keywords in jobs]
  # Both calls are inside subdivide before either pass goes on.
  meeting = threading.Barrier(len(jobs), timeout=120)
  results = [None] * len(jobs)

  def job(k):
    arrays, keywords = jobs[k]
    results[k] = meshsubdivide.subdivide(*arrays, passes=2, progress=lambda f: f == 0.0 and meeting.wait(),
                                         **keywords)

  threads = [threading.Thread(target=job, args=(k,)) for k in range(len(jobs))]
  for thread in threads:
    thread.start()
  for thread in threads:
    thread.join()
  for mesh, expected in zip(results, alone):
    assert sameBits(mesh.vertices, expected.vertices) and np.array_equal(mesh.faces, expected.faces)


def testCtrlCStopsALongPassWithKeyboardInterrupt():
  # Three passes on 180,000 triangles take seconds; the interrupt comes as
  # soon as they start, and the pass stops at its next slice.
  child = runChild(GRID_SOURCE + """
import meshsubdivide, sys, time
vertices, faces = grid(300)
seen = []
def progress(fraction):
  seen.append(fraction)
  if fraction == 0.0:
    print("started", flush=True)
try:
  meshsubdivide.subdivide(vertices, faces, passes=3, progress=progress)
  print("finished")
except KeyboardInterrupt:
  print("interrupted after", seen)
print("then:", meshsubdivide.subdivide(*grid(3)))
""")
  assert child.stdout.readline() == "started\n"
  child.send_signal(signal.SIGINT)
  out, err = child.communicate(timeout=300)
  assert child.returncode == 0, err
  lines = out.splitlines()
  assert len(lines) == 2 and lines[0].startswith("interrupted after [0.0") and not lines[0].endswith("1.0]")
  assert lines[1] == "then: Mesh(49 vertices, 72 faces)"


def testVtkTakesTheResultAsAPolyData():
  vtk = pytest.importorskip("vtk")
  from vtk.util import numpy_support

  sphere = vtk.vtkSphereSource()
  sphere.SetThetaResolution(24)
  sphere.SetPhiResolution(12)
  sphere.Update()
  source = sphere.GetOutput()
  vertices = numpy_support.vtk_to_numpy(source.GetPoints().GetData())
  faces = numpy_support.vtk_to_numpy(source.GetPolys().GetConnectivityArray()).reshape(-1, 3)
  mesh = meshsubdivide.subdivide(vertices, faces, passes=2, rule="modified")

  points = vtk.vtkPoints()
  points.SetData(numpy_support.numpy_to_vtk(mesh.vertices, deep=True))
  cells = vtk.vtkCellArray()
  offsets = np.arange(0, 3 * len(mesh.faces) + 1, 3, dtype=np.int64)
  cells.SetData(numpy_support.numpy_to_vtkIdTypeArray(offsets, deep=True),
                numpy_support.numpy_to_vtkIdTypeArray(mesh.faces.astype(np.int64).reshape(-1), deep=True))
  polyData = vtk.vtkPolyData()
  polyData.SetPoints(points)
  polyData.SetPolys(cells)

  def openSides(data):
    edges = vtk.vtkFeatureEdges()
    edges.SetInputData(data)
    edges.BoundaryEdgesOn()
    edges.NonManifoldEdgesOn()
    edges.FeatureEdgesOff()
    edges.ManifoldEdgesOff()
    edges.Update()
    return edges.GetOutput().GetNumberOfCells()

  def volume(data):
    properties = vtk.vtkMassProperties()
    properties.SetInputData(data)
    properties.Update()
    return properties.GetVolume()

  assert polyData.GetNumberOfCells() == 16 * source.GetNumberOfCells()
  assert openSides(source) == 0 and openSides(polyData) == 0
  # Closer to the ball's volume than the coarse sphere it was made from.
  ball = 4 / 3 * np.pi * 0.5**3
  assert abs(volume(polyData) - ball) < abs(volume(source) - ball)
