// Neighbourhood queries and face construction: findFaceByEdge, thirdCorner,
// makeFace.
#include <gtest/gtest.h>

#include <vector>

#include "mesh.h"
#include "mesh_builders.h"
#include "mesh_fixtures.h"

namespace {

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStore();
    v = addVertices(6);
  }
  std::vector<Vertex*> v;
};

bool holds(const Face* f, const Vertex* corner) {
  return f->v[0] == corner || f->v[1] == corner || f->v[2] == corner;
}

TEST_F(Queries, FindFaceByEdgeOnAClosedMeshFindsBothSides) {
  const int triangles[4][3] = {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3}};
  for (const auto& t : triangles) addTriangle(v[t[0]], v[t[1]], v[t[2]]);
  for (Face* f : faceRecords(kCurrentGeneration)) {
    for (int k = 0; k < 3; ++k) {
      Vertex* a = f->v[k];
      Vertex* b = f->v[(k + 1) % 3];
      EXPECT_EQ(findFaceByEdge(a, b), f) << "face " << f->id << " side " << k;
      Face* across = findFaceByEdge(b, a);
      ASSERT_NE(across, nullptr);
      EXPECT_NE(across, f);
      EXPECT_TRUE(holds(across, a) && holds(across, b));
    }
  }
}

TEST_F(Queries, FindFaceByEdgeIsNullForAMissingSide) {
  Face* f = addTriangle(v[1], v[2], v[3]);
  EXPECT_EQ(findFaceByEdge(v[3], v[1]), f);
  EXPECT_EQ(findFaceByEdge(v[1], v[3]), nullptr);
  EXPECT_EQ(findFaceByEdge(v[2], v[1]), nullptr);
  EXPECT_EQ(findFaceByEdge(v[1], v[4]), nullptr);
  EXPECT_EQ(findFaceByEdge(v[1], v[1]), nullptr);
}

TEST_F(Queries, FindFaceByEdgeNeedsTheSideInTheCurrentEdgeList) {
  // A current face whose side records live in the next list only.
  Face* built = addTriangle(v[1], v[2], v[3], kNextGeneration);
  appendFace(*built, kCurrentGeneration);
  EXPECT_EQ(findFaceByEdge(v[1], v[2]), nullptr);
  // A current edge that no current face holds.
  Edge loose{};
  loose.start = v[4];
  loose.end = v[5];
  appendEdge(loose, kCurrentGeneration);
  EXPECT_EQ(findFaceByEdge(v[4], v[5]), nullptr);
  // A side of the next generation only.
  addTriangle(v[4], v[5], v[6], kNextGeneration);
  EXPECT_EQ(findFaceByEdge(v[5], v[6]), nullptr);
}

TEST_F(Queries, FindFaceByEdgeReturnsTheFirstFaceInListOrder) {
  // Both faces hold the side 1->2; x's edges come first, y's face does.
  Face* x = addTriangle(v[1], v[2], v[3]);
  Face* y = addTriangle(v[1], v[2], v[4]);
  const Face moved = *x;
  ASSERT_TRUE(unlinkFace(x));
  appendFace(moved, kCurrentGeneration);
  EXPECT_EQ(findFaceByEdge(v[1], v[2]), y);
}

TEST_F(Queries, ThirdCornerIgnoresTheOrderOfTheSide) {
  Face* f = addTriangle(v[1], v[2], v[3]);
  EXPECT_EQ(thirdCorner(f, v[2], v[3]), v[1]);
  EXPECT_EQ(thirdCorner(f, v[3], v[2]), v[1]);
  EXPECT_EQ(thirdCorner(f, v[1], v[3]), v[2]);
  EXPECT_EQ(thirdCorner(f, v[2], v[1]), v[3]);
  EXPECT_EQ(thirdCorner(f, v[4], v[5]), v[1]) << "first corner in order v[0], v[1], v[2]";
  EXPECT_EQ(thirdCorner(f, v[1], v[5]), v[2]);
}

TEST_F(Queries, ThirdCornerOfNullOrDegenerateFaceIsNull) {
  EXPECT_EQ(thirdCorner(nullptr, v[1], v[2]), nullptr);
  Face* f = addTriangle(v[1], v[2], v[1]);
  EXPECT_EQ(thirdCorner(f, v[2], v[1]), nullptr);
  EXPECT_EQ(thirdCorner(f, v[1], v[3]), v[2]);
}

TEST_F(Queries, MakeFaceAppendsThreeEdgesAndAFacePointingAtThem) {
  addTriangle(v[4], v[5], v[6], kNextGeneration);  // earlier records stay in front
  Face* f = makeFace(1, 2, 3);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f, faceRecords(kNextGeneration).back());
  const std::vector<Edge*> edges = edgeRecords(kNextGeneration);
  ASSERT_EQ(edges.size(), 6u);
  for (int k = 0; k < 3; ++k) {
    Edge* e = edges[3 + k];
    EXPECT_EQ(f->v[k], v[k + 1]);
    EXPECT_EQ(f->e[k], e) << "face must point at the record inside the list";
    EXPECT_EQ(e->start, v[k + 1]);
    EXPECT_EQ(e->end, v[(k + 1) % 3 + 1]);
    EXPECT_EQ(e->flag, kFlagUndecided);
  }
  EXPECT_EQ(countEdges(kCurrentGeneration) + countFaces(kCurrentGeneration), 0);
  checkLists();
}

TEST_F(Queries, MakeFaceWithAnUnknownIdAppendsNothing) {
  for (auto ids : {std::vector<int>{1, 2, 7}, {0, 2, 3}, {1, -1, 3}}) {
    EXPECT_EQ(makeFace(ids[0], ids[1], ids[2]), nullptr);
  }
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
}

TEST_F(Queries, MakeFaceTakesTheLastVertexOfARepeatedId) {
  std::vector<Vertex*> later{nullptr};
  for (int id = 1; id <= 3; ++id) {
    Vertex twin{};
    twin.id = id;
    later.push_back(appendVertex(twin));
  }
  Face* f = makeFace(3, 1, 2);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->v[0], later[3]);
  EXPECT_EQ(f->v[1], later[1]);
  EXPECT_EQ(f->v[2], later[2]);
  EXPECT_EQ(f->e[0]->end, later[1]);
  EXPECT_EQ(f->e[2]->start, later[2]);
}

}  // namespace
