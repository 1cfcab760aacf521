// The writers read back by the readers: positions to the bit in every format
// and form, values per corner through PLY and OBJ with seams kept, colours
// as bytes when they came as bytes, groups and material libraries through
// OBJ, and what each format must say it drops.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "mesh_file.h"
#include "surface_pass.h"
#include "obj_meshes.h"
#include "written_back.h"

namespace {

using Bits = std::array<uint32_t, 3>;

std::vector<Bits> cornerBits(const IndexedMesh& mesh) {
  std::vector<Bits> bits;
  for (uint32_t corner : mesh.corners) {
    Bits b;
    std::memcpy(b.data(), &mesh.positions[corner], sizeof b);
    bits.push_back(b);
  }
  return bits;
}

struct Form {
  const char* name;
  MeshFormat format;
  bool ascii;
  const char* extension;
};

constexpr Form kForms[] = {
    {"OBJ", MeshFormat::Obj, true, ".obj"},         {"PLY binary", MeshFormat::Ply, false, ".ply"},
    {"PLY ascii", MeshFormat::Ply, true, ".ply"},   {"STL binary", MeshFormat::Stl, false, ".stl"},
    {"STL ascii", MeshFormat::Stl, true, ".stl"},   {"OFF", MeshFormat::Off, true, ".off"},
};

TEST(FormatWriting, PositionsComeBackBitForBitInEveryForm) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  const SurfaceMesh surface = weldedObjSurface(
      "v 0.1 -3.4028235e38 1e-45\nv 2.7182817 1e-7 -0.3333333\nv " + std::to_string(tiny) +
      " 16777216 -1.5\nv 1e20 -7e-20 0.5\nf 1 2 3\nf 1 3 4\nf 2 4 3 1\n");
  ASSERT_EQ(surface.mesh.triangleCount(), 4u);
  for (const Form& form : kForms) {
    const SurfaceMesh back = throughFile(surface, form.format, form.ascii, form.extension);
    EXPECT_EQ(cornerBits(back.mesh), cornerBits(surface.mesh)) << form.name;
    EXPECT_EQ(back.mesh.vertexCount(), surface.mesh.vertexCount()) << form.name;
  }
}

std::vector<float> valueAt(const SurfaceMesh& surface, const CornerValues& table, std::size_t corner) {
  const uint32_t value = valueOfCorner(table, surface.mesh.corners, corner);
  if (value == kNoValue) return {};
  return std::vector<float>(table.values.begin() + std::size_t(value) * table.width,
                            table.values.begin() + std::size_t(value + 1) * table.width);
}

// The values of one kind at every corner of a, which b shares.
void expectSameCornerValues(const SurfaceMesh& a, const SurfaceMesh& b, CornerValues MeshAttributes::*kind,
                            const char* what) {
  const CornerValues &x = a.attributes.*kind, &y = b.attributes.*kind;
  ASSERT_EQ(x.width, y.width) << what;
  for (std::size_t c = 0; c < a.mesh.corners.size(); ++c)
    EXPECT_EQ(valueAt(a, x, c), valueAt(b, y, c)) << what << " corner " << c;
}

// A square of two triangles whose diagonal is a texture seam: vertex 1 and
// vertex 3 have other texture coordinates in the second triangle.
const char kSeamedSquare[] =
    "mtllib square.mtl\n"
    "v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 1 1 0 0 0 1\nv 0 1 0 0.5 0.5 0.5\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0.25 0.75\nvt 0.75 0.25\n"
    "vn 0 0 1\nvn 0 0.6 0.8\n"
    "o square\ng front\nusemtl red\nf 1/1/1 2/2/1 4/4/2\n"
    "g back\nusemtl blue\nf 2/5/1 3/3/1 4/4/2\n";

TEST(FormatWriting, CornerValuesAndSeamsSurvivePly) {
  const SurfaceMesh surface = weldedObjSurface(kSeamedSquare);
  for (bool ascii : {false, true}) {
    std::string bytes;
    const SurfaceMesh back = throughFile(surface, MeshFormat::Ply, ascii, ".ply", &bytes);
    // The seam at vertex 2 (texture 2 and 5) makes one vertex more.
    EXPECT_NE(bytes.find("element vertex 5\n"), std::string::npos) << bytes.substr(0, 400);
    EXPECT_EQ(back.mesh.vertexCount(), 4u);
    const char* form = ascii ? "ascii" : "binary";
    expectSameCornerValues(back, surface, &MeshAttributes::uv, form);
    expectSameCornerValues(back, surface, &MeshAttributes::normals, form);
    expectSameCornerValues(back, surface, &MeshAttributes::colors, form);
    EXPECT_TRUE(back.attributes.groupOfTriangle.empty());
  }
  // Seven passes make corners enough to be looked over on every core; the
  // seam runs on along the diagonal, and each corner keeps its values, those
  // of the kinds the pass tied to the vertices (one normal and one colour a
  // vertex) too.
  SurfaceMesh large = surface;
  classifySides(large.mesh);
  for (int pass = 0; pass < 7; ++pass) subdivideSurface(large, IndexedRule{false, 0.0625});
  const std::size_t corners = large.mesh.corners.size();
  ASSERT_EQ(corners, 6u << 14);
  const SurfaceMesh back = throughFile(large, MeshFormat::Ply, false, ".ply");
  EXPECT_EQ(back.mesh.vertexCount(), large.mesh.vertexCount());
  EXPECT_TRUE(large.attributes.normals.byVertex && large.attributes.colors.byVertex && !large.attributes.uv.byVertex);
  expectSameCornerValues(back, large, &MeshAttributes::uv, "uv");
  expectSameCornerValues(back, large, &MeshAttributes::normals, "normals");
  expectSameCornerValues(back, large, &MeshAttributes::colors, "colours");
}

