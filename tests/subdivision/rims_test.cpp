// Open meshes: the four-point rule on a rim, ghost corners where a stencil
// runs off the mesh, a flat sheet staying flat and a straight rim staying
// straight through three passes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "mesh_fixtures.h"
#include "pass_checks.h"
#include "subdivision.h"
#include "test_meshes.h"

namespace {

Point along(const Point& origin, const Point& direction, double s) {
  return {origin[0] + s * direction[0], origin[1] + s * direction[1], origin[2] + s * direction[2]};
}

double dot(const Point& p, const Point& q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; }

Point minus(const Point& p, const Point& q) { return {p[0] - q[0], p[1] - q[1], p[2] - q[2]}; }

double flat(int, int) { return 0.0; }

// Away from row 0 the strip bends, so that a straight rim is not just a
// consequence of a flat sheet.
double bent(int i, int j) { return j == 0 ? 0.0 : 0.3 * j * j * std::cos(i); }

}  // namespace

// Two triangles folded along their shared side a->b: every wing is missing,
// and mirrored wings cancel c1 and c2, leaving the midpoint of the side. The
// four rim sides take the four-point rule around the rim loop 2, 3, 1, 4.
TEST(Rims, FoldedPairGhostWingsAndFourPointRim) {
  TestMesh pair{{{0, 0, 0}, {2, 0, 0.2f}, {1.1f, 1, 0.6f}, {0.8f, -1.2f, -0.5f}},
                {{1, 2, 3}, {2, 1, 4}}};
  loadTestMesh(pair);
  subdivide();
  std::map<std::pair<int, int>, Vertex*> pointOnSide;
  for (const SplitFace& s : splitFaces()) {
    for (int i = 0; i < 3; ++i)
      pointOnSide[{s.corner[i]->id, s.corner[(i + 1) % 3]->id}] = s.point[i];
  }
  auto p = [&](int id) {
    const auto& q = pair.positions[id - 1];
    return Point{q[0], q[1], q[2]};
  };
  const double tolerance = 1e-6;
  for (auto side : {std::make_pair(1, 2), std::make_pair(2, 1)}) {
    const Point middle = along(p(1), minus(p(2), p(1)), 0.5);
    EXPECT_LE(distance(positionOf(pointOnSide.at(side)), middle), tolerance) << side.first;
  }
  const int loop[] = {2, 3, 1, 4};
  for (int m = 0; m < 4; ++m) {
    const int before = loop[(m + 3) % 4], a = loop[m], b = loop[(m + 1) % 4],
              after = loop[(m + 2) % 4];
    Point expected;
    for (int k = 0; k < 3; ++k) {
      expected[k] = 0.5625 * (p(a)[k] + p(b)[k]) - 0.0625 * (p(before)[k] + p(after)[k]);
    }
    EXPECT_LE(distance(positionOf(pointOnSide.at({a, b})), expected), tolerance) << a << "->" << b;
  }
}

TEST(Rims, TiltedSheetStaysInItsPlane) {
  const SheetFrame frame{{0.3, -0.2, 0.5}, {0.8, 0.1, 0.3}, {-0.2, 0.7, 0.4}, flat};
  loadTestMesh(sheet(6, 5, frame));
  Point normal = {frame.u[1] * frame.v[2] - frame.u[2] * frame.v[1],
                  frame.u[2] * frame.v[0] - frame.u[0] * frame.v[2],
                  frame.u[0] * frame.v[1] - frame.u[1] * frame.v[0]};
  normal = along({0, 0, 0}, normal, 1.0 / std::sqrt(dot(normal, normal)));
  for (int pass = 1; pass <= 3; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const VertexSnapshot before = snapshotVertices();
    const int faces = countFaces(kCurrentGeneration);
    subdivide();
    checkLists();
    EXPECT_EQ(countVertices(), int(before.records.size()) + 3 * faces);
    expectOldVerticesKept(before);
    const double tolerance = 1e-6 * boundingDiagonal();
    for (const Vertex* v : vertexRecords()) {
      ASSERT_LE(std::fabs(dot(minus(positionOf(v), frame.origin), normal)), tolerance)
          << "vertex " << v->id;
    }
  }
}

// A 16 x 2 strip whose row 0 is a straight rim. Rim points next to the strip's
// ends take a neighbour around the corner, and that reaches at most 1.625
// units inward in three passes; from 3 units in, every rim point stays on the
// line. The rim sides are followed through the passes by the split layout.
TEST(Rims, StraightRimStaysStraight) {
  const int length = 16;
  const SheetFrame frame{{0.5, 0.25, -0.4}, {0.6, 0.0, 0.8}, {0.0, 1.0, 0.0}, bent};
  loadTestMesh(sheet(length, 2, frame));
  std::vector<std::pair<int, int>> rimSides;  // (face, side) on row 0
  for (int i = 0; i < length; ++i) rimSides.push_back({2 * i, 0});
  for (int pass = 1; pass <= 3; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const VertexSnapshot before = snapshotVertices();
    subdivide();
    expectOldVerticesKept(before);
    const double tolerance = 1e-6 * boundingDiagonal();
    const std::vector<SplitFace> split = splitFaces();
    std::vector<std::pair<int, int>> finer;
    int checked = 0;
    for (const auto& side : rimSides) {
      const int f = side.first, i = side.second;
      const Point offset = minus(positionOf(split[f].point[i]), frame.origin);
      const double s = dot(offset, frame.u);
      if (s >= 3.0 && s <= length - 3.0) {
        EXPECT_LE(distance(offset, along({0, 0, 0}, frame.u, s)), tolerance) << "at " << s;
        ++checked;
      }
      // Side i of old face f is now side i of the corner triangle at its start
      // and of the one at its end.
      const int atStart[] = {0, 1, 2}, atEnd[] = {1, 2, 0};
      finer.push_back({4 * f + atStart[i], i});
      finer.push_back({4 * f + atEnd[i], i});
    }
    EXPECT_EQ(checked, (length - 6) << (pass - 1));
    rimSides = finer;
  }
}
