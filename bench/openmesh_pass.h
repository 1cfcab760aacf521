// The comparison column: OpenMesh's uniform modified butterfly subdivider on
// the same start mesh, one pass at a time. Built only when OpenMesh is found
// (BENCH_WITH_OPENMESH).
#pragma once

#include <cstddef>

#include "bench_meshes.h"

struct OpenMeshState;

// An OpenMesh triangle mesh with the mesh's positions and triangles.
OpenMeshState* openMeshStart(const MeshData& mesh);

// Times `repetitions` runs of one subdivision pass, each on a fresh copy of
// the state, and returns the fastest in milliseconds; the last result becomes
// the state, so the next call times the following pass.
double openMeshPassMs(OpenMeshState* state, int repetitions);

std::size_t openMeshTriangles(const OpenMeshState* state);

void openMeshFinish(OpenMeshState* state);
