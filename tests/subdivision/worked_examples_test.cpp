// The worked examples of the pass: the octahedron, the tetrahedron and the
// cube, the exact stencil formula of a first pass, and what the pass leaves in
// each of the five lists.
#include <gtest/gtest.h>

#include <map>

#include "loader.h"
#include "mesh_fixtures.h"
#include "pass_checks.h"
#include "subdivision.h"
#include "test_meshes.h"

namespace {

Vertex* vertexWithId(int id) {
  for (Vertex* v : vertexRecords()) {
    if (v->id == id) return v;
  }
  return nullptr;
}

std::vector<int> cornerIds(const Face* f) { return {f->v[0]->id, f->v[1]->id, f->v[2]->id}; }

void loadCube() {
  resetStore();
  loadMesh(dataPath("Cube.obj").c_str());
}

}  // namespace

TEST(WorkedExamples, OctahedronPointsAndFirstFaces) {
  loadTestMesh(octahedron());
  subdivide();
  ASSERT_EQ(countVertices(), 6 + 3 * 8);
  const Point expected[] = {{0.6f, 0.6f, 0}, {0, 0.6f, 0.6f}, {0.6f, 0, 0.6f}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(positionOf(vertexWithId(7 + i)), expected[i]) << 7 + i;
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  EXPECT_EQ(cornerIds(faces[0]), (std::vector<int>{1, 7, 9}));
  EXPECT_EQ(cornerIds(faces[1]), (std::vector<int>{7, 3, 8}));
  EXPECT_EQ(cornerIds(faces[2]), (std::vector<int>{9, 8, 5}));
  EXPECT_EQ(cornerIds(faces[3]), (std::vector<int>{7, 8, 9}));
}

// With every vertex moved to its own place the point shows which vertices
// served as c1, c2 and the four wings.
TEST(WorkedExamples, OctahedronStencilOfVertexSeven) {
  TestMesh mesh = octahedron();
  for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
    for (int k = 0; k < 3; ++k)
      mesh.positions[i][k] = mesh.positions[i][k] * (1.0f + 0.13f * i) + 0.071f * (i + k);
  }
  loadTestMesh(mesh);
  subdivide();
  auto at = [&](int id, int k) { return double(mesh.positions[id - 1][k]); };
  const double t = double(0.05f);
  for (int k = 0; k < 3; ++k) {
    const double value = (2 * t * (at(5, k) + at(6, k)) + (at(1, k) + at(3, k)) * 0.5) -
                         t * (((at(2, k) + at(4, k)) + at(4, k)) + at(2, k));
    EXPECT_EQ((&vertexWithId(7)->x)[k], static_cast<float>(value)) << "coordinate " << k;
  }
}

// Every new point of a first pass, bit for bit, against the formula evaluated
// over the stencil an independent side map names.
TEST(WorkedExamples, FirstPassFollowsTheFormulaToTheBit) {
  TestMesh bent = octahedron();
  bent.positions[0] = {1.3f, 0.2f, -0.1f};
  bent.positions[4] = {0.1f, -0.3f, 0.7f};
  // One far corner of the tetrahedron stands as c1 and twice as a wing in the
  // stencils of the sides it does not touch; its weights cancel, and the
  // double rounding left over shows in the float result unless the sums are
  // grouped as stated.
  const TestMesh lopsided{{{-1.32f, -1.24f, -0.47f},
                           {-1.07f, 1.4f, -0.71f},
                           {-0.67f, 0.85f, 0.72f},
                           {1e12f, -1e12f, 1e12f}},
                          tetrahedron().triangles};
  // The torus of 24,576 triangles is large enough for the pass to share its
  // work among threads and have its pages faulted in on another core.
  const std::vector<TestMesh> meshes = {bent, lopsided, icosphere(1), torus(7, 5), torus(96, 128)};
  for (std::size_t m = 0; m <= meshes.size(); ++m) {
    SCOPED_TRACE(m);
    if (m < meshes.size()) {
      loadTestMesh(meshes[m]);
    } else {
      resetStore();
      loadMesh(dataPath("table.obj").c_str());
    }
    const IndexedMesh before = storeMesh();
    ASSERT_TRUE(closedAndOriented(before));
    const SideMap sides = sideMap(before);
    subdivide();
    const std::vector<SplitFace> split = splitFaces();
    ASSERT_EQ(split.size(), before.triangles.size());
    for (std::size_t f = 0; f < split.size(); ++f) {
      for (int i = 0; i < 3; ++i) {
        const Point expected = stencilPoint(before, sides, split[f].corner[i]->id - 1,
                                            split[f].corner[(i + 1) % 3]->id - 1);
        ASSERT_EQ(positionOf(split[f].point[i]), expected) << "face " << f + 1 << " side " << i;
      }
    }
  }
}

