// Ordered fans: which groups are closed fans, their order around the vertex,
// and the lookups of the index answering as they did in side order.
#include <gtest/gtest.h>

#include <utility>

#include "fan_order.h"
#include "rule_reference.h"

namespace {

StencilIndex indexOf(const IndexedMesh& mesh, bool orderFans) {
  StencilIndex index;
  index.positions = mesh.positions;
  index.corners = mesh.corners;
  index.flags = mesh.flags;
  buildStencilIndexOfArrays(index, orderFans);
  return index;
}

// A disc of n with one triangle left out: its centre's sides form no cycle.
TestMesh openFan(int n) {
  TestMesh mesh = disc(n);
  mesh.triangles.pop_back();
  return mesh;
}

std::vector<uint8_t> marks(std::size_t vertices, uint8_t mark, uint8_t lastMark) {
  std::vector<uint8_t> result(vertices, mark);
  result.back() = lastMark;
  return result;
}

}  // namespace

TEST(FanOrder, ClosedFansInOrderOthersInSideOrderLookupsUnchanged) {
  // Groups of more than kCrowdedGroup sides are hashed: the apexes of the
  // bipyramid and the centres of the disc and the open fan of 40.
  const std::pair<IndexedMesh, std::vector<uint8_t>> cases[] = {
      {indexedOf(bipyramid(40)), marks(42, 1, 1)}, {indexedOf(bipyramid(5)), marks(7, 1, 1)},
      {indexedOf(disc(40)), marks(41, 0, 1)},      {indexedOf(disc(6)), marks(7, 0, 1)},
      {indexedOf(openFan(40)), marks(41, 0, 0)},   {indexedOf(openFan(6)), marks(7, 0, 0)}};
  for (const auto& tested : cases) {
    const IndexedMesh& mesh = tested.first;
    const StencilIndex sideOrder = indexOf(mesh, false);
    const StencilIndex ordered = indexOf(mesh, true);
    const FarCorners far = farCorners(mesh);
    EXPECT_EQ(std::vector<uint8_t>(ordered.closedFans.begin(), ordered.closedFans.end()), tested.second);
    for (uint32_t v = 0; v < mesh.vertexCount(); ++v) {
      const SidesByStart& group = ordered.byRecords;
      const uint32_t begin = group.first[v], size = group.first[v + 1] - begin;
      if (ordered.closedFans[v]) {
        // The first side stays first; each far corner is the next end.
        EXPECT_EQ(group.entries[begin].side, sideOrder.byRecords.entries[begin].side);
        for (uint32_t j = 0; j < size; ++j) {
          EXPECT_EQ(group.entries[begin + j].far, fanNeighbour(group, v, j + 1));
          EXPECT_EQ(placeInFan(group, v, group.entries[begin + j].end), j);
        }
      } else {
        for (uint32_t j = 0; j < size; ++j)
          EXPECT_EQ(group.entries[begin + j].side, sideOrder.byRecords.entries[begin + j].side);
      }
    }
    const IndexLookup before{sideOrder}, after{ordered};
    for (const auto& side : far) {
      uint32_t cornerBefore = kNoSide, cornerAfter = kNoSide;
      EXPECT_EQ(before.corner(side.first.first, side.first.second, cornerBefore),
                after.corner(side.first.first, side.first.second, cornerAfter));
      EXPECT_EQ(cornerAfter, side.second);
      EXPECT_EQ(after.firstSideFromTo(side.first.first, side.first.second),
                before.firstSideFromTo(side.first.first, side.first.second));
    }
  }
}
