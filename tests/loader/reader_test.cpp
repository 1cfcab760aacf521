// Reading well-formed mesh files: counts, numbering, the links between faces
// and edges, the tokens that are skipped, and files that cannot be opened.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "loader.h"
#include "mesh_fixtures.h"
#include "reader_checks.h"
#include "view.h"

namespace {

TEST(Reader, CubeLoadsClosedAndNumbered) {
  resetStore();
  loadMesh(dataPath("Cube.obj").c_str());
  EXPECT_EQ(countVertices(), 8);
  EXPECT_EQ(countEdges(kCurrentGeneration), 36);
  EXPECT_EQ(countFaces(kCurrentGeneration), 12);
  EXPECT_EQ(countEdges(kNextGeneration) + countFaces(kNextGeneration), 0);
  for (const Edge* e : edgeRecords(kCurrentGeneration)) EXPECT_EQ(e->flag, kFlagInterior);
  expectVertexIdsInFileOrder();
  expectFacesOwnTheirEdges();
  checkLists();
  const Vertex* last = vertexRecords().back();
  EXPECT_EQ(last->x, 1.0f);
  EXPECT_EQ(last->y, 1.0f);
  EXPECT_EQ(last->z, 1.0f);
  const Face* first = faceRecords(kCurrentGeneration).front();
  EXPECT_EQ(first->v[0]->id, 1);
  EXPECT_EQ(first->v[1]->id, 4);
  EXPECT_EQ(first->v[2]->id, 3);
}

TEST(Reader, OtherStatementsAreSkippedWithTheirNumbers) {
  resetStore();
  loadText(
      "# two triangles with the usual extras\n"
      "mtllib scene.mtl\no quad\ng side\nusemtl grey\ns 1\n"
      "v 0.5 -1 2\nvn 0 0 1\nvt 0.25 0.75\nvp 1 2 3\nv 3 0.25 -0.75\n"
      "v 1.5 2.5 0\nv -2 1 4.5\ns off\nf 1 2 3\nl 1 2\nf 1 3 4\n");
  EXPECT_EQ(countVertices(), 4);
  EXPECT_EQ(countFaces(kCurrentGeneration), 2);
  const std::vector<Vertex*> v = vertexRecords();
  EXPECT_EQ(v[1]->x, 3.0f);
  EXPECT_EQ(v[1]->y, 0.25f);
  EXPECT_EQ(v[1]->z, -0.75f);
  expectVertexIdsInFileOrder();
  expectFacesOwnTheirEdges();
  checkLists();
}

TEST(Reader, LoneKeywordInACommentIsAStatement) {
  resetStore();
  loadText("# v 1 2 3\nv 4 5 6\nv 7 8 9\n# then f 3 2 1 by the way\n");
  ASSERT_EQ(countVertices(), 3);
  EXPECT_EQ(vertexRecords()[0]->z, 3.0f);
  ASSERT_EQ(countFaces(kCurrentGeneration), 1);
  EXPECT_EQ(faceRecords(kCurrentGeneration)[0]->v[0]->id, 3);
}

TEST(Reader, OnlyVerticesOrNothingAtAll) {
  resetStore();
  loadText("v 1 2 3\nv 4 5 6\n");
  EXPECT_EQ(countVertices(), 2);
  EXPECT_EQ(countEdges(kCurrentGeneration) + countFaces(kCurrentGeneration), 0);
  resetStore();
  loadText("");
  EXPECT_EQ(countVertices() + countEdges(kCurrentGeneration) + countFaces(kCurrentGeneration), 0);
  checkLists();
}

// Carriage returns are whitespace, and a Ctrl-Z byte (where Windows' text
// mode would end the file) is a token skipped like any other: the faces after
// it are read.
TEST(Reader, WindowsLineEndsAndCtrlZReadLikeUnixOnes) {
  std::string text = objText({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 3, 4}});
  resetStore();
  loadText(text);
  const std::string lf = captureListing(printVertexListing) + captureListing(printFaceListing);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.insert(crlf.find("f "), "\x1a\r\n");
  resetStore();
  loadText(crlf);
  EXPECT_EQ(captureListing(printVertexListing) + captureListing(printFaceListing), lf);
  EXPECT_EQ(countFaces(kCurrentGeneration), 2);
}

TEST(Reader, StatementsCrossingTheReadBlockJoinUp) {
  // The reader fetches 64 KiB at a time; put a statement across the seam.
  for (std::size_t seam = 65536 - 8; seam <= 65536 + 2; ++seam) {
    resetStore();
    loadText(std::string(seam, ' ') + "v 1.25 -2.5 3.75\n");
    ASSERT_EQ(countVertices(), 1) << seam;
    const Vertex* v = vertexRecords()[0];
    EXPECT_EQ(v->x, 1.25f) << seam;
    EXPECT_EQ(v->y, -2.5f) << seam;
    EXPECT_EQ(v->z, 3.75f) << seam;
  }
  // A token of 127 characters is kept and one of 128 skipped whole, wherever
  // the seam cuts them: a cut one would leave a piece of it, a lone "v" or a
  // shorter number, to be read on its own.
  const std::string kept = "1." + std::string(125, '0');
  const std::string skipped(128, 'v');
  for (std::size_t start = 65536 - 260; start <= 65536; ++start) {
    resetStore();
    loadText(std::string(start, ' ') + "v " + kept + " " + skipped + " 2 3\n");
    ASSERT_EQ(countVertices(), 1) << start;
    const Vertex* v = vertexRecords()[0];
    EXPECT_EQ(v->x, 1.0f) << start;
    EXPECT_EQ(v->y, 2.0f) << start;
    EXPECT_EQ(v->z, 3.0f) << start;
  }
}

using ReaderDeathTest = ::testing::Test;

TEST_F(ReaderDeathTest, UnopenableFileEndsWithStatusOneSilently) {
  resetStore();
  EXPECT_EXIT(loadMesh(dataPath("no-such-model.obj").c_str()), ::testing::ExitedWithCode(1), "^$");
  EXPECT_EXIT(loadMesh(VIEWER_DATA_DIR), ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
