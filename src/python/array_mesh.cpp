#include "array_mesh.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace py = pybind11;

std::string shapeText(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < array.ndim(); ++d) text += (d > 0 ? ", " : "") + std::to_string(array.shape(d));
  return text + (array.ndim() == 1 ? ",)" : ")");
}

std::string dtypeText(const py::array& array) { return py::str(array.dtype()).cast<std::string>(); }

namespace {

// numpy's own array of anything it takes (its ValueError or TypeError comes
// through for what it cannot make one of), checked for shape (n, 3).
py::array twoDimensional(py::handle object, const char* name) {
  py::array array = py::module_::import("numpy").attr("asarray")(object);
  if (array.ndim() != 2 || array.shape(1) != 3)
    throw py::value_error(std::string(name) + " must have shape (n, 3), not " + shapeText(array));
  if (static_cast<uint64_t>(array.shape(0)) > kMostIndexedTriangles)
    throw py::value_error(std::string(name) + " has " + std::to_string(array.shape(0)) +
                          " rows, more than the pass's 32-bit numbers can count");
  return array;
}

ArrayView viewOf(const py::array& array) {
  ArrayView view;
  view.data = static_cast<const char*>(array.data());
  view.rows = static_cast<std::size_t>(array.shape(0));
  view.rowStride = array.strides(0);
  view.columnStride = array.strides(1);
  view.kind = array.dtype().attr("kind").cast<std::string>()[0];
  view.itemSize = static_cast<std::size_t>(array.itemsize());
  return view;
}

template <typename T>
T element(const ArrayView& view, std::size_t row, std::size_t column) {
  T value;
  std::memcpy(&value, view.data + static_cast<std::ptrdiff_t>(row) * view.rowStride +
                          static_cast<std::ptrdiff_t>(column) * view.columnStride,
              sizeof value);
  return value;
}

template <typename T>
void readPositions(const ArrayView& view, BigArray<FloatPoint>& positions) {
  positions.resize(view.rows);
  for (std::size_t v = 0; v < view.rows; ++v) {
    // Rounded once, as the program's reader rounds the nearest double.
    positions[v] = {static_cast<float>(element<T>(view, v, 0)), static_cast<float>(element<T>(view, v, 1)),
                    static_cast<float>(element<T>(view, v, 2))};
  }
}

std::string faceElementText(std::size_t face, int k) {
  return "faces[" + std::to_string(face) + ", " + std::to_string(k) + "]";
}

// False, with the first face element naming no vertex, when one does.
template <typename T>
bool readCorners(const ArrayView& view, std::size_t vertexCount, BigArray<uint32_t>& corners, std::string& error) {
  corners.resize(3 * view.rows);
  for (std::size_t t = 0; t < view.rows; ++t) {
    for (int k = 0; k < 3; ++k) {
      const T value = element<T>(view, t, static_cast<std::size_t>(k));
      // Each element is read once: a caller's thread writing the array
      // meanwhile cannot put an unchecked number into the mesh.
      bool negative = false;
      if constexpr (std::is_signed_v<T>) negative = value < 0;
      if (negative || static_cast<uint64_t>(value) >= vertexCount) {
        error = faceElementText(t, k) + " is " + std::to_string(value) + ", which names no vertex (vertices has " +
                std::to_string(vertexCount) + " rows)";
        return false;
      }
      corners[3 * t + static_cast<std::size_t>(k)] = static_cast<uint32_t>(value);
    }
  }
  return true;
}

bool readFaces(const ArrayView& view, std::size_t vertexCount, BigArray<uint32_t>& corners, std::string& error) {
  const bool isSigned = view.kind == 'i';
  switch (view.itemSize) {
    case 1:
      return isSigned ? readCorners<int8_t>(view, vertexCount, corners, error)
                      : readCorners<uint8_t>(view, vertexCount, corners, error);
    case 2:
      return isSigned ? readCorners<int16_t>(view, vertexCount, corners, error)
                      : readCorners<uint16_t>(view, vertexCount, corners, error);
    case 4:
      return isSigned ? readCorners<int32_t>(view, vertexCount, corners, error)
                      : readCorners<uint32_t>(view, vertexCount, corners, error);
    default:
      return isSigned ? readCorners<int64_t>(view, vertexCount, corners, error)
                      : readCorners<uint64_t>(view, vertexCount, corners, error);
  }
}

bool isFinite(const FloatPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

}  // namespace

// A vertex a face names would spread its NaN or infinity to every point
// around it.
bool usedVerticesAreFinite(const IndexedMesh& mesh, std::string& error) {
  const BigArray<FloatPoint>& positions = mesh.positions;
  const BigArray<uint32_t>& corners = mesh.corners;
  for (std::size_t c = 0; c < corners.size(); ++c) {
    const FloatPoint& p = positions[corners[c]];
    if (isFinite(p)) continue;
    error = "vertices[" + std::to_string(corners[c]) + "] is (" + std::to_string(p.x) + ", " + std::to_string(p.y) +
            ", " + std::to_string(p.z) + ") as float32, not finite, and " + faceElementText(c / 3, int(c % 3)) +
            " names it";
    return false;
  }
  return true;
}

namespace {

template <typename T>
py::capsule ownerOf(T&& buffer) {
  return py::capsule(new T(std::move(buffer)), [](void* owned) { delete static_cast<T*>(owned); });
}

}  // namespace

MeshArrays meshArraysOf(py::handle vertices, py::handle faces) {
  MeshArrays arrays;
  arrays.vertices = twoDimensional(vertices, "vertices");
  arrays.faces = twoDimensional(faces, "faces");

  const ArrayView vertexView = viewOf(arrays.vertices);
  const bool nativeOrder = arrays.vertices.dtype().attr("isnative").cast<bool>();
  if (vertexView.kind != 'f' && vertexView.kind != 'i' && vertexView.kind != 'u')
    throw py::value_error("vertices must hold real numbers, not " + dtypeText(arrays.vertices));
  if (vertexView.kind != 'f' || (vertexView.itemSize != 4 && vertexView.itemSize != 8) || !nativeOrder)
    arrays.vertices = arrays.vertices.attr("astype")("float64");

  const ArrayView faceView = viewOf(arrays.faces);
  if (faceView.kind != 'i' && faceView.kind != 'u')
    throw py::value_error("faces must hold integers, not " + dtypeText(arrays.faces));
  if (!arrays.faces.dtype().attr("isnative").cast<bool>() || faceView.itemSize > 8)
    arrays.faces = arrays.faces.attr("astype")("int64");

  arrays.vertexView = viewOf(arrays.vertices);
  arrays.faceView = viewOf(arrays.faces);
  return arrays;
}

bool readMeshArrays(const MeshArrays& arrays, SurfaceMesh& surface, std::string& error) {
  IndexedMesh& mesh = surface.mesh;
  if (arrays.vertexView.itemSize == 4) {
    readPositions<float>(arrays.vertexView, mesh.positions);
  } else {
    readPositions<double>(arrays.vertexView, mesh.positions);
  }
  return readFaces(arrays.faceView, mesh.positions.size(), mesh.corners, error);
}

MeshRecord meshRecordOf(SurfaceMesh&& surface) {
  IndexedMesh& mesh = surface.mesh;
  const py::ssize_t vertexCount = static_cast<py::ssize_t>(mesh.vertexCount());
  const py::ssize_t triangleCount = static_cast<py::ssize_t>(mesh.triangleCount());
  BigArray<uint8_t>().swap(mesh.flags);
  static_assert(sizeof(FloatPoint) == 3 * sizeof(float), "a position is three packed floats");
  const float* positions = reinterpret_cast<const float*>(mesh.positions.data());
  const uint32_t* corners = mesh.corners.data();
  MeshRecord record;
  record.vertices = py::array_t<float>({vertexCount, py::ssize_t(3)}, positions, ownerOf(std::move(mesh.positions)));
  record.faces = py::array_t<uint32_t>({triangleCount, py::ssize_t(3)}, corners, ownerOf(std::move(mesh.corners)));
  return record;
}

SurfaceMesh surfaceOfArrays(py::handle vertices, py::handle faces) {
  const MeshArrays arrays = meshArraysOf(vertices, faces);
  SurfaceMesh mesh;
  std::string error;
  bool read;
  {
    py::gil_scoped_release release;
    read = readMeshArrays(arrays, mesh, error);
  }
  if (!read) throw py::value_error(error);
  return mesh;
}
