// What exporters write and our generated meshes rarely have: fins (three or
// more triangles on one side), triangles repeated in either orientation,
// zero-area triangles, pieces meeting only by position (exactly or a few
// millionths apart), and a file full of statements the reader skips. Through
// three passes, no new open side may appear, and the copies of every new point
// on a side not flagged 0 must coincide bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "mesh_fixtures.h"
#include "pass_checks.h"
#include "subdivision.h"
#include "test_meshes.h"

namespace {

struct ExportedMesh {
  const char* name;
  std::string obj;
  int openSidesAfterLoading;  // 0: a closed surface
};

void PrintTo(const ExportedMesh& mesh, std::ostream* out) { *out << mesh.name; }

// Three pages on the side 1-2; the outer sides are the rim.
TestMesh book() {
  return {{{0, 0, 0}, {0, 0, 2}, {1, 0, 1}, {-0.5f, 0.9f, 1.1f}, {-0.6f, -0.8f, 0.9f}},
          {{1, 2, 3}, {2, 1, 4}, {1, 2, 5}}};
}

// Two tetrahedra sharing the side 1-2: four triangles on it, closed.
TestMesh tetrahedraOnOneSide() {
  return {{{0, 0, 0}, {0, 0, 2}, {1.2f, 0.1f, 0.8f}, {0.4f, 1.1f, 1.2f}, {-1.1f, -0.2f, 1.1f},
           {-0.3f, -1.2f, 0.7f}},
          {{1, 2, 3}, {1, 3, 4}, {1, 4, 2}, {2, 4, 3},
           {1, 5, 2}, {1, 6, 5}, {1, 2, 6}, {2, 5, 6}}};
}

// The octahedron with face 1 repeated as it is and face 5 repeated reversed.
TestMesh repeatedBothWays() {
  TestMesh mesh = octahedron();
  mesh.triangles.insert(mesh.triangles.begin() + 2, {1, 3, 5});
  mesh.triangles.push_back({2, 3, 5});
  return mesh;
}

// The octahedron with vertex 7 in the middle of side 1-3: face (1, 3, 5)
// becomes (1, 7, 5) and (7, 3, 5), and the collinear triangle (1, 3, 7) closes
// the gap towards (1, 6, 3). The triangle (3, 3, 5), with a repeated corner,
// lies on side 3-5 between the two faces that hold it, which leaves their
// sides there undecided after loading.
TestMesh zeroArea() {
  TestMesh mesh = octahedron();
  mesh.positions.push_back({0.5f, 0.5f, 0});
  mesh.triangles[0] = {1, 7, 5};
  mesh.triangles.insert(mesh.triangles.begin() + 1, {{7, 3, 5}, {1, 3, 7}, {3, 3, 5}});
  return mesh;
}

double diagonalOf(const TestMesh& mesh) {
  Point low = {1e30, 1e30, 1e30}, high = {-1e30, -1e30, -1e30};
  for (const auto& p : mesh.positions) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], double(p[k]));
      high[k] = std::max(high[k], double(p[k]));
    }
  }
  return distance(low, high);
}

// The book whose third page has corners of its own, exactly where the other
// two pages have theirs.
TestMesh bookWithLoosePage() {
  TestMesh mesh = book();
  mesh.positions.push_back(mesh.positions[0]);
  mesh.positions.push_back(mesh.positions[1]);
  mesh.triangles[2] = {6, 7, 5};
  return mesh;
}

// Every triangle with corners of its own, 3e-6 of the diagonal away from its
// neighbours' (or exactly on them).
TestMesh apart(const TestMesh& mesh) { return soup(mesh, float(3e-6 * diagonalOf(mesh))); }

// The octahedron as an exporter writes it: two groups whose vertices are
// written once per group (so they meet only by position), texture coordinates
// and normals, slash forms, materials and smoothing groups.
const char kExportedFile[] = R"(# exported
mtllib scene.mtl
o Octahedron
v 1 0 0
v -1 0 0
v 0 1 0
v 0 -1 0
v 0 0 1
vt 0 0
vt 1 0
vt 0.5 1
vn 0 0 1
vn 0 0 -1
g upper
usemtl grey
s 1
f 1/1/1 3/2/1 5/3/1
f 1/1 5/2 4/3
f 2//1 5//1 3//1
f 2/1/1 4/2/1 5/3/1
v 1 0 0
v -1 0 0
v 0 1 0
v 0 -1 0
v 0 0 -1
g lower
usemtl dark
s off
f 6/1/2 10/2/2 8/3/2
f 6//2 9//2 10//2
f 7/1 8/2 10/3
f 7/1/2 10/2/2 9/3/2
)";

