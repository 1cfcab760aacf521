// The values a pass makes between two old values of one kind, for the
// carrying of attributes (surface_pass.h): numbered on from the kind's old
// values and appended to its array, each made once for its unordered pair of
// old value numbers. The caller owns the kind; a Midpoints holds a reference
// to it and its own table of the pairs it was asked for.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mesh_attributes.h"
#include "pair_table.h"

// Whether two values of `width` floats hold the same bits. A value is two to
// four floats: compared word by word, inline, rather than through a call to
// memcmp for every new corner.
inline bool sameBits(const float* a, const float* b, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    uint32_t x, y;
    std::memcpy(&x, &a[i], sizeof x);
    std::memcpy(&y, &b[i], sizeof y);
    if (x != y) return false;
  }
  return true;
}

// The value between the values at a and b, each `width` floats, into out:
// their midpoint, worked out in double precision and rounded once, made unit
// length when unitLength is set. False, with out left alone, where the value
// between them is a itself: the two hold the same bits, or a unit length
// cannot be had (the two are opposite, or not numbers). Inline, as the
// passes call it for every new point.
inline bool middleValue(const float* a, const float* b, std::size_t width, bool unitLength, float* out) {
  // Two numbers holding one value (a file's repeated vt or vn line, or
  // corners given apart) have that value between them, as one number has:
  // the same value however the corners came to be numbered.
  if (sameBits(a, b, width)) return false;
  const auto middle = [&](std::size_t i) { return 0.5 * (static_cast<double>(a[i]) + static_cast<double>(b[i])); };
  double scale = 1;
  if (unitLength) {
    double squared = 0;
    for (std::size_t i = 0; i < width; ++i) squared += middle(i) * middle(i);
    if (!(squared > 0) || !std::isfinite(squared)) return false;
    scale = 1 / std::sqrt(squared);
  }
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<float>(middle(i) * scale);
  return true;
}

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
