// Crease angles on the indexed pass: which sides are creases, and that
// flat faces stay flat, straight crease lines straight and curved ones
// curved, by either rule, while a mesh without creases is left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "crease_marking.h"
#include "indexed_pass.h"
#include "test_meshes.h"

namespace {

const double kPi = std::acos(-1.0);
constexpr double kNoCreases = -1.0;

IndexedMesh indexedOf(const TestMesh& mesh) {
  IndexedMesh indexed;
  for (const auto& p : mesh.positions) indexed.positions.push_back({p[0], p[1], p[2]});
  for (const auto& t : mesh.triangles) {
    for (int corner : t) indexed.corners.push_back(uint32_t(corner - 1));
  }
  classifySides(indexed);
  return indexed;
}

// The mesh after `passes` passes, its creases marked first unless degrees
// is kNoCreases.
IndexedMesh refined(const TestMesh& mesh, bool modified, double degrees, int passes) {
  IndexedMesh indexed = indexedOf(mesh);
  if (degrees != kNoCreases) markCreases(indexed, degrees);
  for (int pass = 0; pass < passes; ++pass) subdivideIndexed(indexed, IndexedRule{modified, 0.05});
  return indexed;
}

std::size_t creaseSides(const IndexedMesh& mesh) {
  return static_cast<std::size_t>(std::count(mesh.flags.begin(), mesh.flags.end(), kFlagCrease));
}

// The surface of an X x Y x Z box (X, Y, Z of 3, 2, 1 times `size`), every
// face a grid of `cells` x `cells` squares cut into two triangles, facing out.
TestMesh box(int cells, float size) {
  const float extent[3] = {3 * size, 2 * size, size};
  TestMesh mesh;
  std::map<std::tuple<int, int, int>, int> numbers;
  const auto number = [&](int g[3]) {
    const auto key = std::make_tuple(g[0], g[1], g[2]);
    const auto found = numbers.find(key);
    if (found != numbers.end()) return found->second;
    mesh.positions.push_back({extent[0] * g[0] / cells, extent[1] * g[1] / cells, extent[2] * g[2] / cells});
    return numbers[key] = static_cast<int>(mesh.positions.size());
  };
  for (int axis = 0; axis < 3; ++axis) {
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    for (int high = 0; high < 2; ++high) {
      for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
          int corner[4][3];
          const int steps[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
          for (int k = 0; k < 4; ++k) {
            corner[k][axis] = high * cells;
            corner[k][u] = i + steps[k][0];
            corner[k][v] = j + steps[k][1];
          }
          const int n[4] = {number(corner[0]), number(corner[1]), number(corner[2]), number(corner[3])};
          // u x v is +axis: counter-clockwise in (u, v) faces out on the high side.
          if (high) {
            mesh.triangles.push_back({n[0], n[1], n[2]});
            mesh.triangles.push_back({n[0], n[2], n[3]});
          } else {
            mesh.triangles.push_back({n[0], n[2], n[1]});
            mesh.triangles.push_back({n[0], n[3], n[2]});
          }
        }
      }
    }
  }
  return mesh;
}

// A closed cylinder of radius 1 from z = -1 to z = 1: `segments` around,
// `rows` rows of quads up its side, each cap a fan around its centre.
constexpr int kSegments = 12;
TestMesh cylinder(int rows) {
  TestMesh mesh;
  for (int r = 0; r <= rows; ++r) {
    for (int s = 0; s < kSegments; ++s) {
      const double angle = 2 * kPi * s / kSegments;
      mesh.positions.push_back({float(std::cos(angle)), float(std::sin(angle)), float(-1.0 + 2.0 * r / rows)});
    }
  }
  const auto ring = [](int r, int s) { return r * kSegments + (s % kSegments) + 1; };
  for (int r = 0; r < rows; ++r) {
    for (int s = 0; s < kSegments; ++s) {
      mesh.triangles.push_back({ring(r, s), ring(r, s + 1), ring(r + 1, s + 1)});
      mesh.triangles.push_back({ring(r, s), ring(r + 1, s + 1), ring(r + 1, s)});
    }
  }
  mesh.positions.push_back({0, 0, -1});
  mesh.positions.push_back({0, 0, 1});
  const int bottom = static_cast<int>(mesh.positions.size()) - 1, top = bottom + 1;
  for (int s = 0; s < kSegments; ++s) {
    mesh.triangles.push_back({bottom, ring(0, s + 1), ring(0, s)});
    mesh.triangles.push_back({top, ring(rows, s), ring(rows, s + 1)});
  }
  return mesh;
}

