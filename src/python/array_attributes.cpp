#include "array_attributes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace py = pybind11;

namespace {

char kindOf(const py::array& array) { return array.dtype().attr("kind").cast<std::string>()[0]; }

// A float64 beyond float32's range becomes an infinity, which the reading
// refuses with its place, rather than also a warning of numpy's.
py::array contiguous(const py::array& array, const char* dtype) {
  const py::module_ numpy = py::module_::import("numpy");
  const py::object quiet = numpy.attr("errstate")(py::arg("over") = "ignore", py::arg("invalid") = "ignore");
  quiet.attr("__enter__")();
  py::array converted;
  try {
    converted = numpy.attr("ascontiguousarray")(array, dtype);
  } catch (...) {
    quiet.attr("__exit__")(py::none(), py::none(), py::none());
    throw;
  }
  quiet.attr("__exit__")(py::none(), py::none(), py::none());
  return converted;
}

// A per-corner array of (rows, 3, width) real numbers, as float32.
py::object cornerArray(py::handle object, const char* name, std::size_t rows, py::ssize_t width,
                       const float*& data) {
  if (object.is_none()) return py::none();
  const py::array array = py::module_::import("numpy").attr("asarray")(object);
  if (array.ndim() != 3 || static_cast<std::size_t>(array.shape(0)) != rows || array.shape(1) != 3 ||
      array.shape(2) != width)
    throw py::value_error(std::string(name) + " must have shape (" + std::to_string(rows) + ", 3, " +
                          std::to_string(width) + "), a row per face, not " + shapeText(array));
  const char kind = kindOf(array);
  if (kind != 'f' && kind != 'i' && kind != 'u')
    throw py::value_error(std::string(name) + " must hold real numbers, not " +
                          dtypeText(array));
  const py::array floats = contiguous(array, "float32");
  data = static_cast<const float*>(floats.data());
  return floats;
}

std::string valueText(const float* value, unsigned width) {
  std::string text = "(";
  for (unsigned k = 0; k < width; ++k) text += (k > 0 ? ", " : "") + std::to_string(value[k]);
  return text + ")";
}

// A corner whose every component is NaN has no value of this kind, as a
// file's corner may have none where its other faces have one.
bool isMissing(const float* value, unsigned width) {
  for (unsigned k = 0; k < width; ++k)
    if (!std::isnan(value[k])) return false;
  return true;
}

// Corners at one vertex row with the same bits share a value, numbered in
// the order corners first name them: faces that agree at a vertex make one
// new value per side as the program's files do, rather than one per face.
bool readCornerValues(const float* data, const BigArray<uint32_t>& corners, const char* name, unsigned width,
                      CornerValues& values, std::string& error) {
  if (data == nullptr) return true;
  const std::size_t count = corners.size();
  for (std::size_t c = 0; c < count; ++c) {
    if (isMissing(data + width * c, width)) continue;
    for (unsigned k = 0; k < width; ++k) {
      if (std::isfinite(data[width * c + k])) continue;
      error = std::string(name) + "[" + std::to_string(c / 3) + ", " + std::to_string(c % 3) + "] is " +
              valueText(data + width * c, width) + " as float32, not finite (all NaN marks a corner without one)";
      return false;
    }
  }
  const std::size_t bytes = sizeof(float) * width;
  BigArray<uint32_t> order(count);
  for (std::size_t c = 0; c < count; ++c) order[c] = static_cast<uint32_t>(c);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (corners[a] != corners[b]) return corners[a] < corners[b];
    const int sign = std::memcmp(data + width * a, data + width * b, bytes);
    return sign != 0 ? sign < 0 : a < b;
  });
  // Each corner first names the lowest corner of its group, then its number.
  values.ofCorner.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t c = order[i], previous = i > 0 ? order[i - 1] : c;
    const bool same = i > 0 && corners[previous] == corners[c] &&
                      std::memcmp(data + width * previous, data + width * c, bytes) == 0;
    values.ofCorner[c] = same ? values.ofCorner[previous] : c;
  }
  values.values.clear();
  for (std::size_t c = 0; c < count; ++c) {
    const uint32_t first = values.ofCorner[c];
    if (isMissing(data + width * first, width)) {
      values.ofCorner[c] = kNoValue;
      continue;
    }
    if (first != c) {
      values.ofCorner[c] = values.ofCorner[first];
      continue;
    }
    values.ofCorner[c] = static_cast<uint32_t>(values.values.size() / width);
    values.values.insert(values.values.end(), data + width * c, data + width * (c + 1));
  }
  values.width = width;
  return true;
}

