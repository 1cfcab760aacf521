// Soak test: two hundred model changes and subdivision passes in one process,
// as a long viewing session makes them. A model change must give back every
// record of the model it replaces, whatever passes were made on it, so the
// heap in use after a model is read again is what it was after its first
// reading, and the store holds the same model.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "loader.h"
#include "mesh.h"
#include "mesh_fixtures.h"
#include "subdivision.h"
#include "view.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SOAK_UNDER_ASAN 1
#endif
#if defined(SOAK_UNDER_ASAN) && __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#elif defined(SOAK_UNDER_ASAN)
// GCC ships no header for the allocator interface; its libasan has the call.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr int kSteps = 200;

// Bytes the program holds on the heap. ASan replaces malloc and counts every
// byte exactly; glibc's statistics count the chunks parked in its per-thread
// caches as in use, so there the level wanders by some kilobytes as those
// caches fill, with nothing leaked.
#ifdef SOAK_UNDER_ASAN
constexpr double kHeapSlack = 0;
std::size_t heapInUse() { return __sanitizer_get_current_allocated_bytes(); }
#else
constexpr double kHeapSlack = 64 * 1024;
std::size_t heapInUse() { return mallinfo2().uordblks; }
#endif

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
    ASSERT_NE(getcwd(savedDirectory_, sizeof savedDirectory_), nullptr);
    const std::string data = VIEWER_DATA_DIR;
    ASSERT_EQ(chdir(data.substr(0, data.rfind('/')).c_str()), 0);
    resetStore();
  }
  void TearDown() override { ASSERT_EQ(chdir(savedDirectory_), 0); }

 private:
  char savedDirectory_[PATH_MAX];
};

// One pass must split every face in four, add three vertices per face and
// twelve edges per face to the next edge list, which the current one copies.
void passAndCheck() {
  const int faces = countFaces(1);
  const int vertices = countVertices();
  const int nextEdges = countEdges(2);
  subdivide();
  EXPECT_EQ(countFaces(1), 4 * faces);
  EXPECT_EQ(countVertices(), vertices + 3 * faces);
  EXPECT_EQ(countEdges(2), nextEdges + 12 * faces);
  EXPECT_EQ(countEdges(1), countEdges(2));
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
    for (int pass = 0; pass < passes && steps < kSteps; ++pass, ++steps) passAndCheck();
  }
  replaceModel(0);
  EXPECT_EQ(countVertices(), 0);
  EXPECT_NEAR(heapInUse(), emptyHeap, kHeapSlack);
}

}  // namespace
