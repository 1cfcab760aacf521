// StencilIndex: the neighbourhood of every side of the current mesh, built
// once at the start of a pass so that each stencil question scans only the
// few sides that leave one vertex. It answers the lookup questions of
// stencil_rules.h with vertices named by their position in the vertex list
// (dense numbers) and sides named face * 3 + k in current face list order.
// Everything is held in flat arrays, walked in list order where possible,
// since a pass over a large mesh is bound by memory traffic, not arithmetic.
// Of the store it copies the vertex positions only, and it is valid only
// while the current lists stay as they were when it was built.
//
// "First" always means first in current face list order, then e[0], e[1],
// e[2] within a face, as a linear search would find it.
//
// Coincident records: two vertex records whose coordinates all differ by at
// most weldTolerance (a small fraction of the bounding-box diagonal of the
// finite vertices) stand at the same position. Each record is welded to the
// welded number of the first record in list order that coincides with it;
// records with a non-finite coordinate coincide with nothing but themselves.
//
// Shared points: the sides not flagged 0 that join the same two welded
// numbers, in either direction, share one new point, that of their source
// side (stencil_rules.h says which side that is); a side flagged 0 is its
// own source.
#pragma once

#include <cstdint>

#include "big_array.h"
#include "crease_lines.h"
#include "mesh.h"
#include "pair_table.h"
#include "stencil_rules.h"
#include "vertex_weld.h"

constexpr uint32_t kNoSide = 0xFFFFFFFFu;

// One side as seen from the vertex it leaves.
struct SideEnd {
  uint32_t end;   // the vertex it runs to
  uint32_t side;  // face * 3 + k
  uint32_t far;   // first corner of its face that is neither end, or kNoSide (and for a crease side)
};

// Sides grouped by the vertex they leave, each group in side order, so the
// first match in a group is the first side in face list order: the sides
// leaving v are entries[first[v]] .. entries[first[v + 1] - 1]. Vertices
// are dense numbers or welded numbers, as the group was built.
// A vertex with more than kCrowdedGroup sides (the hub of a large fan) has
// its group hashed as well, so that lookups from it take constant time too.
constexpr uint32_t kCrowdedGroup = 32;

struct SidesByStart {
  BigArray<uint32_t> first;
  BigArray<SideEnd> entries;
  PairTable crowdedFirst;     // (start, end) -> entry of the first such side
  PairTable crowdedBoundary;  // the same over sides flagged 1 only
  PairTable crowdedInterior;  // the same over sides flagged 0 only
};

struct StencilIndex {
  BigArray<Vertex*> vertices;     // dense number -> record, list order
  BigArray<FloatPoint> positions; // dense number -> the record's coordinates
  BigArray<uint32_t> weldedTo;    // dense number -> dense number of its weld
  bool weldsAreIdentity = true;      // no record welded to another one
  BigArray<uint32_t> corners;     // corners[3f + k]: dense number of corner k of current face f
  BigArray<uint8_t> flags;        // flags[3f + k]: flag of its side e[k]
  double weldTolerance = 0.0;
  SidesByStart byRecords;            // by start record, ends as records
  SidesByStart byWelds;              // by welded start, ends welded; empty with identity welds
  PairTable rimEndingAt;             // (welded end, 0) -> slot in rimSides
  PairTable rimStartingAt;           // (welded start, 0) -> slot in rimSides
  BigArray<uint32_t> rimSides;    // two per slot: the first two rim sides
  BigArray<uint32_t> pointSource;  // side -> the side whose point it takes (itself if flagged 0)
  // The crease lines of sides flagged kFlagCrease (indexed meshes only):
  // their points follow the line, and corners are not looked up across them.
  CreaseLines creases;
  // Filled only when the index is built with ordered fans (fan_order.h):
  // vertex -> 1 when its group of byRecords was put in order around it.
  BigArray<uint8_t> closedFans;
};

void buildStencilIndex(StencilIndex& index);

// The index of a mesh that is not the store's: the caller fills positions,
// corners and flags, with every vertex already standing apart (the welds are
// the identity), and leaves vertices empty, as no record stands behind a
// number. With orderFans, every group of byRecords that forms one closed fan
// is put in order around its vertex and marked in closedFans (fan_order.h);
// the lookups answer as before, since such a group runs to each end once. A
// vertex on a crease side is never marked: its fan spans the crease.
// Without everyPointSource, pointSource stays empty: a pass that places the
// points of a few sides asks pointSourceOf for those, and holds no array of
// a word per side for them. Throws std::bad_alloc when its memory cannot be
// had.
void buildStencilIndexOfArrays(StencilIndex& index, bool orderFans = false, bool everyPointSource = true);

// index.pointSource[side], or where the index was built without it, the
// same side found in the index's groups.
uint32_t pointSourceOf(const StencilIndex& index, uint32_t side);

// The first side of the group from `from` to `to`, or nullptr.
const SideEnd* firstSide(const SidesByStart& group, uint32_t from, uint32_t to);

// The lookup the pass hands to newPointOnSide.
struct IndexLookup {
  const StencilIndex& index;

  Point3 position(uint32_t vertex) const {
    const FloatPoint& p = index.positions[vertex];
    return {p.x, p.y, p.z};
  }
  uint32_t start(uint32_t side) const { return index.corners[side]; }
  uint32_t end(uint32_t side) const { return index.corners[side - side % 3 + (side % 3 + 1) % 3]; }
  uint8_t flag(uint32_t side) const { return index.flags[side]; }
  // Never across a crease: in byRecords a crease side has no far corner.
  bool corner(uint32_t p, uint32_t q, uint32_t& found) const;
  // The first side running from the record p to the record q, or kNoSide.
  uint32_t firstSideFromTo(uint32_t p, uint32_t q) const;
  bool hasTwin(uint32_t side) const;
  // The point before and after a side along its rim or, for a side flagged
  // kFlagCrease, its crease line. A line stops at a corner of the crease
  // lines, and a rim stops where a crease meets it.
  bool rimBefore(uint32_t side, uint32_t& found) const;
  bool rimAfter(uint32_t side, uint32_t& found) const;
};
