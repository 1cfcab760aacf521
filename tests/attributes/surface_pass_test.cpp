// The pass over a mesh with attributes: values at the new corners, groups of
// the new triangles, the geometry of the indexed pass, sides from a vertex to
// itself, and memory running out part way.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "failing_allocation.h"
#include "mesh_fixtures.h"
#include "obj_meshes.h"
#include "surface_pass.h"
#include "test_meshes.h"

namespace {

SurfaceMesh surfaceOf(const TestMesh& mesh) {
  SurfaceMesh surface;
  for (const auto& p : mesh.positions) surface.mesh.positions.push_back({p[0], p[1], p[2]});
  for (const auto& t : mesh.triangles) {
    for (int id : t) surface.mesh.corners.push_back(uint32_t(id - 1));
  }
  classifySides(surface.mesh);
  return surface;
}

// Corner c names value(c); value n holds component(n, k), k < width.
void setValues(CornerValues& kind, unsigned width, std::size_t count, const SurfaceMesh& surface,
               const std::function<uint32_t(std::size_t)>& value,
               const std::function<float(uint32_t, unsigned)>& component) {
  kind.width = width;
  for (uint32_t n = 0; n < count; ++n) {
    for (unsigned k = 0; k < width; ++k) kind.values.push_back(component(n, k));
  }
  for (std::size_t c = 0; c < surface.mesh.corners.size(); ++c) kind.ofCorner.push_back(value(c));
}

float coordinate(const FloatPoint& p, unsigned k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; }

const float* valueAt(const SurfaceMesh& s, const CornerValues& kind, std::size_t corner) {
  return &kind.values[std::size_t(valueOfCorner(kind, s.mesh.corners, corner)) * kind.width];
}

uint32_t sideEnd(const IndexedMesh& mesh, std::size_t s) { return mesh.corners[s - s % 3 + (s % 3 + 1) % 3]; }

std::size_t vertexPairs(const IndexedMesh& mesh) {
  std::set<std::pair<uint32_t, uint32_t>> pairs;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) {
    const uint32_t a = mesh.corners[s], b = sideEnd(mesh, s);
    if (a != b) pairs.insert({std::min(a, b), std::max(a, b)});
  }
  return pairs.size();
}

// V - E + F, with a failure unless every side lies in two triangles that
// run it opposite ways.
long closedEuler(const IndexedMesh& mesh) {
  std::map<std::pair<uint32_t, uint32_t>, int> sides;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) ++sides[{mesh.corners[s], sideEnd(mesh, s)}];
  for (const auto& [side, count] : sides) {
    const auto back = sides.find({side.second, side.first});
    EXPECT_TRUE(count == 1 && back != sides.end() && back->second == 1) << side.first << " -> " << side.second;
  }
  return long(mesh.vertexCount()) - long(sides.size() / 2) + long(mesh.triangleCount());
}

template <typename Array>
bool same(const Array& a, const Array& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0);
}

bool same(const CornerValues& a, const CornerValues& b) {
  return a.width == b.width && same(a.values, b.values) && same(a.ofCorner, b.ofCorner);
}

void expectSame(const SurfaceMesh& a, const SurfaceMesh& b) {
  EXPECT_TRUE(same(a.mesh.positions, b.mesh.positions) && same(a.mesh.corners, b.mesh.corners) &&
              same(a.mesh.flags, b.mesh.flags));
  EXPECT_TRUE(same(a.attributes.uv, b.attributes.uv) && same(a.attributes.normals, b.attributes.normals) &&
              same(a.attributes.colors, b.attributes.colors));
  EXPECT_TRUE(same(a.attributes.groupOfTriangle, b.attributes.groupOfTriangle));
}

