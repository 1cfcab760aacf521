#include "bench_cases.h"

#include "loader.h"

namespace {

// The store's reading of a model file, so that both libraries get the same
// mesh through OBJ text.
MeshData dataModel(const char* path) {
  loadMesh(path);
  MeshData mesh = meshFromStore();
  replaceModel(0);
  return mesh;
}

}  // namespace

const BenchCase kBenchCases[] = {
    {"Cube.obj", 6, [] { return dataModel(BENCH_DATA_DIR "/Cube.obj"); }},
    {"table.obj", 6, [] { return dataModel(BENCH_DATA_DIR "/table.obj"); }},
    {"icosphere-1k", 4, [] { return icosphere(3); }},
    {"icosphere-20k", 3, [] { return icosphere(5); }},
    {"icosphere-330k", 1, [] { return icosphere(7); }},
    {"torus-2k", 4, [] { return torus(32, 32); }},
    {"torus-33k", 2, [] { return torus(128, 128); }},
    {"torus-260k", 1, [] { return torus(256, 512); }},
    {"scrambled-2k", 4, [] { return scrambledTorus(24, 48, 7); }},
    {"scrambled-65k", 2, [] { return scrambledTorus(128, 256, 11); }},
    {"torus-65k", 3, [] { return torus(128, 256); }},
};

const std::size_t kBenchCaseCount = sizeof kBenchCases / sizeof kBenchCases[0];