TEST(WorkedExamples, TetrahedronPointsAreMidpointsTwice) {
  loadTestMesh(tetrahedron());
  subdivide();
  const std::vector<Vertex*> vertices = vertexRecords();
  ASSERT_EQ(vertices.size(), 16u);
  std::map<Point, int> copies;
  for (const SplitFace& s : splitFaces()) {
    for (int i = 0; i < 3; ++i) {
      const Point a = positionOf(s.corner[i]), b = positionOf(s.corner[(i + 1) % 3]);
      const Point middle = {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
      EXPECT_EQ(positionOf(s.point[i]), middle) << "vertex " << s.point[i]->id;
      ++copies[positionOf(s.point[i])];
    }
  }
  EXPECT_EQ(copies.size(), 6u);
  for (const auto& position : copies) EXPECT_EQ(position.second, 2);
  for (int i = 4; i < 16; ++i) EXPECT_EQ(vertices[i]->id, i + 1);
}

TEST(WorkedExamples, CubeAfterOnePassAndItsEdges) {
  loadCube();
  subdivide();
  checkLists();  // ids of the current edges and faces run 1, 2, 3 ...
  EXPECT_EQ(countVertices(), 44);
  EXPECT_EQ(countFaces(kCurrentGeneration), 48);
  EXPECT_EQ(countFaces(kNextGeneration), 0);
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  const std::vector<Edge*> current = edgeRecords(kCurrentGeneration);
  ASSERT_EQ(current.size(), 144u);
  int boundary = 0;
  for (const Edge* e : current) {
    // Sides along an old side touch an old corner; the inner sides join two new points.
    const bool alongOldSide = e->start->id <= 8 || e->end->id <= 8;
    EXPECT_EQ(e->flag, alongOldSide ? kFlagBoundary : kFlagInterior) << "edge " << e->id;
    boundary += e->flag;
  }
  EXPECT_EQ(boundary, 72);
  EXPECT_EQ(vertexRecords().back()->id, 44);

  // The faces point at the records of the current edge list, face by face:
  // face n's sides are edges 3n - 2, 3n - 1 and 3n.
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  for (std::size_t f = 0; f < faces.size(); ++f) {
    for (int k = 0; k < 3; ++k) {
      const Edge* side = faces[f]->e[k];
      EXPECT_EQ(side, current[3 * f + k]) << "face " << f + 1 << " side " << k;
      EXPECT_TRUE(side->start == faces[f]->v[k] && side->end == faces[f]->v[(k + 1) % 3]);
    }
  }
}

TEST(WorkedExamples, SecondPassListsTheEdgesOfBothPasses) {
  loadCube();
  subdivide();
  const std::vector<Edge*> firstRecords = edgeRecords(kCurrentGeneration);
  std::vector<Edge> firstPass;
  for (const Edge* e : firstRecords) firstPass.push_back(*e);
  subdivide();
  checkLists();
  const std::vector<Edge*> current = edgeRecords(kCurrentGeneration);
  ASSERT_EQ(current.size(), 144u + 576u);
  EXPECT_EQ(countEdges(kNextGeneration), 0);
  int boundary = 0;
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (i < firstPass.size()) {
      // The first pass's edges stay where they are, unchanged.
      EXPECT_EQ(current[i], firstRecords[i]);
      EXPECT_EQ(current[i]->id, firstPass[i].id);
      EXPECT_EQ(current[i]->start, firstPass[i].start);
      EXPECT_EQ(current[i]->end, firstPass[i].end);
      EXPECT_EQ(current[i]->flag, firstPass[i].flag) << "older edges keep their flags";
    } else {
      boundary += current[i]->flag;
    }
  }
  EXPECT_EQ(boundary, 288);
  EXPECT_EQ(countVertices(), 44 + 3 * 48);
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(faces.size(), 192u);
  for (std::size_t f = 0; f < faces.size(); ++f) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(faces[f]->e[k], current[144 + 3 * f + k]) << "face " << f + 1;
  }
}
