#include <string>

#include "format_writers.h"
#include "obj_writing.h"
#include "vertex_split.h"
#include "write_buffer.h"

namespace {

void putValues(WriteBuffer& buffer, const char* keyword, const CornerValues& table) {
  const std::size_t count = table.present() ? table.values.size() / table.width : 0;
  for (std::size_t i = 0; i < count; ++i) {
    char* out = room(buffer, 4 * 17 + 4);
    for (const char* k = keyword; *k != '\0'; ++k) *out++ = *k;
    for (unsigned k = 0; k < table.width; ++k) {
      *out++ = ' ';
      out = formatFloat(out, table.values[i * table.width + k]);
    }
    *out++ = '\n';
    advance(buffer, out);
  }
}

void putNamed(WriteBuffer& buffer, const char* keyword, const std::string& name) {
  putText(buffer, keyword);
  if (!name.empty()) {
    putText(buffer, " ");
    putText(buffer, name.data(), name.size());
  }
  putText(buffer, "\n");
}

// The statements that take the faces from group `from` to group `to`.
void putGroupChange(WriteBuffer& buffer, const FaceGroup& from, const FaceGroup& to) {
  if (to.object != from.object) putNamed(buffer, "o", to.object);
  if (to.group != from.group) putNamed(buffer, "g", to.group);
  if (to.material != from.material) putNamed(buffer, "usemtl", to.material);
}

char* putCorner(char* out, const SurfaceMesh& surface, uint32_t vertex, std::size_t corner) {
  out = formatWhole(out, uint64_t(vertex) + 1);
  const MeshAttributes& attributes = surface.attributes;
  const BigArray<uint32_t>& corners = surface.mesh.corners;
  const uint32_t uv = attributes.uv.present() ? valueOfCorner(attributes.uv, corners, corner) : kNoValue;
  const uint32_t normal = attributes.normals.present() ? valueOfCorner(attributes.normals, corners, corner) : kNoValue;
  if (uv == kNoValue && normal == kNoValue) return out;
  *out++ = '/';
  if (uv != kNoValue) out = formatWhole(out, uint64_t(uv) + 1);
  if (normal == kNoValue) return out;
  *out++ = '/';
  return formatWhole(out, uint64_t(normal) + 1);
}

}  // namespace

bool writeObjSurface(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream) {
  const IndexedMesh& mesh = surface.mesh;
  const MeshAttributes& attributes = surface.attributes;
  SplitVertices split;
  splitVertices(surface, false, false, attributes.colors.present(), split);
  const std::size_t vertices = writtenVertexCount(split, surface.mesh);
  const std::size_t triangles = mesh.triangleCount();
  WriteBuffer buffer = startBuffer(stream, settings, vertices + triangles);
  putText(buffer, "# ");
  putText(buffer, settings.comment.data(), settings.comment.size());
  putText(buffer, "\n");
  for (const std::string& library : attributes.materialLibraries) putNamed(buffer, "mtllib", library);
  const CornerValues& colors = attributes.colors;
  for (std::size_t v = 0; v < vertices; ++v) {
    char* out = formatVertexLine(room(buffer, kMostBytesPerLine + 3 * 17), mesh.positions[meshVertexOf(split, v)]);
    const uint32_t color = valueOfWritten(colors, split, v);
    if (color != kNoValue) {
      --out;  // the line end, put back after the colour
      for (unsigned k = 0; k < 3; ++k) {
        *out++ = ' ';
        out = formatFloat(out, colors.values[std::size_t(color) * colors.width + k]);
      }
      *out++ = '\n';
    }
    advance(buffer, out);
    recordDone(buffer, v + 1);
  }
  putValues(buffer, "vt", attributes.uv);
  putValues(buffer, "vn", attributes.normals);
  const FaceGroup none;
  const FaceGroup* current = &none;
  WrittenCorners written{split, surface.mesh};
  for (std::size_t t = 0; t < triangles; ++t) {
    if (!attributes.groupOfTriangle.empty()) {
      const FaceGroup& next = attributes.groups[attributes.groupOfTriangle[t]];
      putGroupChange(buffer, *current, next);
      current = &next;
    }
    char* out = room(buffer, 3 * 64 + 4);
    *out++ = 'f';
    for (std::size_t k = 0; k < 3; ++k) {
      *out++ = ' ';
      out = putCorner(out, surface, written.of(3 * t + k), 3 * t + k);
    }
    *out++ = '\n';
    advance(buffer, out);
    recordDone(buffer, vertices + t + 1);
  }
  return finishBuffer(buffer);
}
