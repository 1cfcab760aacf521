// The comparison column: OpenMesh's uniform modified butterfly subdivider on
// the same start mesh, one pass at a time. Built only when OpenMesh is found
// (BENCH_WITH_OPENMESH).
#pragma once

#include <cstddef>

#include "bench_meshes.h"

struct OpenMeshState;

// An OpenMesh triangle mesh with the mesh's positions and triangles.
OpenMeshState* openMeshStart(const MeshData& mesh);

// Times one subdivision pass on a fresh copy of the state, in milliseconds.
// With keepResult the result becomes the state, so that later calls time the
// following pass.
double openMeshPassMs(OpenMeshState* state, bool keepResult);

std::size_t openMeshTriangles(const OpenMeshState* state);

void openMeshFinish(OpenMeshState* state);
