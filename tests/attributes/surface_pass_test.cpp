// The pass over a mesh with attributes: texture coordinates, normals and
// colours at the new corners, the groups of the new triangles, the geometry
// left as the indexed pass makes it, and memory running out part way.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "failing_allocation.h"
#include "mesh_fixtures.h"
#include "obj_reading.h"
#include "surface_fixtures.h"

namespace {

struct NamedRule {
  const char* name;
  IndexedRule rule;
};
const NamedRule kRules[] = {
    {"classic", {false, double(0.05f)}},
    {"modified", {true, 0}},
    // Tension 0 puts every new point at the middle of its side, where the
    // midpoint of the side's values belongs.
    {"midpoints", {false, 0}},
};

double length(const float* v) { return std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]); }

// The seamed cube through two passes: one closed surface, the geometry of
// the indexed pass, every triangle in its face's group with texture from its
// face's square and its face's normal; at tension 0, where the cube stays a
// cube, every corner's texture and colour follow from its position.
TEST(SurfacePass, ASeamOnEveryCubeEdgeStaysOneAndTheSurfaceStaysClosed) {
  for (const NamedRule& named : kRules) {
    SCOPED_TRACE(named.name);
    const SurfaceMesh cube = seamedCube();
    SurfaceMesh surface = cube;
    IndexedMesh geometry = cube.mesh;
    for (int pass = 1; pass <= 2; ++pass) {
      subdivideSurface(surface, named.rule);
      subdivideIndexed(geometry, named.rule);
    }
    SurfaceMesh bare{geometry, MeshAttributes()};
    bare.attributes = surface.attributes;
    expectSameSurface(surface, bare);
    EXPECT_EQ(closedEuler(surface.mesh), 2);

    const MeshAttributes& a = surface.attributes;
    ASSERT_EQ(a.groupOfTriangle.size(), 16 * cube.mesh.triangleCount());
    EXPECT_EQ(a.groups.size(), 6u);
    for (std::size_t t = 0; t < surface.mesh.triangleCount(); ++t) {
      const uint32_t face = a.groupOfTriangle[t];
      ASSERT_EQ(face, cube.attributes.groupOfTriangle[t / 16]) << "triangle " << t;
      for (std::size_t c = 3 * t; c < 3 * t + 3; ++c) {
        const float* uv = valueAt(a.uv, c);
        EXPECT_TRUE(uv[0] >= face && uv[0] <= face + 1 && uv[1] >= 0 && uv[1] <= 1)
            << "corner " << c << " of face " << face << " at " << uv[0] << ", " << uv[1];
        EXPECT_EQ(a.normals.ofCorner[c], face) << "corner " << c;
        if (!named.rule.modified && named.rule.tension == 0) {
          const FloatPoint& p = surface.mesh.positions[surface.mesh.corners[c]];
          const float xyz[3] = {p.x, p.y, p.z};
          const int axis = face / 2 == 0 ? 2 : face / 2 == 1 ? 1 : 0;
          const float expected[2] = {face + xyz[axis == 0 ? 1 : 0], xyz[axis == 2 ? 1 : 2]};
          const float* color = valueAt(a.colors, c);
          for (int k = 0; k < 2; ++k) EXPECT_NEAR(uv[k], expected[k], 1e-6) << "corner " << c;
          for (int k = 0; k < 3; ++k) EXPECT_NEAR(color[k], xyz[k], 1e-6) << "corner " << c;
        }
      }
    }
  }
}

