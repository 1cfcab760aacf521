// Neighbourhood queries of the subdivision pass and face construction.
#include "mesh.h"

Face* findFaceByEdge(const Vertex* a, const Vertex* b) {
  const Edge* found = nullptr;
  for (const Edge* edge = currentEdgeHead->next; edge != nullptr; edge = edge->next) {
    if (edge->start == a && edge->end == b) {
      found = edge;
      break;
    }
  }
  if (found == nullptr) return nullptr;
  for (Face* face = currentFaceHead->next; face != nullptr; face = face->next) {
    for (const Edge* side : face->e) {
      if (side != nullptr && side->start == found->start && side->end == found->end) return face;
    }
  }
  return nullptr;
}

Vertex* thirdCorner(const Face* f, const Vertex* a, const Vertex* b) {
  if (f == nullptr) return nullptr;
  for (Vertex* corner : f->v) {
    if (corner != a && corner != b) return corner;
  }
  return nullptr;
}

Face* makeFaceFromCorners(Vertex* a, Vertex* b, Vertex* c) {
  Vertex* corners[3] = {a, b, c};
  Face face{};
  for (int k = 0; k < 3; ++k) {
    Edge side{};
    side.flag = kFlagUndecided;
    side.start = corners[k];
    side.end = corners[(k + 1) % 3];
    face.v[k] = corners[k];
    face.e[k] = appendEdge(side, kNextGeneration);
    if (face.e[k] == nullptr) return nullptr;
  }
  return appendFace(face, kNextGeneration);
}

Face* makeFace(int ia, int ib, int ic) {
  Vertex* a = nullptr;
  Vertex* b = nullptr;
  Vertex* c = nullptr;
  for (Vertex* vertex = vertexHead->next; vertex != nullptr; vertex = vertex->next) {
    if (vertex->id == ia) {
      a = vertex;
    } else if (vertex->id == ib) {
      b = vertex;
    } else if (vertex->id == ic) {
      c = vertex;
    }
  }
  if (a == nullptr || b == nullptr || c == nullptr) return nullptr;
  return makeFaceFromCorners(a, b, c);
}
