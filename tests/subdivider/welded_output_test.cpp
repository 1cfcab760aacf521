// The welded mesh meshsubdivide writes: closed inputs stay closed and
// oriented with the counts of a pass, the points are the viewer's own, and
// the file reads back as written, by this reader and by the viewer's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "mesh_fixtures.h"
#include "obj_meshes.h"
#include "obj_reading.h"
#include "obj_writing.h"
#include "scratch_stream.h"
#include "subdivision.h"
#include "test_meshes.h"

namespace {

using Bits = std::tuple<uint32_t, uint32_t, uint32_t>;

Bits bitsOf(float x, float y, float z) {
  uint32_t a, b, c;
  std::memcpy(&a, &x, 4);
  std::memcpy(&b, &y, 4);
  std::memcpy(&c, &z, 4);
  return {a, b, c};
}

std::string textOf(const TestMesh& mesh) { return objText(mesh.positions, mesh.triangles); }

std::string fileText(const std::string& path) {
  FileBytes bytes;
  std::string error;
  EXPECT_TRUE(readWholeFile(path.c_str(), bytes, error)) << error;
  return std::string(bytes.data.data(), bytes.size);
}

struct Counts {
  std::size_t vertices, edges, faces;
};

// Every side's pair, either way, once; fails unless each directed side is
// met exactly once and its reverse too (closed and consistently oriented).
Counts closedCounts(const IndexedMesh& mesh) {
  std::map<std::pair<uint32_t, uint32_t>, int> sides;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) {
    const uint32_t a = mesh.corners[s];
    const uint32_t b = mesh.corners[s - s % 3 + (s % 3 + 1) % 3];
    ++sides[{a, b}];
  }
  for (const auto& [pair, count] : sides) {
    EXPECT_EQ(count, 1) << "side " << pair.first << " -> " << pair.second << " is met " << count << " times";
    EXPECT_EQ(sides.count({pair.second, pair.first}), 1u) << "side " << pair.first << " -> " << pair.second
                                                          << " has no side running back";
  }
  std::set<uint32_t> used(mesh.corners.begin(), mesh.corners.end());
  EXPECT_EQ(used.size(), mesh.vertexCount()) << "a vertex no triangle uses";
  return {mesh.vertexCount(), sides.size() / 2, mesh.triangleCount()};
}

// A genus-2 solid: the boundary of a 5 x 3 x 1 block of unit cubes with two
// cubes taken out, each face square cut into two triangles facing out.
std::string twoHoledBlock() {
  std::set<std::pair<int, int>> cells;
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 3; ++y)
      if (!(y == 1 && (x == 1 || x == 3))) cells.insert({x, y});
  std::map<std::tuple<int, int, int>, int> ids;
  std::vector<std::vector<float>> positions;
  std::vector<std::vector<int>> triangles;
  const auto id = [&](int x, int y, int z) {
    auto [it, fresh] = ids.insert({{x, y, z}, static_cast<int>(positions.size()) + 1});
    if (fresh) positions.push_back({float(x), float(y), float(z)});
    return it->second;
  };
  const auto square = [&](int a, int b, int c, int d) {
    triangles.push_back({a, b, c});
    triangles.push_back({a, c, d});
  };
  for (const auto& [x, y] : cells) {
    if (!cells.count({x - 1, y})) square(id(x, y, 0), id(x, y, 1), id(x, y + 1, 1), id(x, y + 1, 0));
    if (!cells.count({x + 1, y})) square(id(x + 1, y, 0), id(x + 1, y + 1, 0), id(x + 1, y + 1, 1), id(x + 1, y, 1));
    if (!cells.count({x, y - 1})) square(id(x, y, 0), id(x + 1, y, 0), id(x + 1, y, 1), id(x, y, 1));
    if (!cells.count({x, y + 1})) square(id(x, y + 1, 0), id(x, y + 1, 1), id(x + 1, y + 1, 1), id(x + 1, y + 1, 0));
    square(id(x, y, 0), id(x, y + 1, 0), id(x + 1, y + 1, 0), id(x + 1, y, 0));
    square(id(x, y, 1), id(x + 1, y, 1), id(x + 1, y + 1, 1), id(x, y + 1, 1));
  }
  return objText(positions, triangles);
}

