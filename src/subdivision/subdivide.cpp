// The subdivision pass, in phases: index the current mesh, place the new
// points of every face, build the four triangles of every face into the next
// generation, classify it, and make it current.
#include <vector>

#include "stencil_index.h"
#include "subdivision.h"

float tension = 0.05f;

namespace {

Vertex vertexAt(Point3 p, int32_t id) {
  Vertex v{};
  v.id = id;
  v.x = static_cast<float>(p.x);
  v.y = static_cast<float>(p.y);
  v.z = static_cast<float>(p.z);
  return v;
}

// Old corners keep their records; the three new points are this face's own.
void splitFace(Face* f, Vertex* p0, Vertex* p1, Vertex* p2) {
  makeFaceFromCorners(f->v[0], p0, p2);
  makeFaceFromCorners(p0, f->v[1], p1);
  makeFaceFromCorners(p2, p1, f->v[2]);
  makeFaceFromCorners(p0, p1, p2);
}

void placeAndSplit(const StencilIndex& index, int32_t& lastId) {
  const IndexLookup lookup{index};
  const double t = static_cast<double>(tension);
  for (uint32_t f = 0; f < index.faces.size(); ++f) {
    Vertex* points[3];
    for (uint32_t i = 0; i < 3; ++i) {
      points[i] = appendVertex(vertexAt(newPointOnSide(lookup, 3 * f + i, t), ++lastId));
    }
    splitFace(index.faces[f], points[0], points[1], points[2]);
  }
}

// The current lists take renumbered copies of the next generation. The copied
// faces still point at the edge records of the next edge list, which is why
// that list is kept.
void makeNextCurrent() {
  emptyList(currentFaceHead);
  int32_t id = 0;
  for (Face* f = nextFaceHead->next; f != nullptr; f = f->next) {
    f->id = ++id;
    appendFace(*f, kCurrentGeneration);
  }
  emptyList(nextFaceHead);
  emptyList(currentEdgeHead);
  id = 0;
  for (Edge* e = nextEdgeHead->next; e != nullptr; e = e->next) {
    e->id = ++id;
    appendEdge(*e, kCurrentGeneration);
  }
}

}  // namespace

void subdivide() {
  const Vertex* last = lastVertex();
  if (last == nullptr) return;
  int32_t lastId = last->id;
  {
    StencilIndex index;
    buildStencilIndex(index);
    placeAndSplit(index, lastId);
  }
  classifyEdges(kNextGeneration);
  makeNextCurrent();
}