// The same mesh, and of each kind the same bits at every corner, however the
// two number them, and as many values where both make one a pair of values.
void expectSameAtCorners(const SurfaceMesh& a, const SurfaceMesh& b, bool sameCount = true) {
  ASSERT_TRUE(same(a.mesh.positions, b.mesh.positions) && same(a.mesh.corners, b.mesh.corners) &&
              same(a.mesh.flags, b.mesh.flags));
  EXPECT_TRUE(same(a.attributes.groupOfTriangle, b.attributes.groupOfTriangle));
  for (CornerValues MeshAttributes::*kind : {&MeshAttributes::uv, &MeshAttributes::normals, &MeshAttributes::colors}) {
    const CornerValues &x = a.attributes.*kind, &y = b.attributes.*kind;
    ASSERT_EQ(x.width, y.width);
    if (!x.present()) continue;
    if (sameCount) {
      EXPECT_EQ(x.values.size(), y.values.size());
    }
    for (std::size_t c = 0; c < a.mesh.corners.size(); ++c) {
      const uint32_t p = valueOfCorner(x, a.mesh.corners, c), q = valueOfCorner(y, b.mesh.corners, c);
      ASSERT_EQ(p == kNoValue, q == kNoValue) << "corner " << c;
      if (p != kNoValue) {
        ASSERT_EQ(std::memcmp(valueAt(a, x, c), valueAt(b, y, c), sizeof(float) * x.width), 0) << "corner " << c;
      }
    }
  }
}

// A pass whose attributes are carried by the split's origins, spelled out.
void carriedPass(SurfaceMesh& s, const IndexedRule& rule) {
  BigArray<CornerOrigin> origins;
  for (uint32_t c = 0; c < s.mesh.corners.size(); c += 3) {
    const CornerOrigin v0{c, c}, v1{c + 1, c + 1}, v2{c + 2, c + 2}, p0{c, c + 1}, p1{c + 1, c + 2}, p2{c + 2, c};
    for (const CornerOrigin& o : {v0, p0, p2, p0, v1, p1, p2, p1, v2, p0, p1, p2}) origins.push_back(o);
  }
  subdivideIndexed(s.mesh, rule);
  carryAttributes(s.attributes, origins);
}

// The unit cube, vertex x + 2y + 4z at (x, y, z), two triangles a face. Face
// f is group f and owns the texture square u in [f, f + 1], v in [0, 1]:
// its corners have values of their own, (f + s, t) for the face's two free
// coordinates s and t, so every cube edge is a seam. One normal a face; the
// colour of a vertex is its position.
const int kQuads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
unsigned freeAxis(uint32_t face, unsigned k) { return face < 2 ? k : face < 4 ? 2 * k : 1 + k; }

SurfaceMesh seamedCube() {
  TestMesh cube;
  for (int v = 0; v < 8; ++v) cube.positions.push_back({float(v & 1), float(v >> 1 & 1), float(v >> 2 & 1)});
  for (const auto& q : kQuads) {
    cube.triangles.push_back({q[0] + 1, q[1] + 1, q[2] + 1});
    cube.triangles.push_back({q[0] + 1, q[2] + 1, q[3] + 1});
  }
  SurfaceMesh s = surfaceOf(cube);
  const auto vertex = [&](std::size_t c) { return s.mesh.corners[c]; };
  setValues(s.attributes.uv, 2, 48, s, [&](std::size_t c) { return uint32_t(8 * (c / 6) + vertex(c)); },
            [](uint32_t n, unsigned k) { return float((k == 0 ? n / 8 : 0) + (n % 8 >> freeAxis(n / 8, k) & 1)); });
  setValues(s.attributes.normals, 3, 6, s, [](std::size_t c) { return uint32_t(c / 6); },
            [](uint32_t f, unsigned k) { return k == 2 - f / 2 ? (f % 2 ? 1.f : -1.f) : 0.f; });
  setValues(s.attributes.colors, 3, 8, s, vertex, [](uint32_t v, unsigned k) { return float(v >> k & 1); });
  for (uint32_t t = 0; t < 12; ++t) s.attributes.groupOfTriangle.push_back(t / 2);
  return s;
}

const IndexedRule kRules[] = {{false, double(0.05f)}, {true, 0}, {false, 0}};

