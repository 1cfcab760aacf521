// The subdivision pass, in phases: index the current mesh and work out the
// new point of every side, keep of the index only the faces' corners and the
// records they name, free the current faces (the new records can then reuse
// their memory), write the new points as vertex records and free their
// coordinates, build the four triangles of every face, classified, in the
// next generation, and move that generation into the current lists.
#include <new>

#include "page_warmer.h"
#include "pass_budget.h"
#include "side_points.h"
#include "stencil_index.h"
#include "subdivision.h"

float tension = 0.05f;

namespace {

// The pairs of vertex records that the sides of a few triangles join, with
// the count of classifyEdges for each: the sides matching the pair, counted
// triangle by triangle in order, and frozen once they reach exactly 2 after a
// triangle.
class SplitPairs {
 public:
  void countTriangle(Vertex* const corners[3]) {
    for (int k = 0; k < 3; ++k) {
      bool countedAlready = false;
      for (int j = 0; j < k; ++j) countedAlready |= samePair(corners, j, k);
      if (countedAlready) continue;
      uint32_t matches = 1;
      for (int j = k + 1; j < 3; ++j) matches += samePair(corners, j, k) ? 1 : 0;
      Entry& entry = at(corners[k], corners[(k + 1) % 3]);
      if (entry.reachedTwo) continue;
      entry.count += matches;
      entry.reachedTwo = entry.count == 2;
    }
  }

  uint8_t flag(const Vertex* start, const Vertex* end) {
    const Entry& entry = at(start, end);
    if (entry.reachedTwo) return kFlagInterior;
    return entry.count == 1 ? kFlagBoundary : kFlagUndecided;
  }

 private:
  struct Entry {
    const Vertex* a;
    const Vertex* b;
    uint32_t count;
    bool reachedTwo;
  };

  static bool samePair(Vertex* const corners[3], int j, int k) {
    const Vertex* p = corners[j];
    const Vertex* q = corners[(j + 1) % 3];
    const Vertex* r = corners[k];
    const Vertex* s = corners[(k + 1) % 3];
    return (p == r && q == s) || (p == s && q == r);
  }

  Entry& at(const Vertex* start, const Vertex* end) {
    for (int i = 0; i < used_; ++i) {
      Entry& entry = entries_[i];
      if ((entry.a == start && entry.b == end) || (entry.a == end && entry.b == start)) return entry;
    }
    entries_[used_] = Entry{start, end, 0, false};
    return entries_[used_++];
  }