// A fault found by a check: empty when the check holds.
using Check = std::function<std::string(const IndexedMesh&)>;

std::string at(const char* what, std::size_t v, const FloatPoint& p) {
  return std::string(what) + ": vertex " + std::to_string(v) + " at (" + std::to_string(p.x) + ", " +
         std::to_string(p.y) + ", " + std::to_string(p.z) + ")";
}

// Every vertex within the box and on one of its faces, every triangle in one
// face's plane: with the bounds, a vertex on two faces lies on the segment
// of their edge, so straight crease lines are straight too.
Check onBoxFaces(float size) {
  return [size](const IndexedMesh& mesh) -> std::string {
    const float extent[3] = {3 * size, 2 * size, size};
    const double tolerance = 1e-6 * size;
    // Bit k of a vertex's mask: on the plane of face k (axis k / 2, high side k % 2).
    std::vector<int> planes(mesh.vertexCount(), 0);
    for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
      const float* p = &mesh.positions[v].x;
      for (int axis = 0; axis < 3; ++axis) {
        if (p[axis] < -tolerance || p[axis] > extent[axis] + tolerance)
          return at("outside the box", v, mesh.positions[v]);
        if (std::fabs(p[axis]) <= tolerance) planes[v] |= 1 << (2 * axis);
        if (std::fabs(p[axis] - extent[axis]) <= tolerance) planes[v] |= 1 << (2 * axis + 1);
      }
      if (planes[v] == 0) return at("off every face", v, mesh.positions[v]);
    }
    for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
      const uint32_t* c = &mesh.corners[3 * t];
      if ((planes[c[0]] & planes[c[1]] & planes[c[2]]) == 0)
        return "triangle " + std::to_string(t) + " lies in no face's plane";
    }
    return "";
  };
}

double radiusOf(const FloatPoint& p) { return std::hypot(double(p.x), double(p.y)); }

// The caps stay in their planes: nothing beyond them, and everything inside
// the side's polygon on one of them.
std::string capsFlat(const IndexedMesh& mesh) {
  const double inside = std::cos(kPi / kSegments) - 1e-3;
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.z) > 1.0f) return at("beyond a cap's plane", v, p);
    if (radiusOf(p) < inside && std::fabs(p.z) != 1.0f) return at("inside, off the caps", v, p);
  }
  return "";
}

// The round side still rounds: none of its vertices lies on a chord of the
// input's polygon or inside it, which a side left flat between its
// segments' sides would have.
std::string sideRound(const IndexedMesh& mesh) {
  const double chord = std::cos(kPi / kSegments);
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.z) < 0.999f && radiusOf(p) < chord + 1e-4) return at("on a chord of the side", v, p);
  }
  return "";
}

// After one pass the rim circles' new points are the four-point rule's on
// a regular polygon of radius 1: 9/16 of two neighbours and -1/16 of the
// two beyond, 9/8 cos(pi/N) - 1/8 cos(3 pi/N) from the axis. A rim that
// took a wrong neighbour, or no curve at all, is off it.
std::string rimCurvedByFourPointRule(const IndexedMesh& mesh) {
  const double expected = 9.0 / 8.0 * std::cos(kPi / kSegments) - 1.0 / 8.0 * std::cos(3 * kPi / kSegments);
  int found = 0;
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.z) != 1.0f || radiusOf(p) < 0.9 || radiusOf(p) > 0.999) continue;
    ++found;
    if (std::fabs(radiusOf(p) - expected) > 1e-6) return at("a rim point off the four-point radius", v, p);
  }
  return found == 2 * kSegments ? "" : "rim points found: " + std::to_string(found);
}

struct ShapeCase {
  const char* name;
  TestMesh mesh;
  bool modified;
  double degrees;
  int passes;
  Check check;
  bool holds;  // false: the mesh without creases, where the check must fail
};

std::string sameMesh(const IndexedMesh& a, const IndexedMesh& b) {
  if (a.vertexCount() != b.vertexCount() || a.triangleCount() != b.triangleCount()) return "counts differ";
  if (std::memcmp(a.positions.data(), b.positions.data(), a.vertexCount() * sizeof(FloatPoint)) != 0)
    return "points differ";
  if (!std::equal(a.corners.begin(), a.corners.end(), b.corners.begin())) return "triangles differ";
  return "";
}

}  // namespace

