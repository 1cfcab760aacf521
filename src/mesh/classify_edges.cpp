// Edge classification. Counting the face sides that join an edge's two
// vertices depends only on the unordered vertex pair, so the faces are
// counted once per pair and every edge then reads its pair's outcome.
#include <algorithm>

#include "mesh.h"
#include "pair_table.h"

namespace {

// Per pair: the running count of matching sides, or kReachedTwo once the count
// was exactly 2 after some face, where the scan of faces stops.
constexpr uint32_t kReachedTwo = 0xFFFFFFFFu;

uint64_t lowKey(const Edge* side) { return addressKey(std::min(side->start, side->end)); }
uint64_t highKey(const Edge* side) { return addressKey(std::max(side->start, side->end)); }

bool sameUndirectedSide(const Edge* p, const Edge* q) {
  return p != nullptr && q != nullptr && lowKey(p) == lowKey(q) && highKey(p) == highKey(q);
}

void countFaceSides(const Face* face, PairTable& counts) {
  for (int k = 0; k < 3; ++k) {
    const Edge* side = face->e[k];
    if (side == nullptr) continue;
    bool countedAlready = false;
    for (int j = 0; j < k; ++j) countedAlready |= sameUndirectedSide(face->e[j], side);
    if (countedAlready) continue;
    uint32_t matches = 1;
    for (int j = k + 1; j < 3; ++j) matches += sameUndirectedSide(face->e[j], side) ? 1 : 0;
    uint32_t& count = counts.findOrInsert(lowKey(side), highKey(side), 0);
    if (count == kReachedTwo) continue;
    count += matches;
    if (count == 2) count = kReachedTwo;
  }
}

std::size_t countFaces(const Face* head) {
  std::size_t n = 0;
  for (const Face* f = head->next; f != nullptr; f = f->next) ++n;
  return n;
}

}  // namespace

void classifyEdges(int generation) {
  const Face* faces = faceHead(generation);
  PairTable counts(countFaces(faces) * 3 / 2 + 1);
  for (const Face* f = faces->next; f != nullptr; f = f->next) countFaceSides(f, counts);

  for (Edge* edge = edgeHead(generation)->next; edge != nullptr; edge = edge->next) {
    const uint32_t* count = counts.find(lowKey(edge), highKey(edge));
    if (count == nullptr) continue;
    if (*count == kReachedTwo) edge->flag = kFlagInterior;
    if (*count == 1) edge->flag = kFlagBoundary;
  }
}