  Entry entries_[12];
  int used_ = 0;
};

// The flags classifyEdges would give the sides of the four triangles that
// split one face, were they the whole next generation, so that every edge is
// written once with its final flag. Every side of the four has a new point of
// this face at one end at least, and no other triangle has those points, so a
// side's pair of records recurs only among these four triangles.
//
// With three distinct corners the outcome is fixed: the three inner sides,
// each held by the centre triangle and one corner triangle, count 2
// (interior); the six halves of the old sides count 1 (boundary).
void splitFlags(Vertex* const quad[4][3], uint8_t flags[4][3]) {
  static constexpr uint8_t kFlags[4][3] = {{kFlagBoundary, kFlagInterior, kFlagBoundary},
                                           {kFlagBoundary, kFlagBoundary, kFlagInterior},
                                           {kFlagInterior, kFlagBoundary, kFlagBoundary},
                                           {kFlagInterior, kFlagInterior, kFlagInterior}};
  const Vertex* v0 = quad[0][0];
  const Vertex* v1 = quad[1][1];
  const Vertex* v2 = quad[2][2];
  const bool distinct = v0 != v1 && v1 != v2 && v2 != v0;
  SplitPairs pairs;
  if (!distinct) {
    for (int f = 0; f < 4; ++f) pairs.countTriangle(quad[f]);
  }
  for (int f = 0; f < 4; ++f) {
    for (int k = 0; k < 3; ++k)
      flags[f][k] = distinct ? kFlags[f][k] : pairs.flag(quad[f][k], quad[f][(k + 1) % 3]);
  }
}

// The ids the pass gives, each record's final one: faces from 1, edges after
// the last edge of earlier passes.
struct NextIds {
  int32_t vertex;
  int32_t edge;
  int32_t face;
};

// Old corners keep their records; the three new points are this face's own.
// The four triangles go into the next generation in the order v0 P0 P2,
// P0 v1 P1, P2 P1 v2, P0 P1 P2, each as its three edges and then its face.
void splitFace(Vertex* const corners[3], Vertex* const points[3], NextIds& ids) {
  Vertex* const quad[4][3] = {
      {corners[0], points[0], points[2]},
      {points[0], corners[1], points[1]},
      {points[2], points[1], corners[2]},
      {points[0], points[1], points[2]},
  };
  uint8_t flags[4][3];
  splitFlags(quad, flags);
  for (int f = 0; f < 4; ++f) {
    Face face;
    face.id = ++ids.face;
    for (int k = 0; k < 3; ++k) {
      const Edge edge{++ids.edge, flags[f][k], quad[f][k], quad[f][(k + 1) % 3], nullptr, nullptr};
      face.v[k] = quad[f][k];
      face.e[k] = appendEdge(edge, kNextGeneration);
    }
    appendFace(face, kNextGeneration);
  }
}

// What the record writing keeps of the index: the corners of the current
// faces and the new point of each of their sides.
struct PassPlan {
  BigArray<Vertex*> vertices;
  BigArray<uint32_t> corners;
  BigArray<FloatPoint> points;
};

void planPass(PassPlan& plan) {
  StencilIndex index;
  buildStencilIndex(index);
  placeSidePoints(index, static_cast<double>(tension), plan.points);
  plan.vertices = std::move(index.vertices);
  plan.corners = std::move(index.corners);
}

Vertex vertexAt(const FloatPoint& p, int32_t id) {
  Vertex v{};
  v.id = id;
  v.x = p.x;
  v.y = p.y;
  v.z = p.z;
  return v;
}

// The new points become vertex records before any edge or face is written,
// in the order, and so with the ids, of writing each face's three just before
// its triangles; their coordinates can then be freed before the edges and
// faces, most of the pass's records, take their memory. The records were
// reserved, so no append below can fail.
void appendNewPoints(PassPlan& plan, NextIds& ids) {
  for (const FloatPoint& point : plan.points) appendVertex(vertexAt(point, ++ids.vertex));
  BigArray<FloatPoint>().swap(plan.points);
}

// The new points of face f are the vertex records 3f, 3f + 1 and 3f + 2
// counted from firstPoint along the vertex list.
void splitFaces(const PassPlan& plan, Vertex* firstPoint, NextIds& ids) {
  const uint32_t faceCount = static_cast<uint32_t>(plan.corners.size() / 3);
  Vertex* point = firstPoint;
  for (uint32_t f = 0; f < faceCount; ++f) {
    Vertex* points[3];
    Vertex* corners[3];
    for (uint32_t i = 0; i < 3; ++i) {
      points[i] = point;
      point = point->next;
      corners[i] = plan.vertices[plan.corners[3 * f + i]];
    }
    splitFace(corners, points, ids);
  }
}

}  // namespace

void subdivide() {
  const Vertex* last = lastVertex();
  if (last == nullptr) return;
  // Refused passes leave the store as it was: nothing changes before the
  // records are reserved.
  const PassNeeds needs = passNeeds(countMesh());
  if (!passCanBeMade(needs)) return;
  {
    // Empty arrays take no memory; the index, which does even when empty,
    // lives inside the try.
    PassPlan plan;
    try {
      planPass(plan);
    } catch (const std::bad_alloc&) {
      reportIndexOutOfMemory(needs);
      return;
    }
    if (!reserveRecords(needs.vertices, needs.edges, needs.faces)) {
      reportRecordsOutOfMemory(needs);
      return;
    }
    // The plan holds all the pass still needs of the current faces and of
    // the reader's edges, and the new records reuse their memory. The edges
    // of earlier passes stay: the edge listing shows every pass.
    emptyList(currentFaceHead);
    if (!currentEdgesFromPasses()) emptyList(currentEdgeHead);
    const Edge* earlier = lastEdge(kCurrentGeneration);
    NextIds ids{last->id, earlier != nullptr ? earlier->id : 0, 0};
    const std::size_t faces = plan.corners.size() / 3;
    PageWarmer warmer;
    startWarming(warmer, 3 * faces, 0, 0);
    appendNewPoints(plan, ids);
    stopWarming(warmer);
    startWarming(warmer, 0, 12 * faces, 4 * faces);
    splitFaces(plan, last->next, ids);
    stopWarming(warmer);
  }
  moveNextToCurrent();
}
