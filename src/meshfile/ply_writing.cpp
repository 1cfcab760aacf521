#include <string>

#include "format_writers.h"
#include "vertex_split.h"
#include "write_buffer.h"

namespace {

struct PlyLayout {
  bool uv, normals, colors, alpha, colorBytes;
};

std::string plyHeader(const SurfaceMesh& surface, const PlyLayout& layout, const MeshWriteSettings& settings,
                      std::size_t vertices) {
  std::string header = "ply\nformat ";
  header += settings.ascii ? "ascii 1.0\n" : "binary_little_endian 1.0\n";
  if (!settings.comment.empty()) header += "comment " + settings.comment + "\n";
  header += "element vertex " + std::to_string(vertices) + "\n";
  header += "property float x\nproperty float y\nproperty float z\n";
  if (layout.normals) header += "property float nx\nproperty float ny\nproperty float nz\n";
  if (layout.uv) header += "property float s\nproperty float t\n";
  if (layout.colors) {
    const std::string type = layout.colorBytes ? "uchar" : "float";
    header += "property " + type + " red\nproperty " + type + " green\nproperty " + type + " blue\n";
    if (layout.alpha) header += "property " + type + " alpha\n";
  }
  header += "element face " + std::to_string(surface.mesh.triangleCount()) + "\n";
  header += "property list uchar uint vertex_indices\nend_header\n";
  return header;
}

// The value of kind `table` at written vertex v, or the fallback when it has
// none.
const float* valueOf(const CornerValues& table, const SplitVertices& split, std::size_t v, const float* fallback) {
  const uint32_t value = valueOfWritten(table, split, v);
  return value == kNoValue ? fallback : table.values.data() + std::size_t(value) * table.width;
}

char* putValue(char* out, float x, bool ascii) {
  if (!ascii) return putFloat32(out, x);
  out = formatFloat(out, x);
  *out++ = ' ';
  return out;
}

char* putVertex(char* out, const SurfaceMesh& surface, const PlyLayout& layout, const SplitVertices& split,
                std::size_t v, bool ascii) {
  static const float kZeros[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const FloatPoint& p = surface.mesh.positions[meshVertexOf(split, v)];
  out = putValue(out, p.x, ascii);
  out = putValue(out, p.y, ascii);
  out = putValue(out, p.z, ascii);
  const MeshAttributes& attributes = surface.attributes;
  if (layout.normals) {
    const float* n = valueOf(attributes.normals, split, v, kZeros);
    for (int k = 0; k < 3; ++k) out = putValue(out, n[k], ascii);
  }
  if (layout.uv) {
    const float* t = valueOf(attributes.uv, split, v, kZeros);
    for (int k = 0; k < 2; ++k) out = putValue(out, t[k], ascii);
  }
  if (layout.colors) {
    static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float* c = valueOf(attributes.colors, split, v, kWhite);
    for (unsigned k = 0; k < attributes.colors.width; ++k) {
      if (!layout.colorBytes) {
        out = putValue(out, c[k], ascii);
      } else if (ascii) {
        out = formatWhole(out, colorByte(c[k]));
        *out++ = ' ';
      } else {
        *out++ = static_cast<char>(colorByte(c[k]));
      }
    }
  }
  if (ascii) out[-1] = '\n';
  return out;
}

}  // namespace

bool writePly(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream) {
  const MeshAttributes& attributes = surface.attributes;
  const bool keep = !settings.positionsOnly;
  const PlyLayout layout{keep && attributes.uv.present(), keep && attributes.normals.present(),
                         keep && attributes.colors.present(), attributes.colors.width == 4, attributes.colorsWereBytes};
  SplitVertices split;
  splitVertices(surface, layout.uv, layout.normals, layout.colors, split);
  const std::size_t vertices = writtenVertexCount(split, surface.mesh);
  const std::size_t triangles = surface.mesh.triangleCount();
  WriteBuffer buffer = startBuffer(stream, settings, vertices + triangles);
  const std::string header = plyHeader(surface, layout, settings, vertices);
  putText(buffer, header.data(), header.size());
  const bool ascii = settings.ascii;
  // Twelve values of at most 17 characters each, or of four bytes.
  constexpr std::size_t kMostVertexBytes = 12 * 17 + 1;
  for (std::size_t v = 0; v < vertices; ++v) {
    advance(buffer, putVertex(room(buffer, kMostVertexBytes), surface, layout, split, v, ascii));
    recordDone(buffer, v + 1);
  }
  WrittenCorners written{split, surface.mesh};
  for (std::size_t t = 0; t < triangles; ++t) {
    char* out = room(buffer, 3 * 21 + 3);
    if (ascii) {
      *out++ = '3';
      for (int k = 0; k < 3; ++k) {
        *out++ = ' ';
        out = formatWhole(out, written.of(3 * t + k));
      }
      *out++ = '\n';
    } else {
      *out++ = 3;
      for (int k = 0; k < 3; ++k) out = putUint32(out, written.of(3 * t + k));
    }
    advance(buffer, out);
    recordDone(buffer, vertices + t + 1);
  }
  return finishBuffer(buffer);
}
