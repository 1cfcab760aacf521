#include "mesh_content.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform.h"
#include "vertex_weld.h"

namespace {

// Welds the positions into welded and renumbers corners, which name
// positions, to name welded ones.
// Positions are moved out when the weld leaves every one standing alone.
void weldInto(BigArray<FloatPoint>& positions, const BigArray<uint8_t>& usable, BigArray<uint32_t>& corners,
              BigArray<FloatPoint>& welded) {
  bool allUsable = true;
  for (uint8_t mark : usable) allUsable &= mark != 0;
  // Unusable positions are left out of the weld and of the result.
  BigArray<uint32_t> usableNumber;
  BigArray<FloatPoint> usablePositions;
  if (!allUsable) {
    usableNumber.reserve(positions.size());
    for (std::size_t v = 0; v < positions.size(); ++v) {
      usableNumber.push_back(static_cast<uint32_t>(usablePositions.size()));
      if (usable[v]) usablePositions.push_back(positions[v]);
    }
  }
  const BigArray<FloatPoint>& candidates = allUsable ? positions : usablePositions;
  VertexWeld weld;
  weldPositions(candidates, weld);
  if (allUsable && weld.identity) {
    welded = std::move(positions);
    return;
  }
  // A weld is never larger than the number it serves, so it is numbered first.
  BigArray<uint32_t> meshNumber(candidates.size());
  welded.clear();
  for (std::size_t u = 0; u < candidates.size(); ++u) {
    if (weld.weldedTo[u] == u) {
      meshNumber[u] = static_cast<uint32_t>(welded.size());
      welded.push_back(candidates[u]);
    } else {
      meshNumber[u] = meshNumber[weld.weldedTo[u]];
    }
  }
  for (uint32_t& corner : corners) corner = meshNumber[allUsable ? corner : usableNumber[corner]];
}

}  // namespace

void weldedMesh(const MeshContent& content, IndexedMesh& mesh) {
  mesh.corners = content.triangles;
  BigArray<FloatPoint> positions = content.positions;
  weldInto(positions, content.usable, mesh.corners, mesh.positions);
  classifySides(mesh);
}

void weldedSurface(MeshContent& content, SurfaceMesh& surface) {
  surface.mesh.corners = std::move(content.triangles);
  surface.mesh.flags.clear();
  weldInto(content.positions, content.usable, surface.mesh.corners, surface.mesh.positions);
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

bool readWholeFile(const char* path, FileBytes& bytes, std::string& error) {
  if (isDirectory(path)) {
    error = "is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  // The size is a hint for one read into one buffer; a file that grows
  // meanwhile (a pipe, a file being written) is read to its end all the same.
  std::error_code unknown;
  const std::uintmax_t hint = std::filesystem::file_size(path, unknown);
  bytes.data.resize(!unknown && hint < SIZE_MAX / 2 ? static_cast<std::size_t>(hint) + 1 : std::size_t(1) << 16);
  bytes.size = 0;
  for (;;) {
    bytes.size += std::fread(bytes.data.data() + bytes.size, 1, bytes.data.size() - bytes.size, file);
    if (bytes.size < bytes.data.size()) break;
    bytes.data.resize(2 * bytes.data.size());
  }
  const bool failed = std::ferror(file) != 0;
  const int cause = errno;
  std::fclose(file);
  if (failed) {
    error = std::strerror(cause);
    return false;
  }
  return true;
}