TEST(CreaseMarking, SidesBendingMoreThanTheAngleBetweenTwoTriangles) {
  // A flat square cut along its diagonal, and the same square with the
  // second triangle running the diagonal the same way as the first: its
  // normal is turned before the comparison, so it is flat too.
  const TestMesh square{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 3, 4}}};
  const TestMesh turned{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {3, 1, 4}}};
  // A fin: three triangles on the side 1-2, one of them upright.
  const TestMesh fin{{{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, -1, 0}, {0.5f, 0, 1}},
                     {{1, 2, 3}, {2, 1, 4}, {1, 2, 5}}};
  // Two triangles folded by 90 degrees along the side 1-2, and the same
  // fold with a triangle whose corners lie on one line.
  const TestMesh fold{{{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, 0, 1}}, {{1, 2, 3}, {2, 1, 4}}};
  const TestMesh flat{{{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {0.5f, 0, 0}}, {{1, 2, 3}, {2, 1, 4}}};
  const struct {
    const char* name;
    TestMesh mesh;
    double degrees;
    std::size_t creases;
  } cases[] = {
      {"cube, every edge", box(1, 1.0f), 30.0, 24},
      {"cube at just under its bend", box(1, 1.0f), 89.9, 24},
      {"cube at its bend: not more", box(1, 1.0f), 90.0, 0},
      {"gridded box: edges, never a face's inner sides", box(3, 0.5f), 1.0, 2 * 12 * 3},
      {"cylinder: the rims only", cylinder(2), 45.0, 4 * kSegments},
      {"cylinder: the side's segments too", cylinder(2), 20.0, 4 * kSegments + 2 * 2 * kSegments},
      {"fold at 90 degrees", fold, 89.0, 2},
      {"fold at 180", fold, 180.0, 0},
      {"flat square", square, 0.0, 0},
      {"flat square, one triangle turned", turned, 10.0, 0},
      {"fin of three triangles", fin, 0.0, 0},
      {"a triangle without a normal", flat, 0.0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IndexedMesh mesh = indexedOf(c.mesh);
    const IndexedMesh before = mesh;
    EXPECT_EQ(markCreases(mesh, c.degrees), c.creases);
    EXPECT_EQ(creaseSides(mesh), c.creases);
    for (std::size_t s = 0; s < mesh.flags.size(); ++s) {
      const uint8_t expected = mesh.flags[s] == kFlagCrease ? kFlagInterior : mesh.flags[s];
      EXPECT_EQ(before.flags[s], expected) << "side " << s;
    }
    // Both halves of a crease side are creases, the inner sides never.
    subdivideIndexed(mesh, IndexedRule{false, 0.05});
    EXPECT_EQ(creaseSides(mesh), 2 * c.creases);
  }
}

// Three passes on a box, a cylinder: the feature the creases keep holds with
// either rule, and, where the box or the cylinder is refined without them,
// does not, which shows the check can fail.
TEST(CreaseAngle, FlatFacesStayFlatAndCreaseLinesKeepTheirShape) {
  const ShapeCase cases[] = {
      {"cube, classic", box(1, 1.0f), false, 30.0, 3, onBoxFaces(1.0f), true},
      {"cube, modified", box(1, 1.0f), true, 30.0, 3, onBoxFaces(1.0f), true},
      {"gridded box, classic", box(3, 0.5f), false, 30.0, 3, onBoxFaces(0.5f), true},
      {"gridded box, modified", box(3, 0.5f), true, 30.0, 3, onBoxFaces(0.5f), true},
      {"gridded box at 0 degrees", box(3, 0.5f), true, 0.0, 2, onBoxFaces(0.5f), true},
      {"gridded box without creases", box(3, 0.5f), false, kNoCreases, 1, onBoxFaces(0.5f), false},
      {"gridded box without creases, modified", box(3, 0.5f), true, kNoCreases, 1, onBoxFaces(0.5f), false},
      {"cylinder caps, classic", cylinder(2), false, 45.0, 3, capsFlat, true},
      {"cylinder caps, modified", cylinder(2), true, 45.0, 3, capsFlat, true},
      {"cylinder caps without creases", cylinder(2), false, kNoCreases, 1, capsFlat, false},
      {"cylinder side, classic", cylinder(2), false, 45.0, 3, sideRound, true},
      {"cylinder side, modified", cylinder(2), true, 45.0, 3, sideRound, true},
      {"cylinder side creased at every segment", cylinder(2), false, 20.0, 1, sideRound, false},
      {"cylinder rims, classic", cylinder(2), false, 45.0, 1, rimCurvedByFourPointRule, true},
      {"cylinder rims, modified", cylinder(2), true, 45.0, 1, rimCurvedByFourPointRule, true},
      {"cylinder rims without creases", cylinder(2), false, kNoCreases, 1, rimCurvedByFourPointRule, false},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string fault = c.check(refined(c.mesh, c.modified, c.degrees, c.passes));
    if (c.holds) {
      EXPECT_EQ(fault, "");
    } else {
      EXPECT_NE(fault, "");
    }
  }
}

// A mesh whose sides all bend less than the angle is refined bit for bit as
// without it; one that bends more somewhere is not, and says so.
TEST(CreaseAngle, MeshesBendingLessThanTheAngleAsWithoutIt) {
  const struct {
    const char* name;
    TestMesh mesh;
    double degrees;
    bool creased;
  } cases[] = {
      {"icosphere", icosphere(2), 20.0, false},
      {"torus", torus(24, 12), 40.0, false},
      {"icosphere at 180", icosphere(1), 180.0, false},
      {"torus bending more than 20 degrees", torus(24, 12), 20.0, true},
  };
  for (const auto& c : cases) {
    for (const bool modified : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (modified ? ", modified" : ", classic"));
      IndexedMesh marked = indexedOf(c.mesh);
      EXPECT_EQ(markCreases(marked, c.degrees) > 0, c.creased);
      const std::string difference =
          sameMesh(refined(c.mesh, modified, c.degrees, 3), refined(c.mesh, modified, kNoCreases, 3));
      if (c.creased) {
        EXPECT_EQ(difference, "points differ");
      } else {
        EXPECT_EQ(difference, "");
      }
    }
  }
}