// How many values a pass makes on a sheet: one for each pair of different
// values that sides join, however many faces name the pair, and none for a
// pair of a value with itself or with no value.
TEST(SurfacePass, NewValuesAreSharedWhereTheFacesAgreeAndNotWhereTheyDoNot) {
  const SheetFrame frame{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int, int) { return 0.0; }};
  const TestMesh sheetMesh = sheet(4, 3, frame);
  const SurfaceMesh plain = surfaceOf(sheetMesh);
  const std::size_t vertices = plain.mesh.vertexCount(), triangles = plain.mesh.triangleCount();
  const std::size_t pairs = vertexPairs(plain.mesh);
  const auto vertexOf = [&](std::size_t c) { return plain.mesh.corners[c]; };
  struct Case {
    const char* name;
    std::size_t valuesBefore;
    std::function<uint32_t(std::size_t)> value;
    std::size_t valuesAfter;
  };
  // Triangles 0, 2, 4 ... have values, the others none: the odd triangles'
  // sides that no even triangle shares make nothing.
  IndexedMesh even;
  for (std::size_t c = 0; c < plain.mesh.corners.size(); ++c) {
    if (c / 3 % 2 == 0) even.corners.push_back(plain.mesh.corners[c]);
  }
  const Case cases[] = {
      {"one value per vertex, no seam", vertices, vertexOf, vertices + pairs},
      {"values of each triangle's own, a seam on every side", 3 * triangles, [](std::size_t c) { return uint32_t(c); },
       6 * triangles},
      {"one value per triangle", triangles, [](std::size_t c) { return uint32_t(c / 3); }, triangles},
      {"one value for all", 1, [](std::size_t) { return 0u; }, 1},
      {"two values, alternating by vertex", 2, [&](std::size_t c) { return vertexOf(c) % 2; }, 3},
      {"values on every other triangle", vertices,
       [&](std::size_t c) { return c / 3 % 2 == 0 ? vertexOf(c) : kNoValue; }, vertices + vertexPairs(even)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    for (int kind = 0; kind < 3; ++kind) {
      SurfaceMesh surface = plain;
      CornerValues& values = kind == 0 ? surface.attributes.uv : kind == 1 ? surface.attributes.normals
                                                                         : surface.attributes.colors;
      // Distinct normals, none opposite another: all in one octant.
      setValues(values, kind == 0 ? 2 : 3, surface, test.valuesBefore, test.value,
                [](uint32_t n, unsigned k) { return float(1 + (n * 7 + k * 3) % 11); });
      const CornerValues before = values;
      subdivideSurface(surface, IndexedRule{false, 0.0625});
      EXPECT_EQ(values.values.size(), test.valuesAfter * values.width) << "kind " << kind;
      // Every case gives a triangle values at all its corners or at none.
      for (std::size_t c = 0; c < values.ofCorner.size(); ++c)
        ASSERT_EQ(values.ofCorner[c] == kNoValue, before.ofCorner[3 * (c / 12)] == kNoValue) << "corner " << c;
    }
  }
}


// At tension 0 on the octahedron, whose vertices are unit vectors, a new
// point lies midway between its side's ends: its normal is its own direction
// and its texture and colour those of its position. Normals stay unit
// length; where two are opposite the lower-numbered one stands for both.
TEST(SurfacePass, ValuesAtNewPointsAreMidpointsAndNormalsAreRenormalised) {
  SurfaceMesh surface = surfaceOf(octahedron());
  const IndexedMesh& mesh = surface.mesh;
  const auto vertexOf = [&](std::size_t c) { return mesh.corners[c]; };
  const auto coordinate = [&](uint32_t v, unsigned k) {
    const FloatPoint& p = mesh.positions[v];
    return k == 0 ? p.x : k == 1 ? p.y : p.z;
  };
  setValues(surface.attributes.uv, 2, surface, 6, vertexOf, coordinate);
  setValues(surface.attributes.normals, 3, surface, 6, vertexOf, coordinate);
  setValues(surface.attributes.colors, 4, surface, 6, vertexOf,
            [&](uint32_t v, unsigned k) { return k == 3 ? 1.f : (coordinate(v, k) + 1) / 2; });
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivideSurface(surface, IndexedRule{false, 0});
    const MeshAttributes& a = surface.attributes;
    for (std::size_t c = 0; c < mesh.corners.size(); ++c) {
      const FloatPoint& p = mesh.positions[mesh.corners[c]];
      const float* normal = valueAt(a.normals, c);
      EXPECT_NEAR(length(normal), 1, 1e-6) << "corner " << c;
      const float* uv = valueAt(a.uv, c);
      const float* color = valueAt(a.colors, c);
      EXPECT_NEAR(uv[0], p.x, 1e-6);
      EXPECT_NEAR(uv[1], p.y, 1e-6);
      EXPECT_NEAR(color[0], (p.x + 1) / 2, 1e-6);
      EXPECT_NEAR(color[2], (p.z + 1) / 2, 1e-6);
      EXPECT_EQ(color[3], 1.f);
      if (pass == 1) {
        const double r = length(&p.x);
        EXPECT_NEAR(normal[0], p.x / r, 1e-6) << "corner " << c;
        EXPECT_NEAR(normal[1], p.y / r, 1e-6) << "corner " << c;
        EXPECT_NEAR(normal[2], p.z / r, 1e-6) << "corner " << c;
      }
    }
  }

  // A square of two triangles whose diagonal joins a normal up and one down.
  SurfaceMesh square = surfaceOf(sheet(1, 1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int, int) { return 0.0; }}));
  const float normals[4][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
  setValues(square.attributes.normals, 3, square, 4, [&](std::size_t c) { return square.mesh.corners[c]; },
            [&](uint32_t v, unsigned k) { return normals[v][k]; });
  subdivideSurface(square, IndexedRule{false, 0});
  // The four rim sides make a value each, the diagonal none.
  EXPECT_EQ(square.attributes.normals.values.size(), 3u * 8);
  // P2 of the first triangle (0 1 3): the point of its side from 3 to 0.
  const uint32_t diagonalPoint = square.mesh.corners[3 * 3 + 2];
  std::size_t atDiagonal = 0;
  for (std::size_t c = 0; c < square.mesh.corners.size(); ++c) {
    if (square.mesh.corners[c] != diagonalPoint) continue;
    ++atDiagonal;
    EXPECT_EQ(square.attributes.normals.ofCorner[c], 0u) << "corner " << c;
  }
  // Three new triangles of each old one meet at the point.
  EXPECT_EQ(atDiagonal, 6u);
}

