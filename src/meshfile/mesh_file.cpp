#include "mesh_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "assimp_reading.h"
#include "format_writers.h"
#include "mesh_content.h"
#include "obj_reading.h"
#include "obj_writing.h"
#include "off_reading.h"
#include "platform.h"
#include "ply_reading.h"
#include "stl_reading.h"

namespace {

std::string plural(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool parseContent(const std::string& path, const DetectedFormat& format, MeshContent& content, std::string& cause) {
  if (format.format == MeshFormat::Other) {
    if (!assimpAvailable()) {
      cause = "a " + format.name + " file; this build does not read " + format.name +
              " (it was built without the Open Asset Import Library)";
      return false;
    }
    if (readWithAssimp(path, content, cause)) return true;
    cause = "cannot read as " + format.name + ": " + cause;
    return false;
  }
  FileBytes bytes;
  if (!readWholeFile(path.c_str(), bytes, cause)) {
    cause = "cannot read: " + cause;
    return false;
  }
  const char* data = bytes.data.data();
  switch (format.format) {
    case MeshFormat::Ply: return parsePlyBytes(data, bytes.size, content, cause);
    case MeshFormat::Stl: return parseStlBytes(data, bytes.size, content, cause);
    case MeshFormat::Off: return parseOffBytes(data, bytes.size, content, cause);
    default: parseObjText(data, bytes.size, content); return true;
  }
}

// The first bytes and the length tell most formats; the rest of the file is
// read once the reader is known (the Open Asset Import Library reads its
// files itself).
// False, with the cause, when the file cannot be opened.
bool formatOfFile(const std::string& path, DetectedFormat& format, std::string& cause) {
  if (isDirectory(path.c_str())) {
    cause = "cannot read: is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    cause = std::string("cannot read: ") + std::strerror(errno);
    return false;
  }
  char head[4096];
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  std::error_code unknown;
  const std::uintmax_t size = std::filesystem::file_size(path, unknown);
  if (!unknown && got >= 84) {
    const unsigned char* count = reinterpret_cast<const unsigned char*>(head) + 80;
    const uint64_t triangles = uint64_t(count[0]) | uint64_t(count[1]) << 8 | uint64_t(count[2]) << 16 |
                               uint64_t(count[3]) << 24;
    if (84 + 50 * triangles == size) {
      format = {MeshFormat::Stl, "STL"};
      return true;
    }
  }
  format = detectFormat(head, got, path);
  return true;
}

}  // namespace

bool readMeshFile(const std::string& path, SurfaceMesh& surface, MeshReadReport& report, std::string& cause) {
  report = MeshReadReport();
  if (!formatOfFile(path, report.format, cause)) return false;
  MeshContent content;
  if (!parseContent(path, report.format, content, cause)) return false;
  if (content.triangles.empty()) {
    cause = "holds no triangle (" + plural(content.positions.size(), "vertex", "vertices") + ", no face of three of them)";
    return false;
  }
  if (content.facesSkipped > 0)
    report.notes.push_back(plural(content.facesSkipped, "face", "faces") +
                           " skipped: they name vertices the file does not hold");
  if (content.cornersBereft > 0)
    report.notes.push_back(plural(content.cornersBereft, "face has corners", "faces have corners") +
                           " without their texture coordinates or normals: the numbers name none the file holds");
  weldedSurface(content, surface);
  return true;
}

std::string droppedAttributes(const SurfaceMesh& surface, const MeshWriteSettings& settings) {
  if (settings.positionsOnly) return std::string();
  const MeshAttributes& attributes = surface.attributes;
  const bool stl = settings.format == MeshFormat::Stl;
  const bool off = settings.format == MeshFormat::Off;
  const bool obj = settings.format == MeshFormat::Obj;
  std::string dropped;
  const auto add = [&](bool lost, const char* what) {
    if (lost) dropped += (dropped.empty() ? "" : ", ") + std::string(what);
  };
  add((stl || off) && attributes.uv.present(), "texture coordinates");
  add((stl || off) && attributes.normals.present(), "normals");
  add(stl && attributes.colors.present(), "colours");
  add(obj && attributes.colors.width == 4, "colour alpha");
  add(!obj && (!attributes.groupOfTriangle.empty() || !attributes.materialLibraries.empty()),
      "materials, groups and objects");
  return dropped;
}

bool writeMeshFile(const SurfaceMesh& surface, const MeshWriteSettings& settings, std::FILE* stream) {
  switch (settings.format) {
    case MeshFormat::Ply: return writePly(surface, settings, stream);
    case MeshFormat::Stl: return writeStl(surface, settings, stream);
    case MeshFormat::Off: return writeOff(surface, settings, stream);
    default: break;
  }
  if (settings.positionsOnly || (surface.attributes.empty() && surface.attributes.materialLibraries.empty()))
    return writeObj(surface.mesh, settings.comment, stream, settings.progress, settings.context);
  return writeObjSurface(surface, settings, stream);
}
