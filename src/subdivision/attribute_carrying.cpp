// Carrying corner values and groups to a new generation: new values are
// interned by the pair of old value numbers they lie between, so that the
// faces along a side share its new value exactly when they shared its ends'.
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "pair_table.h"
#include "surface_pass.h"

namespace {

// The new values of one kind, appended to its values as pairs first need
// them. Every value number a caller passes must name a value of the kind.
class Midpoints {
 public:
  Midpoints(CornerValues& kind, bool unitLength, std::size_t expectedPairs)
      : kind_(kind), unitLength_(unitLength), made_(expectedPairs) {}

  uint32_t between(uint32_t a, uint32_t b) {
    if (a == kNoValue || b == kNoValue) return kNoValue;
    if (a == b) return a;
    if (a > b) std::swap(a, b);
    const uint32_t next = static_cast<uint32_t>(kind_.values.size() / kind_.width);
    uint32_t& made = made_.findOrInsert(a, b, next);
    if (made != next) return made;
    if (!appendMidpoint(a, b)) made = a;
    return made;
  }

 private:
  // False, appending nothing, when a unit-length value cannot be made: the
  // two are opposite, or not numbers.
  bool appendMidpoint(uint32_t a, uint32_t b) {
    BigArray<float>& values = kind_.values;
    const std::size_t width = kind_.width;
    const auto middle = [&](std::size_t i) {
      return 0.5 * (static_cast<double>(values[a * width + i]) + static_cast<double>(values[b * width + i]));
    };
    double scale = 1;
    if (unitLength_) {
      double squared = 0;
      for (std::size_t i = 0; i < width; ++i) squared += middle(i) * middle(i);
      if (!(squared > 0) || !std::isfinite(squared)) return false;
      scale = 1 / std::sqrt(squared);
    }
    const std::size_t at = values.size();
    values.resize(at + width);
    for (std::size_t i = 0; i < width; ++i) values[at + i] = static_cast<float>(middle(i) * scale);
    return true;
  }

  CornerValues& kind_;
  bool unitLength_;
  PairTable made_;
};

// The kinds in the order they are carried; normals are the one made unit.
struct Kinds {
  CornerValues* kind[3];
  static constexpr std::size_t kNormals = 1;
};

Kinds kindsOf(MeshAttributes& attributes) { return {{&attributes.uv, &attributes.normals, &attributes.colors}}; }

// Sides whose two corners name two different values: no more new values
// than these can be made.
std::size_t sidesBetweenValues(const CornerValues& kind) {
  const BigArray<uint32_t>& of = kind.ofCorner;
  std::size_t sides = 0;
  for (std::size_t c = 0; c < of.size(); ++c) {
    const uint32_t a = of[c], b = of[c - c % 3 + (c % 3 + 1) % 3];
    sides += a != b && a != kNoValue && b != kNoValue ? 1 : 0;
  }
  return sides;
}

// The four-way split of one kind. Corner k of triangle t keeps its value in
// corner k of triangle 4t + k; the point of side k takes the value between
// its ends, interned in the order the new corners name the points (P0 in
// triangle 4t, P2 there too, then P1), as carryAttributes would. Leaves the
// kind as it was when it throws.
void splitKind(CornerValues& kind, bool unitLength) {
  if (!kind.present()) return;
  const std::size_t valuesBefore = kind.values.size();
  try {
    const std::size_t triangles = kind.ofCorner.size() / 3;
    BigArray<uint32_t> next(12 * triangles);
    // A side of a closed seamless mesh is met from both faces: half the
    // sides' pairs, and a table that doubles once when every pair differs.
    Midpoints midpoints(kind, unitLength, sidesBetweenValues(kind) / 2);
    for (std::size_t t = 0; t < triangles; ++t) {
      const uint32_t* v = &kind.ofCorner[3 * t];
      const uint32_t p0 = midpoints.between(v[0], v[1]);
      const uint32_t p2 = midpoints.between(v[2], v[0]);
      const uint32_t p1 = midpoints.between(v[1], v[2]);
      const uint32_t quad[12] = {v[0], p0, p2, p0, v[1], p1, p2, p1, v[2], p0, p1, p2};
      std::copy(quad, quad + 12, &next[12 * t]);
    }
    kind.ofCorner.swap(next);
  } catch (const std::bad_alloc&) {
    kind.values.resize(valuesBefore);
    throw;
  }
}

// Undoes splitKind: the old corners are corner k of triangle 4t + k, and
// the new values follow the old ones. Allocates nothing.
void gatherKind(CornerValues& kind, std::size_t valuesBefore) {
  if (!kind.present()) return;
  const std::size_t triangles = kind.ofCorner.size() / 12;
  for (std::size_t t = 0; t < triangles; ++t) {
    for (std::size_t k = 0; k < 3; ++k) kind.ofCorner[3 * t + k] = kind.ofCorner[12 * t + 4 * k];
  }
  kind.ofCorner.resize(3 * triangles);
  kind.values.resize(valuesBefore);
}

}  // namespace