// Colours are per vertex: each corner names its vertex row's colour.
bool readColors(const AttributeArrays& arrays, const BigArray<uint32_t>& corners, MeshAttributes& attributes,
                std::string& error) {
  if (arrays.colorData == nullptr) return true;
  const unsigned width = arrays.colorWidth;
  const std::size_t count = width * arrays.vertexRows;
  CornerValues& colors = attributes.colors;
  colors.values.resize(count);
  if (arrays.colorBytes) {
    const uint8_t* data = static_cast<const uint8_t*>(arrays.colorData);
    for (std::size_t i = 0; i < count; ++i) colors.values[i] = static_cast<float>(data[i] / 255.0);
  } else {
    const float* data = static_cast<const float*>(arrays.colorData);
    for (std::size_t i = 0; i < count; ++i) {
      if (data[i] >= 0.0f && data[i] <= 1.0f) {
        colors.values[i] = data[i];
        continue;
      }
      error = "colors[" + std::to_string(i / width) + "] is " + valueText(data + i / width * width, width) +
              " as float32, not within 0 to 1 (give uint8 for 0 to 255)";
      return false;
    }
  }
  colors.width = width;
  colors.ofCorner.assign(corners.begin(), corners.end());
  attributes.colorsWereBytes = arrays.colorBytes;
  return true;
}

bool readFaceGroups(const AttributeArrays& arrays, std::size_t triangles, MeshAttributes& attributes,
                    std::string& error) {
  if (arrays.faceGroupData == nullptr) return true;
  attributes.groupOfTriangle.resize(triangles);
  for (std::size_t t = 0; t < triangles; ++t) {
    const int64_t number = arrays.faceGroupData[t];
    if (number < 0 || number >= int64_t(kNoValue)) {
      error = "face_groups[" + std::to_string(t) + "] is " + std::to_string(number) + ", not from 0 to 2**32 - 2";
      return false;
    }
    attributes.groupOfTriangle[t] = static_cast<uint32_t>(number);
  }
  return true;
}

template <typename T>
py::capsule ownerOf(T&& buffer) {
  return py::capsule(new T(std::move(buffer)), [](void* owned) { delete static_cast<T*>(owned); });
}

// The per-corner array of a kind of value, (triangles, 3, width).
py::object cornerArrayOf(const CornerValues& values, const BigArray<uint32_t>& corners) {
  if (!values.present()) return py::none();
  const unsigned width = values.width;
  const std::size_t triangles = corners.size() / 3;
  BigArray<float> out(3 * triangles * width);
  for (std::size_t c = 0; c < 3 * triangles; ++c) {
    const uint32_t value = valueOfCorner(values, corners, c);
    if (value == kNoValue) {
      std::fill(&out[width * c], &out[width * c] + width, std::nanf(""));
      continue;
    }
    std::memcpy(&out[width * c], &values.values[width * static_cast<std::size_t>(value)], sizeof(float) * width);
  }
  const float* data = out.data();
  return py::array_t<float>({static_cast<py::ssize_t>(triangles), py::ssize_t(3), static_cast<py::ssize_t>(width)},
                            data, ownerOf(std::move(out)));
}

template <typename T>
py::object vertexArrayOf(const BigArray<uint32_t>& valueOfVertex, const CornerValues& colors, bool bytes) {
  const unsigned width = colors.width;
  BigArray<T> out(valueOfVertex.size() * width);
  for (std::size_t v = 0; v < valueOfVertex.size(); ++v) {
    for (unsigned k = 0; k < width; ++k) {
      const float value =
          valueOfVertex[v] == kNoValue ? 0.0f : colors.values[width * static_cast<std::size_t>(valueOfVertex[v]) + k];
      out[width * v + k] = bytes ? static_cast<T>(std::lround(std::fmin(std::fmax(value, 0.0f), 1.0f) * 255.0))
                                 : static_cast<T>(value);
    }
  }
  const T* data = out.data();
  return py::array_t<T>({static_cast<py::ssize_t>(valueOfVertex.size()), static_cast<py::ssize_t>(width)}, data,
                        ownerOf(std::move(out)));
}

}  // namespace

