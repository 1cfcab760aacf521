// Splitting in phases, the long ones on every core: each vertex's first
// corner, found by two workers that each own half of the vertices; the
// corners whose combination of values is not their vertex's first's, counted
// and then listed in blocks; and those few looked up one by one in corner
// order, which numbers the vertices they add.
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

uint32_t valueAt(const CornerValues& table, bool asked, std::size_t corner) {
  return splitsBy(table, asked) ? table.ofCorner[corner] : kNoValue;
}

// firstCorner[v] for every vertex: two workers read every corner, each
// writing the vertices of its own half.
void findFirstCorners(const IndexedMesh& mesh, BigArray<uint32_t>& firstCorner) {
  const std::size_t vertices = mesh.vertexCount();
  firstCorner.assign(vertices, kNoValue);
  const auto firstsOf = [&](uint32_t from, uint32_t to) {
    for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
      const uint32_t v = mesh.corners[c];
      if (v >= from && v < to && firstCorner[v] == kNoValue) firstCorner[v] = static_cast<uint32_t>(c);
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
  split.identity =
      !splitsBy(attributes.uv, byUv) && !splitsBy(attributes.normals, byNormals) && !splitsBy(attributes.colors, byColors);
  split.seamCorners.clear();
  split.seamVertex.clear();
  if (split.identity) return;
  const std::size_t vertices = mesh.vertexCount();
  split.meshVertex.resize(vertices);
  for (std::size_t v = 0; v < vertices; ++v) split.meshVertex[v] = static_cast<uint32_t>(v);
  findFirstCorners(mesh, split.firstCorner);
  const auto keyOf = [&](std::size_t corner) {
    return Key{mesh.corners[corner], valueAt(attributes.uv, byUv, corner),
               valueAt(attributes.normals, byNormals, corner), valueAt(attributes.colors, byColors, corner)};
  };
  // A corner is on a seam where some kind's value is not the one at its
  // vertex's first corner: those values in an array a kind, so that the
  // comparison reads no corner but its own.
  const CornerValues* kinds[3];
  std::size_t kindCount = 0;
  for (const auto& [table, asked] : {std::pair{&attributes.uv, byUv}, {&attributes.normals, byNormals},
                                     {&attributes.colors, byColors}}) {
    if (splitsBy(*table, asked)) kinds[kindCount++] = table;
  }
  BigArray<uint32_t> firstValue[3];
  for (std::size_t k = 0; k < kindCount; ++k) {
    firstValue[k].resize(vertices);
    forEachPiece(vertices, 1, [&](std::size_t begin, std::size_t end) {
      for (std::size_t v = begin; v < end; ++v) {
        const uint32_t first = split.firstCorner[v];
        firstValue[k][v] = first == kNoValue ? kNoValue : kinds[k]->ofCorner[first];
      }
    });
  }
  const auto onSeam = [&](std::size_t c) {
    bool differs = false;
    for (std::size_t k = 0; k < kindCount; ++k) differs |= kinds[k]->ofCorner[c] != firstValue[k][mesh.corners[c]];
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
  split.meshVertex.reserve(vertices + split.seamCorners.size());
  split.firstCorner.reserve(vertices + split.seamCorners.size());
  std::unordered_map<Key, uint32_t, KeyHash> seams;
  for (std::size_t s = 0; s < split.seamCorners.size(); ++s) {
    const uint32_t c = split.seamCorners[s];
    const auto found = seams.emplace(keyOf(c), static_cast<uint32_t>(split.meshVertex.size()));
    if (found.second) {
      split.meshVertex.push_back(mesh.corners[c]);
      split.firstCorner.push_back(c);
    }
    split.seamVertex[s] = found.first->second;
  }
}
