#include "value_midpoints.h"

#include <algorithm>
#include <utility>

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
