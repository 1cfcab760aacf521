// The benchmark's own meshes, each with the passes made of it (up to about
// 4.2 M output triangles), shared by the warm reruns and the first runs.
#pragma once

#include <cstddef>

#include "bench_meshes.h"

struct BenchCase {
  const char* name;
  int passes;
  MeshData (*make)();
};

extern const BenchCase kBenchCases[];
extern const std::size_t kBenchCaseCount;
