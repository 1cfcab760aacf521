// Splitting in phases, the long ones on every core: the values at each
// vertex's first corner, found by two workers that each own half of the
// vertices; the corners whose values are not their vertex's first's,
// counted and then listed in blocks; and those few looked up one by one in
// corner order, which numbers the vertices they add.
#include "vertex_split.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

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

constexpr std::size_t kBlock = std::size_t(1) << 16;  // corners

// Whether the corners of a kind can part a vertex: a kind tied to the
// vertices has one value at each.
bool splitsBy(const CornerValues& table, bool asked) { return asked && table.present() && !table.byVertex; }

// split.valueOf for the mesh's vertices: two workers read every corner, each
// writing the vertices of its own half.
void findFirstValues(const IndexedMesh& mesh, std::size_t kindCount, SplitVertices& split) {
  const std::size_t vertices = mesh.vertexCount();
  BigArray<uint8_t> named(vertices, 0);
  for (std::size_t k = 0; k < kindCount; ++k) split.valueOf[k].assign(vertices, kNoValue);
  const auto firstsOf = [&](uint32_t from, uint32_t to) {
    for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
      const uint32_t v = mesh.corners[c];
      if (v - from >= to - from || named[v]) continue;
      named[v] = 1;
      for (std::size_t k = 0; k < kindCount; ++k) split.valueOf[k][v] = split.kinds[k]->ofCorner[c];
    }
  };
  const uint32_t half = static_cast<uint32_t>(vertices / 2);
  runBeside(mesh.corners.size() >= kParallelFrom ? mesh.corners.size() : 0,
            [&] { firstsOf(half, static_cast<uint32_t>(vertices)); }, [&] { firstsOf(0, half); });
}

}  // namespace

void splitVertices(const SurfaceMesh& surface, bool byUv, bool byNormals, bool byColors, SplitVertices& split) {
  const IndexedMesh& mesh = surface.mesh;
  const MeshAttributes& attributes = surface.attributes;
  split = SplitVertices();
  split.meshVertices = mesh.vertexCount();
  std::size_t kindCount = 0;
  for (const auto& [table, asked] : {std::pair{&attributes.uv, byUv}, {&attributes.normals, byNormals},
                                     {&attributes.colors, byColors}}) {
    if (splitsBy(*table, asked)) split.kinds[kindCount++] = table;
  }
  if (kindCount == 0) return;
  findFirstValues(mesh, kindCount, split);
  const auto onSeam = [&](std::size_t c) {
    bool differs = false;
    for (std::size_t k = 0; k < kindCount; ++k)
      differs |= split.kinds[k]->ofCorner[c] != split.valueOf[k][mesh.corners[c]];
    return differs;
  };
  // The corners on a seam, counted and then listed block by block, each
  // block at its own offset.
  const std::size_t corners = mesh.corners.size();
  const std::size_t blocks = (corners + kBlock - 1) / kBlock;
  BigArray<uint32_t> offset(blocks + 1, 0);
  forEachPiece(corners, kBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t b = begin / kBlock; b * kBlock < end; ++b) {
      uint32_t count = 0;
      for (std::size_t c = b * kBlock; c < std::min(end, (b + 1) * kBlock); ++c) count += onSeam(c) ? 1 : 0;
      offset[b + 1] = count;
    }
  });
  for (std::size_t b = 1; b <= blocks; ++b) offset[b] += offset[b - 1];
  if (offset[blocks] == 0) return;
  split.seamCorners.resize(offset[blocks]);
  forEachPiece(corners, kBlock, [&](std::size_t begin, std::size_t end) {
    uint32_t at = offset[begin / kBlock];
    for (std::size_t c = begin; c < end; ++c) {
      if (onSeam(c)) split.seamCorners[at++] = static_cast<uint32_t>(c);
    }
  });
  split.seamVertex.resize(split.seamCorners.size());
  for (std::size_t k = 0; k < kindCount; ++k) split.valueOf[k].reserve(split.meshVertices + split.seamCorners.size());
  std::unordered_map<Key, uint32_t, KeyHash> seams;
  for (std::size_t s = 0; s < split.seamCorners.size(); ++s) {
    const uint32_t c = split.seamCorners[s];
    Key key{mesh.corners[c], kNoValue, kNoValue, kNoValue};
    for (std::size_t k = 0; k < kindCount; ++k) key[1 + k] = split.kinds[k]->ofCorner[c];
    const auto found = seams.emplace(key, static_cast<uint32_t>(split.meshVertices + split.addedFrom.size()));
    if (found.second) {
      split.addedFrom.push_back(mesh.corners[c]);
      for (std::size_t k = 0; k < kindCount; ++k) split.valueOf[k].push_back(key[1 + k]);
    }
    split.seamVertex[s] = found.first->second;
  }
}