std::vector<ExportedMesh> exportedMeshes() {
  return {
      {"Fin", objText(book().positions, book().triangles), 6},
      {"FinApart", objText(apart(book()).positions, apart(book()).triangles), 6},
      {"FinLoosePage", objText(bookWithLoosePage().positions, bookWithLoosePage().triangles), 6},
      {"FourOnOneSide", objText(tetrahedraOnOneSide().positions, tetrahedraOnOneSide().triangles),
       0},
      {"FourOnOneSideExactly",
       objText(soup(tetrahedraOnOneSide(), 0).positions, soup(tetrahedraOnOneSide(), 0).triangles),
       0},
      {"FourOnOneSideApart",
       objText(apart(tetrahedraOnOneSide()).positions, apart(tetrahedraOnOneSide()).triangles), 0},
      {"RepeatedBothWays", objText(repeatedBothWays().positions, repeatedBothWays().triangles), 0},
      {"ZeroArea", objText(zeroArea().positions, zeroArea().triangles), 0},
      {"ExportedFile", kExportedFile, 0},
  };
}

// Current vertex records by list position, and each one's weld: the first
// record within 1e-5 of the diagonal, the tolerance of the pass.
struct Welded {
  std::map<const Vertex*, int> index;
  std::vector<int> classes;

  Welded() {
    std::vector<Point> points;
    for (const Vertex* v : vertexRecords()) {
      index.emplace(v, int(points.size()));
      points.push_back(positionOf(v));
    }
    classes = positionClasses(points, 1e-5 * boundingDiagonal());
  }
  std::pair<int, int> side(const Vertex* a, const Vertex* b) const {
    return std::minmax(classes[index.at(a)], classes[index.at(b)]);
  }
};

// Sides of the current faces used by one triangle only, by position. A side
// whose ends weld together has no length and opens nothing.
int openSides() {
  const Welded welded;
  std::map<std::pair<int, int>, int> uses;
  for (const Face* f : faceRecords(kCurrentGeneration)) {
    for (int k = 0; k < 3; ++k) ++uses[welded.side(f->v[k], f->v[(k + 1) % 3])];
  }
  int open = 0;
  for (const auto& side : uses) open += side.first.first != side.first.second && side.second == 1;
  return open;
}

class ExportedMeshes : public testing::TestWithParam<ExportedMesh> {};

TEST_P(ExportedMeshes, ThreePassesOpenNoSideAndShareEveryPoint) {
  resetStore();
  loadText(GetParam().obj);
  const int openAfterLoading = openSides();
  ASSERT_EQ(openAfterLoading, GetParam().openSidesAfterLoading);
  for (int pass = 1; pass <= 3; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    // Before the pass: the welded pair of every side not flagged 0.
    std::vector<std::pair<int, int>> shared;
    {
      const Welded welded;
      for (const Face* f : faceRecords(kCurrentGeneration)) {
        for (int k = 0; k < 3; ++k) {
          shared.push_back(f->e[k]->flag == kFlagInterior
                               ? std::make_pair(-1, -1)
                               : welded.side(f->v[k], f->v[(k + 1) % 3]));
        }
      }
    }
    subdivide();
    checkLists();
    EXPECT_EQ(openSides(), openAfterLoading << pass);
    const std::vector<SplitFace> split = splitFaces();
    ASSERT_EQ(split.size() * 3, shared.size());
    std::map<std::pair<int, int>, Point> firstCopy;
    int copies = 0;
    for (std::size_t side = 0; side < shared.size(); ++side) {
      if (shared[side].first < 0) continue;
      const Point p = positionOf(split[side / 3].point[side % 3]);
      const auto first = firstCopy.emplace(shared[side], p);
      EXPECT_EQ(first.first->second, p) << "side " << side % 3 << " of face " << side / 3 + 1;
      copies += first.second ? 0 : 1;
    }
    // From the second pass on, every side along an old side has copies.
    if (pass > 1) {
      EXPECT_GT(copies, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Meshes, ExportedMeshes, testing::ValuesIn(exportedMeshes()),
                         [](const testing::TestParamInfo<ExportedMesh>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
