#include "mesh_files.h"

#include <cerrno>
#include <new>
#include <utility>
#include <vector>

#include "array_attributes.h"
#include "mesh_file.h"
#include "output_file.h"

namespace py = pybind11;

namespace {

py::list groupList(const std::vector<FaceGroup>& groups) {
  py::list list;
  for (const FaceGroup& group : groups) list.append(py::make_tuple(group.material, group.group, group.object));
  return list;
}

std::vector<FaceGroup> faceGroupsOf(const py::list& list) {
  std::vector<FaceGroup> groups;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const py::handle item = list[i];
    const py::tuple names = py::isinstance<py::tuple>(item) ? item.cast<py::tuple>() : py::tuple();
    if (names.size() != 3 || !py::isinstance<py::str>(names[0]) || !py::isinstance<py::str>(names[1]) ||
        !py::isinstance<py::str>(names[2]))
      throw py::value_error("groups[" + std::to_string(i) + "] must be a (material, group, object) tuple of texts");
    groups.push_back({names[0].cast<std::string>(), names[1].cast<std::string>(), names[2].cast<std::string>()});
  }
  return groups;
}

bool everyGroupNamed(const MeshAttributes& attributes, std::string& error) {
  const BigArray<uint32_t>& groupOfTriangle = attributes.groupOfTriangle;
  for (std::size_t t = 0; t < groupOfTriangle.size(); ++t) {
    if (groupOfTriangle[t] < attributes.groups.size()) continue;
    error = "face_groups[" + std::to_string(t) + "] is " + std::to_string(groupOfTriangle[t]) + ", but groups has " +
            std::to_string(attributes.groups.size()) + " entries";
    return false;
  }
  return true;
}

SurfaceMesh surfaceOfRecord(const MeshRecord& record) {
  SurfaceMesh mesh = surfaceOfArrays(record.vertices, record.faces);
  const AttributeArrays arrays = attributeArraysOf(record.uv, record.normals, record.colors, record.faceGroups,
                                                   mesh.mesh.triangleCount(), mesh.mesh.vertexCount());
  mesh.attributes.groups = faceGroupsOf(record.groups);
  for (const py::handle library : record.materialLibraries) {
    if (!py::isinstance<py::str>(library)) throw py::value_error("material_libraries must hold texts");
    mesh.attributes.materialLibraries.push_back(library.cast<std::string>());
  }
  std::string error;
  bool read;
  {
    py::gil_scoped_release release;
    read = readAttributeArrays(arrays, mesh.mesh.corners, mesh.attributes, error) &&
           everyGroupNamed(mesh.attributes, error);
  }
  if (!read) throw py::value_error(error);
  return mesh;
}

MeshFormat formatNamed(const std::string& format, const std::string& path) {
  MeshFormat chosen = MeshFormat::Obj;
  if (format.empty()) {
    formatOfOutputName(path, chosen);
    return chosen;
  }
  if (format == "obj") return MeshFormat::Obj;
  if (format == "ply") return MeshFormat::Ply;
  if (format == "stl") return MeshFormat::Stl;
  if (format == "off") return MeshFormat::Off;
  throw py::value_error("format must be 'obj', 'ply', 'stl' or 'off', not '" + format + "'");
}

// errno after a failed write, or EIO where the failure set none.
int writeCause() { return errno != 0 ? errno : EIO; }

}  // namespace

void raiseFileError(int cause, const py::object& path) {
  errno = cause;
  PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
  throw py::error_already_set();
}

py::tuple readMeshRecord(const std::string& path) {
  SurfaceMesh surface;
  MeshReadReport report;
  std::string cause;
  bool read;
  {
    py::gil_scoped_release release;
    read = readMeshFile(path, surface, report, cause);
  }
  if (!read) throw py::value_error(cause);
  py::list groups = groupList(surface.attributes.groups);
  py::list libraries = py::cast(surface.attributes.materialLibraries);
  MeshRecord record = meshRecordWithAttributes(std::move(surface), BigArray<uint32_t>());
  record.groups = groups;
  record.materialLibraries = libraries;
  return py::make_tuple(std::move(record), py::cast(report.notes));
}

std::string writeMeshRecord(const py::object& path, const MeshRecord& record, const std::string& format, bool ascii,
                            bool positionsOnly) {
  const std::string name = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
  if (name.find('\0') != std::string::npos) throw py::value_error("path holds a null byte");
  MeshWriteSettings settings;
  settings.format = formatNamed(format, name);
  settings.ascii = ascii;
  settings.positionsOnly = positionsOnly;
  const SurfaceMesh mesh = surfaceOfRecord(record);
  settings.comment = "made by meshsubdivide's Python module (butterfly subdivision): " +
                     std::to_string(mesh.mesh.vertexCount()) + " vertices and " +
                     std::to_string(mesh.mesh.triangleCount()) + " triangles";
  int cause = 0;
  {
    py::gil_scoped_release release;
    OutputFile output;
    std::string error;
    errno = 0;
    if (!openOutput(name, output, error, false)) {
      cause = writeCause();
    } else {
      bool written = false;
      try {
        written = writeMeshFile(mesh, settings, output.stream);
      } catch (const std::bad_alloc&) {
        errno = ENOMEM;
      }
      if (!written) {
        cause = writeCause();
        abandonOutput(output);
      } else if (!finishOutput(output, error)) {
        cause = writeCause();
      }
    }
  }
  if (cause != 0) raiseFileError(cause, path);
  return droppedAttributes(mesh, settings);
}
