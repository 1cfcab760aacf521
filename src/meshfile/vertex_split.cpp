#include "vertex_split.h"

#include <array>
#include <unordered_map>

namespace {

using Key = std::array<uint32_t, 4>;

struct KeyHash {
  std::size_t operator()(const Key& key) const {
    uint64_t h = 0x9e3779b97f4a7c15ull;
    for (uint32_t part : key) h = (h ^ part) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

uint32_t valueAt(const CornerValues& table, bool asked, std::size_t corner) {
  return asked && table.present() ? table.ofCorner[corner] : kNoValue;
}

}  // namespace

void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split) {
  const IndexedMesh& mesh = surface.mesh;
  const MeshAttributes& attributes = surface.attributes;
  const std::size_t vertices = mesh.vertexCount();
  split.identity = !(byUv && attributes.uv.present()) && !(byNormals && attributes.normals.present()) &&
                   !(byColors && attributes.colors.present());
  if (split.identity) return;
  split.meshVertex.resize(vertices);
  for (std::size_t v = 0; v < vertices; ++v) split.meshVertex[v] = static_cast<uint32_t>(v);
  split.firstCorner.assign(vertices, kNoValue);
  split.ofCorner.clear();
  const auto keyOf = [&](std::size_t corner) {
    return Key{mesh.corners[corner], valueAt(attributes.uv, byUv, corner),
               valueAt(attributes.normals, byNormals, corner), valueAt(attributes.colors, byColors, corner)};
  };
  // Most corners share their vertex's first combination; the others, the
  // seams, are looked up. Until the first seam every corner names its own
  // vertex, and a mesh without seams needs no array of them at all.
  std::unordered_map<Key, uint32_t, KeyHash> seams;
  for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
    const uint32_t v = mesh.corners[c];
    if (split.firstCorner[v] == kNoValue) {
      split.firstCorner[v] = static_cast<uint32_t>(c);
      if (!split.ofCorner.empty()) split.ofCorner[c] = v;
      continue;
    }
    const Key key = keyOf(c);
    if (key == keyOf(split.firstCorner[v])) {
      if (!split.ofCorner.empty()) split.ofCorner[c] = v;
      continue;
    }
    if (split.ofCorner.empty()) split.ofCorner.assign(mesh.corners.begin(), mesh.corners.end());
    const auto found = seams.emplace(key, static_cast<uint32_t>(split.meshVertex.size()));
    if (found.second) {
      split.meshVertex.push_back(v);
      split.firstCorner.push_back(static_cast<uint32_t>(c));
    }
    split.ofCorner[c] = found.first->second;
  }
}
