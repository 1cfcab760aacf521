// Checks of what the reader must leave in the store whatever the input was.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "mesh.h"
#include "mesh_fixtures.h"

// Every face points at the three edge records appended for it, in side order,
// and its corners are records of the vertex list.
inline void expectFacesOwnTheirEdges() {
  const std::vector<Edge*> edges = edgeRecords(kCurrentGeneration);
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(edges.size(), 3 * faces.size());
  const std::vector<Vertex*> all = vertexRecords();
  const std::set<Vertex*> vertices(all.begin(), all.end());
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const Face* f = faces[i];
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(f->e[k], edges[3 * i + k]) << "face " << f->id << " side " << k;
      EXPECT_EQ(f->e[k]->start, f->v[k]);
      EXPECT_EQ(f->e[k]->end, f->v[(k + 1) % 3]);
      EXPECT_EQ(vertices.count(f->v[k]), 1u) << "corner outside the vertex list";
    }
  }
}

inline void expectVertexIdsInFileOrder() {
  int id = 0;
  for (const Vertex* v : vertexRecords()) EXPECT_EQ(v->id, ++id);
}
