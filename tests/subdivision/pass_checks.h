// Reading the store back for the subdivision tests: the current mesh as an
// indexed mesh, what a pass made of each face, the old vertices a pass must
// leave alone, and which vertex records stand at one position.
#pragma once

#include <vector>

#include "butterfly_reference.h"
#include "mesh.h"

Point positionOf(const Vertex* v);

// Over the whole vertex list.
double boundingDiagonal();

// The current faces over the vertex list, indexed by list position; records
// at one position stay apart.
IndexedMesh storeMesh();

// A face of the generation before a pass: its corners and the new points on
// its sides v[0]->v[1], v[1]->v[2], v[2]->v[0], read back from the four faces
// 4k .. 4k+3 it became. Expects those four to be laid out as the pass builds
// them (corner triangles, then the middle one).
struct SplitFace {
  Vertex* corner[3];
  Vertex* point[3];
};
std::vector<SplitFace> splitFaces();

// The vertex records and their coordinates before a pass.
struct VertexSnapshot {
  std::vector<Vertex*> records;
  std::vector<Point> positions;
};
VertexSnapshot snapshotVertices();

// Expects the snapshot's records to open the vertex list unchanged and the
// rest to be numbered on from the last old id.
void expectOldVerticesKept(const VertexSnapshot& before);

// For each point, the index of the first point within tolerance of it (its
// own index when none comes earlier): equal results mean one position.
std::vector<int> positionClasses(const std::vector<Point>& points, double tolerance);
int distinctPositions(const std::vector<Point>& points, double tolerance);

double distance(const Point& p, const Point& q);
