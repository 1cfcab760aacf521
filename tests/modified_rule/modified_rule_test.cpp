// The modified rule's new points, side by side with the paper's weights
// worked out here, for every kind of side a closed mesh has: both ends of
// valence 6, one end irregular (3, 4, 5, 7, 40), both irregular.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "rule_reference.h"

namespace {

using Kind = std::pair<std::size_t, std::size_t>;  // the ends' valences, smaller first

IndexedMesh classicPasses(IndexedMesh mesh, int passes) {
  for (int pass = 0; pass < passes; ++pass) subdivideIndexed(mesh, 0.0625);
  return mesh;
}

IndexedMesh modifiedPass(IndexedMesh mesh) {
  subdivideIndexed(mesh, IndexedRule{true, 0.0});
  return mesh;
}

// Every new point of one modified pass against the rule's, within two float
// steps at the coordinates' scale (the sums run in another order here);
// returns the kinds of sides met. Every stride-th triangle's sides.
std::set<Kind> expectRulePoints(const IndexedMesh& before, std::size_t stride = 1) {
  const IndexedMesh after = modifiedPass(before);
  const FarCorners far = farCorners(before);
  const double tolerance = std::ldexp(coordinateScale(before), -22);
  std::set<Kind> kinds;
  for (std::size_t t = 0; t < before.triangleCount(); t += stride) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = before.corners[3 * t + k], b = before.corners[3 * t + (k + 1) % 3];
      const Vec3 expected = rulePoint(before, far, a, b);
      const Vec3 got = positionOf(after, newVertexOf(after, t, k));
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], expected[c], tolerance) << "side " << a << "-" << b;
      kinds.insert(std::minmax(ringAround(far, a, b).size(), ringAround(far, b, a).size()));
    }
  }
  return kinds;
}

void expectPointNear(const Vec3& got, const Vec3& expected) {
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], expected[c], 1e-6);
}

}  // namespace

// Uniform solids: each side's point is the mean of both ends' stencils.
// Tetrahedron: 3/4 a + 5/12 b - 1/12 (c + d), with a + b + c + d = 0, is
// 5/6 a + 1/2 b, so the point is 2/3 (a + b). Octahedron: 3/4 a + 3/8 b -
// 1/8 (-b) is 3/4 a + 1/2 b, so the point is 5/8 (a + b).
TEST(ModifiedRuleBothEndsIrregular, UniformSolidsTakeTheMeanOfBothStencils) {
  const IndexedMesh tetrahedron = indexedOf(::tetrahedron());
  const IndexedMesh finerTetrahedron = modifiedPass(tetrahedron);
  expectPointNear(positionOf(finerTetrahedron, newVertexOf(finerTetrahedron, 0, 0)), {4.0 / 3, 0, 0});

  const IndexedMesh octahedron = indexedOf(::octahedron());
  const IndexedMesh finerOctahedron = modifiedPass(octahedron);
  // Triangle 0 runs (1, 0, 0) -> (0, 1, 0) first.
  expectPointNear(positionOf(finerOctahedron, newVertexOf(finerOctahedron, 0, 0)), {5.0 / 8, 5.0 / 8, 0});

  EXPECT_EQ(expectRulePoints(tetrahedron), (std::set<Kind>{{3, 3}}));
  EXPECT_EQ(expectRulePoints(octahedron), (std::set<Kind>{{4, 4}}));
  EXPECT_EQ(expectRulePoints(indexedOf(icosphere(0))), (std::set<Kind>{{5, 5}}));
}

TEST(ModifiedRuleBothEndsIrregular, EndsOfDifferentValencesAreAveraged) {
  EXPECT_EQ(expectRulePoints(indexedOf(bipyramid(7))), (std::set<Kind>{{4, 4}, {4, 7}}));
  EXPECT_EQ(expectRulePoints(indexedOf(bipyramid(3))), (std::set<Kind>{{3, 4}, {4, 4}}));
}

// After one pass the old vertices keep their valence among new ones of six.
TEST(ModifiedRuleOneEndIrregular, TheIrregularEndsStencilAlone) {
  EXPECT_EQ(expectRulePoints(classicPasses(indexedOf(::tetrahedron()), 1)), (std::set<Kind>{{3, 6}, {6, 6}}));
  EXPECT_EQ(expectRulePoints(classicPasses(indexedOf(::octahedron()), 1)), (std::set<Kind>{{4, 6}, {6, 6}}));
  EXPECT_EQ(expectRulePoints(classicPasses(indexedOf(icosphere(0)), 1)), (std::set<Kind>{{5, 6}, {6, 6}}));
  EXPECT_EQ(expectRulePoints(classicPasses(indexedOf(bipyramid(7)), 1)), (std::set<Kind>{{4, 6}, {6, 6}, {6, 7}}));
}

// A fan of more sides than the index scans (it hashes them) and than the
// weight table holds: the order around the apex and its weights still hold.
TEST(ModifiedRuleOneEndIrregular, CrowdedFansTakeTheirOrderAndWeights) {
  EXPECT_EQ(expectRulePoints(indexedOf(bipyramid(40))), (std::set<Kind>{{4, 4}, {4, 40}}));
  EXPECT_EQ(expectRulePoints(classicPasses(indexedOf(bipyramid(40)), 1)), (std::set<Kind>{{4, 6}, {6, 6}, {6, 40}}));
}

// Where every vertex has six neighbours the rule is the eight-point stencil
// at tension 1/16, so it gives the classic pass's points bit for bit.
TEST(ModifiedRuleBothEndsRegular, TheEightPointStencilAsTheClassicPassAtOneSixteenth) {
  const IndexedMesh torus = indexedOf(::torus(9, 7));
  EXPECT_EQ(expectRulePoints(torus), (std::set<Kind>{{6, 6}}));
  const IndexedMesh modified = modifiedPass(torus);
  const IndexedMesh classic = classicPasses(torus, 1);
  ASSERT_EQ(modified.vertexCount(), classic.vertexCount());
  for (std::size_t v = 0; v < modified.vertexCount(); ++v) {
    EXPECT_EQ(modified.positions[v].x, classic.positions[v].x);
    EXPECT_EQ(modified.positions[v].y, classic.positions[v].y);
    EXPECT_EQ(modified.positions[v].z, classic.positions[v].z);
  }
}

// Enough vertices and sides that the fans are ordered and the points placed
// in pieces on every core: the pieces' seams change nothing.
TEST(ModifiedRuleLargeMeshes, PiecesOnEveryCoreGiveTheRulesPoints) {
  const IndexedMesh sphere = indexedOf(icosphere(6));
  ASSERT_GT(sphere.vertexCount(), std::size_t(1) << 15);
  EXPECT_EQ(expectRulePoints(sphere, 5), (std::set<Kind>{{5, 6}, {6, 6}}));
}
