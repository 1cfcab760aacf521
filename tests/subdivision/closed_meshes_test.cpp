// Closed meshes through three passes: counts and old vertices, no cracks
// between the two copies of a new point, agreement with butterfly subdivision
// of the welded mesh, and a clean model change afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>

#include "loader.h"
#include "mesh_fixtures.h"
#include "pass_checks.h"
#include "subdivision.h"
#include "test_meshes.h"

namespace {

struct ClosedModel {
  const char* name;
  void (*load)();
};

// Test listings show the model's name rather than its bytes.
void PrintTo(const ClosedModel& model, std::ostream* out) { *out << model.name; }

void loadFile(const char* name) {
  resetStore();
  loadMesh(dataPath(name).c_str());
}

const ClosedModel kClosedModels[] = {
    {"Cube", [] { loadFile("Cube.obj"); }},
    {"SmallCube", [] { loadFile("SmallCube.obj"); }},
    {"Cylinder", [] { loadFile("table.obj"); }},
    {"Icosphere", [] { loadTestMesh(icosphere(1)); }},
    {"Torus", [] { loadTestMesh(torus(9, 6)); }},
};

constexpr int kPasses = 3;

// Every vertex record stands within tolerance of a reference point, and the
// records take as many distinct positions as the reference has points.
void expectPositionsOf(const IndexedMesh& reference, double tolerance) {
  std::vector<Point> both = reference.points;
  const std::vector<Point> ours = storeMesh().points;
  both.insert(both.end(), ours.begin(), ours.end());
  // References come first, so a record's class is a reference point if one is near it.
  const std::vector<int> classes = positionClasses(both, tolerance);
  int unmatched = 0;
  for (std::size_t i = reference.points.size(); i < both.size(); ++i) {
    unmatched += classes[i] >= int(reference.points.size()) ? 1 : 0;
  }
  EXPECT_EQ(unmatched, 0);
  EXPECT_EQ(distinctPositions(ours, tolerance), int(reference.points.size()));
}

class ClosedMeshes : public testing::TestWithParam<ClosedModel> {
 protected:
  void SetUp() override {
    GetParam().load();
    ASSERT_TRUE(closedAndOriented(storeMesh()));
  }
};

TEST_P(ClosedMeshes, EachPassQuadruplesFacesAndKeepsOldVertices) {
  for (int pass = 1; pass <= kPasses; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const VertexSnapshot before = snapshotVertices();
    const std::vector<Face*> oldFaces = faceRecords(kCurrentGeneration);
    std::vector<std::vector<Vertex*>> oldCorners;
    for (const Face* f : oldFaces) oldCorners.push_back({f->v[0], f->v[1], f->v[2]});
    subdivide();
    checkLists();
    const int faces = int(oldFaces.size());
    EXPECT_EQ(countVertices(), int(before.records.size()) + 3 * faces);
    EXPECT_EQ(countFaces(kCurrentGeneration), 4 * faces);
    EXPECT_EQ(countFaces(kNextGeneration), 0);
    expectOldVerticesKept(before);
    const std::vector<SplitFace> split = splitFaces();
    ASSERT_EQ(split.size(), oldCorners.size());
    for (std::size_t f = 0; f < split.size(); ++f) {
      EXPECT_EQ(std::vector<Vertex*>(split[f].corner, split[f].corner + 3), oldCorners[f]);
    }
  }
}

TEST_P(ClosedMeshes, CopiesOfEveryNewPointCoincide) {
  for (int pass = 1; pass <= kPasses; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivide();
    const double tolerance = 1e-6 * boundingDiagonal();
    const IndexedMesh mesh = storeMesh();
    const std::vector<int> classes = positionClasses(mesh.points, tolerance);
    std::map<const Vertex*, int> index;
    for (const Vertex* v : vertexRecords()) index.emplace(v, int(index.size()));
    std::map<std::pair<int, int>, std::vector<Point>> copies;  // old side -> its new points
    for (const SplitFace& s : splitFaces()) {
      for (int i = 0; i < 3; ++i) {
        const int a = classes[index.at(s.corner[i])], b = classes[index.at(s.corner[(i + 1) % 3])];
        copies[std::minmax(a, b)].push_back(positionOf(s.point[i]));
      }
    }
    for (const auto& side : copies) {
      ASSERT_EQ(side.second.size(), 2u) << "side " << side.first.first << "-" << side.first.second;
      EXPECT_LE(distance(side.second[0], side.second[1]), tolerance);
    }
  }
}

TEST_P(ClosedMeshes, MatchesButterflyOfTheWeldedMesh) {
  IndexedMesh reference = storeMesh();
  for (int pass = 1; pass <= kPasses; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivide();
    reference = butterflyPass(reference);
    expectPositionsOf(reference, 1e-5 * boundingDiagonal());
  }
}

INSTANTIATE_TEST_SUITE_P(Models, ClosedMeshes, testing::ValuesIn(kClosedModels),
                         [](const testing::TestParamInfo<ClosedModel>& info) {
                           return info.param.name;
                         });

// A closed mesh read as a triangle soup: every triangle has corners of its
// own, up to 2e-6 of the diagonal away from where its neighbours have theirs.
// Every side is then flagged 1 and finds its twin and stencil only by
// position, and the pass must still subdivide the welded mesh.
TEST(CrackedMesh, SoupSubdividesAsTheWeldedMesh) {
  const TestMesh sphere = icosphere(1);
  loadTestMesh(sphere);
  IndexedMesh reference = storeMesh();
  const double diagonal = boundingDiagonal();
  loadTestMesh(soup(sphere, float(2e-6 * diagonal)));
  for (const Edge* e : edgeRecords(kCurrentGeneration)) ASSERT_EQ(e->flag, kFlagBoundary);
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivide();
    reference = butterflyPass(reference);
    expectPositionsOf(reference, 1e-5 * diagonal);
  }
}

// The menu's model change, run from the directory that holds Data/.
TEST(ModelChange, LeavesNothingOfTheSubdividedMesh) {
  loadFile("table.obj");
  for (int pass = 0; pass < kPasses; ++pass) subdivide();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dataPath("") + "..");
  replaceModel('2');
  std::filesystem::current_path(previous);
  checkLists();
  EXPECT_EQ(countVertices(), 8);
  EXPECT_EQ(countEdges(kCurrentGeneration), 36);
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  EXPECT_EQ(countFaces(kCurrentGeneration), 12);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
  for (const Vertex* v : vertexRecords()) {
    for (float c : {v->x, v->y, v->z}) EXPECT_EQ(std::abs(c), 0.5f) << "vertex " << v->id;
  }
  subdivide();
  checkLists();
  EXPECT_EQ(countVertices(), 44);
  EXPECT_EQ(countEdges(kCurrentGeneration), 144);
  EXPECT_EQ(countEdges(kNextGeneration), 0);
}

}  // namespace
