// Soak test: two hundred model changes and subdivision passes in one process,
// as a long viewing session makes them. A model change must give back every
// record of the model it replaces, whatever passes were made on it, so the
// heap in use after a model is read again is what it was after its first
// reading, and the store holds the same model.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "loader.h"
#include "mesh.h"
#include "mesh_fixtures.h"
#include "subdivision.h"
#include "view.h"

namespace {

constexpr int kSteps = 200;

// glibc's statistics count the chunks parked in its per-thread caches as in
// use, so there the level wanders by some kilobytes as those caches fill,
// with nothing leaked.
const double kHeapSlack = underAddressSanitizer() ? 0 : 64 * 1024;

struct SoakModel {
  int value;      // menu value
  int maxPasses;  // the cylinder has eight times the cube's faces
};

constexpr SoakModel kSoakModels[] = {{'1', 4}, {'2', 4}, {'3', 2}};

// What the store holds right after a model was read.
struct Reading {
  std::size_t heap;
  int vertices;
  int edges;
  int faces;
  std::size_t listings;  // hash of the three listings
};

std::size_t listingsHash() {
  return std::hash<std::string>()(captureListing(printVertexListing) +
                                  captureListing(printEdgeListing) +
                                  captureListing(printFaceListing));
}

// Runs in the repository root, where the model table's relative paths point.
class Soak : public testing::Test {
 protected:
  void SetUp() override {
    savedDirectory_ = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(VIEWER_DATA_DIR).parent_path());
    resetStore();
  }
  void TearDown() override { std::filesystem::current_path(savedDirectory_); }

 private:
  std::filesystem::path savedDirectory_;
};

// One pass must split every face in four, add three vertices per face and
// twelve edges per face to the current edge list, after those of earlier
// passes (the first pass frees the reader's), and leave the next lists empty.
void passAndCheck(bool first) {
  const int faces = countFaces(1);
  const int vertices = countVertices();
  const int earlierEdges = first ? 0 : countEdges(1);
  subdivide();
  EXPECT_EQ(countFaces(1), 4 * faces);
  EXPECT_EQ(countVertices(), vertices + 3 * faces);
  EXPECT_EQ(countEdges(1), earlierEdges + 12 * faces);
  EXPECT_EQ(countEdges(2) + countFaces(2), 0);
  checkLists();
}

TEST_F(Soak, ModelChangesGiveBackEveryPass) {
  // The checks allocate on first use (gtest's trace stack, stdio) and keep
  // it; that happens here, before any level is taken.
  checkLists();
  listingsHash();
  const std::size_t emptyHeap = heapInUse();
  Reading first[3];
  bool seen[3] = {false, false, false};
  int steps = 0;
  for (int round = 0; steps < kSteps; ++round) {
    const int model = round % 3;
    const SoakModel& soak = kSoakModels[model];
    replaceModel(soak.value);
    ++steps;
    const Reading now{heapInUse(), countVertices(), countEdges(1), countFaces(1), listingsHash()};
    ASSERT_GT(now.faces, 0) << "round " << round;
    EXPECT_EQ(countEdges(2), 0);
    EXPECT_EQ(countFaces(2), 0);
    checkLists();
    if (!seen[model]) {
      first[model] = now;
      seen[model] = true;
    } else {
      EXPECT_NEAR(now.heap, first[model].heap, kHeapSlack) << "round " << round;
      EXPECT_EQ(now.vertices, first[model].vertices);
      EXPECT_EQ(now.edges, first[model].edges);
      EXPECT_EQ(now.faces, first[model].faces);
      EXPECT_EQ(now.listings, first[model].listings);
    }
    // Depths cycle so that every model is left at every depth it allows.
    const int passes = (round / 3) % (soak.maxPasses + 1);
    for (int pass = 0; pass < passes && steps < kSteps; ++pass, ++steps) passAndCheck(pass == 0);
  }
  replaceModel(0);
  EXPECT_EQ(countVertices(), 0);
  EXPECT_NEAR(heapInUse(), emptyHeap, kHeapSlack);
}

}  // namespace