// The unit cube, worked by hand. Pass 1: a crease side between two corners
// has each end stand in for the point beyond it, so its point is the
// midpoint, 9/16 (a + b) - 1/16 (a + b); a face's diagonal, whose four wings
// lie across creases, takes mirrored ones, which cancel its bend, and gets
// the face's centre. Pass 2, along the edge from (0,0,0) to (1,0,0): the
// side from the corner to 1/2 has the corner stand in before it,
// 9/16 (0 + 1/2) - 1/16 (0 + 1) = 7/32. Pass 3: the side from 7/32 to 1/2
// lies on the line, 9/16 (7/32 + 1/2) - 1/16 (0 + 25/32) = 91/256, and the
// one from the corner 9/16 (7/32) - 1/16 (1/2) = 47/512.
TEST(CreaseAngle, CornersEndTheirLinesByTheRimRule) {
  for (const bool modified : {false, true}) {
    SCOPED_TRACE(modified ? "modified" : "classic");
    TestMesh cube = box(1, 1.0f);
    // box(1, 1) is 3 x 2 x 1: scale it to the unit cube.
    for (auto& p : cube.positions) {
      p[0] /= 3.0f;
      p[1] /= 2.0f;
    }
    std::vector<std::vector<double>> alongEdge(4);
    for (int passes = 1; passes <= 3; ++passes) {
      const IndexedMesh mesh = refined(cube, modified, 45.0, passes);
      for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        const FloatPoint& p = mesh.positions[v];
        if (p.y == 0.0f && p.z == 0.0f) alongEdge[passes].push_back(p.x);
      }
      std::sort(alongEdge[passes].begin(), alongEdge[passes].end());
      if (passes == 1) {
        for (std::size_t v = 8; v < mesh.vertexCount(); ++v) {
          const FloatPoint& p = mesh.positions[v];
          int halves = 0;
          for (float c : {p.x, p.y, p.z}) {
            halves += c == 0.5f ? 1 : 0;
            EXPECT_TRUE(c == 0.0f || c == 0.5f || c == 1.0f) << "new point " << v << " coordinate " << c;
          }
          EXPECT_TRUE(halves == 1 || halves == 2) << "new point " << v;
        }
      }
    }
    EXPECT_EQ(alongEdge[1], (std::vector<double>{0, 0.5, 1}));
    EXPECT_EQ(alongEdge[2], (std::vector<double>{0, 7.0 / 32, 0.5, 25.0 / 32, 1}));
    ASSERT_EQ(alongEdge[3].size(), 9u);
    EXPECT_EQ(alongEdge[3][1], 47.0 / 512);
    EXPECT_EQ(alongEdge[3][3], 91.0 / 256);
    EXPECT_EQ(alongEdge[3][7], 1 - 47.0 / 512);
  }
}

// The pass's estimate makes room for the crease table.
TEST(CreaseAngle, ThePassEstimateGrowsWithCreaseSides) {
  IndexedMesh plain = indexedOf(box(3, 0.5f));
  IndexedMesh creased = plain;
  ASSERT_GT(markCreases(creased, 30.0), 0u);
  EXPECT_GT(indexedPassSize(creased).bytes, indexedPassSize(plain).bytes);
}
