// Model loading: the table of models offered on the pop-up menu, the menu
// handler that replaces the current model, and the mesh file reader.
//
// The reader fills the current generation of the mesh store: vertices into
// the vertex list (ids 1, 2, 3 ... in file order), three edges into the
// current edge list and one face into the current face list per triangle
// statement, then classifies the current edges. Records belong to the store's
// lists; the reader keeps nothing between calls.
//
// Accepted text: whitespace-separated tokens; "v x y z" adds a vertex and
// "f i j k" a triangle of existing vertices; every other token is skipped on
// its own. What the reader does with malformed statements is written beside
// loadMesh below and in the README.
#pragma once

#include <cstdio>

struct ModelEntry {
  const char* label;  // menu label
  int value;          // menu value
  const char* path;   // relative to the working directory
};

constexpr ModelEntry kModels[] = {
    {"Cube", '1', "Data/Cube.obj"},
    {"SmallCube", '2', "Data/SmallCube.obj"},
    {"Cylinder", '3', "Data/table.obj"},
};

// The path of the model with this menu value, or nullptr for any other value.
const char* modelPath(int value);

// Drops the whole current model (vertices, both edge generations, both face
// generations) and loads the model with this menu value, if there is one.
void replaceModel(int value);

// The pop-up menu handler: replaceModel, then a redraw request.
void modelMenu(int value);

// Reads the mesh file at path into the current generation and classifies it.
// A file that cannot be opened for reading (missing, unreadable, a directory)
// ends the process with status 1 and no message. Running out of memory, while
// opening the file or reading it, leaves the store empty and says so in one
// line on standard error. Within the file:
//  - "v" takes up to three following number tokens; a coordinate that is
//    missing or does not parse is 0, and the vertex still counts, so later
//    indices keep their meaning;
//  - "f" takes three following index tokens ("i", "i/t", "i//n", "i/t/n" all
//    name vertex i); if fewer than three parse, or one names no vertex read so
//    far (zero, negative, too large, beyond the int range), the statement adds
//    nothing;
//  - a token that does not parse as the number a statement wanted is not
//    consumed by it: it is read next like any other token;
//  - a token longer than 127 characters is skipped whole; anything else that
//    is not exactly "v" or "f" is skipped one token at a time (so a fourth
//    index of a polygon is skipped).
void loadMesh(const char* path);

// loadMesh on a stream already open, which stays open: the same reading,
// classification and handling of running out of memory, for callers that
// hold the text in memory.
void readMesh(std::FILE* file);
