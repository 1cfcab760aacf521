#!/usr/bin/env python3
"""Runs the meshsubdivide program itself: its help, its errors, its reading
of a file as tools/view-mesh prepares it, bad files of every format, its
conversions read back by it and by another program, and its interrupted
writes.

  cli_tests.py --program PATH [--runner PATH]

--runner starts the program through another (tools/run-windows for the
Windows build under Wine). Exit status 0 when every check holds.
"""

import argparse
import importlib.machinery
import importlib.util
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

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


def viewMesh():
  loader = importlib.machinery.SourceFileLoader("view_mesh", os.path.join(REPOSITORY, "tools", "view-mesh"))
  spec = importlib.util.spec_from_loader("view_mesh", loader)
  module = importlib.util.module_from_spec(spec)
  loader.exec_module(module)
  return module


def viewMeshTriangles(text):
  """The triangles of tools/view-mesh as tuples of float32 corner bits."""
  vertices, triangles = viewMesh().readMesh(text)
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


def plyHead(vertexCount, faceCount):
  return ("ply\nformat binary_little_endian 1.0\nelement vertex %s\nproperty float x\nproperty float y\n"
          "property float z\nelement face %s\nproperty list uchar int vertex_indices\nend_header\n"
          % (vertexCount, faceCount)).encode()


def plyBinary(vertexCount, faceCount, body):
  return plyHead(vertexCount, faceCount) + body


TRIANGLE_POINTS = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
ONE_FACE = struct.pack("<B3i", 3, 0, 1, 2)

# name, file name, bytes, what the one line must hold after "FILE: ".
BAD_FILES = [
  ("a PLY vertex count larger than the file", "count.ply", plyBinary(1000000000, 1, TRIANGLE_POINTS + ONE_FACE),
   "byte %d: the header says 1000000000 vertex records, more than the 49 bytes left can hold"
   % len(plyHead(1000000000, 1))),
  ("a PLY face count in the billions", "faces.ply", plyBinary(3, 4000000000, TRIANGLE_POINTS + ONE_FACE),
   "byte %d: the header says 4000000000 face records, more than the 13 bytes left can hold"
   % (len(plyHead(3, 4000000000)) + 36)),
  ("a PLY list count beyond the face's bytes", "list.ply", plyBinary(3, 1, TRIANGLE_POINTS + struct.pack("<B3i", 200, 0, 1, 2)),
   "byte %d: a face of 200 corners runs past the end of the file" % (len(plyHead(3, 1)) + 37)),
  ("truncated binary PLY", "cut.ply", plyBinary(3, 2, TRIANGLE_POINTS + ONE_FACE + b"\x04\0\0"),
   "byte %d: a face of 4 corners runs past the end of the file" % (len(plyHead(3, 2)) + 50)),
  ("an unknown PLY property type", "type.ply", b"ply\nformat ascii 1.0\nelement vertex 3\nproperty half x\nend_header\n",
   "line 4: unknown property type 'half'"),
  ("an STL whose size fits neither form", "size.stl", b"\0" * 80 + struct.pack("<I", 2) + b"\0" * 60,
   "is neither ASCII STL nor binary STL: its header says 2 triangles, which take 184 bytes, but the file has 144"),
  ("OFF counts larger than the file", "counts.off", b"OFF\n2000000000 3 0\n0 0 0\n",
   "line 2: the counts say 2000000000 vertices and 3 faces, more than the 6 bytes left can hold"),
  ("a PLY file of points", "points.ply", plyBinary(3, 0, TRIANGLE_POINTS), "holds no triangle (3 vertices, no face"),
  ("an OFF file of points", "points.off", b"OFF\n3 0 0\n0 0 0\n1 0 0\n0 1 0\n", "holds no triangle (3 vertices"),
  ("a glTF file that is not one", "scene.glb", b"glTF garbage", "glTF"),
]