// The origins of the four-way split as indexed_pass.h states it: triangle t
// becomes (v0 P0 P2, P0 v1 P1, P2 P1 v2, P0 P1 P2), Pk between corners k and
// k + 1 of t.
BigArray<CornerOrigin> fourWayOrigins(std::size_t triangles) {
  BigArray<CornerOrigin> origins;
  for (uint32_t t = 0; t < triangles; ++t) {
    const uint32_t c = 3 * t;
    const CornerOrigin v[3] = {{c, c}, {c + 1, c + 1}, {c + 2, c + 2}};
    const CornerOrigin p[3] = {{c, c + 1}, {c + 1, c + 2}, {c + 2, c}};
    for (const CornerOrigin& o : {v[0], p[0], p[2], p[0], v[1], p[1], p[2], p[1], v[2], p[0], p[1], p[2]})
      origins.push_back(o);
  }
  return origins;
}

// The general form with the split's origins spelled out, and the split's
// own, give the same values under the same numbers, corners without values
// and groups included.
TEST(SurfacePass, CarryingByOriginsAgreesWithTheSplit) {
  SurfaceMesh split = seamedCube();
  for (std::size_t c = 0; c < split.attributes.colors.ofCorner.size(); c += 5) split.attributes.colors.ofCorner[c] = kNoValue;
  SurfaceMesh carried = split;
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    const BigArray<CornerOrigin> origins = fourWayOrigins(carried.mesh.triangleCount());
    subdivideIndexed(carried.mesh, IndexedRule{true, 0});
    carryAttributes(carried.attributes, origins);
    subdivideSurface(split, IndexedRule{true, 0});
    expectSameSurface(split, carried);
  }
}

// Memory runs out at each allocation of a pass in turn, in the geometry and
// in each kind of value: every failed pass leaves the mesh and its
// attributes as they were, and then the pass succeeds.
TEST(SurfacePass, RunningOutOfMemoryLeavesTheMeshWhole) {
  const auto failures = [](SurfaceMesh& surface, bool attributes) {
    long failed = 0;
    for (long n = 1;; ++n) {
      const SurfaceMesh before = surface;
      bool threw = false;
      const FailedRun run = runWithFailingAllocation(n, [&] {
        try {
          if (attributes) {
            subdivideSurface(surface, IndexedRule{false, 0.0625});
          } else {
            subdivideIndexed(surface.mesh, IndexedRule{false, 0.0625});
          }
        } catch (const std::bad_alloc&) {
          threw = true;
        }
      });
      EXPECT_EQ(threw, run.failed) << "allocation " << n;
      if (!threw) return failed;
      ++failed;
      expectSameSurface(surface, before);
    }
  };
  SurfaceMesh geometryOnly = seamedCube();
  geometryOnly.attributes = MeshAttributes();
  SurfaceMesh surface = seamedCube();
  const long geometryFailures = failures(geometryOnly, false);
  // Each kind of value and the groups take at least one allocation more.
  EXPECT_GE(failures(surface, true), geometryFailures + 4);
  EXPECT_EQ(surface.mesh.triangleCount(), 48u);
  EXPECT_EQ(surface.attributes.groupOfTriangle.size(), 48u);
}

