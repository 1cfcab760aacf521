// Passes that cannot be made: refused at the id limit and where the memory
// probe says no, leaving the store exactly as it was, with one line on
// standard error.
#include "pass_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "failing_allocation.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "subdivision.h"
#include "view.h"

namespace {

uint64_t injectedAvailable = 0;
uint64_t injectedMemory() { return injectedAvailable; }

// Everything a refused pass must leave alone: the three listings, and the
// next lists, empty between passes.
struct StoreImage {
  std::string vertices, edges, faces;
  int nextEdges, nextFaces;

  bool operator==(const StoreImage& other) const {
    return vertices == other.vertices && edges == other.edges && faces == other.faces &&
           nextEdges == other.nextEdges && nextFaces == other.nextFaces;
  }
};

StoreImage imageOfStore() {
  return {captureListing(printVertexListing), captureListing(printEdgeListing),
          captureListing(printFaceListing), countEdges(kNextGeneration), countFaces(kNextGeneration)};
}

void loadFile(const char* name) {
  resetStore();
  loadMesh(dataPath(name).c_str());
}

// The cylinder's image after two passes, for a pass that is to match it; the
// store is left holding the cylinder after one pass.
StoreImage cylinderAfterTwoPassesThenOne() {
  loadFile("table.obj");
  subdivide();
  subdivide();
  const StoreImage twoPasses = imageOfStore();
  loadFile("table.obj");
  subdivide();
  return twoPasses;
}

class RefusedPass : public ::testing::Test {
 protected:
  void TearDown() override {
    passIdLimit = kLargestId;
    memoryAvailable = systemMemoryAvailable;
  }

  // One pass that must be refused: the store stays as it was, and standard
  // error gets one line that starts as expected.
  void expectRefused(const std::string& lineStart) {
    const StoreImage before = imageOfStore();
    testing::internal::CaptureStderr();
    subdivide();
    const std::string said = testing::internal::GetCapturedStderr();
    checkLists();
    EXPECT_TRUE(imageOfStore() == before) << "a refused pass changed the store";
    EXPECT_EQ(said.rfind(lineStart, 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
  }

  void expectMade(int facesAfter) {
    testing::internal::CaptureStderr();
    subdivide();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(countFaces(kCurrentGeneration), facesAfter);
  }
};

// The cube's first pass hands out edge ids up to 12 * 12 = 144, its second
// up to 144 + 12 * 48 = 720 (the edges of every pass are numbered); a mesh of
// many vertices and one triangle reaches the limit with its vertex ids.
TEST_F(RefusedPass, AtTheIdLimitAndNotBelowIt) {
  loadFile("Cube.obj");
  passIdLimit = 143;
  expectRefused("subdivision pass not made: its edge ids would pass 143 (it needs ");
  passIdLimit = 144;
  expectMade(48);
  passIdLimit = 719;
  expectRefused("subdivision pass not made: its edge ids would pass 719");
  passIdLimit = 720;
  expectMade(192);

  std::string text;
  for (int i = 0; i < 1000; ++i) text += "v " + std::to_string(i) + " " + std::to_string(i * i % 7) + " 0\n";
  resetStore();
  loadText(text + "f 1 2 3\n");
  passIdLimit = 1002;
  expectRefused("subdivision pass not made: its vertex ids would pass 1002");
  passIdLimit = 1003;
  expectMade(4);
  EXPECT_EQ(vertexRecords().back()->id, 1003);
}

// On the cylinder after one pass (rims, and a pass's edges in the current
// list): a pass is refused when the probe gives one byte less than it needs,
// and the pass made after the refusal is the one a store that never refused
// makes.
TEST_F(RefusedPass, WhenTheMemoryCannotBeHadAndTheNextPassIsUnharmed) {
  const StoreImage twoPasses = cylinderAfterTwoPassesThenOne();
  const uint64_t needed = passNeeds(countMesh()).bytes;
  memoryAvailable = injectedMemory;
  injectedAvailable = needed - 1;
  expectRefused("subdivision pass not made: it needs ");
  injectedAvailable = needed;
  expectMade(4 * 4 * 96);
  EXPECT_TRUE(imageOfStore() == twoPasses);
}

// Every allocation of the index in turn fails: each time the pass is refused
// and the store kept, until the pass is made as if nothing had failed.
TEST_F(RefusedPass, WhenItsIndexCannotBeAllocated) {
  const StoreImage twoPasses = cylinderAfterTwoPassesThenOne();
  int failures = 0;
  for (long failAt = 1; failAt < 1000; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt));
    const StoreImage before = imageOfStore();
    const FailedRun run = runWithFailingAllocation(failAt, subdivide);
    checkLists();
    if (!run.failed) {
      EXPECT_EQ(run.said, "");
      EXPECT_TRUE(imageOfStore() == twoPasses);
      break;
    }
    ++failures;
    EXPECT_TRUE(imageOfStore() == before);
    EXPECT_EQ(run.said.rfind("subdivision pass not made: out of memory for its index (it needs ", 0), 0u)
        << run.said;
  }
  EXPECT_GE(failures, 10);
}

// Large enough a pass that its index is built on two threads: when the other
// thread runs out of memory the pass is refused as when the caller's does,
// and the pass made afterwards is the one that never failed.
TEST_F(RefusedPass, WhenItsIndexCannotBeAllocatedOnAnotherThread) {
  const auto threePasses = [] {
    loadFile("table.obj");
    for (int pass = 0; pass < 3; ++pass) subdivide();
  };
  threePasses();
  subdivide();
  const StoreImage fourPasses = imageOfStore();
  threePasses();
  const StoreImage before = imageOfStore();
  testing::internal::CaptureStderr();
  failNewOnAnotherThread();
  subdivide();
  const bool failed = newHasFailed();
  failNewAfter(0);
  const std::string said = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(failed) << "the pass allocated nothing on another thread";
  checkLists();
  EXPECT_TRUE(imageOfStore() == before);
  EXPECT_EQ(said.rfind("subdivision pass not made: out of memory for its index (it needs ", 0), 0u)
      << said;
  expectMade(4 * 6144);
  EXPECT_TRUE(imageOfStore() == fourPasses);
}

// A pass the budget lets through must not run out of room for its records:
// what it reserves and what it frees make up all it appends. Beside them the
// need holds the 16 MiB the README promises for drawing and printing the
// result. Nothing the viewer does shows that room: measured, the cube's
// seventh pass grew the address space by 43 MiB of the 52 MiB its records and
// index are reckoned at, and drawing and listing the result took no more, so
// only this comparison misses it.
TEST(PassNeeds, NeverLessThanTheRecordsThePassAddsAndTheRoomToShowThem) {
  constexpr uint64_t kRoomToShow = 16u << 20;
  for (const uint64_t faces : {uint64_t(1), uint64_t(1) << 20}) {
    for (const MeshCounts& counts :
         {MeshCounts{faces, 3 * faces, 0, 3}, MeshCounts{faces, 0, 1 << 24, 1 << 19}}) {
      const PassNeeds needs = passNeeds(counts);
      EXPECT_EQ(needs.vertices, 3 * faces);
      EXPECT_EQ(needs.edges + counts.readerEdges, 12 * faces);
      EXPECT_EQ(needs.faces + faces, 4 * faces);
      EXPECT_GE(needs.bytes, needs.vertices * sizeof(Vertex) + needs.edges * sizeof(Edge) +
                                 needs.faces * sizeof(Face) + kRoomToShow);
    }
  }
}

}  // namespace
