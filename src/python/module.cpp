// The module meshsubdivide._core: the bindings and their help texts. Each
// function checks its arguments, reads them into the C++ records
// (array_mesh.h), does its work without the GIL and hands the result back
// as numpy arrays that own their buffers. The package's __init__.py adds
// read and write, which open files as Python's own functions do and turn the
// readers' notes into warnings.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "array_attributes.h"
#include "array_mesh.h"
#include "crease_marking.h"
#include "mesh_files.h"
#include "pass_thread.h"
#include "subdivide_options.h"
#include "vertex_weld.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

const char* const kModuleHelp = R"(Butterfly subdivision of triangle meshes held in numpy arrays.

The passes of the command-line program meshsubdivide, on arrays: each pass
splits every triangle into four, with a new point on each side; old vertices
never move. The points are those the program writes for the same input, bit
for bit.

    import meshsubdivide
    mesh = meshsubdivide.subdivide(vertices, faces, passes=3)
    mesh.vertices, mesh.faces        # float32 (N, 3), uint32 (M, 3)

    mesh = meshsubdivide.read("scan.ply")           # any format the program reads
    meshsubdivide.write("fine.ply", mesh.subdivide(passes=2))

docs/python.md in the project says more.
)";

const char* const kSubdivideHelp = R"(subdivide(vertices, faces, passes=1, rule="classic", tension=None, max_edge=None, crease_angle=None, uv=None, normals=None, colors=None, progress=None, *, weld=False, face_groups=None) -> Mesh

Refine a triangle mesh by butterfly subdivision.

  vertices   (n, 3) array of real numbers; float64 (and any other type but
             float32) is rounded once to float32, the precision of the pass
             and of the program's reader. A vertex a face names must be
             finite; one no face names may hold anything.
  faces      (m, 3) array of integers of any type, each a row of vertices;
             corner order gives the orientation, which is kept.
  passes     subdivision passes to make (default 1; 0 only reads, and welds
             when asked); with max_edge, the most to make, and 0 goes on
             until no side is longer (at most 32), as the program's
             --max-edge without -n
  rule       where new points go (default "classic"):
               "classic"   the eight-point butterfly stencil with tension,
                           the four-point rule on open rims
               "modified"  the modified butterfly rule of Zorin, Schroeder
                           and Sweldens: smooth around vertices of any
                           number of neighbours
  tension    classic rule: weight of the stencil's far corners, read as a
             float32 as the program reads --tension (default 0.05; 0.0625 is
             the classic 1/16); not with the modified rule
  max_edge   split only the sides longer than this, a length in the mesh's
             units (a number, or text such as "0.5") or "P%" of its
             bounding-box diagonal, and cut their triangles into 2, 3 or 4
             without cracks, as --max-edge; 0 splits every side, so needs
             passes
  crease_angle
             keep sharp features sharp: a side whose two triangles bend by
             more than this many degrees (0 to 180) is a crease, refined
             along its line as a rim is, and no stencil reaches across it,
             as --crease-angle (default: no creases)
  uv         (m, 3, 2) texture coordinates per corner of each face; NaN
             in every component marks a corner without one
  normals    (m, 3, 3) normals per corner of each face, NaN as for uv
  colors     (n, 3 or 4) colours per vertex: floats from 0 to 1, or uint8
             from 0 to 255; alpha last
  progress   called as progress(fraction) with 0.0 when the passes start and
             after each pass with the share of the work done (1.0 after the
             last), from the calling thread; what it raises ends the call.
             Passes to a length, whose number is not known ahead, report
             1 - 4**-k after pass k and 1.0 when they end.
  face_groups
             (m,) a number per face (below 2**32 - 1), kept by the faces cut
             from it: a material or group, as Mesh.face_groups holds
  weld       first take vertices at the same position (within 1e-5 of the
             bounding-box diagonal in every coordinate) as one, each the
             first of them, as the program's reader does; by default every
             row stands for itself, however near another it lies

Returns a Mesh: vertices float32 (N, 3), the input's first (in order;
welded when asked), then each pass's new points; faces uint32 (M, 3),
triangle t becoming rows 4t .. 4t + 3 of a uniform pass. Each uniform pass
takes V, E, F to V + E, 2E + 3F, 4F. The arrays own their memory; nothing
is copied on the way out.

