#include "vertex_split.h"

#include <array>
#include <atomic>
#include <unordered_map>

#include "parallel_ranges.h"

namespace {

using Key = std::array<uint32_t, 4>;

struct KeyHash {
  std::size_t operator()(const Key& key) const {
    uint64_t h = 0x9e3779b97f4a7c15ull;
    for (uint32_t part : key) h = (h ^ part) * 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

// Whether the corners of a kind can part a vertex: a kind tied to the
// vertices has one value at each.
bool splitsBy(const CornerValues& table, bool asked) { return asked && table.present() && !table.byVertex; }

uint32_t valueAt(const CornerValues& table, bool asked, std::size_t corner) {
  return splitsBy(table, asked) ? table.ofCorner[corner] : kNoValue;
}

}  // namespace

void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split) {
  const IndexedMesh& mesh = surface.mesh;
  const MeshAttributes& attributes = surface.attributes;
  const std::size_t vertices = mesh.vertexCount();
  split.identity =
      !splitsBy(attributes.uv, byUv) && !splitsBy(attributes.normals, byNormals) && !splitsBy(attributes.colors, byColors);
  if (split.identity) return;
  split.meshVertex.resize(vertices);
  for (std::size_t v = 0; v < vertices; ++v) split.meshVertex[v] = static_cast<uint32_t>(v);
  split.firstCorner.assign(vertices, kNoValue);
  split.ofCorner.clear();
  const auto keyOf = [&](std::size_t corner) {
    return Key{mesh.corners[corner], valueAt(attributes.uv, byUv, corner),
               valueAt(attributes.normals, byNormals, corner), valueAt(attributes.colors, byColors, corner)};
  };
  for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
    uint32_t& first = split.firstCorner[mesh.corners[c]];
    if (first == kNoValue) first = static_cast<uint32_t>(c);
  }
  // Most corners share their vertex's first combination, and in a mesh
  // where all do every corner names its own vertex: no array of them is
  // needed, and looking for a seam is work for every core.
  std::atomic<bool> anySeam{false};
  forEachPiece(mesh.corners.size(), 1, [&](std::size_t begin, std::size_t end) {
    for (std::size_t c = begin; c < end && !anySeam.load(std::memory_order_relaxed); ++c) {
      if (keyOf(c) != keyOf(split.firstCorner[mesh.corners[c]])) anySeam.store(true, std::memory_order_relaxed);
    }
  });
  if (!anySeam.load()) return;
  // The seams are looked up in corner order, which numbers the vertices
  // they add.
  split.ofCorner.assign(mesh.corners.begin(), mesh.corners.end());
  std::unordered_map<Key, uint32_t, KeyHash> seams;
  for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
    const uint32_t v = mesh.corners[c];
    if (split.firstCorner[v] == c) continue;
    const Key key = keyOf(c);
    if (key == keyOf(split.firstCorner[v])) continue;
    const auto found = seams.emplace(key, static_cast<uint32_t>(split.meshVertex.size()));
    if (found.second) {
      split.meshVertex.push_back(v);
      split.firstCorner.push_back(static_cast<uint32_t>(c));
    }
    split.ofCorner[c] = found.first->second;
  }
}
