// The closures of a length-limited pass (adaptive_pass.h): how a triangle
// with one or two split sides is cut into two or three, how such a group is
// marked in the mesh it leaves, and how the next pass takes it back into the
// triangle it was cut from.
//
// A group is held as consecutive triangles of the mesh, its first marked in
// the caller's per-triangle codes (the caller owns them), the rest marked
// kInClosure. The layouts below are fixed, so the parent's corners, flags
// and the points on its sides are read back exactly as they were: a group
// taken back and cut again by the same points comes out as it went in.
// Codes are empty or hold one byte per triangle; empty means no closure.
#pragma once

#include <cstdint>

#include "big_array.h"
#include "indexed_pass.h"
#include "mesh_attributes.h"

constexpr uint8_t kOwnTriangle = 0;
// One split side k, (c_k, P, c_k+2) then (P, c_k+1, c_k+2); code | k.
constexpr uint8_t kGreenClosure = 0x10;
// Sides u + 1 and u + 2 split at p and q, u the side left whole:
// (q, p, c_u+2), then the quad c_u c_u+1 p q cut along the diagonal that
// leaves the larger smallest angle, the first of its two triangles starting c_u c_u+1; code | u.
constexpr uint8_t kBlueClosure = 0x20;
constexpr uint8_t kInClosure = 0x40;

constexpr uint32_t kNoPoint = UINT32_MAX;

// A triangle a pass refines. Corner k runs to corner k + 1 along side k.
struct Piece {
  uint32_t corner[3];
  uint8_t flag[3];
  CornerOrigin origin[3];       // where each corner takes its values
  uint32_t point[3];            // the vertex splitting side k, or kNoPoint
  CornerOrigin pointOrigin[3];  // where that vertex takes its values
  // Sides of the given mesh, kNoPoint where there is none: along side k
  // (of a split side, its first half), its halves when it is split, and
  // the one joining point[k] and point[k + 1]. Only these can have a split
  // side's point: a side with a new point at an end is new.
  uint32_t side[3];
  uint32_t half[3][2];
  uint32_t between[3];
};

// Triangles in the group that starts at triangle t (1 for a triangle of its
// own); 0 when t is not the first of its group.
uint32_t groupSize(const BigArray<uint8_t>& codes, std::size_t t);

// The triangle that starts at t, with a closure taken back into its parent:
// the points on the parent's split sides are set, every other side has
// kNoPoint. Origins name the given mesh's corners.
Piece takeBack(const IndexedMesh& mesh, const BigArray<uint8_t>& codes, std::size_t t);

// Where pieces are written: cursors into the next mesh's corners and flags,
// a code per triangle and, when origins is not null, an origin per corner,
// each moved past what a piece writes, so that writers of disjoint ranges
// can work side by side. positions must already hold every vertex a piece
// names: a blue closure measures its sides.
struct PieceOut {
  const BigArray<FloatPoint>& positions;
  uint32_t* corners;
  uint8_t* flags;
  uint8_t* codes;
  CornerOrigin* origins;
};

// Writes one triangle and its code.
void writeTriangle(PieceOut& out, const uint32_t (&corners)[3], const uint8_t (&flags)[3],
                   const CornerOrigin (&origins)[3], uint8_t code);

// Writes a piece with at most two split sides: whole, a green closure or a
// blue closure, one triangle more than it has split sides.
void cutPiece(const Piece& piece, PieceOut& out);

// Writes the four triangles of triangle t of the given mesh, a triangle of
// its own whose three sides are split at points (where its corners take
// their values from pointOrigins), as cutting redChildren's pieces whole
// would: the pass's shortcut for the commonest piece split red.
void writeSplitTriangle(const IndexedMesh& mesh, std::size_t t, const uint32_t (&points)[3],
                        const CornerOrigin (&pointOrigins)[3], PieceOut& out);

// The four triangles of a piece with three split sides, in the store's
// order (c0 P0 P2, P0 c1 P1, P2 P1 c2, P0 P1 P2), none of their sides split;
// the sides of the given mesh among theirs are named in their side fields.
void redChildren(const Piece& piece, Piece children[4]);