The Mesh also holds uv, normals, colors and face_groups when they were
given, else None: uv float32 (M, 3, 2) and normals float32 (M, 3, 3) per
corner of the result's faces, colors (N, 3 or 4) per vertex, float32 or
uint8 as given, face_groups uint32 (M,). Mesh.subdivide carries all of a
Mesh, group names too.
A new corner takes the midpoint of its side's ends as its face saw them
(normals made unit length again), so faces that disagree at a side (a
texture seam) keep two values at its new point and faces that agree share
one. A vertex's colour is that of the first corner naming it: the input
row's, or with weld the first row the face names; uint8 midpoints are
rounded to the nearest.

Raises ValueError for a bad argument (wrong shape or type, a face naming no
vertex, a named vertex, texture coordinate or normal not finite, a float
colour outside 0 to 1, an unknown rule, a max_edge or crease_angle the
program would refuse), MemoryError before a pass that cannot fit in the
memory the process can have (the program's rule and words),
KeyboardInterrupt on Ctrl-C within a fraction of a second. The GIL is
released while the passes run: threads subdivide side by side.
)";

const char* const kMeshHelp = R"(Mesh(vertices, faces)

A triangle mesh as numpy arrays: vertices float32 (N, 3) and faces uint32
(M, 3), rows of vertex numbers counted from 0. subdivide and read return
one; Mesh(vertices, faces) makes one from any arrays that subdivide takes
(copied and checked the same way). Unpacks as (vertices, faces).

What a file or subdivide carried beside them, else None: uv (M, 3, 2) and
normals (M, 3, 3) per corner of each face, NaN at a corner without one;
colors (N, 3 or 4) per vertex; face_groups uint32 (M,), each face's entry
of groups, the list of (material, group, object) texts the file named
("" where it named none), and material_libraries, the OBJ's mtllib files.
groups and material_libraries may be set before writing.
)";

const char* const kMeshSubdivideHelp = R"(Mesh.subdivide(passes=1, rule="classic", tension=None, max_edge=None, crease_angle=None, progress=None) -> Mesh

The mesh subdivided as subdivide(...) does it, with everything it carries:
texture coordinates, normals, colours, and each face's group (a child face
keeps its parent's), group names and material libraries.
)";

// Weld or classify: the pass wants classified sides, and welding classifies.
// The weld is the program reader's (weldedMesh) with every row usable, kept
// here for the input row each vertex stands for, whose colour it keeps.
void prepareForPasses(IndexedMesh& mesh, bool weld, BigArray<uint32_t>& rowOfVertex) {
  if (!weld) {
    rowOfVertex.resize(mesh.vertexCount());
    for (std::size_t v = 0; v < rowOfVertex.size(); ++v) rowOfVertex[v] = static_cast<uint32_t>(v);
    classifySides(mesh);
    return;
  }
  VertexWeld welded;
  weldPositions(mesh.positions, welded);
  BigArray<uint32_t> meshNumber(mesh.positions.size());
  BigArray<FloatPoint> positions;
  rowOfVertex.clear();
  for (std::size_t row = 0; row < mesh.positions.size(); ++row) {
    if (welded.weldedTo[row] == row) {
      meshNumber[row] = static_cast<uint32_t>(positions.size());
      positions.push_back(mesh.positions[row]);
      rowOfVertex.push_back(static_cast<uint32_t>(row));
    } else {
      meshNumber[row] = meshNumber[welded.weldedTo[row]];
    }
  }
  mesh.positions = std::move(positions);
  for (uint32_t& corner : mesh.corners) corner = meshNumber[corner];
  classifySides(mesh);
}

// None, a number or text, as max_edge may be given.
SideLengthArgument sideLengthArgumentOf(const py::object& maxEdge) {
  SideLengthArgument argument;
  argument.given = !maxEdge.is_none();
  if (!argument.given) return argument;
  if (py::isinstance<py::str>(maxEdge)) {
    argument.isText = true;
    argument.text = maxEdge.cast<std::string>();
    return argument;
  }
  if (py::isinstance<py::bool_>(maxEdge) || !PyNumber_Check(maxEdge.ptr()))
    throw py::type_error("max_edge must be a number, a text such as '1%', or None");
  argument.number = py::float_(maxEdge).cast<double>();
  return argument;
}

