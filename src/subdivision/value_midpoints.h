// The values a pass makes between two old values of one kind, for the
// carrying of attributes (surface_pass.h): numbered on from the kind's old
// values and appended to its array, each made once for its unordered pair of
// old value numbers. The caller owns the kind; a Midpoints holds a reference
// to it and its own table of the pairs it was asked for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh_attributes.h"
#include "pair_table.h"

// Whether two values of `width` floats hold the same bits.
bool sameBits(const float* a, const float* b, std::size_t width);

// The value between the values at a and b, each `width` floats, into out:
// their midpoint, worked out in double precision and rounded once, made unit
// length when unitLength is set. False, with out left alone, where the value
// between them is a itself: the two hold the same bits, or a unit length
// cannot be had (the two are opposite, or not numbers).
bool middleValue(const float* a, const float* b, std::size_t width, bool unitLength, float* out);

class Midpoints {
 public:
  // Normals are made unit length when unitLength is set.
  Midpoints(CornerValues& kind, bool unitLength, std::size_t expectedPairs);

  // The value between a and b: none when either is kNoValue, a itself when
  // b is a, else the pair's value, made the first time it is asked for.
  // Throws std::bad_alloc, with values perhaps appended.
  uint32_t between(uint32_t a, uint32_t b);

  // The value between a and b once between has been asked for them; may be
  // asked on several threads at once when nothing is being made.
  uint32_t found(uint32_t a, uint32_t b) const;

  // The value between two different values a < b, made now without asking
  // the table: for a caller that knows the pair is met for the first time.
  // Where the two hold the same bits, or a unit length cannot be had (the
  // two are opposite, or not numbers), it is a.
  uint32_t make(uint32_t a, uint32_t b);

 private:
  CornerValues& kind_;
  bool unitLength_;
  PairTable made_;
};
