// One run of the surface pass over an icosphere, in a process of its own, so
// that its passes are timed the first time they run, as a user meets them:
//   attribute_bench LEVELS PASSES with|seamed|without
// "with" gives every corner texture coordinates (longitude and height) and
// a normal (the vertex's direction), one value per vertex as a file without
// seams names them; "seamed" cuts the texture where the longitude wraps, as
// a textured file does, so the triangles across the cut name values of
// their own there; "without" has no attributes. Prints the wall and CPU
// milliseconds of each pass (the CPU time of every thread, which other work
// on a busy machine disturbs less), then the heap's peak over the whole run,
// mesh included.
// bench/run-attributes takes turns between the two and reports medians.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench_memory.h"
#include "bench_meshes.h"
#include "surface_pass.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double msSince(std::chrono::steady_clock::time_point begin) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

SurfaceMesh sphereWithAttributes(int levels, bool attributes, bool seamed) {
  const MeshData data = icosphere(levels);
  SurfaceMesh surface;
  IndexedMesh& mesh = surface.mesh;
  for (std::size_t v = 0; v < data.vertexCount(); ++v)
    mesh.positions.push_back({data.positions[3 * v], data.positions[3 * v + 1], data.positions[3 * v + 2]});
  for (int corner : data.triangles) mesh.corners.push_back(static_cast<uint32_t>(corner));
  classifySides(mesh);
  if (!attributes) return surface;
  MeshAttributes& a = surface.attributes;
  a.uv.width = 2;
  a.normals.width = 3;
  for (const FloatPoint& p : mesh.positions) {
    const double length = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
    a.uv.values.push_back(static_cast<float>(std::atan2(p.y, p.x) / (2 * kPi) + 0.5));
    a.uv.values.push_back(static_cast<float>(p.z / length * 0.5 + 0.5));
    for (float c : {p.x, p.y, p.z}) a.normals.values.push_back(static_cast<float>(c / length));
  }
  a.uv.ofCorner = mesh.corners;
  a.normals.ofCorner = mesh.corners;
  if (!seamed) return surface;
  // A triangle whose longitudes span more than half a turn crosses the cut:
  // its corners below half a turn take a copy one turn on, one per vertex.
  BigArray<uint32_t> copyOf(mesh.vertexCount(), kNoValue);
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    float low = 1, high = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      const float u = a.uv.values[2 * std::size_t(mesh.corners[3 * t + k])];
      low = std::min(low, u);
      high = std::max(high, u);
    }
    if (high - low <= 0.5f) continue;
    for (std::size_t k = 0; k < 3; ++k) {
      const uint32_t v = mesh.corners[3 * t + k];
      if (a.uv.values[2 * std::size_t(v)] >= 0.5f) continue;
      if (copyOf[v] == kNoValue) {
        copyOf[v] = static_cast<uint32_t>(a.uv.values.size() / 2);
        const float u = a.uv.values[2 * std::size_t(v)] + 1, height = a.uv.values[2 * std::size_t(v) + 1];
        a.uv.values.push_back(u);
        a.uv.values.push_back(height);
      }
      a.uv.ofCorner[3 * t + k] = copyOf[v];
    }
  }
  return surface;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[3] : "";
  if (mode != "with" && mode != "seamed" && mode != "without") {
    std::fprintf(stderr, "usage: attribute_bench LEVELS PASSES with|seamed|without\n");
    return 2;
  }
  startHeapCounting();
  SurfaceMesh surface = sphereWithAttributes(std::atoi(argv[1]), mode != "without", mode == "seamed");
  const int passes = std::atoi(argv[2]);
  for (int pass = 1; pass <= passes; ++pass) {
    const auto begin = std::chrono::steady_clock::now();
    const std::clock_t cpuBegin = std::clock();
    subdivideSurface(surface, IndexedRule{false, static_cast<double>(0.05f)});
    const double ms = msSince(begin);
    const double cpuMs = 1e3 * static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
    std::printf("pass %d triangles %zu ms %.3f cpu %.3f\n", pass, surface.mesh.triangleCount(), ms, cpuMs);
  }
  std::printf("peak %lld\n", countedHeapPeak());
  return 0;
}