MeshRecord subdivide(py::handle vertices, py::handle faces, int passes, const std::string& rule,
                     std::optional<double> tension, const py::object& maxEdge, std::optional<double> creaseAngle,
                     py::handle uv, py::handle normals, py::handle colors, py::object progress, bool weld,
                     py::handle faceGroups) {
  SubdivideOptions options;
  std::string error;
  if (!subdivideOptionsOf(passes, rule, tension, sideLengthArgumentOf(maxEdge), creaseAngle, weld, options, error))
    throw py::value_error(error);
  if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
    throw py::type_error("progress must be callable or None");
  SurfaceMesh mesh = surfaceOfArrays(vertices, faces);
  const AttributeArrays attributes =
      attributeArraysOf(uv, normals, colors, faceGroups, mesh.mesh.triangleCount(), mesh.mesh.vertexCount());
  BigArray<uint32_t> rowOfVertex;
  bool usable;
  {
    py::gil_scoped_release release;
    usable = usedVerticesAreFinite(mesh.mesh, error) &&
             readAttributeArrays(attributes, mesh.mesh.corners, mesh.attributes, error);
    if (usable) {
      prepareForPasses(mesh.mesh, options.weld, rowOfVertex);
      if (options.creaseAngle >= 0.0) markCreases(mesh.mesh, options.creaseAngle);
    }
  }
  if (!usable) throw py::value_error(error);
  runPasses(mesh, options, progress);
  return meshRecordWithAttributes(std::move(mesh), rowOfVertex);
}

// The record subdivided with everything it carries, its group names too.
MeshRecord subdivideRecord(const MeshRecord& source, int passes, const std::string& rule,
                           std::optional<double> tension, const py::object& maxEdge,
                           std::optional<double> creaseAngle, py::object progress) {
  MeshRecord record = subdivide(source.vertices, source.faces, passes, rule, tension, maxEdge, creaseAngle, source.uv,
                                source.normals, source.colors, std::move(progress), false, source.faceGroups);
  record.groups = py::list(source.groups);
  record.materialLibraries = py::list(source.materialLibraries);
  return record;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  // Each help text opens with its own signature, in Python's terms.
  py::options options;
  options.disable_function_signatures();
  m.doc() = kModuleHelp;
  py::class_<MeshRecord>(m, "Mesh", kMeshHelp)
      .def(py::init([](py::handle vertices, py::handle faces) { return meshRecordOf(surfaceOfArrays(vertices, faces)); }),
           "vertices"_a, "faces"_a)
      .def_readonly("vertices", &MeshRecord::vertices, "float32 (N, 3): x, y, z of each vertex")
      .def_readonly("faces", &MeshRecord::faces, "uint32 (M, 3): the vertex numbers of each triangle, from 0")
      .def_readonly("uv", &MeshRecord::uv, "float32 (M, 3, 2) texture coordinates per corner, or None")
      .def_readonly("normals", &MeshRecord::normals, "float32 (M, 3, 3) unit normals per corner, or None")
      .def_readonly("colors", &MeshRecord::colors, "float32 or uint8 (N, 3 or 4) colours per vertex, or None")
      .def_readonly("face_groups", &MeshRecord::faceGroups, "uint32 (M,) each face's entry of groups, or None")
      .def_readwrite("groups", &MeshRecord::groups, "list of (material, group, object) texts")
      .def_readwrite("material_libraries", &MeshRecord::materialLibraries, "list of an OBJ's mtllib files")
      .def("subdivide", &subdivideRecord, kMeshSubdivideHelp, "passes"_a = 1, "rule"_a = "classic",
           "tension"_a = py::none(), "max_edge"_a = py::none(), "crease_angle"_a = py::none(),
           "progress"_a = py::none())
      .def("__iter__", [](const MeshRecord& mesh) { return py::iter(py::make_tuple(mesh.vertices, mesh.faces)); })
      .def("__repr__", [](const MeshRecord& mesh) {
        return "Mesh(" + std::to_string(mesh.vertices.shape(0)) + " vertices, " +
               std::to_string(mesh.faces.shape(0)) + " faces)";
      });
  m.def("subdivide", &subdivide, kSubdivideHelp, "vertices"_a, "faces"_a, "passes"_a = 1, "rule"_a = "classic",
        "tension"_a = py::none(), "max_edge"_a = py::none(), "crease_angle"_a = py::none(), "uv"_a = py::none(),
        "normals"_a = py::none(), "colors"_a = py::none(), "progress"_a = py::none(), py::kw_only(),
        "weld"_a = false, "face_groups"_a = py::none());
  m.def("_read", &readMeshRecord, "The mesh of a file and the reader's notes.", "path"_a);
  m.def("_write", &writeMeshRecord, "Writes the mesh; returns what the format could not hold.", "path"_a, "mesh"_a,
        "format"_a, "ascii"_a, "positions_only"_a);
}
