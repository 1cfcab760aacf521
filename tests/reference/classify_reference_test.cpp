// Production classification (one count per unordered vertex pair) against the
// scanning classification, on loaded meshes, on meshes after passes (whose
// current edge list holds records of earlier passes that match no side), and
// on a next generation rebuilt from the current faces.
#include <gtest/gtest.h>

#include <functional>

#include "generated_meshes.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "reference_pass.h"
#include "subdivision.h"

namespace {

// A flag classification never writes: an edge that ends with it was left alone.
constexpr uint8_t kLeftAlone = 9;

std::vector<uint8_t> flagsAfter(void (*classify)(int), int generation) {
  for (Edge* e : edgeRecords(generation)) e->flag = kLeftAlone;
  classify(generation);
  std::vector<uint8_t> flags;
  for (const Edge* e : edgeRecords(generation)) flags.push_back(e->flag);
  return flags;
}

void expectSameClassification(int generation) {
  const std::vector<uint8_t> production = flagsAfter(classifyEdges, generation);
  const std::vector<uint8_t> reference = flagsAfter(referenceClassifyEdges, generation);
  ASSERT_EQ(production.size(), reference.size());
  for (std::size_t i = 0; i < production.size(); ++i) {
    ASSERT_EQ(int(production[i]), int(reference[i]))
        << "generation " << generation << ", edge " << i + 1;
  }
}

void rebuildIntoNextGeneration() {
  for (const Face* f : faceRecords(kCurrentGeneration))
    makeFaceFromCorners(f->v[0], f->v[1], f->v[2]);
}

void expectSameOnLoadedAndPassed(const std::function<void()>& load) {
  resetStore();
  load();
  expectSameClassification(kCurrentGeneration);
  rebuildIntoNextGeneration();
  expectSameClassification(kNextGeneration);
  // The current faces still point at the current edge list, not at these.
  emptyList(nextFaceHead);
  emptyList(nextEdgeHead);
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("after pass " + std::to_string(pass));
    subdivide();
    expectSameClassification(kCurrentGeneration);
  }
}

// Positions do not matter to classification; only the vertex records do.
std::string trianglesOnFivePoints(const std::vector<std::vector<int>>& triangles) {
  return objText({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}}, triangles);
}

std::vector<int> flagsAfterLoading(const std::vector<std::vector<int>>& triangles) {
  resetStore();
  loadText(trianglesOnFivePoints(triangles));
  std::vector<int> flags;
  for (uint8_t flag : flagsAfter(referenceClassifyEdges, kCurrentGeneration)) flags.push_back(flag);
  EXPECT_EQ(flagsAfter(classifyEdges, kCurrentGeneration),
            std::vector<uint8_t>(flags.begin(), flags.end()));
  return flags;
}

}  // namespace

// Expected flags worked out by hand from the counting rule, for both sides.
TEST(ClassifyReference, EarlyStopAtExactlyTwo) {
  const int L = kLeftAlone;
  // Three triangles on side 1-2: each record counts 2 at the second and stops.
  EXPECT_EQ(flagsAfterLoading({{1, 2, 3}, {2, 1, 4}, {1, 2, 5}}),
            (std::vector<int>{0, 1, 1, 0, 1, 1, 0, 1, 1}));
  // A face holding side 1-2 twice after one holding it once: 1, then 3.
  EXPECT_EQ(flagsAfterLoading({{1, 2, 3}, {1, 2, 1}}), (std::vector<int>{L, 1, 1, L, L, 1}));
  // The same two faces the other way round: 2 after the first face.
  EXPECT_EQ(flagsAfterLoading({{1, 2, 1}, {1, 2, 3}}), (std::vector<int>{0, 0, 1, 0, 1, 1}));
  // A face of one repeated vertex: each of its sides matches all three.
  EXPECT_EQ(flagsAfterLoading({{5, 5, 5}, {1, 2, 5}}), (std::vector<int>{L, L, L, 1, 1, 1}));
}

TEST(ClassifyReference, DataModels) {
  for (const char* model : {"Cube.obj", "SmallCube.obj", "table.obj"}) {
    SCOPED_TRACE(model);
    const std::string path = dataPath(model);
    expectSameOnLoadedAndPassed([&] { loadMesh(path.c_str()); });
  }
}

TEST(ClassifyReference, GeneratedMeshes) {
  for (auto* family : {shapeInputs, soupInputs, nonFiniteSoupInputs, weldSoupInputs}) {
    for (const MeshInput& mesh : family()) {
      SCOPED_TRACE(mesh.name);
      expectSameOnLoadedAndPassed([&] { loadText(mesh.obj); });
    }
  }
}
