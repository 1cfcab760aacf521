// The reference pass on its own, against results worked out by hand, so that
// an agreement with the production pass means agreement with those results.
#include "reference_pass.h"

#include <gtest/gtest.h>

#include "loader.h"
#include "mesh_fixtures.h"
#include "subdivision.h"

namespace {

void expectAt(const Vertex* v, int id, float x, float y, float z) {
  SCOPED_TRACE("vertex " + std::to_string(id));
  EXPECT_EQ(v->id, id);
  EXPECT_EQ(v->x, x);
  EXPECT_EQ(v->y, y);
  EXPECT_EQ(v->z, z);
}

std::vector<int> cornerIds(const Face* f) { return {f->v[0]->id, f->v[1]->id, f->v[2]->id}; }

}  // namespace

// c1 and c2 of the side 1-3 are vertices 5 and 6, the wings 2, 4, 4 and 2:
// 0.1 (5 + 6) + 0.5 (1 + 3) - 0.05 (2 + 4 + 4 + 2) = (0.6, 0.6, 0).
TEST(ReferencePass, OctahedronStencilPoints) {
  resetStore();
  loadText(objText(
      {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}},
      {{1, 3, 5}, {1, 6, 3}, {1, 5, 4}, {1, 4, 6}, {2, 5, 3}, {2, 3, 6}, {2, 4, 5}, {2, 6, 4}}));
  referenceSubdivide();
  const std::vector<Vertex*> vertices = vertexRecords();
  ASSERT_EQ(vertices.size(), 6u + 3 * 8);
  expectAt(vertices[6], 7, 0.6f, 0.6f, 0);
  expectAt(vertices[7], 8, 0, 0.6f, 0.6f);
  expectAt(vertices[8], 9, 0.6f, 0, 0.6f);
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(faces.size(), 32u);
  EXPECT_EQ(cornerIds(faces[0]), (std::vector<int>{1, 7, 9}));
  EXPECT_EQ(cornerIds(faces[1]), (std::vector<int>{7, 3, 8}));
  EXPECT_EQ(cornerIds(faces[2]), (std::vector<int>{9, 8, 5}));
  EXPECT_EQ(cornerIds(faces[3]), (std::vector<int>{7, 8, 9}));
  checkLists();
}

// Every wing of the tetrahedron is c1 or c2, so every new point is a midpoint.
TEST(ReferencePass, TetrahedronMidpoints) {
  resetStore();
  loadText(objText({{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}},
                   {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3}}));
  const std::vector<Face*> old = faceRecords(kCurrentGeneration);
  std::vector<std::vector<float>> expected;
  for (const Face* f : old) {
    for (int k = 0; k < 3; ++k) {
      const Vertex* a = f->v[k];
      const Vertex* b = f->v[(k + 1) % 3];
      expected.push_back({(a->x + b->x) / 2, (a->y + b->y) / 2, (a->z + b->z) / 2});
    }
  }
  referenceSubdivide();
  const std::vector<Vertex*> vertices = vertexRecords();
  ASSERT_EQ(vertices.size(), 16u);
  for (int i = 0; i < 12; ++i)
    expectAt(vertices[4 + i], 5 + i, expected[i][0], expected[i][1], expected[i][2]);
}

// After one pass on the closed cube the old sides are cracks flagged 1 and
// the inner sides interior; the next edge list keeps the records the faces use.
TEST(ReferencePass, CubeCountsAndFlags) {
  resetStore();
  loadMesh(dataPath("Cube.obj").c_str());
  referenceSubdivide();
  EXPECT_EQ(countVertices(), 44);
  EXPECT_EQ(countFaces(kCurrentGeneration), 48);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
  EXPECT_EQ(countEdges(kNextGeneration), 144);
  int boundary = 0;
  for (const Edge* e : edgeRecords(kCurrentGeneration)) boundary += e->flag;
  EXPECT_EQ(boundary, 72);
  for (const Face* f : faceRecords(kCurrentGeneration)) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(f->e[k]->start, f->v[k]);
  }
  checkLists();
}

TEST(ReferencePass, NothingLoadedNothingChanges) {
  resetStore();
  referenceSubdivide();
  subdivide();
  EXPECT_EQ(countVertices(), 0);
  EXPECT_EQ(countEdges(kCurrentGeneration), 0);
  EXPECT_EQ(countFaces(kCurrentGeneration), 0);
}
