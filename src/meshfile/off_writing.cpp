#include <string>

#include "format_writers.h"
#include "vertex_split.h"
#include "write_buffer.h"

bool writeOff(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream) {
  const CornerValues& colors = surface.attributes.colors;
  const bool colored = !settings.positionsOnly && colors.present();
  SplitVertices split;
  splitVertices(surface, false, false, colored, split);
  const std::size_t vertices = writtenVertexCount(split, surface.mesh);
  const std::size_t triangles = surface.mesh.triangleCount();
  WriteBuffer buffer = startBuffer(stream, settings, vertices + triangles);
  std::string header = colored ? "COFF\n" : "OFF\n";
  if (!settings.comment.empty()) header += "# " + settings.comment + "\n";
  header += std::to_string(vertices) + " " + std::to_string(triangles) + " 0\n";
  putText(buffer, header.data(), header.size());
  for (std::size_t v = 0; v < vertices; ++v) {
    const FloatPoint& p = surface.mesh.positions[meshVertexOf(split, v)];
    char* out = room(buffer, 8 * 17 + 1);
    out = formatFloat(out, p.x);
    *out++ = ' ';
    out = formatFloat(out, p.y);
    *out++ = ' ';
    out = formatFloat(out, p.z);
    if (colored) {
      static const float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
      const uint32_t value = valueOfWritten(colors, split, v);
      const float* c = value == kNoValue ? kWhite : colors.values.data() + std::size_t(value) * colors.width;
      for (unsigned k = 0; k < colors.width; ++k) {
        *out++ = ' ';
        if (surface.attributes.colorsWereBytes) {
          out = formatWhole(out, colorByte(c[k]));
        } else {
          out = formatFloat(out, c[k]);
        }
      }
    }
    *out++ = '\n';
    advance(buffer, out);
    recordDone(buffer, v + 1);
  }
  WrittenCorners written{split, surface.mesh};
  for (std::size_t t = 0; t < triangles; ++t) {
    char* out = room(buffer, 3 * 21 + 3);
    *out++ = '3';
    for (int k = 0; k < 3; ++k) {
      *out++ = ' ';
      out = formatWhole(out, written.of(3 * t + k));
    }
    *out++ = '\n';
    advance(buffer, out);
    recordDone(buffer, vertices + t + 1);
  }
  return finishBuffer(buffer);
}
