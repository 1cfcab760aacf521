// The job of meshsubdivide done by OpenMesh, as a user of that library would
// write it: its own reader, N modified butterfly passes, its own writer.
//   openmesh_subdivide IN.obj PASSES OUT.obj
#include <OpenMesh/Core/IO/MeshIO.hh>
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <cstdio>
#include <cstdlib>

using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: openmesh_subdivide IN.obj PASSES OUT.obj\n");
    return 2;
  }
  TheirMesh mesh;
  if (!OpenMesh::IO::read_mesh(mesh, argv[1])) return 2;
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
  subdivider(mesh, static_cast<std::size_t>(std::atoi(argv[2])));
  return OpenMesh::IO::write_mesh(mesh, argv[3]) ? 0 : 2;
}
