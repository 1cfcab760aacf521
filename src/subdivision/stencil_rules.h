// Where the new point of a triangle side goes. Shared by the pass and by any
// other driver that answers the same neighbourhood questions (the lookup).
//
// A side flagged 0, or flagged 1 with a twin (another side flagged 1 running
// the opposite way between records at the same two positions: a crack left by
// an earlier pass), takes the eight-point butterfly stencil
//   P = (2t(c1 + c2) + (a + b) / 2) - t(((w1 + w2) + w3) + w4)
// in double precision, in this grouping. c1 and c2 are the far corners of the
// triangles on either side of a->b, w1..w4 those beyond the sides c1->b,
// c2->a, a->c1 and b->c2. Every corner is looked up first by record identity,
// then among records at the same position; a lookup that finds nothing gets a
// ghost corner reflected across the side it stands for (the wing beyond c1->b
// is c1 + b - a), so a stencil lying in a plane gives a point in that plane.
//
// Any other side (flagged 1 with no twin: an open mesh's rim; undecided; or
// a crease of an indexed mesh, crease_lines.h) takes the four-point rule
// -1/16, 9/16, 9/16, -1/16 over the rim point before a, a, b and the rim
// point after b, along the crease line for a crease; a missing rim
// neighbour is replaced by the side's own end point on that side (a before,
// b after). A lookup may say no corner lies beyond a side (a crease), which
// makes that corner a ghost as a missing one is.
//
// Sides on top of each other: of the sides between the same two positions
// (either direction: fins, repeated triangles, pieces meeting by position),
// every one not flagged 0 gets one and the same point, computed by the rules
// above for the first of them in face list order that is flagged 0, or when
// none is, for the first of them. Sides flagged 0 keep their own stencil, so
// a copy on a side with a stray flag takes the point of the neighbours it
// lies on rather than opening a crack beside them. However many triangles
// meet there, and in whatever order their lookups find each other, the copies
// not flagged 0 are then the same bits. newPointOnSide computes the point of
// the side it is given; which side that is, is the driver's part.
#pragma once

#include <cstdint>

#include "mesh.h"

struct Point3 {
  double x, y, z;
};

inline Point3 pointOf(const Vertex& v) { return {v.x, v.y, v.z}; }

inline Point3 operator+(Point3 p, Point3 q) { return {p.x + q.x, p.y + q.y, p.z + q.z}; }
inline Point3 operator-(Point3 p, Point3 q) { return {p.x - q.x, p.y - q.y, p.z - q.z}; }
inline Point3 operator*(double s, Point3 p) { return {s * p.x, s * p.y, s * p.z}; }
inline Point3 operator*(Point3 p, double s) { return s * p; }

struct ButterflyStencil {
  Point3 a, b, c1, c2, w1, w2, w3, w4;
};

inline Point3 butterflyPoint(const ButterflyStencil& s, double t) {
  return (2.0 * t * (s.c1 + s.c2) + (s.a + s.b) * 0.5) - t * (((s.w1 + s.w2) + s.w3) + s.w4);
}

inline Point3 fourPointRimPoint(Point3 before, Point3 a, Point3 b, Point3 after) {
  return 0.5625 * (a + b) - 0.0625 * (before + after);
}

// The corner of the triangle beyond the side p->q, standing in for a missing
// one: the known corner `across` of the triangle on this side, mirrored.
inline Point3 ghostCorner(Point3 p, Point3 q, Point3 across) { return (p + q) - across; }

// A stencil corner: a vertex handle when a lookup found one, else a ghost.
template <typename Handle>
struct Corner {
  bool found;
  Handle vertex;
  Point3 position;
};

// Lookup requirements (Handle names a vertex, Side a side of a current face):
//   Point3 position(Handle) const;
//   Handle start(Side) const; Handle end(Side) const; uint8_t flag(Side) const;
//   bool corner(Handle p, Handle q, Handle& found) const;  // beyond p->q
//   bool hasTwin(Side) const;
//   bool rimBefore(Side, Handle&) const; bool rimAfter(Side, Handle&) const;
template <typename Lookup, typename Handle>
Corner<Handle> cornerBeyond(const Lookup& lookup, const Corner<Handle>& p, const Corner<Handle>& q,
                            Point3 across) {
  Corner<Handle> result{false, Handle{}, {0, 0, 0}};
  if (p.found && q.found && lookup.corner(p.vertex, q.vertex, result.vertex)) {
    result.found = true;
    result.position = lookup.position(result.vertex);
  } else {
    result.position = ghostCorner(p.position, q.position, across);
  }
  return result;
}

// The butterfly stencil of the side a->b, every corner looked up or made a
// ghost as the rules say. True when both opposite corners were found: the
// stencil of b->a then makes the very same lookups in another order, and
// mirrors every missing wing across the same side from the same corner, so
// it is this one reversed (see reversedStencil), ghosts and all.
template <typename Lookup, typename Handle>
bool lookUpButterfly(const Lookup& lookup, const Corner<Handle>& a, const Corner<Handle>& b,
                     ButterflyStencil& s) {
  // A side whose own triangle is degenerate has no c1: the midpoint keeps
  // the stencil on the side's line.
  const Point3 middle = 0.5 * (a.position + b.position);
  const Corner<Handle> c1 = cornerBeyond(lookup, a, b, middle);
  const Corner<Handle> c2 = cornerBeyond(lookup, b, a, c1.position);
  const Corner<Handle> w1 = cornerBeyond(lookup, c1, b, a.position);
  const Corner<Handle> w2 = cornerBeyond(lookup, c2, a, b.position);
  const Corner<Handle> w3 = cornerBeyond(lookup, a, c1, b.position);
  const Corner<Handle> w4 = cornerBeyond(lookup, b, c2, a.position);
  s = {a.position, b.position, c1.position, c2.position,
       w1.position, w2.position, w3.position, w4.position};
  return c1.found && c2.found;
}

// The stencil of b->a from that of a->b, when lookUpButterfly found every
// corner: its c1 is the corner beyond b->a, its w1 the one beyond c2->a, ...
inline ButterflyStencil reversedStencil(const ButterflyStencil& s) {
  return {s.b, s.a, s.c2, s.c1, s.w2, s.w1, s.w4, s.w3};
}

template <typename Lookup, typename Side>
bool takesButterfly(const Lookup& lookup, Side side) {
  const uint8_t flag = lookup.flag(side);
  return flag == kFlagInterior || (flag == kFlagBoundary && lookup.hasTwin(side));
}

template <typename Lookup, typename Side>
Point3 newPointOnSide(const Lookup& lookup, Side side, double t) {
  using Handle = decltype(lookup.start(side));
  const Handle startVertex = lookup.start(side);
  const Handle endVertex = lookup.end(side);
  const Corner<Handle> a{true, startVertex, lookup.position(startVertex)};
  const Corner<Handle> b{true, endVertex, lookup.position(endVertex)};

  if (takesButterfly(lookup, side)) {
    ButterflyStencil s;
    lookUpButterfly(lookup, a, b, s);
    return butterflyPoint(s, t);
  }

  Handle neighbour{};
  const Point3 before = lookup.rimBefore(side, neighbour) ? lookup.position(neighbour) : a.position;
  const Point3 after = lookup.rimAfter(side, neighbour) ? lookup.position(neighbour) : b.position;
  return fourPointRimPoint(before, a.position, b.position, after);
}
