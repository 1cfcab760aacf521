// Refinement to a side length, over a table of meshes of even and uneven
// triangles, closed and open, by both rules: the result keeps its surface
// whole (closed stays closed, no T-junction, the flags a classification
// gives), every new point is the uniform pass's point of its side, found
// where its corner origin says, no side is left longer than the length, and
// the smallest angles stay within half of those of uniform passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "adaptive_pass.h"
#include "test_meshes.h"

namespace {

using Pair = std::pair<uint32_t, uint32_t>;

const double kPi = std::acos(-1.0);

Pair pairOf(uint32_t a, uint32_t b) { return std::minmax(a, b); }

uint32_t sideEnd(const IndexedMesh& mesh, std::size_t side) {
  return mesh.corners[side - side % 3 + (side % 3 + 1) % 3];
}

IndexedMesh indexedOf(const TestMesh& test) {
  IndexedMesh mesh;
  for (const auto& p : test.positions) mesh.positions.push_back({p[0], p[1], p[2]});
  for (const auto& t : test.triangles)
    for (int id : t) mesh.corners.push_back(static_cast<uint32_t>(id - 1));
  classifySides(mesh);
  return mesh;
}

double length(const FloatPoint& p, const FloatPoint& q) {
  const double x = double(p.x) - q.x, y = double(p.y) - q.y, z = double(p.z) - q.z;
  return std::sqrt(x * x + y * y + z * z);
}

double diagonal(const IndexedMesh& mesh) {
  FloatPoint low = mesh.positions[0], high = low;
  for (const FloatPoint& p : mesh.positions) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  return length(low, high);
}

double longestSide(const IndexedMesh& mesh) {
  double longest = 0;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s)
    longest = std::max(longest, length(mesh.positions[mesh.corners[s]], mesh.positions[sideEnd(mesh, s)]));
  return longest;
}

double shortestSide(const IndexedMesh& mesh) {
  double shortest = INFINITY;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s)
    shortest = std::min(shortest, length(mesh.positions[mesh.corners[s]], mesh.positions[sideEnd(mesh, s)]));
  return shortest;
}

// The angle below which 1 % of the triangles' smallest angles lie, degrees.
double lowPercentileAngle(const IndexedMesh& mesh) {
  std::vector<double> smallest;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    double side[3];
    for (int k = 0; k < 3; ++k)
      side[k] = length(mesh.positions[mesh.corners[3 * t + k]], mesh.positions[sideEnd(mesh, 3 * t + k)]);
    double least = 180;
    for (int k = 0; k < 3; ++k) {
      const double a = side[k], b = side[(k + 1) % 3], c = side[(k + 2) % 3];
      const double cosine = std::clamp((b * b + c * c - a * a) / (2 * b * c), -1.0, 1.0);
      least = std::min(least, std::acos(cosine) * 180 / kPi);
    }
    smallest.push_back(least);
  }
  std::sort(smallest.begin(), smallest.end());
  return smallest[smallest.size() / 100];
}

std::vector<uint32_t> bitsOf(const BigArray<FloatPoint>& positions) {
  std::vector<uint32_t> bits(3 * positions.size());
  if (!positions.empty()) std::memcpy(bits.data(), positions.data(), 4 * bits.size());
  return bits;
}

void expectSameMesh(const IndexedMesh& got, const IndexedMesh& want) {
  EXPECT_EQ(bitsOf(got.positions), bitsOf(want.positions));
  EXPECT_TRUE(std::equal(got.corners.begin(), got.corners.end(), want.corners.begin(), want.corners.end()));
  EXPECT_TRUE(std::equal(got.flags.begin(), got.flags.end(), want.flags.begin(), want.flags.end()));
}

// Every directed side once and its reverse once; V - E + F.
long closedEuler(const IndexedMesh& mesh) {
  std::map<Pair, int> directed;
  for (std::size_t s = 0; s < mesh.corners.size(); ++s) ++directed[{mesh.corners[s], sideEnd(mesh, s)}];
  for (const auto& [side, count] : directed) {
    EXPECT_EQ(count, 1) << side.first << " -> " << side.second;
    EXPECT_EQ(directed.count({side.second, side.first}), 1u) << side.first << " -> " << side.second << " unmatched";
  }
  return long(mesh.vertexCount()) - long(directed.size() / 2) + long(mesh.triangleCount());
}