// Two passes: one closed surface whose geometry is the indexed pass's, each
// triangle in its parent's group with texture from its face's square and
// its face's normal. At tension 0 new points lie mid-side and the cube stays
// a cube, so texture and colour follow from position.
TEST(SurfacePass, ASeamOnEveryCubeEdgeStaysWhereItWas) {
  for (const IndexedRule& rule : kRules) {
    SCOPED_TRACE(std::to_string(rule.modified) + " " + std::to_string(rule.tension));
    const SurfaceMesh cube = seamedCube();
    SurfaceMesh s = cube, geometry = cube;
    for (int pass = 1; pass <= 2; ++pass) {
      subdivideSurface(s, rule);
      subdivideIndexed(geometry.mesh, rule);
    }
    geometry.attributes = s.attributes;
    expectSame(s, geometry);
    EXPECT_EQ(closedEuler(s.mesh), 2);
    for (std::size_t c = 0; c < s.mesh.corners.size(); ++c) {
      const uint32_t face = s.attributes.groupOfTriangle[c / 3];
      ASSERT_EQ(face, cube.attributes.groupOfTriangle[c / 48]) << "corner " << c;
      const float* uv = valueAt(s, s.attributes.uv, c);
      EXPECT_TRUE(uv[0] >= face && uv[0] <= face + 1 && uv[1] >= 0 && uv[1] <= 1) << "corner " << c;
      EXPECT_EQ(s.attributes.normals.ofCorner[c], face);
      const FloatPoint& p = s.mesh.positions[s.mesh.corners[c]];
      if (rule.modified || rule.tension != 0) continue;
      EXPECT_NEAR(uv[0], face + coordinate(p, freeAxis(face, 0)), 1e-6) << "corner " << c;
      EXPECT_NEAR(uv[1], coordinate(p, freeAxis(face, 1)), 1e-6) << "corner " << c;
      for (unsigned k = 0; k < 3; ++k) EXPECT_NEAR(valueAt(s, s.attributes.colors, c)[k], coordinate(p, k), 1e-6);
    }
  }
}

// One new value for each pair of different values that sides join, however
// many faces name it, none for a value paired with itself or with none;
// the values those carried by origins have at every corner.
TEST(SurfacePass, NewValuesAreSharedWhereTheFacesAgreeAndNotWhereTheyDoNot) {
  const SurfaceMesh plain = surfaceOf(sheet(4, 3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int, int) { return 0.0; }}));
  const std::size_t v = plain.mesh.vertexCount(), f = plain.mesh.triangleCount();
  IndexedMesh even;  // the triangles 0, 2, 4 ...
  for (std::size_t c = 0; c < 3 * f; ++c) {
    if (c / 3 % 2 == 0) even.corners.push_back(plain.mesh.corners[c]);
  }
  const auto vertex = [&](std::size_t c) { return plain.mesh.corners[c]; };
  const struct {
    const char* name;
    std::size_t before;
    std::function<uint32_t(std::size_t)> value;
    std::size_t after;
    bool tied;  // to the vertices, one value each
  } cases[] = {
      {"one value per vertex", v, vertex, v + vertexPairs(plain.mesh), true},
      {"a seam on every side", 3 * f, [](std::size_t c) { return uint32_t(c); }, 6 * f, false},
      {"one value per triangle", f, [](std::size_t c) { return uint32_t(c / 3); }, f, false},
      {"two values, by vertex", 2, [&](std::size_t c) { return vertex(c) % 2; }, v + vertexPairs(plain.mesh), true},
      {"none on odd triangles", v, [&](std::size_t c) { return c / 3 % 2 ? kNoValue : vertex(c); },
       v + vertexPairs(even), false},
  };
  for (const auto& test : cases) {
    for (unsigned width = 2; width <= 4; ++width) {
      SCOPED_TRACE(std::string(test.name) + ", width " + std::to_string(width));
      SurfaceMesh s = plain;
      CornerValues& kind = width == 2 ? s.attributes.uv : width == 3 ? s.attributes.normals : s.attributes.colors;
      setValues(kind, width, test.before, s, test.value, [](uint32_t n, unsigned k) { return float(1 + (n * 7 + k) % 11); });
      const CornerValues before = kind;
      SurfaceMesh carried = s;
      carriedPass(carried, IndexedRule{false, 0.0625});
      subdivideSurface(s, IndexedRule{false, 0.0625});
      expectSameAtCorners(s, carried, !test.tied);
      EXPECT_EQ(kind.values.size(), test.after * width);
      EXPECT_EQ(kind.byVertex, test.tied);
      for (std::size_t c = 0; c < s.mesh.corners.size(); ++c) {
        const bool none = valueOfCorner(kind, s.mesh.corners, c) == kNoValue;
        ASSERT_EQ(none, before.ofCorner[c / 12 * 3] == kNoValue) << "corner " << c;
      }
    }
  }
}