TEST(FormatWriting, ValuesGroupsAndLibrariesSurviveObj) {
  const SurfaceMesh surface = weldedObjSurface(kSeamedSquare);
  std::string bytes;
  const SurfaceMesh back = throughFile(surface, MeshFormat::Obj, true, ".obj", &bytes);
  expectSameCornerValues(back, surface, &MeshAttributes::uv, "uv");
  expectSameCornerValues(back, surface, &MeshAttributes::normals, "normals");
  expectSameCornerValues(back, surface, &MeshAttributes::colors, "colours");
  ASSERT_EQ(back.attributes.groups.size(), 2u);
  EXPECT_EQ(surface.attributes.groups.size(), 2u);
  EXPECT_EQ(back.attributes.groups[1].group, "back");
  EXPECT_EQ(back.attributes.groups[1].material, "blue");
  EXPECT_EQ(back.attributes.groups[1].object, "square");
  EXPECT_EQ(std::vector<uint32_t>(back.attributes.groupOfTriangle.begin(), back.attributes.groupOfTriangle.end()),
            (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(back.attributes.materialLibraries, std::vector<std::string>{"square.mtl"});
  // Statements in the order a reader needs them: object, group, material.
  EXPECT_NE(bytes.find("o square\ng front\nusemtl red\nf "), std::string::npos) << bytes;
}

// Bytes in, bytes out: 0..255 through the value from 0 to 1 and back,
// rounded, in PLY and in OFF.
TEST(FormatWriting, ColoursGivenAsBytesComeBackAsTheSameBytes) {
  std::string ply =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
      "property uchar red\nproperty uchar green\nproperty uchar blue\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n"
      "0 0 0 1 2 3\n1 0 0 127 128 129\n0 1 0 253 254 255\n3 0 1 2\n";
  ScratchStream source = openScratch();
  std::fwrite(ply.data(), 1, ply.size(), source.file);
  std::fclose(source.file);
  SurfaceMesh surface;
  MeshReadReport report;
  std::string cause;
  ASSERT_TRUE(readMeshFile(source.path, surface, report, cause)) << cause;
  std::remove(source.path.c_str());
  ASSERT_TRUE(surface.attributes.colorsWereBytes);
  std::string bytes;
  throughFile(surface, MeshFormat::Ply, true, ".ply", &bytes);
  EXPECT_NE(bytes.find("0 0 0 1 2 3\n1 0 0 127 128 129\n0 1 0 253 254 255\n"), std::string::npos) << bytes;
  const SurfaceMesh off = throughFile(surface, MeshFormat::Off, true, ".off", &bytes);
  EXPECT_NE(bytes.find("COFF\n"), std::string::npos);
  EXPECT_NE(bytes.find("0 0 0 1 2 3\n1 0 0 127 128 129\n0 1 0 253 254 255\n"), std::string::npos) << bytes;
  EXPECT_TRUE(off.attributes.colorsWereBytes);
}

struct DropCase {
  MeshFormat format;
  bool positionsOnly;
  const char* dropped;
};

TEST(FormatWriting, EachFormatSaysWhatItCannotHold) {
  const SurfaceMesh surface = weldedObjSurface(kSeamedSquare);
  const DropCase cases[] = {
      {MeshFormat::Obj, false, ""},
      {MeshFormat::Ply, false, "materials, groups and objects"},
      {MeshFormat::Off, false, "texture coordinates, normals, materials, groups and objects"},
      {MeshFormat::Stl, false, "texture coordinates, normals, colours, materials, groups and objects"},
      {MeshFormat::Stl, true, ""},
  };
  for (const DropCase& c : cases) {
    MeshWriteSettings settings;
    settings.format = c.format;
    settings.positionsOnly = c.positionsOnly;
    EXPECT_EQ(droppedAttributes(surface, settings), c.dropped) << static_cast<int>(c.format);
  }
}

TEST(FormatWriting, PositionsOnlyWritesNoValue) {
  const SurfaceMesh surface = weldedObjSurface(kSeamedSquare);
  for (const Form& form : kForms) {
    ScratchStream scratch = openScratch();
    MeshWriteSettings settings;
    settings.format = form.format;
    settings.ascii = form.ascii;
    settings.positionsOnly = true;
    ASSERT_TRUE(writeMeshFile(surface, settings, scratch.file));
    const std::string bytes = closeAndRead(scratch);
    for (const char* absent : {"vt ", "vn ", "usemtl", "mtllib", "COFF", "property float s", "red"})
      EXPECT_EQ(bytes.find(absent), std::string::npos) << form.name << " holds " << absent;
  }
}

}  // namespace
