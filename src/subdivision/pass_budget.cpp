// The needs of a pass, and its refusals.
#include "pass_budget.h"

#include <cstdio>

#include "mesh.h"
#include "platform.h"

int64_t passIdLimit = kLargestId;
uint64_t (*memoryAvailable)() = systemMemoryAvailable;

namespace {

// A record of the store is a slot of its pool's slabs; the slab headers are
// a few bytes a megabyte.
template <typename Record>
constexpr uint64_t recordBytes() {
  return (sizeof(Record) + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
}

// The index (stencil_index.h) and the new points worked out from it, at
// their peak: per vertex its record pointer (twice, with the numbering's,
// which may be growing), position, weld and two group starts, and the weld's
// own arrays (vertex_weld.h: 120 bytes at most); per side its corner
// and flag (with vector growth), an entry in each side grouping, its source
// side, and its new point with a mark of its being placed. Meshes with many
// rim sides or crowded vertices take a little more.
constexpr uint64_t kIndexBytesPerVertex = 160;
constexpr uint64_t kIndexBytesPerSide = 56;

// What the viewer needs after the pass: drawing, printing, the next events.
constexpr uint64_t kHeadroom = 16u << 20;

double mebibytes(uint64_t bytes) { return static_cast<double>(bytes) / (1u << 20); }

uint64_t atLeastZero(int64_t value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

}  // namespace

MeshCounts countMesh() {
  MeshCounts counts{};
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) ++counts.faces;
  if (currentEdgesFromPasses()) {
    counts.lastEdgeId = lastEdge(kCurrentGeneration)->id;
  } else {
    for (const Edge* e = currentEdgeHead->next; e != nullptr; e = e->next) ++counts.readerEdges;
  }
  counts.lastVertexId = lastVertex()->id;
  return counts;
}

// The pass adds three vertices, four faces and twelve edges per face. It
// frees the current faces and the reader's edges first, and their records go
// to the new ones.
PassNeeds passNeeds(const MeshCounts& counts) {
  const uint64_t faces = counts.faces;
  PassNeeds needs{};
  needs.lastVertexId = counts.lastVertexId + static_cast<int64_t>(3 * faces);
  needs.lastEdgeId = counts.lastEdgeId + static_cast<int64_t>(12 * faces);
  needs.vertices = 3 * faces;
  needs.edges = 12 * faces > counts.readerEdges ? 12 * faces - counts.readerEdges : 0;
  needs.faces = 3 * faces;
  const uint64_t records = needs.vertices * recordBytes<Vertex>() + needs.edges * recordBytes<Edge>() +
                           needs.faces * recordBytes<Face>();
  const uint64_t index =
      atLeastZero(counts.lastVertexId) * kIndexBytesPerVertex + 3 * faces * kIndexBytesPerSide;
  needs.bytes = records + index + kHeadroom;
  return needs;
}

bool passCanBeMade(const PassNeeds& needs) {
  // A pass's faces, four for each current one, never outnumber its edges,
  // twelve for each, so its face ids stay below its edge ids.
  const char* ids = needs.lastVertexId > passIdLimit ? "vertex"
                    : needs.lastEdgeId > passIdLimit ? "edge"
                                                     : nullptr;
  if (ids != nullptr) {
    std::fprintf(stderr,
                 "subdivision pass not made: its %s ids would pass %lld (it needs %.1f MiB of memory)\n", ids,
                 static_cast<long long>(passIdLimit), mebibytes(needs.bytes));
    return false;
  }
  const uint64_t available = memoryAvailable();
  if (needs.bytes <= available) return true;
  std::fprintf(stderr, "subdivision pass not made: it needs %.1f MiB of memory and %.1f MiB can be had\n",
               mebibytes(needs.bytes), mebibytes(available));
  return false;
}

void reportIndexOutOfMemory(const PassNeeds& needs) {
  std::fprintf(stderr,
               "subdivision pass not made: out of memory for its index (it needs %.1f MiB of memory)\n",
               mebibytes(needs.bytes));
}

void reportRecordsOutOfMemory(const PassNeeds& needs) {
  std::fprintf(stderr,
               "subdivision pass not made: out of memory for its records (it needs %.1f MiB of memory)\n",
               mebibytes(needs.bytes));
}