def checkBadFiles(checks, scratch):
  """Each bad file: one line naming it, its cause and place; status 2; the
  output left as it was and no temporary file beside it."""
  for name, fileName, data, cause in BAD_FILES:
    source = os.path.join(scratch, fileName)
    with open(source, "wb") as f:
      f.write(data)
    folder = os.path.join(scratch, "bad-" + fileName)
    os.makedirs(folder)
    output = os.path.join(folder, "out.ply")
    with open(output, "wb") as f:
      f.write(b"the old output")
    run = checks.run(source, "-n", "0", "-o", output)
    lines = run.stderr.decode().splitlines()
    checks.expect(run.returncode == 2, "%s: status 2, not %d" % (name, run.returncode))
    checks.expect(len(lines) == 1 and lines[0].startswith("meshsubdivide: %s: " % source) and cause in lines[0],
                  "%s: one line naming the file and '%s': %r" % (name, cause, lines))
    with open(output, "rb") as f:
      checks.expect(f.read() == b"the old output", "%s: the output is untouched" % name)
    checks.expect(os.listdir(folder) == ["out.ply"], "%s: nothing left beside the output: %r" % (name, os.listdir(folder)))


# Faces and corners that name nothing are skipped, and said so once.
SKIPPED = [
  ("PLY faces naming missing vertices", "skip.ply",
   plyBinary(3, 3, TRIANGLE_POINTS + ONE_FACE + struct.pack("<B3i", 3, 0, 1, 7) + struct.pack("<B3i", 3, 0, -1, 2)),
   "2 faces skipped: they name vertices the file does not hold"),
  ("OBJ texture numbers naming nothing", "bereft.obj",
   b"v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/5 3/6\nf 3/1 2/9 1/1\n",
   "2 faces have corners without their texture coordinates or normals"),
]

AWKWARD_POINTS = [(0.1, -3.4028234663852886e38, 1e-45), (2.7182817, 1e-7, -0.3333333), (1e-38, 16777216.0, -1.5),
                  (1e20, -7e-20, 0.5)]


def checkConversions(checks, scratch):
  for name, fileName, data, note in SKIPPED:
    source = os.path.join(scratch, fileName)
    with open(source, "wb") as f:
      f.write(data)
    run = checks.run(source, "-n", "0", "-o", os.path.join(scratch, "skipped.obj"))
    lines = run.stderr.decode().splitlines()
    checks.expect(run.returncode == 0 and len(lines) == 1 and note in lines[0],
                  "%s: status 0 and one note '%s': %d %r" % (name, note, run.returncode, lines))

  # OBJ to each format and back to OBJ: the same triangles to the bit.
  source = os.path.join(scratch, "awkward-points.obj")
  with open(source, "w") as f:
    f.write("".join("v %r %r %r\n" % p for p in AWKWARD_POINTS) + "f 1 2 3\nf 1 3 4\nf 2 4 3\n")
  first = os.path.join(scratch, "first.obj")
  checks.run(source, "-n", "0", "-o", first)
  with open(first) as f:
    expected = writtenTriangles(f.read())
  for extension, extra in ((".ply", []), (".ply", ["--ascii"]), (".stl", []), (".stl", ["--ascii"]), (".off", [])):
    between = os.path.join(scratch, "between" + extension)
    back = os.path.join(scratch, "back.obj")
    there = checks.run(source, "-n", "0", "-o", between, *extra)
    again = checks.run(between, "-n", "0", "-o", back)
    checks.expect(there.returncode == 0 and again.returncode == 0, "OBJ to %s %s and back run" % (extension, extra))
    with open(back) as f:
      got = writtenTriangles(f.read())
    checks.expect(got == expected, "OBJ to %s %s and back keeps every bit: %r" % (extension, extra, got))
  formatted = checks.run(source, "-n", "0", "--format", "stl")
  checks.expect(formatted.stdout[:80].startswith(b"binary STL") and len(formatted.stdout) == 84 + 3 * 50,
                "--format stl writes binary STL to standard output")


MESHIO_READ = """
import sys, meshio
mesh = meshio.read(sys.argv[1], file_format=sys.argv[2])
triangles = sum(len(block.data) for block in mesh.cells if block.type == "triangle")
print(len(mesh.points), triangles)
"""


