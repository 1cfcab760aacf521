// The pass over a mesh with attributes: the geometry first, whose pass
// peaks while the old attributes are all that is held beside it, then the
// attributes one kind at a time.
#include "surface_pass.h"

#include <algorithm>
#include <new>

#include "vertex_values.h"

namespace {

// Undoes the four-way split of subdivideIndexed without allocating: the old
// vertices open the positions, and corner k of old triangle t, with the flag
// of the side it starts, is corner k of triangle 4t + k.
void gatherGeometry(IndexedMesh& mesh, std::size_t verticesBefore) {
  const std::size_t triangles = mesh.corners.size() / 12;
  for (std::size_t t = 0; t < triangles; ++t) {
    for (std::size_t k = 0; k < 3; ++k) {
      mesh.corners[3 * t + k] = mesh.corners[12 * t + 4 * k];
      mesh.flags[3 * t + k] = mesh.flags[12 * t + 4 * k];
    }
  }
  mesh.corners.resize(3 * triangles);
  mesh.flags.resize(3 * triangles);
  mesh.positions.resize(verticesBefore);
}

}  // namespace

void subdivideSurface(SurfaceMesh& surface, const IndexedRule& rule) {
  const std::size_t verticesBefore = surface.mesh.vertexCount();
  subdivideIndexed(surface.mesh, rule);
  try {
    splitAttributes(surface.attributes, surface.mesh, verticesBefore);
  } catch (const std::bad_alloc&) {
    gatherGeometry(surface.mesh, verticesBefore);
    throw;
  }
}

// The new geometry is 12 bytes a vertex and 15 a triangle (corners, flags).
IndexedPassSize surfacePassSize(const SurfaceMesh& surface) {
  IndexedPassSize size = indexedPassSize(surface.mesh);
  const uint64_t geometry = size.bytes + attributeBytes(surface.attributes);
  const uint64_t attributes =
      12 * size.vertices + 15 * size.triangles + splitAttributesBytes(surface.attributes, size.vertices);
  size.bytes = std::max(geometry, attributes);
  return size;
}

void subdivideSurfaceToLength(SurfaceMesh& surface, BigArray<uint8_t>& closures, AdaptivePlan& plan,
                              const IndexedRule& rule) {
  if (plan.uniform) {
    subdivideSurface(surface, rule);
    closures.clear();
    return;
  }
  if (surface.attributes.empty()) {
    subdivideAdaptive(surface.mesh, closures, plan, rule);
    return;
  }
  for (CornerValues* kind : {&surface.attributes.uv, &surface.attributes.normals, &surface.attributes.colors})
    untieValues(*kind, surface.mesh);
  BigArray<CornerOrigin> origins;
  subdivideAdaptive(surface.mesh, closures, plan, rule, &origins);
  carryAttributes(surface.attributes, origins);
}

// The origins are 8 bytes a new corner, held while the attributes are
// carried beside both generations' values; a tied kind is first given 4
// bytes a corner.
IndexedPassSize surfaceLengthPassSize(const SurfaceMesh& surface, const AdaptivePlan& plan) {
  if (plan.uniform) return surfacePassSize(surface);
  IndexedPassSize size = plan.size;
  if (surface.attributes.empty()) return size;
  uint64_t untied = 0;
  for (const CornerValues* kind : {&surface.attributes.uv, &surface.attributes.normals, &surface.attributes.colors})
    untied += kind->byVertex ? 4 * uint64_t(surface.mesh.corners.size()) : 0;
  const uint64_t geometry = size.bytes + attributeBytes(surface.attributes) + untied;
  const uint64_t attributes =
      12 * size.vertices + (15 + 24) * size.triangles + splitAttributesBytes(surface.attributes, size.vertices) + untied;
  size.bytes = std::max(geometry, attributes);
  return size;
}