// The uniform pass's point of every side of the mesh, by its pair.
std::map<Pair, FloatPoint> uniformPoints(const IndexedMesh& mesh, const IndexedRule& rule) {
  IndexedMesh uniform = mesh;
  subdivideIndexed(uniform, rule);
  std::map<Pair, FloatPoint> points;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    const uint32_t* q = &uniform.corners[12 * t];
    points.emplace(pairOf(c[0], c[1]), uniform.positions[q[1]]);
    points.emplace(pairOf(c[1], c[2]), uniform.positions[q[5]]);
    points.emplace(pairOf(c[2], c[0]), uniform.positions[q[2]]);
  }
  return points;
}

bool sameBits(const FloatPoint& p, const FloatPoint& q) { return std::memcmp(&p, &q, sizeof p) == 0; }

// The new points are numbered as the output's triangles first name them:
// those named first by the triangles cut from one triangle or closure of
// `before` (whose closure codes are given) come after those of every
// earlier one. A triangle with an old vertex is cut from the group its
// origin lies in; one of new points alone, from the group before it.
void expectPointsInOrder(const IndexedMesh& before, const BigArray<uint8_t>& closures, const IndexedMesh& after,
                         const BigArray<CornerOrigin>& origins) {
  std::vector<uint32_t> groupOf(before.triangleCount());
  for (std::size_t t = 0; t < groupOf.size(); ++t)
    groupOf[t] = groupSize(closures, t) == 0 ? groupOf[t - 1] : static_cast<uint32_t>(t);
  const uint32_t oldCount = static_cast<uint32_t>(before.vertexCount());
  std::vector<uint32_t> firstGroup(after.vertexCount() - oldCount, UINT32_MAX);
  uint32_t group = 0;
  for (std::size_t t = 0; t < after.triangleCount(); ++t) {
    for (int k = 0; k < 3; ++k) {
      const CornerOrigin o = origins[3 * t + k];
      if (o.a == o.b) {
        EXPECT_GE(groupOf[o.a / 3], group) << "triangle " << t << " out of its group's order";
        group = groupOf[o.a / 3];
        break;
      }
    }
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = after.corners[3 * t + k];
      if (v >= oldCount && firstGroup[v - oldCount] == UINT32_MAX) firstGroup[v - oldCount] = group;
    }
  }
  for (std::size_t i = 1; i < firstGroup.size(); ++i)
    EXPECT_LE(firstGroup[i - 1], firstGroup[i]) << "new point " << oldCount + i << " numbered out of order";
}

// One pass from `before` to `after`, checked against what the uniform pass
// makes of `before`: each corner stands at the old vertex or the uniform
// point its origin names, no pair that got a point is still a side, the
// flags are those a classification gives, and the plan's sizes hold.
void checkPass(const IndexedMesh& before, const IndexedMesh& after, const BigArray<CornerOrigin>& origins,
               const IndexedRule& rule, const IndexedPassSize& planned) {
  ASSERT_EQ(origins.size(), after.corners.size());
  const std::map<Pair, FloatPoint> uniform = uniformPoints(before, rule);
  std::set<Pair> splitPairs;
  for (std::size_t corner = 0; corner < after.corners.size(); ++corner) {
    const CornerOrigin o = origins[corner];
    ASSERT_LT(o.a, before.corners.size());
    ASSERT_LT(o.b, before.corners.size());
    const uint32_t a = before.corners[o.a], b = before.corners[o.b];
    const uint32_t v = after.corners[corner];
    if (a == b) {
      EXPECT_EQ(v, a) << "corner " << corner;
      continue;
    }
    EXPECT_GE(v, before.vertexCount()) << "corner " << corner << " is an old vertex, not a new point";
    const auto found = uniform.find(pairOf(a, b));
    ASSERT_NE(found, uniform.end()) << "corner " << corner << ": " << a << " " << b << " is no side";
    EXPECT_TRUE(sameBits(after.positions[v], found->second)) << "corner " << corner;
    splitPairs.insert(pairOf(a, b));
  }
  for (std::size_t s = 0; s < after.corners.size(); ++s)
    EXPECT_EQ(splitPairs.count(pairOf(after.corners[s], sideEnd(after, s))), 0u) << "T-junction at side " << s;
  for (uint32_t v = 0; v < before.vertexCount(); ++v) EXPECT_TRUE(sameBits(after.positions[v], before.positions[v]));
  std::set<uint32_t> named(after.corners.begin(), after.corners.end());
  EXPECT_EQ(named.size(), after.vertexCount()) << "a new point no triangle names";
  IndexedMesh classified = after;
  classifySides(classified);
  EXPECT_TRUE(std::equal(after.flags.begin(), after.flags.end(), classified.flags.begin()));
  EXPECT_LE(after.triangleCount(), planned.triangles);
  EXPECT_LE(after.vertexCount(), planned.vertices);
}

