#include "value_midpoints.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

// A value is two to four floats: compared word by word, inline, rather than
// through a call to memcmp for every new corner.
bool sameBits(const float* a, const float* b, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    uint32_t x, y;
    std::memcpy(&x, &a[i], sizeof x);
    std::memcpy(&y, &b[i], sizeof y);
    if (x != y) return false;
  }
  return true;
}

bool middleValue(const float* a, const float* b, std::size_t width, bool unitLength, float* out) {
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

Midpoints::Midpoints(CornerValues& kind, bool unitLength, std::size_t expectedPairs)
    : kind_(kind), unitLength_(unitLength), made_(expectedPairs) {}

uint32_t Midpoints::between(uint32_t a, uint32_t b) {
  if (a == kNoValue || b == kNoValue) return kNoValue;
  if (a == b) return a;
  if (a > b) std::swap(a, b);
  const uint32_t next = static_cast<uint32_t>(kind_.values.size() / kind_.width);
  uint32_t& made = made_.findOrInsert(a, b, next);
  if (made == next) made = make(a, b);
  return made;
}

uint32_t Midpoints::found(uint32_t a, uint32_t b) const {
  if (a == kNoValue || b == kNoValue) return kNoValue;
  if (a == b) return a;
  return *made_.find(std::min(a, b), std::max(a, b));
}

uint32_t Midpoints::make(uint32_t a, uint32_t b) {
  BigArray<float>& values = kind_.values;
  const std::size_t width = kind_.width;
  float middle[4];
  if (!middleValue(&values[a * width], &values[b * width], width, unitLength_, middle)) return a;
  const std::size_t at = values.size();
  values.insert(values.end(), middle, middle + width);
  return static_cast<uint32_t>(at / width);
}