struct ClosedInput {
  const char* name;
  std::string text;
  int passes;
};

std::vector<ClosedInput> closedInputs() {
  return {{"Cube", fileText(dataPath("Cube.obj")), 4},
          {"SmallCube", fileText(dataPath("SmallCube.obj")), 3},
          {"Cylinder", fileText(dataPath("table.obj")), 3},
          {"Torus", textOf(torus(8, 6)), 3},
          {"TwoHoledBlock", twoHoledBlock(), 3}};
}

TEST(WeldedOutput, ClosedMeshesStayClosedWithTheCountsOfEachPassAndTheViewersPoints) {
  for (const ClosedInput& input : closedInputs()) {
    SCOPED_TRACE(input.name);
    IndexedMesh mesh = weldedObjMesh(input.text);
    resetStore();
    loadText(input.text);
    Counts counts = closedCounts(mesh);
    const long euler = long(counts.vertices) - long(counts.edges) + long(counts.faces);
    for (int pass = 1; pass <= input.passes; ++pass) {
      subdivideIndexed(mesh, static_cast<double>(tension));
      subdivide();
      const Counts next = closedCounts(mesh);
      EXPECT_EQ(next.vertices, counts.vertices + counts.edges);
      EXPECT_EQ(next.edges, 2 * counts.edges + 3 * counts.faces);
      EXPECT_EQ(next.faces, 4 * counts.faces);
      EXPECT_EQ(long(next.vertices) - long(next.edges) + long(next.faces), euler);
      counts = next;
    }
    std::set<Bits> viewer, written;
    for (const Vertex* v : vertexRecords()) viewer.insert(bitsOf(v->x, v->y, v->z));
    for (const FloatPoint& p : mesh.positions) written.insert(bitsOf(p.x, p.y, p.z));
    EXPECT_EQ(written.size(), mesh.vertexCount()) << "a point written twice";
    EXPECT_TRUE(written == viewer) << "the points differ from the viewer's vertex list";
  }
}

// A sheet with a rim: the four-point rule along it, as the viewer's.
TEST(WeldedOutput, OpenMeshesGetTheViewersRimPoints) {
  const SheetFrame frame{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int i, int j) { return 0.1 * ((i * 7 + j * 3) % 5); }};
  const std::string text = textOf(sheet(5, 4, frame));
  IndexedMesh mesh = weldedObjMesh(text);
  resetStore();
  loadText(text);
  for (int pass = 0; pass < 3; ++pass) {
    subdivideIndexed(mesh, static_cast<double>(tension));
    subdivide();
  }
  std::set<Bits> viewer, written;
  for (const Vertex* v : vertexRecords()) viewer.insert(bitsOf(v->x, v->y, v->z));
  for (const FloatPoint& p : mesh.positions) written.insert(bitsOf(p.x, p.y, p.z));
  EXPECT_EQ(written.size(), mesh.vertexCount());
  EXPECT_TRUE(written == viewer);
}

TEST(WeldedOutput, OldVerticesKeepTheirNumbersAndTrianglesKeepTheirOrientation) {
  IndexedMesh mesh = weldedObjMesh(textOf(octahedron()));
  const IndexedMesh before = weldedObjMesh(textOf(octahedron()));
  subdivideIndexed(mesh, 0.0625);
  for (std::size_t v = 0; v < before.vertexCount(); ++v)
    EXPECT_EQ(bitsOf(mesh.positions[v].x, mesh.positions[v].y, mesh.positions[v].z),
              bitsOf(before.positions[v].x, before.positions[v].y, before.positions[v].z));
  // Triangle t's corner triangles start at its old corners, in order.
  for (std::size_t t = 0; t < before.triangleCount(); ++t) {
    EXPECT_EQ(mesh.corners[12 * t], before.corners[3 * t]);
    EXPECT_EQ(mesh.corners[12 * t + 4], before.corners[3 * t + 1]);
    EXPECT_EQ(mesh.corners[12 * t + 8], before.corners[3 * t + 2]);
  }
}

std::string writtenText(const IndexedMesh& mesh) {
  ScratchStream scratch = openScratch();
  EXPECT_NE(scratch.file, nullptr);
  EXPECT_TRUE(writeObj(mesh, "a test", scratch.file));
  return closeAndRead(scratch);
}