double wavyLift(int i, int j) { return 0.3 * std::sin(i * 0.9) * std::cos(j * 0.7); }

// Triangles crowd towards one pole: polar angle theta becomes theta^2 / pi.
TestMesh crowdedSphere() {
  TestMesh mesh = icosphere(2);
  for (auto& p : mesh.positions) {
    const double theta = std::acos(std::clamp(double(p[2]), -1.0, 1.0));
    const double phi = std::atan2(p[1], p[0]);
    const double bent = theta * theta / kPi;
    p = {float(std::sin(bent) * std::cos(phi)), float(std::sin(bent) * std::sin(phi)), float(std::cos(bent))};
  }
  return mesh;
}

TestMesh stretchedTorus() {
  TestMesh mesh = torus(12, 8);
  for (auto& p : mesh.positions) p[0] *= 2.5f;
  return mesh;
}

// A double cone over a ring of 40: its tips are hubs of 40 sides (more
// than a stencil index groups without a table) whose long sides are split
// while the short ring stays.
TestMesh spindle() {
  TestMesh mesh;
  const int ring = 40;
  for (int i = 0; i < ring; ++i) {
    const double angle = 2 * kPi * i / ring;
    mesh.positions.push_back({float(std::cos(angle)), float(std::sin(angle)), 0});
  }
  mesh.positions.push_back({0, 0, 1.5f});
  mesh.positions.push_back({0, 0, -1});
  for (int i = 0; i < ring; ++i) {
    const int a = i + 1, b = (i + 1) % ring + 1;
    mesh.triangles.push_back({a, b, ring + 1});
    mesh.triangles.push_back({b, a, ring + 2});
  }
  return mesh;
}

// Columns widen from left to right, so cells run from narrow to wide.
TestMesh unevenSheet() {
  TestMesh mesh = sheet(10, 6, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, wavyLift});
  for (auto& p : mesh.positions) p[0] = p[0] * p[0] / 4;
  return mesh;
}

struct LengthCase {
  const char* name;
  TestMesh (*make)();
  bool closed;
  double fraction;  // of the bounding-box diagonal
  bool modified;
  // Made of needles, whose butterfly points move sideways: the share of
  // uniform passes' angles is printed but not held to half (see
  // docs/meshsubdivide.md).
  bool needles = false;
};

const LengthCase kCases[] = {
    {"CrowdedSphereClassic", crowdedSphere, true, 0.05, false},
    {"CrowdedSphereModified", crowdedSphere, true, 0.05, true},
    {"StretchedTorusClassic", stretchedTorus, true, 0.04, false},
    {"StretchedTorusModified", stretchedTorus, true, 0.04, true},
    {"UnevenSheetClassic", unevenSheet, false, 0.04, false},
    {"UnevenSheetModified", unevenSheet, false, 0.04, true},
    {"SpindleClassic", spindle, true, 0.1, false, true},
    {"SpindleModified", spindle, true, 0.1, true, true},
    {"OctahedronModified", octahedron, true, 0.3, true},
};

void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.name; }

IndexedRule ruleOf(const LengthCase& c) { return {c.modified, 0.05}; }

class ToLength : public testing::TestWithParam<LengthCase> {};

