// Shared fixtures of the tests: a fresh store, meshes from text, the path of
// the Data/ models, list invariant checks and captured listings.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "mesh.h"

// Creates the lists once and empties all five.
void resetStore();

// Writes text to a temporary file and reads it with loadMesh.
void loadText(const std::string& text);

// The path of a file of Data/, e.g. dataPath("Cube.obj").
std::string dataPath(const std::string& name);

// OBJ text of a mesh: positions, then 1-based triangles.
std::string objText(const std::vector<std::vector<float>>& positions,
                    const std::vector<std::vector<int>>& triangles);

// Expects every list to be well linked (each next's prev points back, the
// head alone has a null prev, the tail where the store appends) and the ids
// of each edge and face list to run 1, 2, 3 ...
void checkLists();

int countVertices();
int countEdges(int generation);
int countFaces(int generation);

// Bytes the program holds on the heap, mapped chunks included. Exact under
// AddressSanitizer, which replaces malloc; glibc's count includes the small
// chunks parked in its per-thread caches.
std::size_t heapInUse();
bool underAddressSanitizer();

// What a listing function prints.
std::string captureListing(void (*print)(std::FILE*));

// The records of a list, in order, for tests that index them.
std::vector<Vertex*> vertexRecords();
std::vector<Edge*> edgeRecords(int generation);
std::vector<Face*> faceRecords(int generation);
