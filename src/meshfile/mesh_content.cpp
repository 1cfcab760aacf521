#include "mesh_content.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform.h"
#include "vertex_weld.h"

void weldedMesh(const MeshContent& content, IndexedMesh& mesh) {
  BigArray<uint32_t> usableNumber;
  BigArray<FloatPoint> usablePositions;
  usableNumber.reserve(content.positions.size());
  for (std::size_t v = 0; v < content.positions.size(); ++v) {
    usableNumber.push_back(static_cast<uint32_t>(usablePositions.size()));
    if (content.usable[v]) usablePositions.push_back(content.positions[v]);
  }
  VertexWeld weld;
  weldPositions(usablePositions, weld);
  // A weld is never larger than the number it serves, so it is numbered first.
  BigArray<uint32_t> meshNumber(usablePositions.size());
  mesh.positions.clear();
  for (std::size_t u = 0; u < usablePositions.size(); ++u) {
    if (weld.weldedTo[u] == u) {
      meshNumber[u] = static_cast<uint32_t>(mesh.positions.size());
      mesh.positions.push_back(usablePositions[u]);
    } else {
      meshNumber[u] = meshNumber[weld.weldedTo[u]];
    }
  }
  mesh.corners.resize(content.triangles.size());
  for (std::size_t i = 0; i < content.triangles.size(); ++i)
    mesh.corners[i] = meshNumber[usableNumber[content.triangles[i]]];
  classifySides(mesh);
}

void weldedSurface(MeshContent& content, SurfaceMesh& surface) {
  weldedMesh(content, surface.mesh);
  surface.attributes = std::move(content.attributes);
}

void setCornerValue(CornerValues& table, std::size_t corner, uint32_t value) {
  if (table.ofCorner.size() <= corner) table.ofCorner.resize(corner + 1, kNoValue);
  table.ofCorner[corner] = value;
}

void finishCornerTable(CornerValues& table, unsigned width, std::size_t corners) {
  if (table.ofCorner.empty()) {
    table = CornerValues();
    return;
  }
  table.width = width;
  table.ofCorner.resize(corners, kNoValue);
}

bool readWholeFile(const char* path, std::string& text, std::string& error) {
  if (isDirectory(path)) {
    error = "is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  // The size is a hint for one read into one buffer; a file that grows or
  // shrinks meanwhile (a pipe, a file being written) is read to its end.
  std::error_code unknown;
  const std::uintmax_t hint = std::filesystem::file_size(path, unknown);
  text.clear();
  if (!unknown && hint > 0) {
    text.resize(static_cast<std::size_t>(hint));
    text.resize(std::fread(&text[0], 1, text.size(), file));
  }
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  const int cause = errno;
  std::fclose(file);
  if (failed) {
    error = std::strerror(cause);
    return false;
  }
  return true;
}
