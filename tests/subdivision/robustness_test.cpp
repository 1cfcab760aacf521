// What the pass does off the beaten track: nothing loaded, lookups that find
// nothing, degenerate triangles, and sides whose flag says rim or nothing at
// all where the mesh is in fact closed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "loader.h"
#include "mesh_fixtures.h"
#include "pass_checks.h"
#include "stencil_index.h"
#include "subdivision.h"
#include "test_meshes.h"

TEST(Robustness, PassWithoutFacesDoesNothing) {
  resetStore();
  subdivide();
  checkLists();
  EXPECT_EQ(countVertices(), 0);
  EXPECT_EQ(countEdges(kCurrentGeneration) + countEdges(kNextGeneration), 0);
  EXPECT_EQ(countFaces(kCurrentGeneration) + countFaces(kNextGeneration), 0);
  // A pass over no faces hands over an empty edge list, which the next pass
  // must not take for a pass's edges and ask for its last one.
  loadText("v 0 0 0\nv 1 0 0\nv 0 1 0\n");
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivide();
    checkLists();
    EXPECT_EQ(countVertices(), 3);
    EXPECT_EQ(countEdges(kCurrentGeneration) + countEdges(kNextGeneration), 0);
    EXPECT_EQ(countFaces(kCurrentGeneration) + countFaces(kNextGeneration), 0);
  }
}

TEST(Robustness, QueriesThatFindNothing) {
  loadTestMesh(tetrahedron());
  const std::vector<Vertex*> v = vertexRecords();
  EXPECT_EQ(thirdCorner(nullptr, v[0], v[1]), nullptr);
  Face degenerate{};
  degenerate.v[0] = v[0];
  degenerate.v[1] = v[1];
  degenerate.v[2] = v[0];
  EXPECT_EQ(thirdCorner(&degenerate, v[1], v[0]), nullptr);
  EXPECT_EQ(makeFace(1, 2, 99), nullptr);
  EXPECT_EQ(makeFace(0, 2, 3), nullptr);
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
  checkLists();
}

// A triangle with collinear corners and one with a repeated corner, beside an
// octahedron: every pass runs clean (the tests run under the sanitizers) and
// gives finite points.
TEST(Robustness, DegenerateTrianglesGiveFinitePoints) {
  TestMesh mesh = octahedron();
  mesh.positions.push_back({0, 0, 0});  // 7: midway between 1 and 2
  mesh.triangles.push_back({1, 7, 2});
  mesh.triangles.push_back({3, 3, 5});
  loadTestMesh(mesh);
  for (int pass = 1; pass <= 3; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const int vertices = countVertices(), faces = countFaces(kCurrentGeneration);
    subdivide();
    checkLists();
    EXPECT_EQ(countVertices(), vertices + 3 * faces);
    EXPECT_EQ(countFaces(kCurrentGeneration), 4 * faces);
    for (const Vertex* v : vertexRecords()) {
      ASSERT_TRUE(std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z)) << v->id;
    }
  }
}

// One side of the closed cube carries a flag that does not match its
// neighbour: 1 with no twin, or undecided. It lies on the same two positions
// as its partner across the side, which is flagged 0 and keeps its butterfly
// stencil, so it takes the partner's point bit for bit; every other point is
// placed as on the unchanged cube.
TEST(Robustness, SideFlaggedRimOrUndecidedInAClosedMesh) {
  const auto pass = [](bool mark, uint8_t flag) {
    resetStore();
    loadMesh(dataPath("Cube.obj").c_str());
    if (mark) faceRecords(kCurrentGeneration)[0]->e[0]->flag = flag;
    subdivide();
    std::vector<Point> points;
    for (const Vertex* v : vertexRecords()) points.push_back(positionOf(v));
    return points;
  };
  std::vector<Point> expected = pass(false, 0);
  const std::vector<SplitFace> split = splitFaces();
  int partners = 0;
  for (const SplitFace& s : split) {
    for (int i = 0; i < 3; ++i) {
      if (s.corner[i] == split[0].corner[1] && s.corner[(i + 1) % 3] == split[0].corner[0]) {
        expected[split[0].point[0]->id - 1] = positionOf(s.point[i]);
        ++partners;
      }
    }
  }
  ASSERT_EQ(partners, 1);
  for (uint8_t flag : {kFlagBoundary, kFlagUndecided, uint8_t(200)}) {
    SCOPED_TRACE(int(flag));
    EXPECT_EQ(pass(true, flag), expected);
  }
}

// Two records coincide when every coordinate differs by at most 1e-5 of the
// bounding-box diagonal. With the box 17 long on the x axis that is the double
// 17e-5, which the x distance from -r to q meets exactly when q is the float
// just below it and r the rest (17 is a length whose rest fits a float); one
// float beyond q is out of reach.
TEST(Robustness, WeldToleranceIncludesItsExactValue) {
  const double tolerance = 17 * 1e-5;
  float q = static_cast<float>(tolerance);
  if (q > tolerance) q = std::nextafter(q, 0.0f);
  const float r = static_cast<float>(tolerance - q);
  ASSERT_EQ(double(q) + double(r), tolerance);
  resetStore();
  const float xs[] = {-8, 9, -r, std::nextafter(q, 1.0f), q};
  int id = 0;
  for (float x : xs) {
    Vertex v{};
    v.id = ++id;
    v.x = x;
    appendVertex(v);
  }
  StencilIndex index;
  buildStencilIndex(index);
  ASSERT_DOUBLE_EQ(index.weldTolerance, tolerance);
  EXPECT_EQ(std::vector<uint32_t>(index.weldedTo.begin(), index.weldedTo.end()),
            (std::vector<uint32_t>{0, 1, 2, 3, 2}));
}
