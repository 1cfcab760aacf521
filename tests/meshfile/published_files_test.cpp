// Files other programs wrote (tests/data/mesh-files/README.md says whence):
// a cube in four formats from three programs, one mesh as ASCII and as
// binary STL from one program, and a textured OBJ with its materials kept
// through a write.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "mesh_file.h"
#include "written_back.h"

namespace {

std::string published(const std::string& name) { return std::string(MESH_FILES_DIR) + "/" + name; }

SurfaceMesh readPublished(const std::string& name) {
  SurfaceMesh surface;
  MeshReadReport report;
  std::string cause;
  EXPECT_TRUE(readMeshFile(published(name), surface, report, cause)) << name << ": " << cause;
  EXPECT_TRUE(report.notes.empty()) << name << ": " << report.notes.front();
  return surface;
}

struct CubeCase {
  const char* file;
  MeshFormat format;
  bool uv;
  bool normals;
};

// Whatever the program and format, a cube is eight corners and twelve
// triangles, closed: every side is met by exactly one other.
TEST(PublishedFiles, ACubeFromEveryProgramIsClosedWithEightCorners) {
  const CubeCase cases[] = {
      {"cube_uv.ply", MeshFormat::Ply, true, true},
      {"cube_binary.ply", MeshFormat::Ply, false, false},
      {"Cube.off", MeshFormat::Off, false, false},
      {"block.stl", MeshFormat::Stl, false, false},
  };
  for (const CubeCase& c : cases) {
    SurfaceMesh surface = readPublished(c.file);
    EXPECT_EQ(surface.mesh.vertexCount(), 8u) << c.file;
    ASSERT_EQ(surface.mesh.triangleCount(), 12u) << c.file;
    classifySides(surface.mesh);
    for (uint8_t flag : surface.mesh.flags) EXPECT_EQ(flag, kFlagInterior) << c.file;
    EXPECT_EQ(surface.attributes.uv.present(), c.uv) << c.file;
    EXPECT_EQ(surface.attributes.normals.present(), c.normals) << c.file;
  }
}

// Blender's cube gives each face its own four vertices: 24 in the file, 8
// once welded, and each corner keeps the texture coordinates of its face.
TEST(PublishedFiles, BlendersCubeKeepsAValuePerFaceAtEachCorner) {
  const SurfaceMesh surface = readPublished("cube_uv.ply");
  std::set<std::vector<float>> normalsAtVertexZero;
  for (std::size_t c = 0; c < surface.mesh.corners.size(); ++c) {
    ASSERT_NE(surface.attributes.uv.ofCorner[c], kNoValue);
    if (surface.mesh.corners[c] != 0) continue;
    const float* n = surface.attributes.normals.values.data() + 3 * surface.attributes.normals.ofCorner[c];
    normalsAtVertexZero.insert({n[0], n[1], n[2]});
  }
  // A cube's corner joins three faces, whose normals differ.
  EXPECT_EQ(normalsAtVertexZero.size(), 3u);
}

TEST(PublishedFiles, OneMeshAsAsciiAndAsBinaryStlIsOneMesh) {
  const SurfaceMesh ascii = readPublished("import.stl");
  const SurfaceMesh binary = readPublished("import_bin_solid.stl");
  ASSERT_GT(ascii.mesh.triangleCount(), 0u);
  EXPECT_EQ(std::vector<uint32_t>(ascii.mesh.corners.begin(), ascii.mesh.corners.end()),
            std::vector<uint32_t>(binary.mesh.corners.begin(), binary.mesh.corners.end()));
  ASSERT_EQ(ascii.mesh.vertexCount(), binary.mesh.vertexCount());
  for (std::size_t v = 0; v < ascii.mesh.vertexCount(); ++v) {
    EXPECT_EQ(ascii.mesh.positions[v].x, binary.mesh.positions[v].x);
    EXPECT_EQ(ascii.mesh.positions[v].y, binary.mesh.positions[v].y);
    EXPECT_EQ(ascii.mesh.positions[v].z, binary.mesh.positions[v].z);
  }
}

TEST(PublishedFiles, ATexturedObjKeepsItsMaterialsAndGroupsThroughAWrite) {
  const SurfaceMesh surface = readPublished("spider.obj");
  EXPECT_EQ(surface.attributes.materialLibraries, std::vector<std::string>{"spider.mtl"});
  EXPECT_TRUE(surface.attributes.uv.present());
  std::set<std::string> groups;
  for (const FaceGroup& group : surface.attributes.groups) groups.insert(group.group);
  EXPECT_EQ(groups.size(), surface.attributes.groups.size()) << "one group per name and material";
  EXPECT_GT(groups.size(), 10u);

  const SurfaceMesh back = throughFile(surface, MeshFormat::Obj, false, ".obj");
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(back.attributes.groups.size(), surface.attributes.groups.size());
  for (std::size_t g = 0; g < back.attributes.groups.size(); ++g) {
    EXPECT_EQ(back.attributes.groups[g].group, surface.attributes.groups[g].group);
    EXPECT_EQ(back.attributes.groups[g].material, surface.attributes.groups[g].material);
  }
  EXPECT_EQ(std::vector<uint32_t>(back.attributes.groupOfTriangle.begin(), back.attributes.groupOfTriangle.end()),
            std::vector<uint32_t>(surface.attributes.groupOfTriangle.begin(), surface.attributes.groupOfTriangle.end()));
  EXPECT_EQ(back.attributes.materialLibraries, surface.attributes.materialLibraries);
}

}  // namespace
