// The subdivision pass, in phases: index the current mesh, free the current
// generation (the index holds all the pass still needs of it, and the new
// records can then reuse its memory), place the new points of every face and
// build and classify its four triangles in the next generation, and make
// that generation current.
#include <memory>
#include <new>
#include <vector>

#include "pass_budget.h"
#include "stencil_index.h"
#include "subdivision.h"

float tension = 0.05f;

namespace {

Vertex vertexAt(Point3 p, int32_t id) {
  Vertex v{};
  v.id = id;
  v.x = static_cast<float>(p.x);
  v.y = static_cast<float>(p.y);
  v.z = static_cast<float>(p.z);
  return v;
}

// The pairs of vertex records that the sides of a few faces join, with the
// count of classifyEdges for each: the sides matching the pair, counted face
// by face in order, and frozen once they reach exactly 2 after a face.
class SplitPairs {
 public:
  void countFace(const Face* face) {
    for (int k = 0; k < 3; ++k) {
      bool countedAlready = false;
      for (int j = 0; j < k; ++j) countedAlready |= samePair(face->e[j], face->e[k]);
      if (countedAlready) continue;
      uint32_t matches = 1;
      for (int j = k + 1; j < 3; ++j) matches += samePair(face->e[j], face->e[k]) ? 1 : 0;
      Entry& entry = at(face->e[k]);
      if (entry.reachedTwo) continue;
      entry.count += matches;
      entry.reachedTwo = entry.count == 2;
    }
  }

  void classify(Edge* edge) {
    const Entry& entry = at(edge);
    if (entry.reachedTwo) edge->flag = kFlagInterior;
    if (!entry.reachedTwo && entry.count == 1) edge->flag = kFlagBoundary;
  }

 private:
  struct Entry {
    const Vertex* a;
    const Vertex* b;
    uint32_t count;
    bool reachedTwo;
  };

  static bool samePair(const Edge* p, const Edge* q) {
    return (p->start == q->start && p->end == q->end) || (p->start == q->end && p->end == q->start);
  }

  Entry& at(const Edge* side) {
    for (int i = 0; i < used_; ++i) {
      Entry& entry = entries_[i];
      const bool forward = entry.a == side->start && entry.b == side->end;
      if (forward || (entry.a == side->end && entry.b == side->start)) return entry;
    }
    entries_[used_] = Entry{side->start, side->end, 0, false};
    return entries_[used_++];
  }

  Entry entries_[12];
  int used_ = 0;
};

// Classifies the edges of the four triangles that split one face exactly as
// classifyEdges(kNextGeneration) will find them. Every side of the four has a
// new point of this face at one end at least, and no other triangle has those
// points, so a side's pair of records recurs only among these four
// triangles; the older records of the next edge list join older vertices and
// match none of them.
//
// With three distinct corners the outcome is fixed: the three inner sides,
// each held by the centre triangle and one corner triangle, count 2
// (interior); the six halves of the old sides count 1 (boundary).
void classifySplit(Face* const quad[4]) {
  const Face* corner = quad[0];  // (v0, P0, P2)
  const Vertex* v0 = corner->v[0];
  const Vertex* v1 = quad[1]->v[1];
  const Vertex* v2 = quad[2]->v[2];
  if (v0 != v1 && v1 != v2 && v2 != v0) {
    static constexpr uint8_t kFlags[4][3] = {{kFlagBoundary, kFlagInterior, kFlagBoundary},
                                             {kFlagBoundary, kFlagBoundary, kFlagInterior},
                                             {kFlagInterior, kFlagBoundary, kFlagBoundary},
                                             {kFlagInterior, kFlagInterior, kFlagInterior}};
    for (int f = 0; f < 4; ++f) {
      for (int k = 0; k < 3; ++k) quad[f]->e[k]->flag = kFlags[f][k];
    }
    return;
  }
  SplitPairs pairs;
  for (int f = 0; f < 4; ++f) pairs.countFace(quad[f]);
  for (int f = 0; f < 4; ++f) {
    for (Edge* edge : quad[f]->e) pairs.classify(edge);
  }
}

// Old corners keep their records; the three new points are this face's own.
void splitFace(Vertex* const corners[3], Vertex* p0, Vertex* p1, Vertex* p2) {
  Face* const quad[4] = {
      makeFaceFromCorners(corners[0], p0, p2),
      makeFaceFromCorners(p0, corners[1], p1),
      makeFaceFromCorners(p2, p1, corners[2]),
      makeFaceFromCorners(p0, p1, p2),
  };
  classifySplit(quad);
}

void placeAndSplit(const StencilIndex& index, int32_t& lastId) {
  const IndexLookup lookup{index};
  const double t = static_cast<double>(tension);
  const uint32_t faceCount = static_cast<uint32_t>(index.corners.size() / 3);
  for (uint32_t f = 0; f < faceCount; ++f) {
    Vertex* points[3];
    Vertex* corners[3];
    for (uint32_t i = 0; i < 3; ++i) {
      points[i] = appendVertex(vertexAt(newPointOnSide(lookup, 3 * f + i, t), ++lastId));
      corners[i] = index.vertices[index.corners[3 * f + i]];
    }
    splitFace(corners, points[0], points[1], points[2]);
  }
}

// The current lists take renumbered copies of the next generation. The copied
// faces still point at the edge records of the next edge list, which is why
// that list is kept.
void makeNextCurrent() {
  int32_t id = 0;
  for (Face* f = nextFaceHead->next; f != nullptr; f = f->next) {
    f->id = ++id;
    appendFace(*f, kCurrentGeneration);
  }
  emptyList(nextFaceHead);
  id = 0;
  for (Edge* e = nextEdgeHead->next; e != nullptr; e = e->next) {
    e->id = ++id;
    appendEdge(*e, kCurrentGeneration);
  }
}

}  // namespace

void subdivide() {
  const Vertex* last = lastVertex();
  if (last == nullptr) return;
  // Refused passes leave the store as it was: nothing changes before here.
  const PassNeeds needs = passNeeds(countMesh());
  if (!passCanBeMade(needs)) return;
  int32_t lastId = last->id;
  {
    // Even an empty index allocates; on the heap, it can fail inside the try.
    std::unique_ptr<StencilIndex> index;
    try {
      index = std::make_unique<StencilIndex>();
      buildStencilIndex(*index);
    } catch (const std::bad_alloc&) {
      reportIndexOutOfMemory(needs);
      return;
    }
    emptyList(currentFaceHead);
    emptyList(currentEdgeHead);
    placeAndSplit(*index, lastId);
  }
  makeNextCurrent();
}
