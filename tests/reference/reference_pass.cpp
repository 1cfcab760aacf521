// The reference pass and classification: linear scans of the current lists.
#include "reference_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "mesh.h"

namespace {

bool joinSameVertices(const Edge* e, const Edge* h) {
  return (e->start == h->start && e->end == h->end) || (e->start == h->end && e->end == h->start);
}

// The store appends after a tail it keeps beside the head. The reference uses
// the store's appends but finds the end as a walk from the head does, and
// expects the new element right there.
template <typename Record, typename Append>
Record* appendAfterWalk(Record* head, Append append) {
  Record* last = head;
  while (last->next != nullptr) last = last->next;
  Record* element = append();
  EXPECT_EQ(element->prev, last);
  EXPECT_EQ(last->next, element);
  EXPECT_EQ(element->next, nullptr);
  return element;
}

bool isFinite(const Vertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Records coincide within this fraction of the bounding-box diagonal of the
// finite vertices, the README's 10^-5; the production pass has its own copy.
constexpr double kWeldFraction = 1e-5;

double finiteDiagonal() {
  bool any = false;
  double low[3] = {0, 0, 0};
  double high[3] = {0, 0, 0};
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next) {
    if (!isFinite(*v)) continue;
    const double p[3] = {v->x, v->y, v->z};
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = any ? std::min(low[axis], p[axis]) : p[axis];
      high[axis] = any ? std::max(high[axis], p[axis]) : p[axis];
    }
    any = true;
  }
  double sum = 0;
  for (int axis = 0; axis < 3; ++axis) sum += (high[axis] - low[axis]) * (high[axis] - low[axis]);
  return std::sqrt(sum);
}

bool within(const Vertex& p, const Vertex& q, double tolerance) {
  return std::fabs(double(p.x) - q.x) <= tolerance && std::fabs(double(p.y) - q.y) <= tolerance &&
         std::fabs(double(p.z) - q.z) <= tolerance;
}

// Each vertex record maps to its weld: the weld of the first earlier record
// within the tolerance, or itself. Found by rescanning the list per record.
using Welds = std::unordered_map<const Vertex*, const Vertex*>;

Welds weldVertices() {
  const double tolerance = finiteDiagonal() * kWeldFraction;
  Welds welds;
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next) {
    const Vertex* weld = v;
    if (isFinite(*v)) {
      for (const Vertex* u = vertexHead->next; u != v; u = u->next) {
        if (isFinite(*u) && within(*u, *v, tolerance)) {
          weld = welds.at(u);
          break;
        }
      }
    }
    welds[v] = weld;
  }
  return welds;
}

// A side of a current face: the edge record face->e[k].
struct Side {
  const Face* face;
  int k;
  const Edge* edge() const { return face->e[k]; }
  bool operator!=(const Side& other) const { return face != other.face || k != other.k; }
};

struct ScanLookup {
  const Welds& welds;

  const Vertex* weld(const Vertex* v) const {
    const auto found = welds.find(v);
    return found == welds.end() ? v : found->second;
  }
  const Vertex* start(Side s) const { return s.edge()->start; }
  const Vertex* end(Side s) const { return s.edge()->end; }
  uint8_t flag(Side s) const { return s.edge()->flag; }

