// Edge classification. Counting the face sides that join an edge's two
// vertices depends only on the unordered vertex pair, so the faces are
// counted once per pair and every edge then reads its pair's outcome.
//
// Pairs are filed under their lower-numbered vertex, one cache line per
// vertex: faces and edges near each other in their lists name vertices with
// nearby numbers, so the lookups mostly stay in cache, where a table hashed
// on addresses would miss on nearly every one.
#include <algorithm>
#include <vector>

#include "mesh.h"
#include "pair_table.h"

namespace {

// Per pair: the running count of matching sides, or kReachedTwo once the count
// was exactly 2 after some face, where the scan of faces stops.
constexpr uint32_t kReachedTwo = 0xFFFFFFFFu;

constexpr int kSlotsPerVertex = 7;

// The pairs whose lower-numbered vertex is one vertex: the first few in
// place, any more in the overflow table.
struct alignas(64) VertexPairs {
  uint32_t used;
  uint32_t high[kSlotsPerVertex];
  uint32_t count[kSlotsPerVertex];
};

class PairCounts {
 public:
  explicit PairCounts(std::size_t vertexCount) : pairs_(vertexCount) {}

  // The count of (low, high), inserted as 0 when absent.
  uint32_t& at(uint32_t low, uint32_t high) {
    if (low >= pairs_.size()) pairs_.resize(low + 1);
    VertexPairs& pairs = pairs_[low];
    for (uint32_t i = 0; i < pairs.used; ++i) {
      if (pairs.high[i] == high) return pairs.count[i];
    }
    if (pairs.used < kSlotsPerVertex) {
      pairs.high[pairs.used] = high;
      pairs.count[pairs.used] = 0;
      return pairs.count[pairs.used++];
    }
    return overflow_.findOrInsert(low, high, 0);
  }

  const uint32_t* find(uint32_t low, uint32_t high) const {
    if (low >= pairs_.size()) return nullptr;
    const VertexPairs& pairs = pairs_[low];
    for (uint32_t i = 0; i < pairs.used; ++i) {
      if (pairs.high[i] == high) return &pairs.count[i];
    }
    return pairs.used == kSlotsPerVertex ? overflow_.find(low, high) : nullptr;
  }

 private:
  std::vector<VertexPairs> pairs_;
  PairTable overflow_;
};

struct Pair {
  uint32_t low, high;
  bool operator==(const Pair& other) const { return low == other.low && high == other.high; }
};

Pair pairOf(const Edge* side, VertexNumbering& numbers) {
  const uint32_t a = numbers.numberOf(side->start);
  const uint32_t b = numbers.numberOf(side->end);
  return {std::min(a, b), std::max(a, b)};
}

// A face holding the same pair on two or three of its sides adds them all at
// once, at the first of them.
void countFaceSides(const Face* face, PairCounts& counts, VertexNumbering& numbers) {
  Pair pairs[3];
  for (int k = 0; k < 3; ++k) {
    if (face->e[k] != nullptr) pairs[k] = pairOf(face->e[k], numbers);
  }
  for (int k = 0; k < 3; ++k) {
    if (face->e[k] == nullptr) continue;
    bool countedAlready = false;
    for (int j = 0; j < k; ++j) countedAlready |= face->e[j] != nullptr && pairs[j] == pairs[k];
    if (countedAlready) continue;
    uint32_t matches = 1;
    for (int j = k + 1; j < 3; ++j) matches += face->e[j] != nullptr && pairs[j] == pairs[k] ? 1 : 0;
    uint32_t& count = counts.at(pairs[k].low, pairs[k].high);
    if (count == kReachedTwo) continue;
    count += matches;
    if (count == 2) count = kReachedTwo;
  }
}

}  // namespace

void classifyEdges(int generation) {
  std::vector<const Face*> faces;
  for (const Face* f = faceHead(generation)->next; f != nullptr; f = f->next) faces.push_back(f);
  // Vertex ids normally run 1..last; the faces name at most three vertices
  // each, which bounds the numbers worth guessing from ids.
  const Vertex* last = lastVertex();
  const std::size_t lastId = last != nullptr && last->id > 0 ? static_cast<std::size_t>(last->id) : 0;
  VertexNumbering numbers = VertexNumbering::byIds(std::min(lastId, 3 * faces.size()));
  PairCounts counts(numbers.size());
  for (const Face* f : faces) countFaceSides(f, counts, numbers);

  for (Edge* edge = edgeHead(generation)->next; edge != nullptr; edge = edge->next) {
    const Pair pair = pairOf(edge, numbers);
    const uint32_t* count = counts.find(pair.low, pair.high);
    if (count == nullptr) continue;
    if (*count == kReachedTwo) edge->flag = kFlagInterior;
    if (*count == 1) edge->flag = kFlagBoundary;
  }
}