void carryAttributes(MeshAttributes& attributes, const BigArray<CornerOrigin>& origins) {
  const Kinds kinds = kindsOf(attributes);
  std::size_t valuesBefore[3];
  BigArray<uint32_t> next[3];
  BigArray<uint32_t> groups;
  for (std::size_t k = 0; k < 3; ++k) valuesBefore[k] = kinds.kind[k]->values.size();
  try {
    for (std::size_t k = 0; k < 3; ++k) {
      CornerValues& kind = *kinds.kind[k];
      if (!kind.present()) continue;
      next[k].resize(origins.size());
      Midpoints midpoints(kind, k == Kinds::kNormals, origins.size() / 2);
      for (std::size_t c = 0; c < origins.size(); ++c)
        next[k][c] = midpoints.between(kind.ofCorner[origins[c].a], kind.ofCorner[origins[c].b]);
    }
    if (!attributes.groupOfTriangle.empty()) {
      groups.resize(origins.size() / 3);
      for (std::size_t t = 0; t < groups.size(); ++t) groups[t] = attributes.groupOfTriangle[origins[3 * t].a / 3];
    }
  } catch (const std::bad_alloc&) {
    for (std::size_t k = 0; k < 3; ++k) kinds.kind[k]->values.resize(valuesBefore[k]);
    throw;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    if (kinds.kind[k]->present()) kinds.kind[k]->ofCorner.swap(next[k]);
  }
  if (!attributes.groupOfTriangle.empty()) attributes.groupOfTriangle.swap(groups);
}

// One kind at a time, each kind's old corners freed before the next is
// split, so that only one kind's two generations are held at once.
void splitAttributes(MeshAttributes& attributes) {
  const Kinds kinds = kindsOf(attributes);
  std::size_t valuesBefore[3];
  std::size_t split = 0;
  try {
    for (; split < 3; ++split) {
      valuesBefore[split] = kinds.kind[split]->values.size();
      splitKind(*kinds.kind[split], split == Kinds::kNormals);
    }
    BigArray<uint32_t>& groups = attributes.groupOfTriangle;
    if (!groups.empty()) {
      BigArray<uint32_t> next(4 * groups.size());
      for (std::size_t t = 0; t < groups.size(); ++t) std::fill(&next[4 * t], &next[4 * t] + 4, groups[t]);
      groups.swap(next);
    }
  } catch (const std::bad_alloc&) {
    for (std::size_t k = 0; k < split; ++k) gatherKind(*kinds.kind[k], valuesBefore[k]);
    throw;
  }
}

uint64_t attributeBytes(const MeshAttributes& attributes) {
  const CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  uint64_t bytes = 4 * uint64_t(attributes.groupOfTriangle.size());
  for (const CornerValues* kind : kinds) bytes += 4 * uint64_t(kind->ofCorner.size() + kind->values.size());
  return bytes;
}

// Per kind: its corners in both generations, its values with as many new
// ones as sides between two values, twice over since a growing array may
// double; one table at a time, at most half full (24 bytes a slot).
uint64_t splitAttributesBytes(const MeshAttributes& attributes) {
  const CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  uint64_t held = 20 * uint64_t(attributes.groupOfTriangle.size()), table = 0;
  for (const CornerValues* kind : kinds) {
    if (!kind->present()) continue;
    const uint64_t pairs = sidesBetweenValues(*kind);
    held += 20 * uint64_t(kind->ofCorner.size()) + 2 * 4 * (kind->values.size() + kind->width * pairs);
    uint64_t slots = 16;
    while (slots < 2 * (pairs + 1)) slots *= 2;
    table = std::max(table, 24 * slots);
  }
  return held + table;
}