// A sphere with 56 triangles whose sides run from a vertex to itself: 28 of
// them name one vertex three times, 28 name a sphere side's end twice through
// a copy of it the weld takes for the same vertex. No position is made
// twice; the sphere counts go on as if they were not there; the flags stay
// what classifying the new triangles gives.
TEST(SurfacePass, SidesFromAVertexToItselfGetNoNewPoint) {
  const TestMesh sphere = icosphere(1);
  std::string text = objText(sphere.positions, sphere.triangles);
  const std::size_t vertices = sphere.positions.size();
  for (std::size_t k = 0; k < 28; ++k) {
    const auto& t = sphere.triangles[k];
    const auto& p = sphere.positions[t[0] - 1];
    text += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
    text += "f " + std::to_string(t[1]) + " " + std::to_string(t[1]) + " " + std::to_string(t[1]) + "\n";
    text += "f " + std::to_string(t[0]) + " " + std::to_string(vertices + k + 1) + " " + std::to_string(t[1]) + "\n";
  }
  ObjContent content;
  parseObjText(text.data(), text.size(), content);
  SurfaceMesh surface;
  weldedMesh(content, surface.mesh);
  ASSERT_EQ(surface.mesh.vertexCount(), vertices);
  std::size_t sphereTriangles = sphere.triangles.size(), edges = vertexPairs(surface.mesh);
  for (const NamedRule& named : kRules) {
    SCOPED_TRACE(named.name);
    SurfaceMesh mesh = surface;
    for (int pass = 1; pass <= 2; ++pass) {
      SCOPED_TRACE("pass " + std::to_string(pass));
      const std::size_t v = mesh.mesh.vertexCount(), e = vertexPairs(mesh.mesh), f = mesh.mesh.triangleCount();
      subdivideSurface(mesh, named.rule);
      EXPECT_EQ(mesh.mesh.vertexCount(), v + e);
      EXPECT_EQ(vertexPairs(mesh.mesh), 2 * e + 3 * (sphereTriangles << (2 * pass - 2)));
      EXPECT_EQ(mesh.mesh.triangleCount(), 4 * f);
      std::set<std::tuple<float, float, float>> positions;
      for (const FloatPoint& p : mesh.mesh.positions) positions.insert({p.x, p.y, p.z});
      EXPECT_EQ(positions.size(), mesh.mesh.vertexCount());
      IndexedMesh classified = mesh.mesh;
      classifySides(classified);
      EXPECT_TRUE(classified.flags == mesh.mesh.flags);
    }
  }
  EXPECT_EQ(edges, 120u);
}

// The estimate the program refuses passes by counts the attributes, and
// without them is the indexed pass's.
TEST(SurfacePass, TheSizeOfAPassCountsTheAttributes) {
  SurfaceMesh surface = seamedCube();
  const IndexedPassSize geometry = indexedPassSize(surface.mesh);
  const IndexedPassSize withAttributes = surfacePassSize(surface);
  EXPECT_EQ(withAttributes.vertices, geometry.vertices);
  EXPECT_EQ(withAttributes.triangles, geometry.triangles);
  // The new generation's corners alone: three kinds of four bytes each.
  EXPECT_GE(withAttributes.bytes, geometry.bytes + 3 * 4 * 3 * geometry.triangles);
  surface.attributes = MeshAttributes();
  EXPECT_EQ(surfacePassSize(surface).bytes, geometry.bytes);
}

}  // namespace