def checkIndependentReader(checks, scratch):
  """meshio, Debian's, opens what the program writes, in every format."""
  debianPython = "/usr/bin/python3"
  if not os.path.exists(debianPython) or subprocess.run([debianPython, "-c", "import meshio"],
                                                        capture_output=True).returncode != 0:
    print("skipped: no meshio for %s (python3-meshio)" % debianPython)
    return
  source = os.path.join(scratch, "grid.obj")
  with open(source, "w") as f:
    f.write(gridObj(6))
  for extension, extra, meshioFormat in ((".ply", [], "ply"), (".ply", ["--ascii"], "ply"), (".stl", [], "stl"),
                                         (".stl", ["--ascii"], "stl"), (".off", [], "off"), (".obj", [], "obj")):
    written = os.path.join(scratch, "for-meshio" + extension)
    checks.run(source, "-n", "1", "-o", written, *extra)
    read = subprocess.run([debianPython, "-c", MESHIO_READ, written, meshioFormat], capture_output=True, text=True)
    # A pass on the 6 x 6 grid: 49 vertices and a point on each of 120
    # sides, 4 x 72 triangles (meshio joins the corners of STL's triangles).
    checks.expect(read.stdout.split() == ["169", "288"],
                  "meshio reads %s %s: %r %r" % (extension, extra, read.stdout, read.stderr[-300:]))


def gridObj(n):
  """An n by n grid of squares, each two triangles."""
  lines = ["v %d %d 0" % (i, j) for j in range(n + 1) for i in range(n + 1)]
  for j in range(n):
    for i in range(n):
      a = j * (n + 1) + i + 1
      lines.append("f %d %d %d" % (a, a + 1, a + n + 2))
      lines.append("f %d %d %d" % (a, a + n + 2, a + n + 1))
  return "\n".join(lines) + "\n"


