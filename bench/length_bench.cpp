// Uniform passes against passes to a side length over one OBJ mesh, in a
// process of its own, so that each pass is timed the first time it runs:
//   length_bench FILE.obj uniform PASSES
//   length_bench FILE.obj length L [MOST_PASSES]
// prints "pass N triangles T ms M heap B longest S held H cpu C" per pass:
// its output triangles, wall milliseconds, the heap bytes held at its peak
// (the mesh it starts from included; 0 where the heap is not counted), the
// longest side it leaves, the heap bytes held when it started and the
// process's processor milliseconds, all its threads' and the kernel's work
// for it (page faults) included, which other work on a shared machine slows less than it
// does wall time. bench/run-length takes turns between the two and reports
// medians. Reading the file is not timed.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "adaptive_pass.h"
#include "bench_memory.h"
#include "indexed_pass.h"
#include "obj_reading.h"

namespace {

// std::clock is the process's processor time on POSIX systems.
double processorMs() { return 1e3 * double(std::clock()) / CLOCKS_PER_SEC; }

double longestSide(const IndexedMesh& mesh) {
  double longest = 0;
  for (std::size_t side = 0; side < mesh.corners.size(); ++side) {
    const FloatPoint& p = mesh.positions[mesh.corners[side]];
    const FloatPoint& q = mesh.positions[mesh.corners[side - side % 3 + (side % 3 + 1) % 3]];
    const double x = double(p.x) - q.x, y = double(p.y) - q.y, z = double(p.z) - q.z;
    longest = std::max(longest, std::sqrt(x * x + y * y + z * z));
  }
  return longest;
}

// Counting runs from the start, so that blocks freed in a pass are counted
// off; each pass starts its peak from what is held when it starts.
template <typename Pass>
bool timedPass(int number, IndexedMesh& mesh, Pass pass) {
  const long long held = countedHeapBytes();
  startHeapCounting();
  const double cpuBegin = processorMs();
  const auto begin = std::chrono::steady_clock::now();
  const bool made = pass();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  const double cpu = processorMs() - cpuBegin;
  if (made) {
    std::printf("pass %d triangles %zu ms %.3f heap %lld longest %.9g held %lld cpu %.3f\n", number,
                mesh.triangleCount(), ms, countedHeapPeak(), longestSide(mesh), held, cpu);
  }
  return made;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (std::strcmp(argv[2], "uniform") != 0 && std::strcmp(argv[2], "length") != 0)) {
    std::fprintf(stderr, "usage: length_bench FILE.obj uniform PASSES | length L [MOST_PASSES]\n");
    return 2;
  }
  startHeapCounting();
  IndexedMesh mesh;
  std::string error;
  if (!readObjMesh(argv[1], mesh, error)) {
    std::fprintf(stderr, "length_bench: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  const IndexedRule rule{false, static_cast<double>(0.05f)};
  if (std::strcmp(argv[2], "uniform") == 0) {
    const int passes = std::atoi(argv[3]);
    for (int pass = 1; pass <= passes; ++pass) {
      timedPass(pass, mesh, [&] {
        subdivideIndexed(mesh, rule);
        return true;
      });
    }
    return 0;
  }
  const double length = std::atof(argv[3]);
  const int most = argc > 4 ? std::atoi(argv[4]) : 32;
  BigArray<uint8_t> closures;
  for (int pass = 1; pass <= most; ++pass) {
    if (!timedPass(pass, mesh, [&] { return subdivideToLength(mesh, closures, length, rule); })) break;
  }
  return 0;
}
