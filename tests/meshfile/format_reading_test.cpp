// The readers of PLY, STL and OFF beside OBJ's: one mesh in every form gives
// one welded mesh; every scalar type of PLY; values kept per corner across
// a seam; and every kind of bad file refused with its place, never read
// past its end nor trusted for its counts.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "format_detection.h"
#include "obj_reading.h"
#include "off_reading.h"
#include "ply_reading.h"
#include "stl_reading.h"

namespace {

bool parseAs(MeshFormat format, const std::string& bytes, MeshContent& content, std::string& cause) {
  switch (format) {
    case MeshFormat::Ply: return parsePlyBytes(bytes.data(), bytes.size(), content, cause);
    case MeshFormat::Stl: return parseStlBytes(bytes.data(), bytes.size(), content, cause);
    case MeshFormat::Off: return parseOffBytes(bytes.data(), bytes.size(), content, cause);
    default: parseObjText(bytes.data(), bytes.size(), content); return true;
  }
}

using CornerBits = std::array<uint32_t, 3>;

CornerBits bitsOf(const FloatPoint& p) {
  CornerBits bits;
  std::memcpy(bits.data(), &p, sizeof p);
  return bits;
}

// The welded triangles as the bits of their corners' positions, in order.
std::vector<std::array<CornerBits, 3>> weldedTriangles(MeshContent& content, std::size_t& vertices) {
  SurfaceMesh surface;
  weldedSurface(content, surface);
  vertices = surface.mesh.vertexCount();
  std::vector<std::array<CornerBits, 3>> triangles;
  for (std::size_t t = 0; t < surface.mesh.triangleCount(); ++t)
    triangles.push_back({bitsOf(surface.mesh.positions[surface.mesh.corners[3 * t]]),
                         bitsOf(surface.mesh.positions[surface.mesh.corners[3 * t + 1]]),
                         bitsOf(surface.mesh.positions[surface.mesh.corners[3 * t + 2]])});
  return triangles;
}

struct FormCase {
  const char* name;
  MeshFormat format;
  std::string bytes;
};

TEST(FormatReading, OneMeshInEveryFormGivesOneWeldedMesh) {
  const Pyramid pyramid;
  MeshContent objContent;
  parseObjText(pyramidObj(pyramid).data(), pyramidObj(pyramid).size(), objContent);
  std::size_t objVertices = 0;
  const auto expected = weldedTriangles(objContent, objVertices);
  ASSERT_EQ(expected.size(), 6u);
  ASSERT_EQ(objVertices, 5u);
  const FormCase cases[] = {
      {"PLY ascii", MeshFormat::Ply, pyramidPlyAscii(pyramid)},
      {"PLY binary little endian", MeshFormat::Ply, pyramidPlyBinary(pyramid, false)},
      {"PLY binary big endian", MeshFormat::Ply, pyramidPlyBinary(pyramid, true)},
      {"STL ascii", MeshFormat::Stl, pyramidStlAscii(pyramid)},
      {"STL binary", MeshFormat::Stl, pyramidStlBinary(pyramid)},
      {"STL binary whose header opens with solid", MeshFormat::Stl, pyramidStlBinary(pyramid, "solid pyramid")},
      {"OFF", MeshFormat::Off, pyramidOff(pyramid)},
  };
  for (const FormCase& c : cases) {
    MeshContent content;
    std::string cause;
    ASSERT_TRUE(parseAs(c.format, c.bytes, content, cause)) << c.name << ": " << cause;
    EXPECT_EQ(detectFormat(c.bytes.data(), c.bytes.size(), "no-extension").format, c.format) << c.name;
    std::size_t vertices = 0;
    EXPECT_EQ(weldedTriangles(content, vertices), expected) << c.name;
    EXPECT_EQ(vertices, objVertices) << c.name;
  }
}

struct ScalarCase {
  const char* type;
  double written;
  void (*append)(std::string&, double, bool);
};

template <typename T>
void appendAs(std::string& bytes, double value, bool bigEndian) {
  appendValue(bytes, static_cast<T>(value), bigEndian);
}

TEST(FormatReading, EveryPlyScalarTypeInBothByteOrders) {
  const ScalarCase cases[] = {
      {"char", -3, appendAs<int8_t>},         {"uint8", 250, appendAs<uint8_t>},
      {"short", -300, appendAs<int16_t>},     {"ushort", 60000, appendAs<uint16_t>},
      {"int32", -70000, appendAs<int32_t>},   {"uint", 3000000, appendAs<uint32_t>},
      {"float", 1.5, appendAs<float>},        {"float64", -2.25, appendAs<double>},
      {"int8", 100, appendAs<int8_t>},        {"uchar", 7, appendAs<uint8_t>},
      {"int16", -7, appendAs<int16_t>},       {"uint16", 9, appendAs<uint16_t>},
      {"int", 123456, appendAs<int32_t>},     {"uint32", 4000000000.0, appendAs<uint32_t>},
      {"float32", 0.25, appendAs<float>},     {"double", 1e-3, appendAs<double>},
  };
  for (const ScalarCase& c : cases) {
    for (bool bigEndian : {false, true}) {
      std::string bytes = std::string("ply\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                          " 1.0\nelement vertex 3\nproperty " + c.type +
                          " x\nproperty float y\nproperty float z\nelement face 1\n"
                          "property list uchar int vertex_indices\nend_header\n";
      for (int v = 0; v < 3; ++v) {
        c.append(bytes, c.written, bigEndian);
        appendValue(bytes, float(v), bigEndian);
        appendValue(bytes, float(v * v), bigEndian);
      }
      bytes += '\3';
      for (int32_t v = 0; v < 3; ++v) appendValue(bytes, v, bigEndian);
      MeshContent content;
      std::string cause;
      ASSERT_TRUE(parsePlyBytes(bytes.data(), bytes.size(), content, cause)) << c.type << ": " << cause;
      ASSERT_EQ(content.positions.size(), 3u) << c.type;
      EXPECT_EQ(content.positions[2].x, static_cast<float>(c.written)) << c.type << (bigEndian ? " big" : " little");
      EXPECT_EQ(content.positions[2].y, 2.0f) << c.type;
      EXPECT_EQ(content.positions[2].z, 4.0f) << c.type;
      EXPECT_EQ(content.triangles.size(), 3u) << c.type;
    }
  }
}

// Two vertices at one position with different texture coordinates: the
// weld makes them one vertex, the corners keep their own values.
TEST(FormatReading, PlyValuesStayWithTheirCornersAcrossASeam) {
  const std::string text =
      "ply\nformat ascii 1.0\nelement vertex 4\n"
      "property float x\nproperty float y\nproperty float z\n"
      "property float nx\nproperty float ny\nproperty float nz\n"
      "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n"
      "property float texture_u\nproperty float texture_v\n"
      "element face 2\nproperty list uchar uint vertex_indices\nend_header\n"
      "0 0 0  0 0 1  255 0 0 255  0 0\n"
      "1 0 0  0 0 1  0 255 0 255  1 0\n"
      "0 1 0  0 0 1  0 0 255 128  0 1\n"
      "0 0 0  0 0 1  255 0 0 255  0.5 0.5\n"
      "3 0 1 2\n3 3 2 1\n";
  MeshContent content;
  std::string cause;
  ASSERT_TRUE(parsePlyBytes(text.data(), text.size(), content, cause)) << cause;
  SurfaceMesh surface;
  weldedSurface(content, surface);
  ASSERT_EQ(surface.mesh.vertexCount(), 3u);
  const MeshAttributes& attributes = surface.attributes;
  ASSERT_EQ(attributes.uv.width, 2u);
  ASSERT_EQ(attributes.normals.width, 3u);
  ASSERT_EQ(attributes.colors.width, 4u);
  EXPECT_TRUE(attributes.colorsWereBytes);
  // Corner 0 and corner 3 stand at vertex 0; their texture coordinates differ.
  EXPECT_EQ(surface.mesh.corners[0], surface.mesh.corners[3]);
  const auto uvAt = [&](std::size_t corner) {
    const uint32_t value = attributes.uv.ofCorner[corner];
    return std::vector<float>(attributes.uv.values.begin() + 2 * value, attributes.uv.values.begin() + 2 * value + 2);
  };
  EXPECT_EQ(uvAt(0), (std::vector<float>{0.0f, 0.0f}));
  EXPECT_EQ(uvAt(3), (std::vector<float>{0.5f, 0.5f}));
  const uint32_t blue = attributes.colors.ofCorner[2];
  EXPECT_FLOAT_EQ(attributes.colors.values[4 * blue + 2], 1.0f);
  EXPECT_FLOAT_EQ(attributes.colors.values[4 * blue + 3], 128.0f / 255.0f);
}

struct SkipCase {
  const char* name;
  MeshFormat format;
  std::string bytes;
  std::size_t triangles;  // what remains
  uint64_t skipped;
};

TEST(FormatReading, FacesNamingMissingVerticesAreSkippedAndCounted) {
  const std::string vertices = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n";
  const std::string plyHeader =
      "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
      "element face 3\nproperty list uchar int vertex_indices\nend_header\n";
  std::string binary = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                       "property float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n";
  for (int k = 0; k < 9; ++k) appendValue(binary, float(k == 3 || k == 7), false);
  binary += '\3';
  for (int32_t v : {0, 1, -1}) appendValue(binary, v, false);  // a negative index
  binary += '\3';
  for (int32_t v : {0, 1, 2}) appendValue(binary, v, false);
  // Triangles read in one run until a quad hands over to the general reader.
  std::string mixed = "ply\nformat binary_little_endian 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                      "property float z\nelement face 3\nproperty list uchar int vertex_indices\nend_header\n";
  for (int k = 0; k < 12; ++k) appendValue(mixed, float(k == 3 || k == 7 || k == 9 || k == 10), false);
  for (const std::vector<int32_t>& face : {std::vector<int32_t>{0, 1, 2}, {0, 1, 3, 2}, {1, 3, 2}}) {
    mixed += static_cast<char>(face.size());
    for (int32_t v : face) appendValue(mixed, v, false);
  }
  const SkipCase cases[] = {
      {"PLY ascii", MeshFormat::Ply, plyHeader + vertices + "3 0 1 2\n3 0 1 4\n4 0 1 3 2\n", 3, 1},
      {"PLY binary, a negative index", MeshFormat::Ply, binary, 1, 1},
      {"PLY binary, a quad among triangles", MeshFormat::Ply, mixed, 4, 0},
      {"OFF", MeshFormat::Off, "OFF\n4 3 0\n" + vertices + "3 0 1 2\n3 0 1 9\n3 0 2 3\n", 2, 1},
      {"OBJ", MeshFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 4\nf 1 2 -4\nf 1 2\n", 1, 2},
  };
  for (const SkipCase& c : cases) {
    MeshContent content;
    std::string cause;
    ASSERT_TRUE(parseAs(c.format, c.bytes, content, cause)) << c.name << ": " << cause;
    EXPECT_EQ(content.triangles.size(), 3 * c.triangles) << c.name;
    EXPECT_EQ(content.facesSkipped, c.skipped) << c.name;
  }
}

struct BadCase {
  const char* name;
  MeshFormat format;
  std::string bytes;
  std::string cause;  // what the cause must hold, its place included
};

std::string binaryPlyHead(const std::string& vertexCount, const std::string& faceCount) {
  return "ply\nformat binary_little_endian 1.0\nelement vertex " + vertexCount +
         "\nproperty float x\nproperty float y\nproperty float z\nelement face " + faceCount +
         "\nproperty list uchar int vertex_indices\nend_header\n";
}

std::string floats(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) appendValue(bytes, float(i), false);
  return bytes;
}

TEST(FormatReading, BadFilesAreRefusedWithTheirPlace) {
  const std::string head = binaryPlyHead("3", "1");
  const std::string triangle = std::string("\3") + std::string(12, '\0');
  const BadCase cases[] = {
      {"a vertex count larger than the file", MeshFormat::Ply, binaryPlyHead("1000000000", "1") + floats(9) + triangle,
       "byte " + std::to_string(binaryPlyHead("1000000000", "1").size()) +
           ": the header says 1000000000 vertex records, more than the 49 bytes left can hold"},
      {"a face count in the billions", MeshFormat::Ply, binaryPlyHead("3", "4000000000") + floats(9) + triangle,
       "face records, more than the 13 bytes left can hold"},
      {"a count beyond 64 bits", MeshFormat::Ply, binaryPlyHead("99999999999999999999", "1"),
       "line 3: the count '99999999999999999999' of element 'vertex' is no whole number"},
      {"a list count beyond the face's bytes", MeshFormat::Ply, head + floats(9) + "\xC8" + std::string(12, '\0'),
       "a face of 200 corners runs past the end of the file"},
      {"binary data cut inside a vertex", MeshFormat::Ply, head + floats(8), "more than the 32 bytes left can hold"},
      {"binary data cut inside a face", MeshFormat::Ply, binaryPlyHead("3", "2") + floats(9) + triangle + "\4",
       "a face of 4 corners runs past the end of the file"},
      {"an unknown property type", MeshFormat::Ply,
       "ply\nformat ascii 1.0\nelement vertex 1\nproperty float16 x\nend_header\n",
       "line 4: unknown property type 'float16'"},
      {"a list counted in floats", MeshFormat::Ply,
       "ply\nformat ascii 1.0\nelement face 1\nproperty list float int vertex_indices\nend_header\n",
       "line 4: a list count of type 'float' is no whole number"},
      {"an unknown format", MeshFormat::Ply, "ply\nformat binary_middle_endian 1.0\nend_header\n",
       "line 2: unknown format 'binary_middle_endian'"},
      {"billions of records of no property, then a count beyond the file", MeshFormat::Ply,
       "ply\nformat ascii 1.0\nelement nothing 99999999999\nelement vertex 5\nproperty float x\nproperty float y\n"
       "property float z\nend_header\n0 0 0\n",
       "line 9: the header says 5 vertex records, more than the 6 bytes left can hold"},
      {"a header without end", MeshFormat::Ply, "ply\nformat ascii 1.0\nelement vertex 1\n",
       "line 4: the header has no end_header line"},
      {"no vertex element", MeshFormat::Ply, "ply\nformat ascii 1.0\nelement face 0\nend_header\n",
       "no vertex element"},
      {"a word that is no number", MeshFormat::Ply,
       "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
       "end_header\n0 zero 0\n",
       "line 8: the file ends or breaks inside element 'vertex'"},
      {"an STL of neither size", MeshFormat::Stl, pyramidStlBinary(Pyramid()) + "x",
       "is neither ASCII STL nor binary STL: its header says 6 triangles, which take 384 bytes, but the file has 385"},
      {"ASCII STL cut inside a facet", MeshFormat::Stl,
       "solid cut\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n",
       "line 3: the file ends inside the facet whose loop starts here"},
      {"an ASCII STL vertex of two numbers", MeshFormat::Stl, "solid s\nfacet\nouter loop\nvertex 0 0\nendloop\n",
       "line 5: a vertex needs three numbers"},
      {"OFF counts larger than the file", MeshFormat::Off, "OFF\n3000000000 1 0\n0 0 0\n",
       "line 2: the counts say 3000000000 vertices and 1 faces, more than the 6 bytes left can hold"},
      {"an OFF face short of its corners", MeshFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n4 0 1 2\n",
       "line 6: a face needs its corner count and as many vertex numbers"},
      {"an OFF file ending early", MeshFormat::Off, "OFF 3 1 0\n0 0 0\n1 0 0\n0 1 0\n",
       "the file ends after 0 faces"},
      {"an OFF vertex of two numbers", MeshFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0\n0 1 0\n3 0 1 2\n",
       "line 4: vertex 1 needs 3 numbers"},
  };
  for (const BadCase& c : cases) {
    MeshContent content;
    std::string cause;
    EXPECT_FALSE(parseAs(c.format, c.bytes, content, cause)) << c.name;
    EXPECT_NE(cause.find(c.cause), std::string::npos) << c.name << ": " << cause;
  }
}

}  // namespace
