"""What the window tests expect to see and read, worked out independently of
the program: the projection of model points to window pixels, the mesh files
as plain lists, the listing lines a freshly read mesh must print, and a
strict parser for listing lines.
"""

import math
import re
import struct

WIDTH = 800
HEIGHT = 600
FIELD_OF_VIEW = 60.0  # degrees, vertical
EYE_DISTANCE = 10.0
ZOOM = 1.125
BACKGROUND_LEVELS = (127, 128)  # 0.5 of 255, either rounding
OUTLINE_LEVEL = 191  # 0.75 of 255


def _rotate(point, degrees, axis):
  a = math.radians(degrees)
  c, s = math.cos(a), math.sin(a)
  x, y, z = point
  if axis == "x":
    return x, y * c - z * s, y * s + z * c
  return x * c + z * s, y, -x * s + z * c


def project(point, rotX=0.0, rotY=0.0, scale=1.0):
  """Window pixel coordinates (x to the right, y downwards) of a model point
  drawn from ten units away with the user's rotation and zoom."""
  scaled = tuple(scale * c for c in point)
  x, y, z = _rotate(_rotate(scaled, rotY, "y"), rotX, "x")
  depth = EYE_DISTANCE - z
  focal = 1.0 / math.tan(math.radians(FIELD_OF_VIEW) / 2)
  ndcX = focal / (WIDTH / HEIGHT) * x / depth
  ndcY = focal * y / depth
  return (ndcX + 1) * WIDTH / 2, HEIGHT - (ndcY + 1) * HEIGHT / 2


def projectedBox(points, **view):
  """(left, top, right, bottom) of the projected points, in pixels."""
  xs, ys = zip(*(project(p, **view) for p in points))
  return min(xs), min(ys), max(xs), max(ys)


def readObj(path):
  """(vertices, triangles) of a mesh file made of plain v and f statements
  (comments allowed); triangle indices count from 1."""
  vertices, triangles = [], []
  with open(path) as f:
    for line in f:
      words = line.split()
      if words and words[0] == "v":
        vertices.append(tuple(float32(float(w)) for w in words[1:4]))
      elif words and words[0] == "f":
        triangles.append(tuple(int(w) for w in words[1:4]))
  return vertices, triangles


def float32(value):
  return struct.unpack("f", struct.pack("f", value))[0]


def _coords(point):
  return " ".join("%f" % c for c in point)


def freshListings(vertices, triangles):
  """The vertex, edge and face listings of a mesh just read, whose edges are
  all interior (flag 0): one vertex line per vertex in file order, two lines
  per triangle side i0-i1, i1-i2, i2-i0, three lines per triangle."""
  vertexLines = [f"{_coords(p)} {i}" for i, p in enumerate(vertices, start=1)]
  edgeLines, faceLines = [], []
  for triangle in triangles:
    corners = [vertices[i - 1] for i in triangle]
    for k in range(3):
      edgeLines += [f"{_coords(corners[k])} 0", f"{_coords(corners[(k + 1) % 3])} 0"]
    faceLines += [f"{_coords(corners[0][:2])} 0", f"{_coords(corners[1])} 0",
                  f"{_coords(corners[2])} 0"]
  return vertexLines, edgeLines, faceLines


_NUMBER = r"-?\d+\.\d{6}"
_LINE = {n: re.compile("^" + " ".join([_NUMBER] * n) + r" (-?\d+)$") for n in (2, 3)}


def parseLine(line, coordinates):
  """(coordinates as a tuple of floats, the trailing integer) of one listing
  line with that many "%f" numbers; ValueError for anything else."""
  match = _LINE[coordinates].match(line)
  if not match:
    raise ValueError(f"not a listing line with {coordinates} coordinates: {line!r}")
  words = line.split()
  return tuple(float(w) for w in words[:-1]), int(words[-1])
