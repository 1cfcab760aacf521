// libFuzzer target for the readers of PLY, STL and OFF. The first byte
// picks the reader (the rest is the file), so each reader sees every input.
// A file read is checked against what a reader must leave (mesh_content.h);
// a small one is welded, written in every format and read back, and must
// come back with its triangles. A wrong mesh is a finding, as a memory or
// undefined-behaviour error is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "format_writers.h"
#include "off_reading.h"
#include "ply_reading.h"
#include "stl_reading.h"

namespace {

constexpr std::size_t kMostTriangles = 300;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "meshfile invariant broken: %s\n", what);
  std::abort();
}

void checkTable(const CornerValues& table, std::size_t corners) {
  if (!table.present()) return;
  require(table.ofCorner.size() == corners, "a corner table of another length");
  for (uint32_t value : table.ofCorner)
    require(value == kNoValue || value < table.values.size() / table.width, "a corner names no value");
}

void checkContent(const MeshContent& content) {
  require(content.usable.size() == content.positions.size(), "one mark per vertex");
  require(content.triangles.size() % 3 == 0, "triangles come in threes");
  for (uint32_t v : content.triangles) require(v < content.positions.size() && content.usable[v], "a bad corner");
  const MeshAttributes& attributes = content.attributes;
  checkTable(attributes.uv, content.triangles.size());
  checkTable(attributes.normals, content.triangles.size());
  checkTable(attributes.colors, content.triangles.size());
}

bool parse(uint8_t reader, const char* data, std::size_t size, MeshContent& content, std::string& cause) {
  switch (reader % 3) {
    case 0: return parsePlyBytes(data, size, content, cause);
    case 1: return parseStlBytes(data, size, content, cause);
    default: return parseOffBytes(data, size, content, cause);
  }
}

// Writes the surface in one form and reads it back with the same reader.
void roundTrip(const SurfaceMesh& surface, MeshFormat format, bool ascii, uint8_t reader) {
  std::FILE* scratch = std::tmpfile();
  if (scratch == nullptr) return;
  MeshWriteSettings settings;
  settings.format = format;
  settings.ascii = ascii;
  const bool written = format == MeshFormat::Ply   ? writePly(surface, settings, scratch)
                       : format == MeshFormat::Stl ? writeStl(surface, settings, scratch)
                                                   : writeOff(surface, settings, scratch);
  require(written, "the write failed");
  std::string bytes(static_cast<std::size_t>(std::ftell(scratch)), '\0');
  std::rewind(scratch);
  require(std::fread(&bytes[0], 1, bytes.size(), scratch) == bytes.size(), "the file does not read back");
  std::fclose(scratch);
  MeshContent back;
  std::string cause;
  require(parse(reader, bytes.data(), bytes.size(), back, cause), "a written file does not read");
  checkContent(back);
  require(back.triangles.size() == surface.mesh.corners.size(), "a triangle lost in writing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t reader = data[0];
  MeshContent content;
  std::string cause;
  if (!parse(reader, reinterpret_cast<const char*>(data + 1), size - 1, content, cause)) {
    require(!cause.empty(), "a refusal without a cause");
    return 0;
  }
  checkContent(content);
  if (content.triangles.empty() || content.triangles.size() / 3 > kMostTriangles) return 0;
  SurfaceMesh surface;
  weldedSurface(content, surface);
  for (uint32_t corner : surface.mesh.corners) require(corner < surface.mesh.vertexCount(), "a weld lost a vertex");
  roundTrip(surface, MeshFormat::Ply, (reader & 8) != 0, 0);
  roundTrip(surface, MeshFormat::Stl, (reader & 16) != 0, 1);
  roundTrip(surface, MeshFormat::Off, true, 2);
  return 0;
}