// The octahedron's vertices are unit vectors: at tension 0 a new point lies
// midway, so its normal is its direction. Opposite normals make no value.
TEST(SurfacePass, NormalsAreRenormalisedMidpointsAndOppositeOnesTakeTheFirst) {
  SurfaceMesh s = surfaceOf(octahedron());
  const auto vertex = [&](std::size_t c) { return s.mesh.corners[c]; };
  setValues(s.attributes.normals, 3, 6, s, vertex, [&](uint32_t v, unsigned k) { return coordinate(s.mesh.positions[v], k); });
  subdivideSurface(s, IndexedRule{false, 0});
  for (std::size_t c = 0; c < s.mesh.corners.size(); ++c) {
    const FloatPoint& p = s.mesh.positions[s.mesh.corners[c]];
    const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
    for (unsigned k = 0; k < 3; ++k)
      EXPECT_NEAR(valueAt(s, s.attributes.normals, c)[k], coordinate(p, k) / r, 1e-6) << "corner " << c;
  }
  // A square (0 1 3), (0 3 2) whose diagonal joins a normal up and one down:
  // the first triangle's point on 3 -> 0 takes normal 0, by its number, or
  // as a value of its own where the normals are tied to the vertices (a
  // fifth normal at the second triangle's corner of vertex 0 keeps them
  // numbered by corner).
  const float up[5][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 0, 0}};
  for (const bool tied : {true, false}) {
    SurfaceMesh square = surfaceOf(sheet(1, 1, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, [](int, int) { return 0.0; }}));
    ASSERT_EQ(square.mesh.corners[3], 0u);
    setValues(square.attributes.normals, 3, tied ? 4 : 5, square,
              [&](std::size_t c) { return !tied && c == 3 ? 4 : square.mesh.corners[c]; },
              [&](uint32_t v, unsigned k) { return up[v][k]; });
    subdivideSurface(square, IndexedRule{false, 0});
    const CornerValues& normals = square.attributes.normals;
    EXPECT_EQ(normals.byVertex, tied);
    EXPECT_EQ(normals.values.size(), 3u * (tied ? 4 + 5 : 5 + 5));
    EXPECT_EQ(valueOfCorner(normals, square.mesh.corners, 3 * 3 + 2), tied ? square.mesh.corners[11] : 0u);
    EXPECT_EQ(std::vector<float>(valueAt(square, normals, 11), valueAt(square, normals, 11) + 3),
              std::vector<float>(up[0], up[0] + 3));
  }
}

