// Carrying corner values and groups to a new generation by the origins of
// its corners.
#include <new>

#include "surface_pass.h"
#include "value_midpoints.h"

void carryAttributes(MeshAttributes& attributes, const BigArray<CornerOrigin>& origins) {
  CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  std::size_t valuesBefore[3];
  BigArray<uint32_t> next[3];
  BigArray<uint32_t> groups;
  for (std::size_t k = 0; k < 3; ++k) valuesBefore[k] = kinds[k]->values.size();
  // Nothing is replaced until everything is made, so that running out of
  // memory needs only the new values taken back.
  try {
    for (std::size_t k = 0; k < 3; ++k) {
      CornerValues& kind = *kinds[k];
      if (!kind.present()) continue;
      next[k].resize(origins.size());
      Midpoints midpoints(kind, &kind == &attributes.normals, origins.size() / 2);
      for (std::size_t c = 0; c < origins.size(); ++c)
        next[k][c] = midpoints.between(kind.ofCorner[origins[c].a], kind.ofCorner[origins[c].b]);
    }
    if (!attributes.groupOfTriangle.empty()) {
      groups.resize(origins.size() / 3);
      for (std::size_t t = 0; t < groups.size(); ++t) groups[t] = attributes.groupOfTriangle[origins[3 * t].a / 3];
    }
  } catch (const std::bad_alloc&) {
    for (std::size_t k = 0; k < 3; ++k) kinds[k]->values.resize(valuesBefore[k]);
    throw;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    if (kinds[k]->present()) kinds[k]->ofCorner.swap(next[k]);
  }
  if (!attributes.groupOfTriangle.empty()) attributes.groupOfTriangle.swap(groups);
}

uint64_t attributeBytes(const MeshAttributes& attributes) {
  const CornerValues* kinds[3] = {&attributes.uv, &attributes.normals, &attributes.colors};
  uint64_t bytes = 4 * uint64_t(attributes.groupOfTriangle.size());
  for (const CornerValues* kind : kinds) bytes += 4 * uint64_t(kind->ofCorner.size() + kind->values.size());
  return bytes;
}
