// libFuzzer target for the mesh reader. Each input is read as a mesh file into
// an emptied store; small meshes then go through up to two subdivision passes,
// and the three listings are printed to a null stream. After every step the
// store is checked against what a load or a pass must leave, so a wrong list is
// a finding just as a memory or undefined-behaviour error is.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "loader.h"
#include "mesh.h"
#include "subdivision.h"
#include "view.h"

namespace {

// Bounds that keep one input fast: a pass and the listings cost about the face
// count times a small factor, the classification oracle the face count times
// the edge count. Two passes leave at most 2000 faces.
constexpr int kMaxFacesFirstPass = 200;
constexpr int kMaxFacesSecondPass = 500;
constexpr int kMaxFacesClassifyOracle = 100;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "store invariant broken: %s\n", what);
  std::abort();
}

template <typename Record>
int checkLinks(const Record* head, const char* what) {
  require(head != nullptr && head->prev == nullptr, what);
  int count = 0;
  for (const Record* r = head; r->next != nullptr; r = r->next) {
    require(r->next->prev == r, what);
    ++count;
  }
  return count;
}

template <typename Record>
void checkIdsFromOne(const Record* head, const char* what) {
  int32_t expected = 1;
  for (const Record* r = head->next; r != nullptr; r = r->next) require(r->id == expected++, what);
}

// The addresses of a list's elements, sorted for membership questions.
template <typename Record>
std::vector<const void*> sortedRecords(const Record* head) {
  std::vector<const void*> records;
  for (const Record* r = head->next; r != nullptr; r = r->next) records.push_back(r);
  std::sort(records.begin(), records.end());
  return records;
}

bool holds(const std::vector<const void*>& records, const void* record) {
  return std::binary_search(records.begin(), records.end(), record);
}

struct Counts {
  int vertices;
  int currentEdges;
  int nextEdges;
  int currentFaces;
  int nextFaces;
};

// Links, numbering, and sides that run between their face's corners.
Counts checkStore() {
  Counts counts{checkLinks(vertexHead, "vertex links"), checkLinks(currentEdgeHead, "edge links"),
                checkLinks(nextEdgeHead, "next edge links"),
                checkLinks(currentFaceHead, "face links"),
                checkLinks(nextFaceHead, "next face links")};
  require(counts.nextFaces == 0, "next faces left behind");
  const Vertex* last = vertexHead;
  while (last->next != nullptr) last = last->next;
  require(lastVertex() == (last == vertexHead ? nullptr : last), "vertex tail astray");
  checkIdsFromOne(vertexHead, "vertex ids");
  checkIdsFromOne(currentEdgeHead, "edge ids");
  checkIdsFromOne(currentFaceHead, "face ids");
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    for (int k = 0; k < 3; ++k)
      require(f->e[k]->start == f->v[k] && f->e[k]->end == f->v[(k + 1) % 3], "face side reversed");
  }
  return counts;
}

// After a load every face points at listed vertices and at edges of the
// current list (checkPass finds a pass's edges in order, without a search).
void checkLoadedRecords() {
  const std::vector<const void*> vertices = sortedRecords(vertexHead);
  const std::vector<const void*> edges = sortedRecords(currentEdgeHead);
  for (const Edge* e = currentEdgeHead->next; e != nullptr; e = e->next) {
    require(holds(vertices, e->start) && holds(vertices, e->end), "edge on a stray vertex");
    require(e->flag <= kFlagUndecided, "edge flag out of range");
  }
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    for (int k = 0; k < 3; ++k) {
      require(holds(vertices, f->v[k]), "face corner not in the vertex list");
      require(holds(edges, f->e[k]), "face side not in the edge list");
    }
  }
}

// Classification by its definition, one edge at a time: count the sides of
// the faces, in list order, that join the edge's two vertex records in either
// direction, stopping at the first face after which the count is exactly 2.
uint8_t expectedFlag(const Edge* edge) {
  int count = 0;
  for (const Face* f = currentFaceHead->next; f != nullptr && count != 2; f = f->next) {
    for (const Edge* side : f->e) {
      if ((side->start == edge->start && side->end == edge->end) ||
          (side->start == edge->end && side->end == edge->start)) {
        ++count;
      }
    }
  }
  if (count == 2) return kFlagInterior;
  if (count == 1) return kFlagBoundary;
  return kFlagUndecided;
}

// The sides of the current faces are the edges that the last load or pass
// classified (a pass's older edge records keep their flags).
void checkFlagsByDefinition(const Counts& counts) {
  if (counts.currentFaces > kMaxFacesClassifyOracle) return;
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    for (const Edge* side : f->e) require(side->flag == expectedFlag(side), "edge classified wrongly");
  }
}

void checkLoaded(Counts& counts) {
  counts = checkStore();
  require(counts.nextEdges == 0, "next edges after a load");
  require(counts.currentEdges == 3 * counts.currentFaces, "three edges per triangle");
  checkLoadedRecords();
  checkFlagsByDefinition(counts);
}

// A pass makes four faces of each and three new vertices per face, and writes
// twelve edges per face onto the end of the current edge list (the first pass
// frees the reader's edges before), three for each new face in face order;
// the next lists are left empty.
void checkPass(const Counts& before, Counts& counts, bool firstPass) {
  counts = checkStore();
  require(counts.currentFaces == 4 * before.currentFaces, "four faces per face");
  require(counts.vertices == before.vertices + 3 * before.currentFaces, "three points per face");
  require(counts.nextEdges == 0, "next edges left behind");
  const int earlier = firstPass ? 0 : before.currentEdges;
  require(counts.currentEdges == earlier + 12 * before.currentFaces, "twelve edges per face");
  const Edge* edge = currentEdgeHead->next;
  for (int i = 0; i < earlier; ++i, edge = edge->next)
    require(edge->flag <= kFlagUndecided, "edge flag out of range");
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    for (int k = 0; k < 3; ++k, edge = edge->next) {
      require(f->e[k] == edge, "face side is not the pass's edge");
      require(edge->flag <= kFlagUndecided, "edge flag out of range");
    }
  }
  checkFlagsByDefinition(counts);
}

std::FILE* nullStream = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initLists();
  nullStream = std::fopen("/dev/null", "w");
  return nullStream == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  replaceModel(0);
  // fmemopen only reads through the pointer in mode "r".
  std::FILE* text = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (text == nullptr) return 0;
  readMesh(text);
  std::fclose(text);
  Counts counts;
  checkLoaded(counts);

  for (int limit : {kMaxFacesFirstPass, kMaxFacesSecondPass}) {
    if (counts.currentFaces > limit) break;
    const Counts before = counts;
    subdivide();
    checkPass(before, counts, limit == kMaxFacesFirstPass);
  }

  printVertexListing(nullStream);
  printEdgeListing(nullStream);
  printFaceListing(nullStream);

  // Giving everything back here keeps each run's allocations balanced, which
  // is what libFuzzer's leak detection looks at after every run.
  replaceModel(0);
  counts = checkStore();
  require(counts.vertices == 0 && counts.currentEdges == 0 && counts.nextEdges == 0 &&
              counts.currentFaces == 0,
          "model change left records");
  return 0;
}
