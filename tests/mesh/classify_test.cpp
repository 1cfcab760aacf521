// Edge classification: interior and boundary sides, the early stop at a count
// of two, degenerate faces and edges that no face holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "mesh.h"
#include "mesh_builders.h"
#include "mesh_fixtures.h"

namespace {

// The flags of the current edges from a to b, in list order.
std::vector<int> flags(const Vertex* a, const Vertex* b, int generation = kCurrentGeneration) {
  std::vector<int> result;
  for (const Edge* e : edgeRecords(generation)) {
    if (e->start == a && e->end == b) result.push_back(e->flag);
  }
  return result;
}

class Classify : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStore();
    v = addVertices(8);
  }
  std::vector<Vertex*> v;
};

using Flags = std::vector<int>;

TEST_F(Classify, ClosedCubeIsInteriorEverywhere) {
  const int triangles[12][3] = {{1, 4, 3}, {1, 2, 4}, {5, 7, 8}, {5, 8, 6}, {1, 5, 6}, {1, 6, 2},
                                {3, 8, 7}, {3, 4, 8}, {1, 7, 5}, {1, 3, 7}, {2, 6, 8}, {2, 8, 4}};
  for (const auto& t : triangles) addTriangle(v[t[0]], v[t[1]], v[t[2]]);
  classifyEdges(kCurrentGeneration);
  ASSERT_EQ(countEdges(1), 36);
  for (const Edge* e : edgeRecords(1)) EXPECT_EQ(e->flag, kFlagInterior) << "edge " << e->id;
}

TEST_F(Classify, TwoTrianglesShareOneInteriorSide) {
  addTriangle(v[1], v[2], v[3]);
  addTriangle(v[1], v[3], v[4]);
  classifyEdges(kCurrentGeneration);
  EXPECT_EQ(flags(v[3], v[1]), Flags{0});
  EXPECT_EQ(flags(v[1], v[3]), Flags{0});
  for (auto [a, b] : {std::pair{1, 2}, {2, 3}, {3, 4}, {4, 1}}) {
    EXPECT_EQ(flags(v[a], v[b]), Flags{1}) << a << "->" << b;
  }
}

TEST_F(Classify, OpenStripHasBoundaryRimAndInteriorRungs) {
  // Bottom row 1, 3, 5; top row 2, 4, 6; the rungs 2-3, 3-4 and 4-5 are shared.
  addTriangle(v[1], v[3], v[2]);
  addTriangle(v[2], v[3], v[4]);
  addTriangle(v[3], v[5], v[4]);
  addTriangle(v[4], v[5], v[6]);
  classifyEdges(kCurrentGeneration);
  for (const Edge* e : edgeRecords(1)) {
    const int lo = std::min(e->start->id, e->end->id);
    const int hi = std::max(e->start->id, e->end->id);
    const bool rung = hi == lo + 1 && lo >= 2 && hi <= 5;
    EXPECT_EQ(e->flag, rung ? kFlagInterior : kFlagBoundary) << lo << "-" << hi;
  }
}

TEST_F(Classify, ThirdFaceOnASideStillCountsTwo) {
  // The count of side 1-2 is 2 after the second face; the scan stops there.
  addTriangle(v[1], v[2], v[3]);
  addTriangle(v[2], v[1], v[4]);
  addTriangle(v[1], v[2], v[5]);
  classifyEdges(kCurrentGeneration);
  EXPECT_EQ(flags(v[1], v[2]), (Flags{0, 0}));
  EXPECT_EQ(flags(v[2], v[1]), Flags{0});
  int boundary = 0;
  for (const Edge* e : edgeRecords(1)) boundary += e->flag == kFlagBoundary;
  EXPECT_EQ(boundary, 6);
}

TEST_F(Classify, DegenerateFaceCountsItsTwoSidesOnOnePair) {
  addTriangle(v[1], v[2], v[1]);
  classifyEdges(kCurrentGeneration);
  EXPECT_EQ(flags(v[1], v[2]), Flags{0});
  EXPECT_EQ(flags(v[2], v[1]), Flags{0});
  EXPECT_EQ(flags(v[1], v[1]), Flags{1});
}

TEST_F(Classify, CountPastTwoLeavesTheFlag) {
  // 1 after the first face, 3 after the degenerate one: neither 1 nor 2.
  addTriangle(v[2], v[1], v[3]);
  addTriangle(v[1], v[2], v[1]);
  classifyEdges(kCurrentGeneration);
  EXPECT_EQ(flags(v[2], v[1]), (Flags{kFlagUndecided, kFlagUndecided}));
  EXPECT_EQ(flags(v[1], v[2]), Flags{kFlagUndecided});
  EXPECT_EQ(flags(v[1], v[3]), Flags{1});
  EXPECT_EQ(flags(v[1], v[1]), Flags{1});
  addTriangle(v[5], v[5], v[5]);  // three sides on one pair at once
  classifyEdges(kCurrentGeneration);
  EXPECT_EQ(flags(v[5], v[5]), (Flags{kFlagUndecided, kFlagUndecided, kFlagUndecided}));
}

TEST_F(Classify, EdgeThatNoFaceHoldsKeepsItsFlag) {
  addTriangle(v[1], v[2], v[3]);
  for (uint8_t flag : {kFlagUndecided, kFlagInterior, kFlagBoundary, uint8_t{7}}) {
    Edge loose{};
    loose.flag = flag;
    loose.start = v[4];
    loose.end = v[5];
    appendEdge(loose, kCurrentGeneration);
  }
  classifyEdges(kCurrentGeneration);
  std::vector<int> all;
  for (const Edge* e : edgeRecords(1)) all.push_back(e->flag);
  EXPECT_EQ(all, (Flags{1, 1, 1, kFlagUndecided, 0, 1, 7}));
}

TEST_F(Classify, VerticesAreComparedByRecordNotByPosition) {
  Vertex twin = *v[2];  // same id and position as vertex 2, another record
  Vertex* copy = appendVertex(twin);
  addTriangle(v[1], v[2], v[3]);
  addTriangle(copy, v[1], v[4]);
  classifyEdges(kCurrentGeneration);
  for (const Edge* e : edgeRecords(1)) EXPECT_EQ(e->flag, kFlagBoundary) << "edge " << e->id;
}

TEST_F(Classify, SelectorPicksOneGeneration) {
  addTriangle(v[1], v[2], v[3], kCurrentGeneration);
  addTriangle(v[1], v[2], v[3], kNextGeneration);
  addTriangle(v[3], v[2], v[4], kNextGeneration);
  classifyEdges(0);  // any selector but 1 means the next lists
  EXPECT_EQ(flags(v[2], v[3], kNextGeneration), Flags{0});
  EXPECT_EQ(flags(v[1], v[2], kNextGeneration), Flags{1});
  for (const Edge* e : edgeRecords(1)) EXPECT_EQ(e->flag, kFlagUndecided);
  classifyEdges(kCurrentGeneration);
  for (const Edge* e : edgeRecords(1)) EXPECT_EQ(e->flag, kFlagBoundary);
}

}  // namespace
