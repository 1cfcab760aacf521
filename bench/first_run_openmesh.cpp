// One first run of OpenMesh's modified butterfly, the peer of first_run_ours:
// a new process reads the mesh file with OpenMesh's reader and makes the
// passes one after another, each timed once. The same output lines.
#include <OpenMesh/Core/IO/MeshIO.hh>
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <cstdio>
#include <cstdlib>

#include "timed_step.h"

namespace {

using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: first_run_openmesh MESH.obj PASSES\n");
    return 2;
  }
  const int passes = std::atoi(argv[2]);
  TheirMesh mesh;
  bool read = false;
  const StepTimes load = timedStep([&] { read = OpenMesh::IO::read_mesh(mesh, argv[1]); });
  if (!read) return 1;
  std::printf("load %.3f %zu %.3f\n", load.ms, mesh.n_faces(), load.systemMs);
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
  for (int pass = 0; pass < passes; ++pass) {
    const StepTimes step = timedStep([&] { subdivider(mesh, 1); });
    std::printf("pass %.3f %zu %.3f\n", step.ms, mesh.n_faces(), step.systemMs);
  }
  return 0;
}
