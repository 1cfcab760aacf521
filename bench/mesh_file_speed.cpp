// How fast the readers and writers of binary PLY and STL move bytes, on the
// first read or write of a new process:
//   mesh_file_speed read FILE        reads the file's bytes and parses them
//   mesh_file_speed write IN OUT     reads IN untimed, then writes OUT in the
//                                    format of its extension (binary)
// and prints the bytes, the seconds and the rate in GB/s. The weld is not
// timed: it is the same for every format (bench/mesh-files times the whole
// conversion).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "mesh_content.h"
#include "mesh_file.h"
#include "ply_reading.h"
#include "stl_reading.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int report(const char* what, uint64_t bytes, double seconds) {
  std::printf("%s %llu bytes in %.4f s: %.3f GB/s\n", what, static_cast<unsigned long long>(bytes), seconds,
              static_cast<double>(bytes) / seconds / 1e9);
  return 0;
}

int timeRead(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  FileBytes bytes;
  std::string cause;
  if (!readWholeFile(path.c_str(), bytes, cause)) {
    std::fprintf(stderr, "mesh_file_speed: %s: %s\n", path.c_str(), cause.c_str());
    return 2;
  }
  MeshContent content;
  const bool ply = extensionOf(path) == "ply";
  const bool read = ply ? parsePlyBytes(bytes.data.data(), bytes.size, content, cause)
                        : parseStlBytes(bytes.data.data(), bytes.size, content, cause);
  const double seconds = secondsSince(start);
  if (!read) {
    std::fprintf(stderr, "mesh_file_speed: %s: %s\n", path.c_str(), cause.c_str());
    return 2;
  }
  return report(ply ? "read PLY" : "read STL", bytes.size, seconds);
}

int timeWrite(const std::string& in, const std::string& out) {
  SurfaceMesh surface;
  MeshReadReport notes;
  std::string cause;
  MeshWriteSettings settings;
  if (!readMeshFile(in, surface, notes, cause) || !formatOfOutputName(out, settings.format)) {
    std::fprintf(stderr, "mesh_file_speed: %s: %s\n", in.c_str(), cause.c_str());
    return 2;
  }
  std::FILE* stream = std::fopen(out.c_str(), "wb");
  if (stream == nullptr) return 2;
  const auto start = std::chrono::steady_clock::now();
  const bool written = writeMeshFile(surface, settings, stream);
  const double seconds = secondsSince(start);
  const long bytes = std::ftell(stream);
  std::fclose(stream);
  if (!written) return 2;
  return report(settings.format == MeshFormat::Ply ? "write PLY" : "write STL", static_cast<uint64_t>(bytes), seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "read") == 0) return timeRead(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) return timeWrite(argv[2], argv[3]);
  std::fprintf(stderr, "usage: mesh_file_speed read FILE | mesh_file_speed write IN OUT\n");
  return 2;
}