TEST_P(ToLength, EveryPassKeepsTheSurfaceWholeAndEndsWithNoLongSide) {
  const LengthCase& c = GetParam();
  IndexedMesh mesh = indexedOf(c.make());
  const double limit = c.fraction * diagonal(mesh);
  const long euler = c.closed ? closedEuler(mesh) : 0;
  BigArray<uint8_t> closures;
  int passes = 0;
  for (; passes < 8; ++passes) {
    AdaptivePlan plan;
    planAdaptivePass(mesh, closures, limit, plan);
    if (nothingToSplit(plan)) break;
    const IndexedMesh before = mesh;
    const BigArray<uint8_t> closuresBefore = closures;
    BigArray<CornerOrigin> origins;
    subdivideAdaptive(mesh, closures, plan, ruleOf(c), &origins);
    SCOPED_TRACE("pass " + std::to_string(passes + 1));
    checkPass(before, mesh, origins, ruleOf(c), plan.size);
    expectPointsInOrder(before, closuresBefore, mesh, origins);
    if (c.closed) {
      EXPECT_EQ(closedEuler(mesh), euler);
    }
    ASSERT_FALSE(testing::Test::HasFailure());
  }
  EXPECT_LT(passes, 8) << "no end to the passes";
  EXPECT_LE(longestSide(mesh), limit);

  // Uniform passes to the same longest side, and their smallest angles.
  IndexedMesh uniform = indexedOf(c.make());
  int uniformPasses = 0;
  while (longestSide(uniform) > limit && uniformPasses < passes) {
    subdivideIndexed(uniform, ruleOf(c));
    ++uniformPasses;
  }
  const double ours = lowPercentileAngle(mesh), theirs = lowPercentileAngle(uniform);
  std::printf("%s: %d passes, %zu triangles, 1st-percentile angle %.2f deg; uniform %d passes, %zu triangles, %.2f deg;"
              " share %.2f\n",
              c.name, passes, mesh.triangleCount(), ours, uniformPasses, uniform.triangleCount(), theirs, ours / theirs);
  if (!c.needles) {
    EXPECT_GE(ours, 0.5 * theirs);
  }
}

TEST_P(ToLength, SplittingEverySideIsTheUniformPass) {
  const LengthCase& c = GetParam();
  const IndexedMesh start = indexedOf(c.make());
  for (const double limit : {0.0, 0.5 * shortestSide(start)}) {
    IndexedMesh mesh = start, uniform = start;
    BigArray<uint8_t> closures;
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_TRUE(subdivideToLength(mesh, closures, limit, ruleOf(c)));
      subdivideIndexed(uniform, ruleOf(c));
      EXPECT_TRUE(closures.empty());
      // Halving the sides, the second pass still splits every side only at 0.
      if (limit > 0) break;
    }
    expectSameMesh(mesh, uniform);
  }
}

INSTANTIATE_TEST_SUITE_P(Meshes, ToLength, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

using Corners = std::vector<std::vector<uint32_t>>;

// Each triangle as the bits of its corners, rotated to start at its least.
std::multiset<Corners> trianglesByPosition(const IndexedMesh& mesh) {
  std::multiset<Corners> triangles;
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    Corners corners;
    for (int k = 0; k < 3; ++k) {
      const FloatPoint& p = mesh.positions[mesh.corners[3 * t + k]];
      corners.push_back(bitsOf(BigArray<FloatPoint>{p}));
    }
    std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
    triangles.insert(corners);
  }
  return triangles;
}

// The unit square in two triangles: a length between its side and its
// diagonal splits the diagonal alone, into two green closures; a shorter
// one takes them back and splits both triangles red, with the diagonal's
// point they have, which is the uniform pass's split of the square.
TEST(ToLengthEdges, ClosuresTakenBackAndSplitRedAreTheUniformSplit) {
  TestMesh square{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 3, 4}}};
  IndexedMesh mesh = indexedOf(square), uniform = mesh;
  BigArray<uint8_t> closures;
  ASSERT_TRUE(subdivideToLength(mesh, closures, 1.2, {false, 0.05}));
  EXPECT_EQ(mesh.triangleCount(), 4u);
  EXPECT_EQ(mesh.vertexCount(), 5u);
  EXPECT_EQ(std::count(closures.begin(), closures.end(), kInClosure), 2);
  ASSERT_TRUE(subdivideToLength(mesh, closures, 0.9, {false, 0.05}));
  subdivideIndexed(uniform, {false, 0.05});
  EXPECT_EQ(trianglesByPosition(mesh), trianglesByPosition(uniform));
  EXPECT_EQ(std::count(closures.begin(), closures.end(), kOwnTriangle), 8);
  EXPECT_FALSE(subdivideToLength(mesh, closures, 0.9, {false, 0.05}));
}

// The spindle with its tips numbered first: the long sides at a tip are
// paired from the tip, a group large enough to be sorted.
TestMesh spindleTipsFirst() {
  TestMesh mesh = spindle();
  const int count = static_cast<int>(mesh.positions.size());
  std::rotate(mesh.positions.begin(), mesh.positions.end() - 2, mesh.positions.end());
  for (auto& t : mesh.triangles)
    for (int& id : t) id = id > count - 2 ? id - (count - 2) : id + 2;
  return mesh;
}

