// The subdivider's reader on what modelling tools write: CR LF ends,
// comments, continued lines, polygons, texture and normal indices, relative
// indices, and statements it must skip.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mesh.h"
#include "obj_reading.h"

namespace {

MeshContent parsed(const std::string& text) {
  MeshContent content;
  parseObjText(text.data(), text.size(), content);
  return content;
}

std::vector<uint32_t> triangles(const MeshContent& content) {
  return std::vector<uint32_t>(content.triangles.begin(), content.triangles.end());
}

TEST(ObjReading, StatementsAsToolsWriteThem) {
  const std::string text =
      "# exported\r\n"
      "mtllib scene.mtl\r\n"
      "o thing\r\n"
      "v 0 0 0\r\n"
      "vt 0.5 0.5\r\n"
      "v 1 0 0 1.0\r\n"        // a weight after x y z
      "vn 0 0 1\r\n"
      "v 1 1 0 # a comment after it\r\n"
      "v 0 1 \\\r\n"           // continued on the next line
      "  0\r\n"
      "usemtl grey\r\n"
      "s off\r\n"
      "f 1/1/1 2/1/1 3/1/1 4/1/1\r\n"  // a quad: fanned from its first corner
      "f -4//1 -2//1 -1//1\r\n"        // relative: vertices 1, 3, 4
      "f 1 2\r\n"                      // too few corners
      "f 1 2 9\r\n"                    // a vertex not read
      "f 1 2 0\r\n"                    // 0 names no vertex
      "#f 1 2 3\r\n"
      "v 2 0 0\r\n"
      "f 5 2 +3";  // no line end at the end of the file
  const MeshContent content = parsed(text);
  ASSERT_EQ(content.positions.size(), 5u);
  EXPECT_EQ(content.positions[3].x, 0.0f);
  EXPECT_EQ(content.positions[3].y, 1.0f);
  EXPECT_EQ(content.positions[3].z, 0.0f);
  EXPECT_EQ(triangles(content), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 2, 3, 4, 1, 2}));
}

TEST(ObjReading, AVertexThatDoesNotParseKeepsItsNumberButNoTriangleUsesIt) {
  const MeshContent content = parsed("v 0 0 0\nv 1 zero 0\nv 1 1\nv 0 1 0\nv 1 1 1\nf 1 2 4\nf 1 4 5 3\nf 1 4 5\n");
  ASSERT_EQ(content.positions.size(), 5u);
  EXPECT_EQ(content.usable[1] + content.usable[2], 0);
  // The quad's second triangle names vertex 3, which has two numbers only.
  EXPECT_EQ(triangles(content), (std::vector<uint32_t>{0, 3, 4, 0, 3, 4}));
}

TEST(ObjReading, NumbersBeyondAFloatAndNonFiniteWords) {
  const MeshContent content = parsed("v 1e39 -1e39 1e-50\nv +inf -Infinity NaN\nv +1.5 .5 5.\nv 1e 0x1 1\n");
  ASSERT_EQ(content.positions.size(), 4u);
  EXPECT_EQ(content.positions[0].x, HUGE_VALF);
  EXPECT_EQ(content.positions[0].y, -HUGE_VALF);
  EXPECT_EQ(content.positions[0].z, 0.0f);
  EXPECT_EQ(content.positions[1].x, HUGE_VALF);
  EXPECT_EQ(content.positions[1].y, -HUGE_VALF);
  EXPECT_TRUE(std::isnan(content.positions[1].z));
  EXPECT_EQ(content.positions[2].x, 1.5f);
  EXPECT_EQ(content.positions[2].y, 0.5f);
  EXPECT_EQ(content.positions[2].z, 5.0f);
  EXPECT_EQ(content.usable[0] + content.usable[1] + content.usable[2], 3);
  EXPECT_EQ(content.usable[3], 0);
}

TEST(ObjReading, WeldingTakesCoincidentVerticesForOneAndLeavesUnusableOnesOut) {
  // Vertex 4 repeats vertex 2 to within the weld tolerance; vertex 3 cannot
  // be used; vertex 6 is far.
  const MeshContent content = parsed("v 0 0 0\nv 1 0 0\nv x y z\nv 1.000001 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 5\nf 4 6 5\n");
  IndexedMesh mesh;
  weldedMesh(content, mesh);
  ASSERT_EQ(mesh.vertexCount(), 4u);
  EXPECT_EQ(mesh.positions[1].x, 1.0f);
  EXPECT_EQ(mesh.positions[3].x, 5.0f);
  EXPECT_EQ(std::vector<uint32_t>(mesh.corners.begin(), mesh.corners.end()),
            (std::vector<uint32_t>{0, 1, 2, 1, 3, 2}));
  // The side 2 -> 5 of the first triangle and 4 -> 5 of the second are now
  // one pair; the other sides lie on the rim.
  EXPECT_EQ(std::vector<uint8_t>(mesh.flags.begin(), mesh.flags.end()),
            (std::vector<uint8_t>{kFlagBoundary, kFlagInterior, kFlagBoundary, kFlagBoundary, kFlagBoundary,
                                  kFlagInterior}));
}

// Values by number as vertices are: relative, missing and out of range;
// colours on some vertices only; triangles before the first name in a
// group of no names.
TEST(ObjReading, ValuesColoursAndGroups) {
  const MeshContent content = parsed(
      "v 0 0 0 1 0.5 0\nv 1 0 0\nv 1 1 0 0 0 1\nv 0 1 0\n"
      "vt 0 0\nvt 1 0\nvn 0 0 1\n"
      "f 1/1/1 2/-1 3//1\n"     // a relative texture number; a corner with no normal
      "mtllib a.mtl  b.mtl\n"
      "g walls\ns 1\nusemtl brick\n"
      "f 1/3 3/1/2 4/2/-1\n");  // texture 3 and normal 2 name nothing
  ASSERT_EQ(content.triangles.size(), 6u);
  const MeshAttributes& attributes = content.attributes;
  EXPECT_EQ(std::vector<uint32_t>(attributes.uv.ofCorner.begin(), attributes.uv.ofCorner.end()),
            (std::vector<uint32_t>{0, 1, kNoValue, kNoValue, 0, 1}));
  EXPECT_EQ(std::vector<uint32_t>(attributes.normals.ofCorner.begin(), attributes.normals.ofCorner.end()),
            (std::vector<uint32_t>{0, kNoValue, 0, kNoValue, kNoValue, 0}));
  EXPECT_EQ(content.cornersBereft, 1u);  // one face, two corners
  EXPECT_EQ(attributes.colors.width, 3u);
  EXPECT_EQ(std::vector<uint32_t>(attributes.colors.ofCorner.begin(), attributes.colors.ofCorner.end()),
            (std::vector<uint32_t>{0, kNoValue, 2, 0, 2, kNoValue}));
  EXPECT_EQ(attributes.colors.values[1], 0.5f);
  EXPECT_EQ(attributes.materialLibraries, std::vector<std::string>{"a.mtl  b.mtl"});
  ASSERT_EQ(attributes.groups.size(), 2u);
  EXPECT_EQ(attributes.groups[0].group, "");
  EXPECT_EQ(attributes.groups[1].group, "walls");
  EXPECT_EQ(attributes.groups[1].material, "brick");
  EXPECT_EQ(std::vector<uint32_t>(attributes.groupOfTriangle.begin(), attributes.groupOfTriangle.end()),
            (std::vector<uint32_t>{0, 1}));
}

}  // namespace
