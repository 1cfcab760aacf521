// Choosing a model: the table, and the replacement of whatever was loaded or
// subdivided before by a fresh reading of the chosen file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "loader.h"
#include "mesh_fixtures.h"
#include "subdivision.h"
#include "view.h"

namespace {

std::string allListings() {
  return captureListing(printVertexListing) + captureListing(printEdgeListing) +
         captureListing(printFaceListing);
}

// The listings of a model read into an empty store.
std::string freshListings(const char* file) {
  resetStore();
  loadMesh(dataPath(file).c_str());
  return allListings();
}

void expectNextGenerationEmpty() {
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
}

class ModelMenu : public ::testing::Test {
 protected:
  // The table's paths are relative to the working directory.
  void SetUp() override {
    std::filesystem::current_path(VIEWER_DATA_DIR "/..");
    resetStore();
  }
};

TEST_F(ModelMenu, TableMapsTheThreeMenuValues) {
  EXPECT_STREQ(modelPath('1'), "Data/Cube.obj");
  EXPECT_STREQ(modelPath('2'), "Data/SmallCube.obj");
  EXPECT_STREQ(modelPath('3'), "Data/table.obj");
  for (int other : {0, 1, 2, 3, int{'0'}, int{'4'}, -1, 256 + '1'})
    EXPECT_EQ(modelPath(other), nullptr);
}

TEST_F(ModelMenu, AnotherModelLeavesNothingOfTheFirst) {
  const std::string small = freshListings("SmallCube.obj");
  replaceModel('1');
  replaceModel('2');
  EXPECT_EQ(countVertices(), 8);
  EXPECT_EQ(countEdges(kCurrentGeneration), 36);
  EXPECT_EQ(countFaces(kCurrentGeneration), 12);
  for (const Vertex* v : vertexRecords()) EXPECT_EQ(std::fabs(v->x), 0.5f);
  EXPECT_EQ(allListings(), small);
  expectNextGenerationEmpty();
  checkLists();
}

TEST_F(ModelMenu, ModelAfterSubdivisionIsReadFresh) {
  const std::string cylinder = freshListings("table.obj");
  subdivide();
  const std::string cylinderOnce = allListings();

  replaceModel('1');
  subdivide();
  subdivide();
  replaceModel('3');
  EXPECT_EQ(allListings(), cylinder);
  expectNextGenerationEmpty();
  checkLists();
  // Records of the earlier passes must not come back with the next one.
  subdivide();
  EXPECT_EQ(allListings(), cylinderOnce);
}

TEST_F(ModelMenu, ValueOutsideTheTableEmptiesEverything) {
  for (int value : {0, int{'4'}, -1}) {
    SCOPED_TRACE(value);
    replaceModel('2');
    subdivide();
    replaceModel(value);
    EXPECT_EQ(countVertices(), 0);
    EXPECT_EQ(countEdges(kCurrentGeneration) + countFaces(kCurrentGeneration), 0);
    expectNextGenerationEmpty();
    checkLists();
  }
}

TEST_F(ModelMenu, SameModelTwiceGivesTheSameListings) {
  replaceModel('1');
  const std::string first = allListings();
  replaceModel('1');
  EXPECT_EQ(allListings(), first);
  EXPECT_EQ(vertexRecords().back()->id, 8);
  checkLists();
}

}  // namespace
