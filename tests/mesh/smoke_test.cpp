#include <gtest/gtest.h>

#include "mesh_fixtures.h"
#include "loader.h"
#include "subdivision.h"

TEST(Smoke, CubeLoadsAndSubdivides) {
  resetStore();
  loadMesh(dataPath("Cube.obj").c_str());
  EXPECT_EQ(countVertices(), 8);
  EXPECT_EQ(countEdges(1), 36);
  EXPECT_EQ(countFaces(1), 12);
  for (Edge* e : edgeRecords(1)) EXPECT_EQ(e->flag, 0);
  subdivide();
  checkLists();
  EXPECT_EQ(countVertices(), 44);
  EXPECT_EQ(countEdges(1), 144);
  EXPECT_EQ(countFaces(1), 48);
  int boundary = 0;
  for (Edge* e : edgeRecords(1)) boundary += e->flag;
  EXPECT_EQ(boundary, 72);
  subdivide();
  subdivide();
  checkLists();
}
