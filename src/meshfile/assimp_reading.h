// Reading the formats this library has no reader of its own for (glTF,
// FBX, COLLADA, 3DS, 3MF, ...) through the Open Asset Import Library, in
// builds that have it: every mesh of the scene merged, placed by its
// node's transform, polygons triangulated; the first texture-coordinate
// channel, the normals and the first colour set kept. A build without the
// library reads none of them (assimpAvailable says which build this is).
#pragma once

#include <string>

#include "mesh_content.h"

bool assimpAvailable();

// Reads the file at path. False, with the library's cause, when it cannot.
// Throws std::bad_alloc when memory runs out.
bool readWithAssimp(const std::string& path, MeshContent& content, std::string& cause);
