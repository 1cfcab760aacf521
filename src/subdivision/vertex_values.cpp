// The split numbers its new points in the order their first side is met
// (indexed_pass.h), so a side meets its point first exactly when the point's
// number is the next not yet met: a scan of the triangles in order finds the
// one side that makes each point's value, with no table. The scan is cut
// into blocks; a first run finds the highest point each block names, from
// which every block knows where the numbering stands at its start, so the
// blocks are then filled on every core at once, each value by one writer.
#include "vertex_values.h"

#include <algorithm>

#include "parallel_ranges.h"
#include "value_midpoints.h"

BigArray<uint32_t> pointNumberingAtBlocks(const IndexedMesh& split, std::size_t verticesBefore) {
  const std::size_t triangles = split.triangleCount() / 4;
  const std::size_t blocks = (triangles + kSplitBlock - 1) / kSplitBlock;
  BigArray<uint32_t> nextAt(blocks + 1, 0);
  forEachPiece(triangles, kSplitBlock, [&](std::size_t begin, std::size_t end) {
    for (std::size_t b = begin / kSplitBlock; b * kSplitBlock < end; ++b) {
      uint32_t highest = 0;
      for (std::size_t t = b * kSplitBlock; t < std::min(end, (b + 1) * kSplitBlock); ++t) {
        const uint32_t* p = pointsOf(split, t);
        highest = std::max({highest, p[0], p[1], p[2]});
      }
      nextAt[b + 1] = highest + 1;
    }
  });
  nextAt[0] = static_cast<uint32_t>(verticesBefore);
  for (std::size_t b = 1; b <= blocks; ++b) nextAt[b] = std::max(nextAt[b - 1], nextAt[b]);
  return nextAt;
}

bool valuesOfVertices(const CornerValues& kind, const IndexedMesh& split, std::size_t verticesBefore,
                      BigArray<uint32_t>& valueAt) {
  const std::size_t width = kind.width;
  valueAt.assign(verticesBefore, kNoValue);
  for (std::size_t c = 0; c < kind.ofCorner.size(); ++c) {
    const uint32_t value = kind.ofCorner[c];
    if (value == kNoValue) return false;
    uint32_t& named = valueAt[oldCorner(split, c / 3, c % 3)];
    if (named == kNoValue) named = value;
    if (named != value && !sameBits(&kind.values[named * width], &kind.values[value * width], width)) return false;
  }
  return true;
}

void tiedValues(const CornerValues& kind, const BigArray<uint32_t>& valueAt, const float* unnamed,
                std::size_t verticesAfter, BigArray<float>& tied) {
  const std::size_t width = kind.width;
  tied.clear();
  tied.reserve(verticesAfter * width);
  if (kind.byVertex) {
    tied.assign(kind.values.begin(), kind.values.end());
  } else {
    tied.resize(valueAt.size() * width);
    for (std::size_t v = 0; v < valueAt.size(); ++v) {
      const float* value = valueAt[v] == kNoValue ? unnamed : &kind.values[valueAt[v] * width];
      std::copy(value, value + width, &tied[v * width]);
    }
  }
  populateOnEveryCore(tied.data() + tied.size(), verticesAfter * width - tied.size());
  tied.resize(verticesAfter * width);
}

void splitVertexValues(const TiedKind* kinds, std::size_t count, const IndexedMesh& split,
                       const BigArray<uint32_t>& nextAt) {
  const std::size_t triangles = split.triangleCount() / 4;
  constexpr std::size_t kInOrder[3] = {0, 1, 2};
  forEachPiece(triangles, kSplitBlock, [&](std::size_t begin, std::size_t end) {
    visitSides(split, nextAt, begin, end, kInOrder, [&](std::size_t t, std::size_t side, bool firstOnPoint) {
      if (!firstOnPoint) return;
      const uint32_t u = oldCorner(split, t, side), w = oldCorner(split, t, (side + 1) % 3);
      const std::size_t point = pointsOf(split, t)[side];
      for (std::size_t k = 0; k < count; ++k) {
        const std::size_t width = kinds[k].width;
        float* values = kinds[k].values->data();
        const float* first = values + std::min(u, w) * width;
        if (!middleValue(first, values + std::max(u, w) * width, width, kinds[k].unitLength, values + point * width))
          std::copy(first, first + width, values + point * width);
      }
    });
  });
}

void untieValues(CornerValues& kind, const IndexedMesh& mesh) {
  if (!kind.byVertex) return;
  kind.ofCorner.assign(mesh.corners.begin(), mesh.corners.end());
  kind.byVertex = false;
}
