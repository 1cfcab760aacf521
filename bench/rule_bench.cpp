// One contender's passes over one OBJ mesh, in a process of its own, so that
// each pass is timed the first time it runs, as a user meets it:
//   rule_bench FILE.obj PASSES classic|modified|openmesh [CREASE_DEGREES]
// prints "pass N triangles T ms M" for each pass. Reading the file and
// building OpenMesh's mesh are not timed. bench/run-rules takes turns
// between the contenders and reports medians. With a crease angle, our
// rules mark the mesh's creases first and print "creases C ms M" for that
// (bench/run-creases).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "crease_marking.h"
#include "indexed_pass.h"
#include "obj_reading.h"

#ifdef BENCH_WITH_OPENMESH
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <vector>
#endif

namespace {

double msSince(std::chrono::steady_clock::time_point begin) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

void ourPasses(IndexedMesh& mesh, int passes, const IndexedRule& rule) {
  for (int pass = 1; pass <= passes; ++pass) {
    const auto begin = std::chrono::steady_clock::now();
    subdivideIndexed(mesh, rule);
    const double ms = msSince(begin);
    std::printf("pass %d triangles %zu ms %.3f\n", pass, mesh.triangleCount(), ms);
  }
}

#ifdef BENCH_WITH_OPENMESH
void theirPasses(const IndexedMesh& mesh, int passes) {
  using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;
  TheirMesh theirs;
  std::vector<TheirMesh::VertexHandle> handles;
  handles.reserve(mesh.vertexCount());
  for (const FloatPoint& p : mesh.positions) handles.push_back(theirs.add_vertex(TheirMesh::Point(p.x, p.y, p.z)));
  for (std::size_t t = 0; t < mesh.triangleCount(); ++t) {
    const uint32_t* c = &mesh.corners[3 * t];
    theirs.add_face(handles[c[0]], handles[c[1]], handles[c[2]]);
  }
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
  for (int pass = 1; pass <= passes; ++pass) {
    const auto begin = std::chrono::steady_clock::now();
    subdivider(theirs, 1);
    const double ms = msSince(begin);
    std::printf("pass %d triangles %zu ms %.3f\n", pass, static_cast<std::size_t>(theirs.n_faces()), ms);
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: rule_bench FILE.obj PASSES classic|modified|openmesh [CREASE_DEGREES]\n");
    return 2;
  }
  IndexedMesh mesh;
  std::string error;
  if (!readObjMesh(argv[1], mesh, error)) {
    std::fprintf(stderr, "rule_bench: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  const int passes = std::atoi(argv[2]);
  const std::string contender = argv[3];
  if (contender == "classic" || contender == "modified") {
    if (argc == 5) {
      const auto begin = std::chrono::steady_clock::now();
      const uint64_t creases = markCreases(mesh, std::atof(argv[4]));
      const double ms = msSince(begin);
      std::printf("creases %llu ms %.3f\n", static_cast<unsigned long long>(creases), ms);
    }
    ourPasses(mesh, passes, IndexedRule{contender == "modified", static_cast<double>(0.05f)});
    return 0;
  }
#ifdef BENCH_WITH_OPENMESH
  if (contender == "openmesh") {
    theirPasses(mesh, passes);
    return 0;
  }
#endif
  std::fprintf(stderr, "rule_bench: no contender '%s' in this build\n", contender.c_str());
  return 2;
}
