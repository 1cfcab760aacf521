// OpenMesh's modified butterfly pass, timed on copies of a kept state.
#include "openmesh_pass.h"

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/ModifiedButterFlyT.hh>
#include <vector>

#include "bench_clock.h"

using TheirMesh = OpenMesh::TriMesh_ArrayKernelT<>;

struct OpenMeshState {
  TheirMesh mesh;
  OpenMesh::Subdivider::Uniform::ModifiedButterflyT<TheirMesh> subdivider;
};

OpenMeshState* openMeshStart(const MeshData& data) {
  auto* state = new OpenMeshState;
  std::vector<TheirMesh::VertexHandle> handles;
  handles.reserve(data.vertexCount());
  for (std::size_t v = 0; v < data.vertexCount(); ++v) {
    const float* p = &data.positions[3 * v];
    handles.push_back(state->mesh.add_vertex(TheirMesh::Point(p[0], p[1], p[2])));
  }
  for (std::size_t t = 0; t < data.triangleCount(); ++t) {
    const int* c = &data.triangles[3 * t];
    state->mesh.add_face(handles[c[0]], handles[c[1]], handles[c[2]]);
  }
  return state;
}

double openMeshPassMs(OpenMeshState* state, bool keepResult) {
  TheirMesh copy = state->mesh;
  const double begin = wallMs();
  state->subdivider(copy, 1);
  const double ms = wallMs() - begin;
  if (keepResult) state->mesh = std::move(copy);
  return ms;
}

std::size_t openMeshTriangles(const OpenMeshState* state) { return state->mesh.n_faces(); }

void openMeshFinish(OpenMeshState* state) { delete state; }