  // The first side of the current faces, in list order, that satisfies test.
  template <typename Test>
  bool firstSide(Test test, Side& found) const {
    for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
      for (int k = 0; k < 3; ++k) {
        if (test(Side{f, k})) {
          found = Side{f, k};
          return true;
        }
      }
    }
    return false;
  }

  // By identity, as findFaceByEdge and thirdCorner answer it; failing that,
  // by the first side between the same welded positions and the far corner
  // of that side's own face.
  bool corner(const Vertex* p, const Vertex* q, const Vertex*& found) const {
    if (const Vertex* third = thirdCorner(findFaceByEdge(p, q), p, q)) {
      found = third;
      return true;
    }
    Side side{};
    const auto runsWeldedPQ = [&](Side s) {
      return weld(start(s)) == weld(p) && weld(end(s)) == weld(q);
    };
    if (!firstSide(runsWeldedPQ, side)) return false;
    found = thirdCorner(side.face, start(side), end(side));
    return found != nullptr;
  }

  bool hasTwin(Side s) const {
    const Vertex* a = weld(start(s));
    const Vertex* b = weld(end(s));
    if (flag(s) != kFlagBoundary || a == b) return false;
    Side twin{};
    const auto reversedBoundary = [&](Side t) {
      return flag(t) == kFlagBoundary && weld(start(t)) == b && weld(end(t)) == a;
    };
    return firstSide(reversedBoundary, twin);
  }

  bool isRim(Side s) const {
    return flag(s) != kFlagInterior && !(flag(s) == kFlagBoundary && hasTwin(s));
  }

  bool rimBefore(Side s, const Vertex*& found) const {
    Side other{};
    const auto endsAtStart = [&](Side t) {
      return t != s && weld(end(t)) == weld(start(s)) && isRim(t);
    };
    if (!firstSide(endsAtStart, other)) return false;
    found = start(other);
    return true;
  }

  bool rimAfter(Side s, const Vertex*& found) const {
    Side other{};
    const auto startsAtEnd = [&](Side t) {
      return t != s && weld(start(t)) == weld(end(s)) && isRim(t);
    };
    if (!firstSide(startsAtEnd, other)) return false;
    found = end(other);
    return true;
  }
};

// The side whose point a side takes: a side flagged 0 its own; any other the
// first side in face-list order between the same two welded positions, in
// either direction, that is flagged 0, or failing that the first such side.
Side pointSide(const ScanLookup& lookup, Side s) {
  if (lookup.flag(s) == kFlagInterior) return s;
  const Vertex* a = lookup.weld(lookup.start(s));
  const Vertex* b = lookup.weld(lookup.end(s));
  const auto samePair = [&](Side t) {
    const Vertex* p = lookup.weld(lookup.start(t));
    const Vertex* q = lookup.weld(lookup.end(t));
    return (p == a && q == b) || (p == b && q == a);
  };
  Side source = s;
  const auto interior = [&](Side t) { return lookup.flag(t) == kFlagInterior && samePair(t); };
  if (lookup.firstSide(interior, source)) return source;
  lookup.firstSide(samePair, source);
  return source;
}

// The new points, worked out here rather than by the production stencil code
// so that the differential test checks its rules. Coordinates are doubles
// until they are stored into a vertex's floats: nothing rounds to float on the
// way, which g++ 12 at -O3 has been seen to skip inside vectorised loops.
using Coords = std::array<double, 3>;

Coords coordsOf(const Vertex* v) { return {v->x, v->y, v->z}; }

// A corner of the stencil: the record a lookup found, or none and a stand-in.
struct StencilCorner {
  const Vertex* vertex;
  Coords at;
};

// The far corner of the triangle that runs p->q. Where there is none, or an
// end is a stand-in itself, the known corner `across` of the triangle on the
// near side of p->q is mirrored across it: (p + q) - across.
StencilCorner cornerBeyond(const ScanLookup& lookup, const StencilCorner& p,
                           const StencilCorner& q, const Coords& across) {
  const Vertex* found = nullptr;
  if (p.vertex != nullptr && q.vertex != nullptr && lookup.corner(p.vertex, q.vertex, found))
    return {found, coordsOf(found)};
  StencilCorner mirrored{nullptr, {}};
  for (int k = 0; k < 3; ++k) mirrored.at[k] = (p.at[k] + q.at[k]) - across[k];
  return mirrored;
}

// The eight-point stencil of an interior side a->b.
Coords butterflyPoint(const ScanLookup& lookup, Side s, double t) {
  const StencilCorner a{lookup.start(s), coordsOf(lookup.start(s))};
  const StencilCorner b{lookup.end(s), coordsOf(lookup.end(s))};
  // With no c1 (the side's own triangle is degenerate) the midpoint stands in.
  Coords middle;
  for (int k = 0; k < 3; ++k) middle[k] = 0.5 * (a.at[k] + b.at[k]);
  const StencilCorner c1 = cornerBeyond(lookup, a, b, middle);
  const StencilCorner c2 = cornerBeyond(lookup, b, a, c1.at);
  const Coords w1 = cornerBeyond(lookup, c1, b, a.at).at;
  const Coords w2 = cornerBeyond(lookup, c2, a, b.at).at;
  const Coords w3 = cornerBeyond(lookup, a, c1, b.at).at;
  const Coords w4 = cornerBeyond(lookup, b, c2, a.at).at;
  Coords p;
  for (int k = 0; k < 3; ++k) {
    p[k] = (2 * t * (c1.at[k] + c2.at[k]) + (a.at[k] + b.at[k]) * 0.5) -
           t * (((w1[k] + w2[k]) + w3[k]) + w4[k]);
  }
  return p;
}