def checkInterrupts(checks, scratch):
  """SIGINT or SIGTERM while the output is being written, in every format:
  the old output stays, no temporary file is left. The signal goes once the
  temporary file holds bytes; a run that ends first is made again with one
  pass more, so that a loaded machine never fails the check."""
  source = os.path.join(scratch, "grid-large.obj")
  with open(source, "w") as f:
    f.write(gridObj(100))
  for extension, extra in ((".obj", []), (".ply", []), (".ply", ["--ascii"]), (".stl", []), (".off", [])):
    for sent in (signal.SIGINT, signal.SIGTERM):
      folder = os.path.join(scratch, "interrupted-%s-%s%s" % (int(sent), extension[1:], "".join(extra)))
      os.makedirs(folder)
      output = os.path.join(folder, "out" + extension)
      with open(output, "wb") as f:
        f.write(b"the old output")
      status = None
      for passes in (3, 4, 5):
        process = subprocess.Popen(checks.command + [source, "-n", str(passes), "-o", output] + extra,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while process.poll() is None:
          parts = [name for name in os.listdir(folder) if ".part-" in name]
          if parts and os.path.getsize(os.path.join(folder, parts[0])) > 0:
            process.send_signal(sent)
            break
          time.sleep(0.001)
        status = process.wait()
        if status != 0:
          break
        with open(output, "wb") as f:
          f.write(b"the old output")
      what = "%s while writing %s %s" % (sent.name, extension, extra)
      checks.expect(status == 128 + int(sent), "%s: status %d, not %r" % (what, 128 + int(sent), status))
      checks.expect(os.listdir(folder) == [os.path.basename(output)], "%s: left %r" % (what, os.listdir(folder)))
      with open(output, "rb") as f:
        checks.expect(f.read() == b"the old output", "%s: the old output is untouched" % what)


def checkViewMeshConversion(checks, scratch, program):
  """tools/view-mesh shows a PLY or STL file as the OBJ file it was made of."""
  source = os.path.join(scratch, "for-view.obj")
  with open(source, "w") as f:
    f.write("v 0.1 0.2 0.3\nv 1.5 -2.25 0.7\nv 3.3333333 1e-7 2\nv 0 1 -1\nf 1 2 3 4\nf 2 4 3\n")
  with open(source) as f:
    expected = viewMeshTriangles(f.read())
  module = viewMesh()
  for extension in (".ply", ".stl"):
    other = os.path.join(scratch, "for-view" + extension)
    checks.run(source, "-n", "0", "-o", other)
    folder = tempfile.mkdtemp(dir=scratch)
    with open(module.convertedToObj(other, program, folder)) as f:
      checks.expect(viewMeshTriangles(f.read()) == expected, "view-mesh shows the %s file's triangles" % extension)
  try:
    module.convertedToObj(os.path.join(scratch, "size.stl"), program, scratch)
    checks.expect(False, "view-mesh refuses a bad STL file")
  except module.MeshError as error:
    checks.expect("is neither ASCII STL nor binary STL" in str(error), "view-mesh passes on the cause: %s" % error)


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


def sideLengths(text):
  vertices, lengths = [], []
  for line in text.splitlines():
    words = line.split()
    if words and words[0] == "v":
      vertices.append(tuple(float(w) for w in words[1:4]))
    elif words and words[0] == "f":
      corners = [vertices[int(w) - 1] for w in words[1:4]]
      for k in range(3):
        lengths.append(sum((a - b) ** 2 for a, b in zip(corners[k], corners[(k + 1) % 3])) ** 0.5)
  return lengths


def checkMaxEdge(checks, scratch):
  cube = os.path.join(REPOSITORY, "Data", "Cube.obj")
  for value in ("-1", "abc", "nan", "inf", "1e999", "101%", "0%", "-5%", "%", "", "5%%", "2x"):
    bad = checks.run(cube, "--max-edge", value)
    lines = bad.stderr.decode().splitlines()
    checks.expect(bad.returncode == 2 and bad.stdout == b"" and len(lines) == 1 and lines[0].startswith("meshsubdivide: "),
                  "--max-edge %r ends with status 2 and one line: %d %r" % (value, bad.returncode, lines))
  endless = checks.run(cube, "--max-edge", "0")
  checks.expect(endless.returncode == 2 and len(endless.stderr.decode().splitlines()) == 1,
                "--max-edge 0 without -n is refused in one line")

  uniform, zero = os.path.join(scratch, "uniform.obj"), os.path.join(scratch, "zero.obj")
  checks.run(cube, "-n", "2", "--rule", "modified", "-o", uniform)
  checks.run(cube, "-n", "2", "--rule", "modified", "--max-edge", "0", "-o", zero)
  with open(uniform, "rb") as f, open(zero, "rb") as g:
    checks.expect(f.read().split(b"\n", 1)[1] == g.read().split(b"\n", 1)[1],
                  "--max-edge 0 -n 2 writes the mesh of -n 2")

  # The cube's diagonal is 2 * sqrt(3); its longest sides are 2 * sqrt(2).
  limited = os.path.join(scratch, "limited.obj")
  done = checks.run(cube, "--max-edge", "20%", "-o", limited)
  checks.expect(done.returncode == 0, "--max-edge 20%% runs: %r" % done.stderr)
  with open(limited) as f:
    lengths = sideLengths(f.read())
  checks.expect(max(lengths) <= 0.2 * 2 * 3 ** 0.5 * (1 + 1e-6),
                "--max-edge 20%% leaves no side longer than 20%% of the diagonal: %g" % max(lengths))


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
    for option in (b"-n, --passes", b"-o, --output", b"--tension", b"--max-edge", b"--crease-angle", b"--progress"):
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
    checkMaxEdge(checks, scratch)

    for angle in ("-1", "-0.5", "181", "180.001", "nan", "inf", "abc", "30deg", ""):
      refused = checks.run(source, "--crease-angle", angle)
      lines = refused.stderr.decode().splitlines()
      checks.expect(refused.returncode == 2 and refused.stdout == b"" and len(lines) == 1 and
                    lines[0].startswith("meshsubdivide: ") and "crease angle" in lines[0],
                    "--crease-angle %r is refused with status 2 and one line: %d %r" % (angle, refused.returncode, lines))
    missing_angle = checks.run(source, "--crease-angle")
    checks.expect(missing_angle.returncode == 2 and len(missing_angle.stderr.decode().splitlines()) == 1,
                  "--crease-angle without its value is refused with one line")
    for angle in ("0", "180", "30.5"):
      creased = checks.run(source, "--crease-angle=" + angle, "-o", output)
      checks.expect(creased.returncode == 0 and creased.stderr == b"",
                    "--crease-angle=%s is taken: %d %r" % (angle, creased.returncode, creased.stderr))
    checkBadFiles(checks, scratch)
    checkConversions(checks, scratch)
    checkIndependentReader(checks, scratch)
    if not options.runner:
      checkInterrupts(checks, scratch)
      checkViewMeshConversion(checks, scratch, options.program)
  finally:
    shutil.rmtree(scratch, ignore_errors=True)
  return 1 if checks.failures else 0


if __name__ == "__main__":
  sys.exit(main())
