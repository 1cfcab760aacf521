// Edge classification. Counting the face sides that join an edge's two
// vertices depends only on the unordered vertex pair, so the faces are
// counted once per pair and every edge then reads its pair's outcome.
//
// Pairs are filed under their lower-numbered vertex, half a cache line per
// vertex: faces and edges near each other in their lists name vertices with
// nearby numbers, so the lookups mostly stay in cache, where a table hashed
// on addresses would miss on nearly every one.
#include <algorithm>

#include "mesh.h"
#include "pair_table.h"

namespace {

// Per pair, the state of its running count of matching sides. Counts only
// grow, so once past 2 a count can never be exactly 2 again and its edges keep
// their flags: 3 stands for every such count, which keeps a count in a byte.
// kReachedTwo marks a count that was exactly 2 after some face, where the scan
// of faces stops.
constexpr uint8_t kPastTwo = 3;
constexpr uint8_t kReachedTwo = 0xFF;

// Adds a face's matching sides to a pair's count.
template <typename Count>
void addSides(Count& count, uint32_t matches) {
  if (count == kReachedTwo || count == kPastTwo) return;
  const uint32_t sum = count + matches;
  count = static_cast<Count>(sum == 2 ? kReachedTwo : sum > 2 ? kPastTwo : sum);
}

constexpr int kSlotsPerVertex = 6;

// The pairs whose lower-numbered vertex is one vertex: the first few in
// place, any more in the overflow table. 32 bytes, half a cache line: a large
// model's table is written once, and its first touch of fresh pages costs
// more than the lookups.
struct VertexPairs {
  uint32_t high[kSlotsPerVertex];
  uint8_t count[kSlotsPerVertex];
  uint8_t used;
};
static_assert(sizeof(VertexPairs) == 32, "two per cache line");

class PairCounts {
 public:
  explicit PairCounts(std::size_t vertexCount) : pairs_(vertexCount) {}

  void add(uint32_t low, uint32_t high, uint32_t matches) {
    if (low >= pairs_.size()) pairs_.resize(low + 1);
    VertexPairs& pairs = pairs_[low];
    for (uint32_t i = 0; i < pairs.used; ++i) {
      if (pairs.high[i] == high) return addSides(pairs.count[i], matches);
    }
    if (pairs.used < kSlotsPerVertex) {
      pairs.high[pairs.used] = high;
      pairs.count[pairs.used] = 0;
      return addSides(pairs.count[pairs.used++], matches);
    }
    addSides(overflow_.findOrInsert(low, high, 0), matches);
  }

  // The count of (low, high); 0 when no face side joins them.
  uint32_t find(uint32_t low, uint32_t high) const {
    if (low >= pairs_.size()) return 0;
    const VertexPairs& pairs = pairs_[low];
    for (uint32_t i = 0; i < pairs.used; ++i) {
      if (pairs.high[i] == high) return pairs.count[i];
    }
    if (pairs.used < kSlotsPerVertex) return 0;
    const uint32_t* count = overflow_.find(low, high);
    return count == nullptr ? 0 : *count;
  }

 private:
  BigArray<VertexPairs> pairs_;
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
    counts.add(pairs[k].low, pairs[k].high, matches);
  }
}

}  // namespace

void classifyEdges(int generation) {
  // Counted by a walk rather than gathered: a large model's array of faces
  // would cost more in fresh pages than the second walk does.
  std::size_t faceCount = 0;
  for (const Face* f = faceHead(generation)->next; f != nullptr; f = f->next) ++faceCount;
  // Vertex ids normally run 1..last; the faces name at most three vertices
  // each, which bounds the numbers worth guessing from ids.
  const Vertex* last = lastVertex();
  const std::size_t lastId = last != nullptr && last->id > 0 ? static_cast<std::size_t>(last->id) : 0;
  VertexNumbering numbers = VertexNumbering::byIds(std::min(lastId, 3 * faceCount));
  PairCounts counts(numbers.size());
  for (const Face* f = faceHead(generation)->next; f != nullptr; f = f->next)
    countFaceSides(f, counts, numbers);

  for (Edge* edge = edgeHead(generation)->next; edge != nullptr; edge = edge->next) {
    const Pair pair = pairOf(edge, numbers);
    const uint32_t count = counts.find(pair.low, pair.high);
    if (count == kReachedTwo) edge->flag = kFlagInterior;
    if (count == 1) edge->flag = kFlagBoundary;
  }
}