// The general form with the split's origins spelled out (indexed_pass.h)
// makes the same values as the split's own: on the cube, and on a sphere
// whose last pass is large enough for the split to fill on every core, its
// texture cut by a seam where the southern triangles name values of their
// own, so that sides off the seam, on it and across it meet in one pass.
TEST(SurfacePass, CarryingByOriginsAgreesWithTheSplit) {
  SurfaceMesh cube = seamedCube();
  for (std::size_t c = 0; c < 36; c += 5) cube.attributes.colors.ofCorner[c] = kNoValue;
  SurfaceMesh sphere = surfaceOf(icosphere(3));
  const uint32_t vertices = uint32_t(sphere.mesh.vertexCount());
  const auto southern = [&](std::size_t c) { return sphere.mesh.positions[sphere.mesh.corners[c - c % 3]].z < 0; };
  setValues(sphere.attributes.uv, 2, 2 * vertices, sphere,
            [&](std::size_t c) { return sphere.mesh.corners[c] + (southern(c) ? vertices : 0); },
            [&](uint32_t v, unsigned k) {
              const FloatPoint& p = sphere.mesh.positions[v % vertices];
              return coordinate(p, k) + (k + 2) * p.z + float(v / vertices);
            });
  setValues(sphere.attributes.normals, 3, 3 * sphere.mesh.triangleCount(), sphere,
            [](std::size_t c) { return uint32_t(c); }, [](uint32_t n, unsigned k) { return float(n % 5 + k); });
  for (SurfaceMesh* split : {&cube, &sphere}) {
    SurfaceMesh carried = *split;
    for (int pass = 1; pass <= (split == &cube ? 2 : 4); ++pass) {
      carriedPass(carried, IndexedRule{true, 0});
      subdivideSurface(*split, IndexedRule{true, 0});
      expectSameAtCorners(*split, carried);
    }
  }
  EXPECT_EQ(sphere.mesh.triangleCount(), 1280u << 8);
}

// Where each vertex's corners name one value, the kind is tied to the
// vertices and split by points on every core; carried by origins, the same
// values numbered per corner give every corner the same bits, pass after
// pass. Three kinds at once: texture coordinates named by two numbers a
// vertex (the southern triangles' copies), normals up or up from the
// position (so that many sides join two of the same bits), colours; on a
// sphere whose last passes take several blocks on every core, with a side
// from a vertex to itself, a side in three triangles and a triangle turned
// over. (Opposite normals, which the square above meets, are left out: each
// form takes the lower-numbered of two, and the forms number new values
// apart.)
TEST(SurfacePass, ValuesTiedToTheVerticesAreThoseCarriedByCorner) {
  TestMesh sphere = icosphere(3);
  const std::vector<int> first = sphere.triangles[0];
  sphere.triangles.push_back({first[0], first[0], first[1]});
  sphere.triangles.push_back({first[0], first[2], first[1]});
  sphere.triangles.push_back({first[0], first[1], sphere.triangles[40][2]});
  SurfaceMesh tied = surfaceOf(sphere);
  const uint32_t vertices = uint32_t(tied.mesh.vertexCount());
  const auto position = [&](uint32_t v, unsigned k) { return coordinate(tied.mesh.positions[v % vertices], k % 3); };
  const auto normal = [&](uint32_t v, unsigned k) { return k < 2 ? (v % 3 ? position(v, k) : 0.f) : v % 3 ? position(v, k) + 2 : 1.f; };
  const auto vertex = [&](std::size_t c) { return tied.mesh.corners[c]; };
  setValues(tied.attributes.normals, 3, vertices, tied, vertex, normal);
  setValues(tied.attributes.uv, 2, 2 * vertices, tied, [&](std::size_t c) { return vertex(c) + (c / 3 % 2 ? vertices : 0); },
            position);
  setValues(tied.attributes.colors, 4, vertices, tied, vertex, [&](uint32_t v, unsigned k) { return k < 3 ? position(v, k) : 1.f; });
  SurfaceMesh carried = tied;
  CornerValues* const kinds[2][3] = {{&tied.attributes.normals, &tied.attributes.uv, &tied.attributes.colors},
                                     {&carried.attributes.normals, &carried.attributes.uv, &carried.attributes.colors}};
  for (int pass = 1; pass <= 4; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass));
    subdivideSurface(tied, IndexedRule{false, 0.0625});
    carriedPass(carried, IndexedRule{false, 0.0625});
    for (std::size_t k = 0; k < 3; ++k) {
      ASSERT_TRUE(kinds[0][k]->byVertex && !kinds[1][k]->byVertex);
      EXPECT_EQ(kinds[0][k]->values.size(), kinds[0][k]->width * tied.mesh.vertexCount());
    }
    expectSameAtCorners(tied, carried, false);
  }
  EXPECT_GT(tied.mesh.triangleCount(), std::size_t(4) << 15);  // its last pass in pieces
  // A pass to a side length carries by origins: the tied kinds are first
  // given their numbers per corner again.
  const FloatPoint &p = tied.mesh.positions[tied.mesh.corners[0]], &q = tied.mesh.positions[tied.mesh.corners[1]];
  const double length = std::hypot(p.x - q.x, p.y - q.y, p.z - q.z);
  for (SurfaceMesh* s : {&tied, &carried}) {
    BigArray<uint8_t> closures;
    AdaptivePlan plan;
    planAdaptivePass(s->mesh, closures, length, plan);
    ASSERT_FALSE(plan.uniform || nothingToSplit(plan));
    subdivideSurfaceToLength(*s, closures, plan, IndexedRule{false, 0.0625});
  }
  EXPECT_FALSE(tied.attributes.normals.byVertex || tied.attributes.uv.byVertex || tied.attributes.colors.byVertex);
  expectSameAtCorners(tied, carried, false);
}

