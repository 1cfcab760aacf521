// Crease angles: which sides are creases, and that flat faces stay flat,
// straight crease lines straight and curved ones curved, by either rule,
// while a mesh that bends less than the angle is refined as without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "crease_marking.h"
#include "mesh_fixtures.h"
#include "obj_meshes.h"
#include "test_meshes.h"

namespace {

const double kPi = std::acos(-1.0);
constexpr double kNoCreases = -1.0;

IndexedMesh model(const char* name) {
  IndexedMesh mesh;
  std::string cause;
  EXPECT_TRUE(readObjMesh((std::string(VIEWER_DATA_DIR) + "/" + name).c_str(), mesh, cause)) << cause;
  return mesh;
}

// Data/Cube.obj without its top face (y = 1): an open box whose rim meets
// four crease lines.
IndexedMesh openCube() {
  const IndexedMesh cube = model("Cube.obj");
  IndexedMesh open;
  open.positions = cube.positions;
  for (std::size_t t = 0; t < cube.triangleCount(); ++t) {
    int onTop = 0;
    for (int k = 0; k < 3; ++k) onTop += cube.positions[cube.corners[3 * t + k]].y == 1.0f ? 1 : 0;
    for (int k = 0; k < 3 && onTop < 3; ++k) open.corners.push_back(cube.corners[3 * t + k]);
  }
  classifySides(open);
  return open;
}

IndexedMesh refined(IndexedMesh mesh, bool modified, double degrees, int passes) {
  if (degrees != kNoCreases) markCreases(mesh, degrees);
  for (int pass = 0; pass < passes; ++pass) subdivideIndexed(mesh, IndexedRule{modified, 0.05});
  return mesh;
}

std::size_t creaseSides(const IndexedMesh& mesh) {
  return static_cast<std::size_t>(std::count(mesh.flags.begin(), mesh.flags.end(), kFlagCrease));
}

// The checks below name the first fault they find, or give "".
std::string at(const char* fault, std::size_t v) { return std::string(fault) + ": vertex " + std::to_string(v); }

// Data/Cube.obj, from -1 to 1: every vertex on its surface, every triangle
// in one face's plane. A vertex on two faces is then on their edge's
// segment: straight crease lines stay straight.
std::string offTheCube(const IndexedMesh& mesh) {
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}) != 1.0f) return at("off the surface", v);
  }
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    bool inOnePlane = false;
    for (int axis = 0; axis < 3; ++axis) {
      for (const float side : {-1.0f, 1.0f}) {
        int on = 0;
        for (int k = 0; k < 3; ++k) on += (&mesh.positions[mesh.corners[3 * t + k]].x)[axis] == side ? 1 : 0;
        inOnePlane = inOnePlane || on == 3;
      }
    }
    if (!inOnePlane) return "triangle " + std::to_string(t) + " in no face's plane";
  }
  return "";
}

// Data/table.obj: a cylinder of radius 1 about the y axis, caps at y = -1
// and 1, 24 segments. The caps stay in their planes: nothing beyond them,
// and every vertex inside the side's polygon on one of them.
const double kChord = std::cos(kPi / 24);
double radiusOf(const FloatPoint& p) { return std::hypot(double(p.x), double(p.z)); }

std::string capsBulge(const IndexedMesh& mesh) {
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.y) > 1.0f || (radiusOf(p) < kChord - 1e-3 && std::fabs(p.y) != 1.0f)) return at("off a cap", v);
  }
  return "";
}

// The side still rounds: none of its vertices on or inside a chord of the
// input's polygon, as a side left flat between its segments would have.
std::string sideFlat(const IndexedMesh& mesh) {
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.y) < 0.999f && radiusOf(p) < kChord + 1e-4) return at("on a chord of the side", v);
  }
  return "";
}

