// The job of meshsubdivide done by OpenMesh, as a user of that library would
// write it: its own reader, N modified butterfly passes, its own writer,
// binary for a PLY output as meshsubdivide writes one.
//   openmesh_subdivide IN PASSES OUT
#include <OpenMesh/Core/IO/MeshIO.hh>
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;

namespace {

bool endsWith(const char* text, const char* end) {
  const std::size_t n = std::strlen(text), m = std::strlen(end);
  return n >= m && std::strcmp(text + n - m, end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: openmesh_subdivide IN PASSES OUT\n");
    return 2;
  }
  TheirMesh mesh;
  if (!OpenMesh::IO::read_mesh(mesh, argv[1])) return 2;
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
  subdivider(mesh, static_cast<std::size_t>(std::atoi(argv[2])));
  OpenMesh::IO::Options options;
  if (endsWith(argv[3], ".ply")) options += OpenMesh::IO::Options::Binary;
  return OpenMesh::IO::write_mesh(mesh, argv[3], options) ? 0 : 2;
}