// Memory runs out at each allocation of a pass in turn: a failed pass leaves
// the mesh and its attributes as they were.
TEST(SurfacePass, RunningOutOfMemoryLeavesTheMeshWhole) {
  long failedPasses[2] = {0, 0};
  for (int attributes = 0; attributes < 2; ++attributes) {
    SurfaceMesh s = seamedCube();
    if (!attributes) s.attributes = MeshAttributes();
    for (long n = 1;; ++n) {
      const SurfaceMesh before = s;
      bool threw = false;
      const FailedRun run = runWithFailingAllocation(n, [&] {
        try {
          subdivideSurface(s, IndexedRule{false, 0.0625});
        } catch (const std::bad_alloc&) {
          threw = true;
        }
      });
      ASSERT_EQ(threw, run.failed) << "allocation " << n;
      if (!threw) break;
      ++failedPasses[attributes];
      expectSame(s, before);
    }
    EXPECT_EQ(s.mesh.triangleCount(), 48u);
  }
  // Each kind of value and the groups were made to fail too.
  EXPECT_GE(failedPasses[1], failedPasses[0] + 4);
}

// A sphere with 56 triangles whose sides run from a vertex to itself: 28
// name one vertex thrice, 28 name a side's end twice through a copy the weld
// joins to it. The sphere's counts go on as if they were not there, no
// position is made twice, and the flags are what classifying gives.
TEST(SurfacePass, SidesFromAVertexToItselfGetNoNewPoint) {
  const TestMesh sphere = icosphere(1);
  std::string text = objText(sphere.positions, sphere.triangles);
  for (std::size_t k = 0; k < 28; ++k) {
    const auto& t = sphere.triangles[k];
    const auto& p = sphere.positions[t[0] - 1];
    const std::string a = std::to_string(t[0]), b = std::to_string(t[1]), copy = std::to_string(43 + k);
    text += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
    text += "f " + b + " " + b + " " + b + "\nf " + a + " " + copy + " " + b + "\n";
  }
  SurfaceMesh welded;
  welded.mesh = weldedObjMesh(text);
  ASSERT_EQ(welded.mesh.vertexCount(), 42u);
  for (const IndexedRule& rule : kRules) {
    SurfaceMesh s = welded;
    for (int pass = 1; pass <= 2; ++pass) {
      SCOPED_TRACE("pass " + std::to_string(pass));
      const std::size_t v = s.mesh.vertexCount(), e = vertexPairs(s.mesh), f = s.mesh.triangleCount();
      subdivideSurface(s, rule);
      EXPECT_EQ(s.mesh.vertexCount(), v + e);
      EXPECT_EQ(vertexPairs(s.mesh), 2 * e + 3 * (f - 56 * (1u << (2 * pass - 2))));
      EXPECT_EQ(s.mesh.triangleCount(), 4 * f);
      std::set<std::tuple<float, float, float>> positions;
      for (const FloatPoint& p : s.mesh.positions) positions.insert({p.x, p.y, p.z});
      EXPECT_EQ(positions.size(), s.mesh.vertexCount());
      IndexedMesh classified = s.mesh;
      classifySides(classified);
      EXPECT_TRUE(same(classified.flags, s.mesh.flags));
    }
  }
}

}  // namespace