AttributeArrays attributeArraysOf(py::handle uv, py::handle normals, py::handle colors, py::handle faceGroups,
                                  std::size_t faceRows, std::size_t vertexRows) {
  AttributeArrays arrays;
  arrays.vertexRows = vertexRows;
  arrays.uv = cornerArray(uv, "uv", faceRows, 2, arrays.uvData);
  arrays.normals = cornerArray(normals, "normals", faceRows, 3, arrays.normalData);
  if (!faceGroups.is_none()) {
    const py::array array = py::module_::import("numpy").attr("asarray")(faceGroups);
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != faceRows)
      throw py::value_error("face_groups must have shape (" + std::to_string(faceRows) + ",), a number per face, not " +
                            shapeText(array));
    if (kindOf(array) != 'i' && kindOf(array) != 'u')
      throw py::value_error("face_groups must hold integers, not " + dtypeText(array));
    const py::array numbers = contiguous(array, "int64");
    arrays.faceGroups = numbers;
    arrays.faceGroupData = static_cast<const int64_t*>(numbers.data());
  }
  if (colors.is_none()) return arrays;
  const py::array array = py::module_::import("numpy").attr("asarray")(colors);
  if (array.ndim() != 2 || static_cast<std::size_t>(array.shape(0)) != vertexRows ||
      (array.shape(1) != 3 && array.shape(1) != 4))
    throw py::value_error("colors must have shape (" + std::to_string(vertexRows) + ", 3) or (" +
                          std::to_string(vertexRows) + ", 4), a row per vertex, not " + shapeText(array));
  const std::string dtype = dtypeText(array);
  arrays.colorBytes = dtype == "uint8";
  if (!arrays.colorBytes && kindOf(array) != 'f')
    throw py::value_error("colors must hold floats from 0 to 1 or uint8 from 0 to 255, not " + dtype);
  const py::array values = contiguous(array, arrays.colorBytes ? "uint8" : "float32");
  arrays.colors = values;
  arrays.colorData = values.data();
  arrays.colorWidth = static_cast<unsigned>(array.shape(1));
  return arrays;
}

bool readAttributeArrays(const AttributeArrays& arrays, const BigArray<uint32_t>& corners,
                         MeshAttributes& attributes, std::string& error) {
  return readCornerValues(arrays.uvData, corners, "uv", 2, attributes.uv, error) &&
         readCornerValues(arrays.normalData, corners, "normals", 3, attributes.normals, error) &&
         readColors(arrays, corners, attributes, error) && readFaceGroups(arrays, corners.size() / 3, attributes, error);
}

AttributeArrays attributeArraysOfMesh(const SurfaceMesh& surface, const BigArray<uint32_t>& rowOfVertex) {
  const MeshAttributes& attributes = surface.attributes;
  AttributeArrays arrays;
  arrays.uv = cornerArrayOf(attributes.uv, surface.mesh.corners);
  arrays.normals = cornerArrayOf(attributes.normals, surface.mesh.corners);
  arrays.colorBytes = attributes.colorsWereBytes;
  if (!attributes.groupOfTriangle.empty()) {
    BigArray<uint32_t> groups(attributes.groupOfTriangle.begin(), attributes.groupOfTriangle.end());
    const uint32_t* data = groups.data();
    const py::ssize_t count = static_cast<py::ssize_t>(groups.size());
    arrays.faceGroups = py::array_t<uint32_t>(count, data, ownerOf(std::move(groups)));
  }
  if (!attributes.colors.present()) return arrays;
  // A vertex takes the colour of the first corner that names it; the pass
  // numbers its new points in the order the triangles first name them, so
  // every vertex past the input's has one.
  const BigArray<uint32_t>& corners = surface.mesh.corners;
  BigArray<uint32_t> valueOfVertex(surface.mesh.vertexCount(), kNoValue);
  for (std::size_t c = 0; c < corners.size(); ++c)
    if (valueOfVertex[corners[c]] == kNoValue) valueOfVertex[corners[c]] = valueOfCorner(attributes.colors, corners, c);
  for (std::size_t v = 0; v < valueOfVertex.size() && v < rowOfVertex.size(); ++v)
    if (valueOfVertex[v] == kNoValue) valueOfVertex[v] = rowOfVertex[v];
  arrays.colors = arrays.colorBytes ? vertexArrayOf<uint8_t>(valueOfVertex, attributes.colors, true)
                                    : vertexArrayOf<float>(valueOfVertex, attributes.colors, false);
  return arrays;
}

MeshRecord meshRecordWithAttributes(SurfaceMesh&& mesh, const BigArray<uint32_t>& rowOfVertex) {
  const AttributeArrays carried = attributeArraysOfMesh(mesh, rowOfVertex);
  MeshRecord record = meshRecordOf(std::move(mesh));
  record.uv = carried.uv;
  record.normals = carried.normals;
  record.colors = carried.colors;
  record.faceGroups = carried.faceGroups;
  return record;
}