// After one pass the rims' new points are the four-point rule's on a
// regular polygon of radius 1: 9/8 cos(pi/24) - 1/8 cos(3 pi/24) from the
// axis. A rim that took a wrong neighbour, or no curve, is off it.
std::string rimOffFourPointRadius(const IndexedMesh& mesh) {
  const double expected = 9.0 / 8.0 * kChord - 1.0 / 8.0 * std::cos(3 * kPi / 24);
  int found = 0;
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    if (std::fabs(p.y) != 1.0f || radiusOf(p) < 0.9 || radiusOf(p) > 1 - 1e-5) continue;
    ++found;
    if (std::fabs(radiusOf(p) - expected) > 1e-5) return at("off the four-point radius", v);
  }
  return found == 48 ? "" : "new rim points: " + std::to_string(found);
}

}  // namespace

TEST(CreaseMarking, SidesOfTwoTrianglesBendingMoreThanTheAngle) {
  const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
  const struct {
    const char* name;
    IndexedMesh mesh;
    double degrees;
    std::size_t creases;
  } cases[] = {
      {"cube, just under its bend", model("Cube.obj"), 89.9, 24},
      {"cube at its bend: not more", model("Cube.obj"), 90.0, 0},
      {"cylinder: the rims only", model("table.obj"), 45.0, 4 * 24},
      {"cylinder: its segments too", model("table.obj"), 10.0, 6 * 24},
      {"fold", weldedObjMesh("v 0 0 0\nv 1 0 0\nv 0.5 1 0\nv 0.5 0 1\nf 1 2 3\nf 2 1 4\n"), 89.0, 2},
      {"fold at 180", weldedObjMesh("v 0 0 0\nv 1 0 0\nv 0.5 1 0\nv 0.5 0 1\nf 1 2 3\nf 2 1 4\n"), 180.0, 0},
      // Runs the diagonal the same way in both: turned, it is flat.
      {"flat square, one triangle turned", weldedObjMesh(square + "f 1 2 3\nf 3 1 4\n"), 10.0, 0},
      {"fin of three triangles", weldedObjMesh(square + "v 0 0 1\nf 1 2 3\nf 2 1 4\nf 1 2 5\n"), 0.0, 0},
      {"a triangle without a normal", weldedObjMesh("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 2 0 0\nf 1 2 3\nf 2 1 4\n"), 0.0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IndexedMesh mesh = c.mesh;
    EXPECT_EQ(markCreases(mesh, c.degrees), c.creases);
    EXPECT_EQ(creaseSides(mesh), c.creases);
    // The memory estimate before a pass makes room for the crease table.
    EXPECT_EQ(indexedPassSize(mesh).bytes > indexedPassSize(c.mesh).bytes, c.creases > 0);
    // Both halves of a crease side are creases, the inner sides never.
    subdivideIndexed(mesh, IndexedRule{false, 0.05});
    EXPECT_EQ(creaseSides(mesh), 2 * c.creases);
  }
}

// Each check holds with creases, by either rule; the rows without them (or
// with too many) show that it can fail.
TEST(CreaseAngle, FlatFacesStayFlatAndCreaseLinesKeepTheirShape) {
  const struct {
    const char* name;
    IndexedMesh mesh;
    bool modified;
    double degrees;
    int passes;
    std::function<std::string(const IndexedMesh&)> fault;
    bool holds;
  } cases[] = {
      {"cube, classic", model("Cube.obj"), false, 30.0, 3, offTheCube, true},
      {"cube, modified", model("Cube.obj"), true, 30.0, 3, offTheCube, true},
      {"cube at 0 degrees", model("Cube.obj"), true, 0.0, 3, offTheCube, true},
      {"cube without creases", model("Cube.obj"), false, kNoCreases, 1, offTheCube, false},
      {"open cube: its rim stops at creases", openCube(), false, 30.0, 3, offTheCube, true},
      {"open cube without creases", openCube(), false, kNoCreases, 1, offTheCube, false},
      {"cylinder caps, classic", model("table.obj"), false, 45.0, 3, capsBulge, true},
      {"cylinder caps, modified", model("table.obj"), true, 45.0, 3, capsBulge, true},
      {"cylinder caps without creases", model("table.obj"), true, kNoCreases, 1, capsBulge, false},
      {"cylinder side, classic", model("table.obj"), false, 45.0, 3, sideFlat, true},
      {"cylinder side, modified", model("table.obj"), true, 45.0, 3, sideFlat, true},
      {"cylinder side creased at every segment", model("table.obj"), false, 10.0, 1, sideFlat, false},
      {"cylinder rims, classic", model("table.obj"), false, 45.0, 1, rimOffFourPointRadius, true},
      {"cylinder rims, modified", model("table.obj"), true, 45.0, 1, rimOffFourPointRadius, true},
      {"cylinder rims without creases", model("table.obj"), false, kNoCreases, 1, rimOffFourPointRadius, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string fault = c.fault(refined(c.mesh, c.modified, c.degrees, c.passes));
    EXPECT_EQ(fault.empty(), c.holds) << fault;
  }
}

TEST(CreaseAngle, MeshesBendingLessThanTheAngleAsWithoutIt) {
  const struct {
    const char* name;
    TestMesh mesh;
    double degrees;
    bool creased;
  } cases[] = {
      {"icosphere", icosphere(2), 20.0, false},
      {"torus", torus(24, 12), 40.0, false},
      {"torus bending more than 20 degrees", torus(24, 12), 20.0, true},
  };
  for (const auto& c : cases) {
    for (const bool modified : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (modified ? ", modified" : ", classic"));
      const IndexedMesh mesh = weldedObjMesh(objText(c.mesh.positions, c.mesh.triangles));
      const IndexedMesh with = refined(mesh, modified, c.degrees, 3);
      const IndexedMesh without = refined(mesh, modified, kNoCreases, 3);
      ASSERT_EQ(with.vertexCount(), without.vertexCount());
      const std::size_t bytes = with.vertexCount() * sizeof(FloatPoint);
      EXPECT_EQ(std::memcmp(with.positions.data(), without.positions.data(), bytes) != 0, c.creased);
      EXPECT_TRUE(std::equal(with.corners.begin(), with.corners.end(), without.corners.begin()));
    }
  }
}

// Data/Cube.obj by hand, along its edge from (-1,-1,-1) to (1,-1,-1). Pass 1:
// both ends are corners and stand in for the points beyond, so the point is
// the midpoint; a face's diagonal, its wings all across creases and
// mirrored, gets the face's centre. Pass 2: 9/16 (-1 + 0) - 1/16 (-1 + 1) =
// -9/16 beside the corner. Pass 3: the corner's side 9/16 (-1 - 9/16) -
// 1/16 (-1 + 0) = -209/256, the next one, on the line, 9/16 (-9/16 + 0) -
// 1/16 (-1 + 9/16) = -74/256.
TEST(CreaseAngle, CornersEndTheirLinesByTheRimRule) {
  for (const bool modified : {false, true}) {
    SCOPED_TRACE(modified ? "modified" : "classic");
    std::vector<float> edge[4];
    int bySum[4] = {0, 0, 0, 0};  // pass 1's vertices by |x| + |y| + |z|; 0: not a whole number
    for (int passes = 1; passes <= 3; ++passes) {
      const IndexedMesh mesh = refined(model("Cube.obj"), modified, 45.0, passes);
      for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
        const FloatPoint& p = mesh.positions[v];
        if (p.y == -1.0f && p.z == -1.0f) edge[passes].push_back(p.x);
        const float sum = std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z);
        if (passes == 1) {
          bySum[sum == std::floor(sum) && sum <= 3.0f ? static_cast<int>(sum) : 0] += 1;
        }
      }
      std::sort(edge[passes].begin(), edge[passes].end());
    }
    // The corners, the twelve edges' midpoints, the six faces' centres.
    EXPECT_EQ(std::vector<int>(bySum, bySum + 4), (std::vector<int>{0, 6, 12, 8}));
    EXPECT_EQ(edge[1], (std::vector<float>{-1, 0, 1}));
    EXPECT_EQ(edge[2], (std::vector<float>{-1, -9.0f / 16, 0, 9.0f / 16, 1}));
    ASSERT_EQ(edge[3].size(), 9u);
    EXPECT_EQ(edge[3][1], -209.0f / 256);
    EXPECT_EQ(edge[3][3], -74.0f / 256);
  }
}