// The four-point rule of a rim side, over the rim points before and after it
// or, where there is none, the side's own end on that side.
Coords rimPoint(const ScanLookup& lookup, Side s) {
  const Coords a = coordsOf(lookup.start(s));
  const Coords b = coordsOf(lookup.end(s));
  const Vertex* neighbour = nullptr;
  const Coords before = lookup.rimBefore(s, neighbour) ? coordsOf(neighbour) : a;
  const Coords after = lookup.rimAfter(s, neighbour) ? coordsOf(neighbour) : b;
  Coords p;
  for (int k = 0; k < 3; ++k) p[k] = 0.5625 * (a[k] + b[k]) - 0.0625 * (before[k] + after[k]);
  return p;
}

// Interior sides and cracks (a side flagged 1 with a twin) take the stencil;
// rims and sides classification left undecided take the four-point rule.
Vertex newPoint(const ScanLookup& lookup, Side s, double t) {
  const Coords p = lookup.isRim(s) ? rimPoint(lookup, s) : butterflyPoint(lookup, s, t);
  Vertex v{};
  v.x = static_cast<float>(p[0]);
  v.y = static_cast<float>(p[1]);
  v.z = static_cast<float>(p[2]);
  return v;
}

}  // namespace

void referenceClassifyEdges(int generation) {
  Edge* edges = generation == kCurrentGeneration ? currentEdgeHead : nextEdgeHead;
  const Face* faces = generation == kCurrentGeneration ? currentFaceHead : nextFaceHead;
  for (Edge* e = edges->next; e != nullptr; e = e->next) {
    int count = 0;
    for (const Face* f = faces->next; f != nullptr; f = f->next) {
      for (const Edge* side : f->e) count += joinSameVertices(e, side) ? 1 : 0;
      if (count == 2) break;
    }
    if (count == 2) e->flag = kFlagInterior;
    if (count == 1) e->flag = kFlagBoundary;
  }
}

void referenceSubdivide() {
  const Vertex* last = vertexHead;
  while (last->next != nullptr) last = last->next;
  if (last == vertexHead) return;
  int32_t counter = last->id;

  const Welds welds = weldVertices();
  const ScanLookup lookup{welds};
  const double t = static_cast<double>(0.05f);  // the tension, a float widened
  for (Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    Vertex points[3];
    for (int i = 0; i < 3; ++i) points[i] = newPoint(lookup, pointSide(lookup, Side{f, i}), t);
    int32_t ids[3];
    for (int i = 0; i < 3; ++i) {
      points[i].id = ids[i] = ++counter;
      appendAfterWalk(vertexHead, [&] { return appendVertex(points[i]); });
    }
    ASSERT_NE(makeFace(f->v[0]->id, ids[0], ids[2]), nullptr);
    ASSERT_NE(makeFace(ids[0], f->v[1]->id, ids[1]), nullptr);
    ASSERT_NE(makeFace(ids[2], ids[1], f->v[2]->id), nullptr);
    ASSERT_NE(makeFace(ids[0], ids[1], ids[2]), nullptr);
  }
  referenceClassifyEdges(kNextGeneration);

  emptyList(currentFaceHead);
  int32_t id = 0;
  for (Face* f = nextFaceHead->next; f != nullptr; f = f->next) {
    f->id = ++id;
    appendAfterWalk(currentFaceHead, [&] { return appendFace(*f, kCurrentGeneration); });
  }
  emptyList(nextFaceHead);
  emptyList(currentEdgeHead);
  id = 0;
  for (Edge* e = nextEdgeHead->next; e != nullptr; e = e->next) {
    e->id = ++id;
    appendAfterWalk(currentEdgeHead, [&] { return appendEdge(*e, kCurrentGeneration); });
  }
}
