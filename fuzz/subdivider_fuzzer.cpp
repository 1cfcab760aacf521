// libFuzzer target for meshsubdivide's reader, weld, passes and writer. Each
// input is read as an OBJ file; small meshes are welded and subdivided up to
// twice (by the classic rule, then by the modified one; an input of odd
// length has its creases marked at 30 degrees first), the result written
// and read back. After every step the indexed mesh is checked against what
// reading, welding and a pass must leave, so a wrong mesh is a finding just as
// a memory or undefined-behaviour error is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crease_marking.h"
#include "obj_reading.h"
#include "obj_writing.h"

namespace {

constexpr std::size_t kMostTriangles = 300;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "subdivider invariant broken: %s\n", what);
  std::abort();
}

void checkMesh(const IndexedMesh& mesh) {
  require(mesh.corners.size() % 3 == 0, "corners come in threes");
  require(mesh.flags.size() == mesh.corners.size(), "one flag per side");
  for (uint32_t corner : mesh.corners) require(corner < mesh.vertexCount(), "a corner names no vertex");
  for (uint8_t flag : mesh.flags) require(flag <= kFlagCrease, "a flag out of range");
}

bool sameBits(const FloatPoint& p, const FloatPoint& q) { return std::memcmp(&p, &q, sizeof p) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  MeshContent content;
  parseObjText(reinterpret_cast<const char*>(data), size, content);
  require(content.usable.size() == content.positions.size(), "one mark per vertex");
  require(content.triangles.size() % 3 == 0, "triangles come in threes");
  for (uint32_t v : content.triangles) require(v < content.positions.size() && content.usable[v], "unusable corner");
  if (content.triangles.empty() || content.triangles.size() / 3 > kMostTriangles) return 0;

  IndexedMesh mesh;
  weldedMesh(content, mesh);
  checkMesh(mesh);
  require(mesh.triangleCount() == content.triangles.size() / 3, "the weld lost a triangle");
  if (size % 2 == 1) {
    const uint64_t creases = markCreases(mesh, 30.0);
    require(creases % 2 == 0, "a crease of one side");
  }
  for (int pass = 0; pass < 2 && mesh.triangleCount() <= kMostTriangles; ++pass) {
    const IndexedMesh before = mesh;
    // The classic rule first, then the modified one on what it made.
    subdivideIndexed(mesh, IndexedRule{pass == 1, 0.05});
    checkMesh(mesh);
    require(mesh.triangleCount() == 4 * before.triangleCount(), "a pass makes four triangles of one");
    require(mesh.vertexCount() <= before.vertexCount() + before.corners.size(), "more points than sides");
    for (std::size_t v = 0; v < before.vertexCount(); ++v)
      require(sameBits(mesh.positions[v], before.positions[v]), "an old vertex moved");
  }

  std::FILE* scratch = std::tmpfile();
  if (scratch == nullptr) return 0;
  require(writeObj(mesh, "fuzz", scratch), "the write failed");
  std::string text(static_cast<std::size_t>(std::ftell(scratch)), '\0');
  std::rewind(scratch);
  require(std::fread(&text[0], 1, text.size(), scratch) == text.size(), "the text does not read back");
  std::fclose(scratch);
  MeshContent back;
  parseObjText(text.data(), text.size(), back);
  require(back.positions.size() == mesh.vertexCount(), "a vertex lost in writing");
  require(back.triangles.size() == mesh.corners.size(), "a triangle lost in writing");
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
    const FloatPoint& p = mesh.positions[v];
    require(sameBits(back.positions[v], p) || p.x != p.x || p.y != p.y || p.z != p.z, "a point changed in writing");
  }
  return 0;
}
