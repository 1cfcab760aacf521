// A read that runs out of memory: every allocation of the reader in turn is
// made to fail, and each time the store is left empty, with one line on
// standard error, and the next model loads as if nothing had happened.
#include <gtest/gtest.h>

#include <string>

#include "failing_allocation.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "view.h"

namespace {

std::string listings() {
  return captureListing(printVertexListing) + captureListing(printEdgeListing) +
         captureListing(printFaceListing);
}

TEST(ReaderOutOfMemory, LeavesNoModelWhereverItFails) {
  const std::string cylinder = dataPath("table.obj");
  resetStore();
  loadMesh(cylinder.c_str());
  const std::string whole = listings();
  int failures = 0;
  for (long failAt = 1; failAt < 1000; ++failAt) {
    SCOPED_TRACE("allocation " + std::to_string(failAt));
    resetStore();
    const FailedRun run = runWithFailingAllocation(failAt, [&] { loadMesh(cylinder.c_str()); });
    checkLists();
    if (!run.failed) {
      EXPECT_EQ(run.said, "");
      EXPECT_EQ(listings(), whole);
      break;
    }
    ++failures;
    EXPECT_EQ(run.said, "model not loaded: out of memory while reading it\n");
    EXPECT_EQ(listings(), "");
    loadMesh(cylinder.c_str());
    EXPECT_EQ(listings(), whole);
  }
  // The vertex table's growth and classification's table at least.
  EXPECT_GE(failures, 5);
}

}  // namespace
