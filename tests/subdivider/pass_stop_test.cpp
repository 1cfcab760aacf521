// Stopping a pass from outside (parallel_ranges.h): a set flag stops the
// loops at the next slice and leaves the mesh as it was; a clear flag cuts
// the pieces into slices that still cover every item once, on whole grains,
// so the pass gives the very points it gives without one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "mesh_fixtures.h"
#include "obj_meshes.h"
#include "parallel_ranges.h"
#include "test_meshes.h"

namespace {

IndexedMesh meshOf(const TestMesh& source) {
  return weldedObjMesh(objText(source.positions, source.triangles));
}

bool sameBits(const IndexedMesh& a, const IndexedMesh& b) {
  return a.positions.size() == b.positions.size() && a.corners == b.corners && a.flags == b.flags &&
         std::memcmp(a.positions.data(), b.positions.data(), a.positions.size() * sizeof(FloatPoint)) == 0;
}

// Points the calling thread's stop flag at `flag` for the scope.
struct StopOn {
  explicit StopOn(const std::atomic<bool>& flag) { passStop = &flag; }
  ~StopOn() { passStop = nullptr; }
};

}  // namespace

TEST(PassStop, ClearFlagStillCoversEveryItemOnceOnWholeGrains) {
  struct Case {
    std::size_t count, grain;
  };
  const Case cases[] = {{10, 1}, {kParallelFrom, 1}, {5 * kStopSlice + 7, 1}, {3 * kStopSlice + 2, 3},
                        {9 * kStopSlice + 63, 64}};
  std::atomic<bool> flag{false};
  StopOn stopOn(flag);
  for (const Case& c : cases) {
    SCOPED_TRACE("count " + std::to_string(c.count) + ", grain " + std::to_string(c.grain));
    std::vector<std::atomic<int>> visits(c.count);
    std::atomic<int> offGrain{0};
    forEachPiece(c.count, c.grain, [&](std::size_t begin, std::size_t end) {
      if (begin % c.grain != 0) ++offGrain;
      for (std::size_t i = begin; i < end; ++i) ++visits[i];
    });
    EXPECT_EQ(offGrain.load(), 0);
    std::size_t once = 0;
    for (const std::atomic<int>& v : visits) once += v.load() == 1 ? 1 : 0;
    EXPECT_EQ(once, c.count);
  }
}

TEST(PassStop, SetFlagStopsTheLoopsWithinASliceOfEachWorker) {
  std::atomic<bool> flag{true};
  StopOn stopOn(flag);
  bool worked = false;
  EXPECT_THROW(forEachPiece(100, 1, [&](std::size_t, std::size_t) { worked = true; }), PassStopped);
  EXPECT_FALSE(worked);

  // The first slice anywhere sets the flag: every worker ends the slice it
  // is in and starts no other, so at most one slice a worker is worked.
  flag = false;
  const std::size_t count = 2 * kMostWorkers * kStopSlice;
  std::atomic<std::size_t> done{0};
  EXPECT_THROW(forEachPiece(count, 1,
                            [&](std::size_t begin, std::size_t end) {
                              flag = true;
                              done += end - begin;
                            }),
               PassStopped);
  EXPECT_LE(done.load(), kMostWorkers * kStopSlice);
}

TEST(PassStop, TheSecondTaskOfRunBesideAnswersTheCallersFlag) {
  std::atomic<bool> flag{true};
  StopOn stopOn(flag);
  bool worked = false;
  EXPECT_THROW(runBeside(
                   kBesideFrom, [&] { forEachPiece(10, 1, [&](std::size_t, std::size_t) { worked = true; }); },
                   [] {}),
               PassStopped);
  EXPECT_FALSE(worked);
}

TEST(PassStop, AStoppedPassLeavesTheMeshAndAClearFlagChangesNoPoint) {
  // Large enough that the pass's loops run in several slices.
  const IndexedMesh original = meshOf(icosphere(7));
  ASSERT_GT(original.corners.size(), 2 * kStopSlice);
  for (const bool modified : {false, true}) {
    SCOPED_TRACE(modified ? "modified rule" : "classic rule");
    const IndexedRule rule{modified, 0.05};
    IndexedMesh unstopped = original;
    subdivideIndexed(unstopped, rule);

    std::atomic<bool> flag{false};
    StopOn stopOn(flag);
    IndexedMesh sliced = original;
    subdivideIndexed(sliced, rule);
    EXPECT_TRUE(sameBits(sliced, unstopped));

    flag = true;
    IndexedMesh stopped = original;
    EXPECT_THROW(subdivideIndexed(stopped, rule), PassStopped);
    EXPECT_TRUE(sameBits(stopped, original));
  }
}
