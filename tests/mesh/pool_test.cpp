// The pools behind the store's lists: what a reservation promises, what a
// model change gives back, and stale pointers into a pool.
#include <gtest/gtest.h>

#include <cstdint>

#include "mesh.h"
#include "mesh_fixtures.h"

namespace {

TEST(Pools, ReservationIsKeptWholeOrNotAtAll) {
  resetStore();
  const std::size_t emptyStore = heapInUse();
  Vertex* only = appendVertex(Vertex{1, 0, 0, 0, nullptr, nullptr});
  ASSERT_NE(only, nullptr);
  const std::size_t oneVertex = heapInUse();
  // No heap holds that many edges or faces; the vertex room asked for beside
  // them must not be kept either.
  EXPECT_FALSE(reserveRecords(1000000, SIZE_MAX, 0));
  EXPECT_FALSE(reserveRecords(0, 0, SIZE_MAX / 16));
  EXPECT_EQ(heapInUse(), oneVertex);
  EXPECT_EQ(vertexHead->next, only);
  EXPECT_EQ(only->next, nullptr);
  EXPECT_EQ(lastVertex(), only);

  constexpr int kCount = 50000;
  ASSERT_TRUE(reserveRecords(kCount, kCount, kCount));
  const std::size_t reserved = heapInUse();
  EXPECT_GE(reserved, oneVertex + kCount * (sizeof(Vertex) + sizeof(Edge) + sizeof(Face)) / 2);
  int appended = 0;
  for (int i = 0; i < kCount; ++i) {
    Vertex* v = appendVertex(Vertex{i + 2, 0, 0, 0, nullptr, nullptr});
    Edge* e = appendEdge(Edge{i + 1, kFlagUndecided, v, only, nullptr, nullptr}, 1 + i % 2);
    Face* f = appendFace(Face{i + 1, {v, v, only}, {e, e, e}, nullptr, nullptr}, 1 + i % 2);
    appended += v != nullptr && e != nullptr && f != nullptr;
  }
  EXPECT_EQ(appended, kCount);
  EXPECT_EQ(heapInUse(), reserved) << "a reserved append took memory of its own";
  EXPECT_EQ(countVertices(), kCount + 1);
  EXPECT_EQ(countEdges(1) + countEdges(2), kCount);

  resetStore();
  EXPECT_NEAR(heapInUse(), emptyStore, underAddressSanitizer() ? 0 : 64 * 1024);
}

// A record given back to its pool stays mapped, so only the pool's poisoning
// lets the sanitizer see a pointer that outlived its record.
TEST(PoolsDeathTest, StalePointersAreReported) {
  if (!underAddressSanitizer()) GTEST_SKIP() << "needs AddressSanitizer";
  resetStore();
  Vertex* kept = appendVertex(Vertex{1, 0, 0, 0, nullptr, nullptr});
  Vertex* unlinked = appendVertex(Vertex{2, 0, 0, 0, nullptr, nullptr});
  ASSERT_TRUE(unlinkVertex(unlinked));
  EXPECT_DEATH(std::printf("%d\n", static_cast<volatile Vertex*>(unlinked)->id), "use-after-poison");
  // Emptying with the other edge list empty gives the pool back in one step.
  Edge* edge = appendEdge(Edge{1, kFlagUndecided, kept, kept, nullptr, nullptr}, kCurrentGeneration);
  appendFace(Face{1, {kept, kept, kept}, {edge, edge, edge}, nullptr, nullptr}, kCurrentGeneration);
  emptyList(currentEdgeHead);
  EXPECT_DEATH(std::printf("%d\n", static_cast<volatile Edge*>(edge)->flag), "use-after-poison");
  resetStore();
}

}  // namespace