// Copies of a mesh on one spot, each with vertices of its own, enough of
// them that the pass marks, pairs, numbers and writes in pieces on every
// core, with closures cut across the pieces' bounds in the second pass:
// every copy comes out as the mesh alone does, its new points where the
// copies before it leave off.
TEST(ToLengthEdges, CopiesOfAMeshAreEachSplitAsTheMeshAlone) {
  constexpr uint32_t kCopies = 450;  // 54,000 triangles and 34,650 vertices of the sheet
  const struct {
    TestMesh (*make)();
    double fraction;
    bool modified;
  } meshes[] = {{unevenSheet, 0.04, false}, {unevenSheet, 0.04, true}, {spindleTipsFirst, 0.1, false}};
  for (const auto& [make, fraction, modified] : meshes) {
    SCOPED_TRACE(std::string(make == unevenSheet ? "sheet" : "spindle") + (modified ? ", modified" : ", classic"));
    IndexedMesh alone = indexedOf(make()), copies;
    const uint32_t firstCount = static_cast<uint32_t>(alone.vertexCount());
    // vertexOf[c * alone's vertex count + v]: where copy c holds vertex v.
    std::vector<uint32_t> vertexOf;
    for (uint32_t c = 0; c < kCopies; ++c) {
      copies.positions.insert(copies.positions.end(), alone.positions.begin(), alone.positions.end());
      for (const uint32_t v : alone.corners) copies.corners.push_back(c * firstCount + v);
      copies.flags.insert(copies.flags.end(), alone.flags.begin(), alone.flags.end());
      for (uint32_t v = 0; v < firstCount; ++v) vertexOf.push_back(c * firstCount + v);
    }
    const double limit = fraction * diagonal(alone);
    BigArray<uint8_t> aloneClosures, copiesClosures;
    for (int pass = 1; pass <= 2; ++pass) {
      SCOPED_TRACE("pass " + std::to_string(pass));
      const uint32_t oldAlone = static_cast<uint32_t>(alone.vertexCount());
      const uint32_t oldCopies = static_cast<uint32_t>(copies.vertexCount());
      ASSERT_TRUE(subdivideToLength(alone, aloneClosures, limit, {modified, 0.05}));
      ASSERT_TRUE(subdivideToLength(copies, copiesClosures, limit, {modified, 0.05}));
      const uint32_t count = static_cast<uint32_t>(alone.vertexCount()), added = count - oldAlone;
      ASSERT_EQ(copies.vertexCount(), std::size_t(kCopies) * count);
      ASSERT_EQ(copies.triangleCount(), kCopies * alone.triangleCount());
      ASSERT_EQ(copiesClosures.size(), copies.triangleCount());
      if (pass == 1) {
        EXPECT_GT(std::count(aloneClosures.begin(), aloneClosures.end(), kInClosure), 0) << "nothing to take back";
      }
      std::vector<uint32_t> next;
      for (uint32_t c = 0; c < kCopies; ++c) {
        for (uint32_t v = 0; v < count; ++v)
          next.push_back(v < oldAlone ? vertexOf[c * oldAlone + v] : oldCopies + c * added + (v - oldAlone));
      }
      vertexOf = next;
      std::size_t wrong = 0;
      for (uint32_t c = 0; c < kCopies; ++c) {
        const std::size_t at = std::size_t(c) * alone.corners.size();
        for (std::size_t corner = 0; corner < alone.corners.size(); ++corner) {
          wrong += copies.corners[at + corner] != vertexOf[c * count + alone.corners[corner]];
          wrong += copies.flags[at + corner] != alone.flags[corner];
        }
        for (std::size_t t = 0; t < alone.triangleCount(); ++t)
          wrong += copiesClosures[at / 3 + t] != aloneClosures[t];
        for (uint32_t v = 0; v < count; ++v)
          wrong += !sameBits(copies.positions[vertexOf[c * count + v]], alone.positions[v]);
      }
      EXPECT_EQ(wrong, 0u);
    }
  }
}

// A mesh whose sides are all shorter than the length is left alone.
TEST(ToLengthEdges, NothingLongerLeavesTheMesh) {
  IndexedMesh mesh = indexedOf(octahedron());
  const IndexedMesh start = mesh;
  BigArray<uint8_t> closures;
  EXPECT_FALSE(subdivideToLength(mesh, closures, 2 * longestSide(mesh), {false, 0.05}));
  expectSameMesh(mesh, start);
}

}  // namespace
