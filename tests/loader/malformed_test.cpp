// Malformed mesh files: the reader stays inside its buffers, drops triangle
// statements it cannot resolve, keeps vertex numbering, and survives noise.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "loader.h"
#include "mesh_fixtures.h"
#include "reader_checks.h"

namespace {

// Four vertices, so that indices 1..4 exist.
const std::string kBase = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

std::vector<int> cornerIds(const Face* f) { return {f->v[0]->id, f->v[1]->id, f->v[2]->id}; }

void loadAfterBase(const std::string& statements) {
  resetStore();
  loadText(kBase + statements);
}

TEST(Malformed, TriangleWithAnUnknownIndexAddsNothing) {
  const char* bad[] = {
      "f 1 2 5",   "f 0 1 2",           "f 1 -1 2",         "f 1 2 4294967297",
      "f 1.5 2 3", "f -4294967295 1 2", "f 2147483648 1 2", "f 1 2 99999999999999999999",
      "f 1 x 3",   "f 1 2 3abc"};
  for (const char* statement : bad) {
    SCOPED_TRACE(statement);
    loadAfterBase(std::string(statement) + "\nf 2 3 4\n");
    EXPECT_EQ(countVertices(), 4);
    ASSERT_EQ(countFaces(kCurrentGeneration), 1);
    EXPECT_EQ(cornerIds(faceRecords(kCurrentGeneration)[0]), (std::vector<int>{2, 3, 4}));
    checkLists();  // ids of the good statement's records start at 1
    expectFacesOwnTheirEdges();
  }
}

TEST(Malformed, TwoIndicesDoNotReuseTheLastStatementsThird) {
  loadAfterBase("f 2 3 4\nf 1 2 x\nf 1 3 y\nf 1 2");
  ASSERT_EQ(countFaces(kCurrentGeneration), 1);
  EXPECT_EQ(countEdges(kCurrentGeneration), 3);
}

TEST(Malformed, SlashCornersNameTheirVertex) {
  loadAfterBase("f 1/5/7 2/6/8 3/7/9\nf 1//3 3//3 4//3\nf 4/1 3/2 2/3\n");
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(faces.size(), 3u);
  EXPECT_EQ(cornerIds(faces[0]), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(cornerIds(faces[1]), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(cornerIds(faces[2]), (std::vector<int>{4, 3, 2}));
}

TEST(Malformed, QuadKeepsItsFirstThreeCorners) {
  loadAfterBase("f 1 2 3 4\nf 4 3 2\n");
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(faces.size(), 2u);
  EXPECT_EQ(cornerIds(faces[0]), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(cornerIds(faces[1]), (std::vector<int>{4, 3, 2}));
  EXPECT_EQ(countVertices(), 4);
}

TEST(Malformed, ShortStatementLeavesTheNextKeyword) {
  loadAfterBase("f 1 2\nv 5 6 7\nf 1\nf 1 2 5\n");
  ASSERT_EQ(countVertices(), 5);
  EXPECT_EQ(vertexRecords()[4]->y, 6.0f);
  ASSERT_EQ(countFaces(kCurrentGeneration), 1);
  EXPECT_EQ(cornerIds(faceRecords(kCurrentGeneration)[0]), (std::vector<int>{1, 2, 5}));
}

TEST(Malformed, VertexWithBadCoordinatesStillCounts) {
  loadAfterBase("v 1 2\nv a b c\nv 1.5x 2 3\nv 7 8 9\nf 5 6 8\nv");
  const std::vector<Vertex*> v = vertexRecords();
  ASSERT_EQ(v.size(), 9u);
  expectVertexIdsInFileOrder();
  const float expected[5][3] = {{1, 2, 0}, {0, 0, 0}, {0, 0, 0}, {7, 8, 9}, {0, 0, 0}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(v[4 + i]->x, expected[i][0]) << "vertex " << 5 + i;
    EXPECT_EQ(v[4 + i]->y, expected[i][1]) << "vertex " << 5 + i;
    EXPECT_EQ(v[4 + i]->z, expected[i][2]) << "vertex " << 5 + i;
  }
  ASSERT_EQ(countFaces(kCurrentGeneration), 1);
  const Face* f = faceRecords(kCurrentGeneration)[0];
  EXPECT_EQ(f->v[2], v[7]);
}

TEST(Malformed, OverlongTokenIsSkippedWhole) {
  // Cut at 127 characters, these tokens would leave a lone "v" or "f" behind.
  loadAfterBase(std::string(127, 'a') + "v 1 2 3\n" + std::string(300, '#') + "f 1 2 3\n");
  EXPECT_EQ(countVertices(), 4);
  EXPECT_EQ(countFaces(kCurrentGeneration), 0);

  // 127 characters still make one token; 128 are skipped whole, so that
  // vertex takes the two numbers after it and 0 for the missing third.
  const std::string one127 = "1." + std::string(125, '0');
  loadAfterBase("v " + one127 + " 2 3\nv " + one127 + "0 5 6\n");
  const std::vector<Vertex*> v = vertexRecords();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_TRUE(v[4]->x == 1.0f && v[4]->y == 2.0f && v[4]->z == 3.0f);
  EXPECT_TRUE(v[5]->x == 5.0f && v[5]->y == 6.0f && v[5]->z == 0.0f)
      << v[5]->x << " " << v[5]->y << " " << v[5]->z;
}

TEST(Malformed, EmbeddedNulBytesSpoilTheirToken) {
  const char raw[] = "v\0 9 9 9\nv 1\0 2 3\nf 1 2\0 3\nf\0 1 2 3\n";
  loadAfterBase(std::string(raw, sizeof raw - 1));
  ASSERT_EQ(countVertices(), 5);
  EXPECT_EQ(vertexRecords()[4]->x, 0.0f);
  EXPECT_EQ(countFaces(kCurrentGeneration), 0);
}

TEST(Malformed, NonFiniteCoordinatesAreKept) {
  loadAfterBase("v nan inf -inf\nv 1e39 -1e39 INFINITY\nf 5 6 1\n");
  const std::vector<Vertex*> v = vertexRecords();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_TRUE(std::isnan(v[4]->x));
  EXPECT_EQ(v[4]->y, INFINITY);
  EXPECT_EQ(v[4]->z, -INFINITY);
  EXPECT_EQ(v[5]->x, INFINITY);
  EXPECT_EQ(v[5]->y, -INFINITY);
  EXPECT_EQ(v[5]->z, INFINITY);
  EXPECT_EQ(countFaces(kCurrentGeneration), 1);
}

TEST(Malformed, RandomBytesLeaveAConsistentStore) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 4; ++round) {
    std::string bytes(150000, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    resetStore();
    loadText(bytes);
    checkLists();
    expectVertexIdsInFileOrder();
    expectFacesOwnTheirEdges();
  }
}

}  // namespace
