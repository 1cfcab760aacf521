#include <cmath>
#include <cstring>
#include <string>

#include "format_writers.h"
#include "write_buffer.h"

namespace {

// The unit normal of the triangle by its corners' order, in double; zero
// for a triangle of no area.
FloatPoint facetNormal(const FloatPoint& a, const FloatPoint& b, const FloatPoint& c) {
  const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
  const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
  const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0.0) || !std::isfinite(length)) return {0.0f, 0.0f, 0.0f};
  return {float(n[0] / length), float(n[1] / length), float(n[2] / length)};
}

char* putPoint(char* out, const char* prefix, const FloatPoint& p) {
  const std::size_t n = std::strlen(prefix);
  std::memcpy(out, prefix, n);
  out += n;
  out = formatFloat(out, p.x);
  *out++ = ' ';
  out = formatFloat(out, p.y);
  *out++ = ' ';
  out = formatFloat(out, p.z);
  *out++ = '\n';
  return out;
}

}  // namespace

bool writeStl(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream) {
  const IndexedMesh& mesh = surface.mesh;
  const std::size_t triangles = mesh.triangleCount();
  WriteBuffer buffer = startBuffer(stream, settings, triangles);
  if (settings.ascii) {
    putText(buffer, "solid meshsubdivide\n");
  } else {
    // The header must not open with "solid", which readers take for ASCII.
    char header[84] = {};
    const std::string text = "binary STL: " + settings.comment;
    std::memcpy(header, text.data(), std::min<std::size_t>(text.size(), 80));
    putUint32(header + 80, static_cast<uint32_t>(triangles));
    putText(buffer, header, sizeof header);
  }
  for (std::size_t t = 0; t < triangles; ++t) {
    const FloatPoint corners[3] = {mesh.positions[mesh.corners[3 * t]], mesh.positions[mesh.corners[3 * t + 1]],
                                   mesh.positions[mesh.corners[3 * t + 2]]};
    const FloatPoint normal = facetNormal(corners[0], corners[1], corners[2]);
    char* out = room(buffer, 4 * 80 + 64);
    if (settings.ascii) {
      out = putPoint(out, "facet normal ", normal);
      std::memcpy(out, "outer loop\n", 11);
      out += 11;
      for (const FloatPoint& p : corners) out = putPoint(out, "vertex ", p);
      std::memcpy(out, "endloop\nendfacet\n", 17);
      out += 17;
    } else {
      for (const FloatPoint* p : {&normal, &corners[0], &corners[1], &corners[2]}) {
        out = putFloat32(out, p->x);
        out = putFloat32(out, p->y);
        out = putFloat32(out, p->z);
      }
      *out++ = 0;
      *out++ = 0;
    }
    advance(buffer, out);
    recordDone(buffer, t + 1);
  }
  if (settings.ascii) putText(buffer, "endsolid meshsubdivide\n");
  return finishBuffer(buffer);
}
