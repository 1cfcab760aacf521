// How fast meshsubdivide's writer turns a mesh into OBJ text handed to the
// kernel, on the first write of a new process:
//   write_speed IN.obj PASSES OUT.obj
// reads and subdivides untimed, then times writeObj to OUT.obj (opened
// before the clock starts) and prints the bytes and the rate.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "obj_reading.h"
#include "obj_writing.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: write_speed IN.obj PASSES OUT.obj\n");
    return 2;
  }
  IndexedMesh mesh;
  std::string error;
  if (!readObjMesh(argv[1], mesh, error)) {
    std::fprintf(stderr, "write_speed: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  for (int pass = 0; pass < std::atoi(argv[2]); ++pass) subdivideIndexed(mesh, 0.05);
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) return 2;
  const auto start = std::chrono::steady_clock::now();
  const bool written = writeObj(mesh, "write_speed", out);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long bytes = std::ftell(out);
  std::fclose(out);
  if (!written) return 2;
  std::printf("%ld bytes in %.3f s: %.0f MB/s\n", bytes, seconds, bytes / seconds / 1e6);
  return 0;
}
