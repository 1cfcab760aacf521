// Builders of small meshes straight in the store, without the reader, so the
// store's own operations are tested apart from the file format.
#pragma once

#include <vector>

#include "mesh.h"
#include "mesh_fixtures.h"

// Appends n vertices with ids 1..n at distinct positions; [0] is unused so
// that the result is indexed by id.
inline std::vector<Vertex*> addVertices(int n) {
  std::vector<Vertex*> byId{nullptr};
  for (int i = 1; i <= n; ++i) {
    Vertex v{};
    v.id = i;
    v.x = static_cast<float>(i);
    v.y = static_cast<float>(i * i);
    v.z = -static_cast<float>(i);
    byId.push_back(appendVertex(v));
  }
  return byId;
}

// Appends the triangle a, b, c as the reader does: three undecided edges a->b,
// b->c, c->a numbered after the list's last, then a face pointing at them.
inline Face* addTriangle(Vertex* a, Vertex* b, Vertex* c, int generation = kCurrentGeneration) {
  Vertex* corners[3] = {a, b, c};
  Face face{};
  for (int k = 0; k < 3; ++k) {
    Edge edge{};
    edge.id = countEdges(generation) + 1;
    edge.flag = kFlagUndecided;
    edge.start = corners[k];
    edge.end = corners[(k + 1) % 3];
    face.v[k] = corners[k];
    face.e[k] = appendEdge(edge, generation);
  }
  face.id = countFaces(generation) + 1;
  return appendFace(face, generation);
}
