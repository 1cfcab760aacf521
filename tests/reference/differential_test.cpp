// The indexed production pass against the scanning reference pass: the same
// input is loaded for each, both run the same number of passes, and after
// every pass the vertices must agree to the bit and the edge and face
// listings byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "generated_meshes.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "reference_pass.h"
#include "subdivision.h"
#include "view.h"

namespace {

struct Listings {
  std::string vertices, edges, faces;
};

// IEEE 754 leaves the sign of a NaN that arithmetic produces open, and the
// compiler may order the operands of an addition either way in the production
// and the reference stencil code; so "-nan" and "nan" count as the same
// listing text.
std::string unsignedNans(std::string text) {
  for (std::size_t at = text.find("-nan"); at != std::string::npos; at = text.find("-nan", at)) {
    text.erase(at, 1);
  }
  return text;
}

// The vertex list with every coordinate to the bit ("%a"), so that a rounding
// step out of place in a stencil shows, where the six decimals of the vertex
// listing would hide it.
std::string exactVertices() {
  std::string text;
  char line[128];
  for (const Vertex* v = vertexHead->next; v != nullptr; v = v->next) {
    std::snprintf(line, sizeof line, "%a %a %a %d\n", v->x, v->y, v->z, v->id);
    text += line;
  }
  return text;
}

// The listings after each of the passes, starting from a fresh load.
std::vector<Listings> listingsAfterPasses(const std::function<void()>& load, void (*pass)(),
                                          int passes) {
  resetStore();
  load();
  const int faces = countFaces(kCurrentGeneration);
  std::vector<Listings> listings;
  for (int p = 1; p <= passes; ++p) {
    pass();
    checkLists();
    EXPECT_EQ(countFaces(kCurrentGeneration), faces << (2 * p)) << "after pass " << p;
    listings.push_back({unsignedNans(exactVertices()),
                        unsignedNans(captureListing(printEdgeListing)),
                        unsignedNans(captureListing(printFaceListing))});
  }
  return listings;
}

// Empty when the texts agree; otherwise the first line where they differ.
std::string firstDifference(const std::string& production, const std::string& reference) {
  std::istringstream p(production), r(reference);
  std::string fromProduction, fromReference;
  for (int line = 1;; ++line) {
    const bool more = static_cast<bool>(std::getline(p, fromProduction));
    const bool moreReference = static_cast<bool>(std::getline(r, fromReference));
    if (!more && !moreReference) return "";
    if (more != moreReference || fromProduction != fromReference) {
      return "line " + std::to_string(line) + ": production '" + (more ? fromProduction : "<end>") +
             "', reference '" + (moreReference ? fromReference : "<end>") + "'";
    }
  }
}

void expectSameListings(const std::function<void()>& load, int passes) {
  const std::vector<Listings> production = listingsAfterPasses(load, subdivide, passes);
  const std::vector<Listings> reference = listingsAfterPasses(load, referenceSubdivide, passes);
  ASSERT_EQ(production.size(), reference.size());
  for (std::size_t p = 0; p < production.size(); ++p) {
    SCOPED_TRACE("after pass " + std::to_string(p + 1));
    EXPECT_EQ(firstDifference(production[p].vertices, reference[p].vertices), "")
        << "vertices to the bit";
    EXPECT_EQ(firstDifference(production[p].edges, reference[p].edges), "") << "edge listing";
    EXPECT_EQ(firstDifference(production[p].faces, reference[p].faces), "") << "face listing";
  }
}

std::string nameOf(const testing::TestParamInfo<MeshInput>& info) { return info.param.name; }

}  // namespace

class DataModelDifferentialTest : public testing::TestWithParam<std::string> {};

TEST_P(DataModelDifferentialTest, ListingsAgreeOverThreePasses) {
  const std::string path = dataPath(GetParam() + ".obj");
  expectSameListings([&] { loadMesh(path.c_str()); }, 3);
}

INSTANTIATE_TEST_SUITE_P(Data, DataModelDifferentialTest,
                         testing::Values("Cube", "SmallCube", "table"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

class DifferentialTest : public testing::TestWithParam<MeshInput> {};

TEST_P(DifferentialTest, ListingsAgreeAfterEveryPass) {
  expectSameListings([] { loadText(GetParam().obj); }, GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(Shapes, DifferentialTest, testing::ValuesIn(shapeInputs()), nameOf);
INSTANTIATE_TEST_SUITE_P(Soups, DifferentialTest, testing::ValuesIn(soupInputs()), nameOf);
INSTANTIATE_TEST_SUITE_P(NonFinite, DifferentialTest, testing::ValuesIn(nonFiniteSoupInputs()),
                         nameOf);
INSTANTIATE_TEST_SUITE_P(Welds, DifferentialTest, testing::ValuesIn(weldSoupInputs()), nameOf);

// The comparison must be able to tell: a listing that differs in one digit is
// reported at its line.
TEST(Differential, FirstDifferenceNamesTheLine) {
  EXPECT_EQ(firstDifference("a\nb\n", "a\nb\n"), "");
  EXPECT_EQ(firstDifference("a\nb\nc\n", "a\nx\nc\n"), "line 2: production 'b', reference 'x'");
  EXPECT_EQ(firstDifference("a\n", "a\nb\n"), "line 2: production '<end>', reference 'b'");
}
