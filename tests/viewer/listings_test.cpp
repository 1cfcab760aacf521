// The console listings, compared in full with text worked out by hand for two
// triangles, and the keys that print them.
#include <gtest/gtest.h>

#include <string>

#include "mesh_fixtures.h"
#include "redraw_counter.h"
#include "view.h"

namespace {

// Triangles 1-2-3 and 1-3-4 share the side 1-3 (records 3->1 and 1->3).
class Listings : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStore();
    loadText(objText({{0.5f, -1, 2}, {3, 0.25f, -0.75f}, {1.5f, 2.5f, 0}, {-2, 1, 4.5f}},
                     {{1, 2, 3}, {1, 3, 4}}));
  }
};

TEST_F(Listings, VertexListingGivesPositionAndId) {
  EXPECT_EQ(captureListing(printVertexListing),
            "0.500000 -1.000000 2.000000 1\n"
            "3.000000 0.250000 -0.750000 2\n"
            "1.500000 2.500000 0.000000 3\n"
            "-2.000000 1.000000 4.500000 4\n");
}

TEST_F(Listings, EdgeListingGivesBothEndsWithTheFlag) {
  EXPECT_EQ(captureListing(printEdgeListing),
            "0.500000 -1.000000 2.000000 1\n3.000000 0.250000 -0.750000 1\n"
            "3.000000 0.250000 -0.750000 1\n1.500000 2.500000 0.000000 1\n"
            "1.500000 2.500000 0.000000 0\n0.500000 -1.000000 2.000000 0\n"
            "0.500000 -1.000000 2.000000 0\n1.500000 2.500000 0.000000 0\n"
            "1.500000 2.500000 0.000000 1\n-2.000000 1.000000 4.500000 1\n"
            "-2.000000 1.000000 4.500000 1\n0.500000 -1.000000 2.000000 1\n");
}

TEST_F(Listings, FaceListingOpensWithoutZ) {
  EXPECT_EQ(captureListing(printFaceListing),
            "0.500000 -1.000000 1\n"
            "3.000000 0.250000 -0.750000 1\n"
            "1.500000 2.500000 0.000000 0\n"
            "0.500000 -1.000000 0\n"
            "1.500000 2.500000 0.000000 1\n"
            "-2.000000 1.000000 4.500000 1\n");
}

// Other programs read the listings, so coordinates that are not numbers are
// spelled as glibc spells them on every system, the sign of a not-a-number
// included, and finite extremes keep all their digits.
TEST(ListingsOfExtremes, InfinitiesAndNotANumbersKeepGlibcSpelling) {
  resetStore();
  loadText("v inf -inf nan\nv -nan 3.4028235e38 -0\nv 1e-45 -1.5 0.1\nf 1 2 3\n");
  EXPECT_EQ(captureListing(printVertexListing),
            "inf -inf nan 1\n"
            "-nan 340282346638528859811704183484516925440.000000 -0.000000 2\n"
            "0.000000 -1.500000 0.100000 3\n");
  EXPECT_EQ(captureListing(printFaceListing).substr(0, 9), "inf -inf ");
}

TEST_F(Listings, KeysPrintTheListingsOnStandardOutput) {
  const std::pair<char, void (*)(std::FILE*)> keys[] = {
      {'v', printVertexListing}, {'e', printEdgeListing}, {'f', printFaceListing}};
  for (const auto& [key, print] : keys) {
    SCOPED_TRACE(key);
    redrawRequests = 0;
    ::testing::internal::CaptureStdout();
    keyboard(static_cast<unsigned char>(key), 0, 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), captureListing(print));
    EXPECT_EQ(redrawRequests, 1);
  }
}

}  // namespace