TEST(WeldedOutput, WrittenFilesReadBackBitForBitHereAndInTheViewer) {
  IndexedMesh mesh = weldedObjMesh(fileText(dataPath("table.obj")));
  subdivideIndexed(mesh, 0.05);
  subdivideIndexed(mesh, 0.05);
  // Awkward floats too: the extremes, subnormals, negative zero, non-finite.
  const float awkward[] = {3.4028235e38f, -1.17549435e-38f, 1e-45f, -0.0f, 0.1f, 16777217.0f,
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
  for (float x : awkward) mesh.positions.push_back({x, -x, 1.0f / 3.0f});
  mesh.positions.push_back({std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f});
  const std::string text = writtenText(mesh);
  MeshContent back;
  parseObjText(text.data(), text.size(), back);
  ASSERT_EQ(back.positions.size(), mesh.vertexCount());
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    const FloatPoint& q = back.positions[v];
    if (std::isnan(p.x)) {
      EXPECT_TRUE(std::isnan(q.x));
      continue;
    }
    EXPECT_EQ(bitsOf(p.x, p.y, p.z), bitsOf(q.x, q.y, q.z)) << "vertex " << v;
  }
  ASSERT_EQ(back.triangles.size(), mesh.corners.size());
  for (std::size_t i = 0; i < mesh.corners.size(); ++i) EXPECT_EQ(back.triangles[i], mesh.corners[i]);

  // The viewer's reader takes no word of the comment for a statement.
  resetStore();
  loadText(text);
  const std::vector<Vertex*> vertices = vertexRecords();
  ASSERT_EQ(vertices.size(), mesh.vertexCount());
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  ASSERT_EQ(faces.size(), mesh.triangleCount());
  for (std::size_t t = 0; t < faces.size(); ++t)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(faces[t]->v[k], vertices[mesh.corners[3 * t + k]]);
}

TEST(WeldedOutput, TheShortestFormIsWritten) {
  char line[kMostBytesPerLine];
  const auto written = [&](FloatPoint p) { return std::string(line, formatVertexLine(line, p)); };
  EXPECT_EQ(written({0.1f, -2.0f, 1e-7f}), "v 0.1 -2 1e-07\n");
  EXPECT_EQ(written({-std::numeric_limits<float>::infinity(), std::nanf(""), -0.0f}), "v -inf nan -0\n");
  EXPECT_EQ(written({-1.17549435e-38f, 3.4028235e38f, -1.4e-45f}), "v -1.1754944e-38 3.4028235e+38 -1e-45\n");
}

// Open and non-manifold inputs: a rim, a fin of three triangles on one
// side, a triangle given twice, a triangle with a corner twice. Each pair of
// two different vertices that sides join gets one new point; a side from a
// vertex to itself gets none.
TEST(WeldedOutput, OpenAndNonManifoldInputsGiveOnePointPerPairAndReadBack) {
  const std::string inputs[] = {
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n",
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 1 2 5\n",
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 3\nf 3 2 1\n",
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 2\nf 1 2 3\n",
  };
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    IndexedMesh mesh = weldedObjMesh(input);
    for (int pass = 0; pass < 3; ++pass) {
      std::set<std::pair<uint32_t, uint32_t>> pairs;
      for (std::size_t s = 0; s < mesh.corners.size(); ++s) {
        const uint32_t a = mesh.corners[s];
        const uint32_t b = mesh.corners[s - s % 3 + (s % 3 + 1) % 3];
        if (a != b) pairs.insert({std::min(a, b), std::max(a, b)});
      }
      const std::size_t expected = mesh.vertexCount() + pairs.size();
      subdivideIndexed(mesh, 0.05);
      EXPECT_EQ(mesh.vertexCount(), expected);
      for (uint32_t corner : mesh.corners) ASSERT_LT(corner, mesh.vertexCount());
    }
    const std::string text = writtenText(mesh);
    MeshContent back;
    parseObjText(text.data(), text.size(), back);
    EXPECT_EQ(back.positions.size(), mesh.vertexCount());
    EXPECT_EQ(back.triangles.size(), mesh.corners.size());
  }
}

}  // namespace
