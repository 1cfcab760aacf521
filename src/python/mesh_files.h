// Mesh files from Python: every format the command-line program reads and
// writes, through the same library (mesh_file.h), with the texture
// coordinates, normals, colours, materials and groups the file holds. The
// file work runs without the GIL; a file is written whole or not at all, as
// the program writes it, but Ctrl-C stays Python's.
#pragma once

#include <string>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "array_mesh.h"

// The mesh of the file at path (bytes, as os.fsencode gives it) and the
// notes of what the reader skipped or lost, one line each. Throws
// pybind11::value_error with the reader's cause when the file is not a mesh
// it can read; the caller opens the file first, so that a file that cannot
// be opened raises Python's own OSError.
pybind11::tuple readMeshRecord(const std::string& path);

// Writes the record to path in format ("obj", "ply", "stl" or "off"; empty:
// by the name's extension, else OBJ), binary where the format has it unless
// ascii. Returns what the format could not hold, in words ("" when nothing).
// Throws OSError with the file's name where it cannot be written, and
// pybind11::value_error for a record that is not a mesh or groups that do not
// name every face's group.
std::string writeMeshRecord(const pybind11::object& path, const MeshRecord& record, const std::string& format,
                            bool ascii, bool positionsOnly);

// Raises OSError for errno value cause, naming path, as Python's open does.
[[noreturn]] void raiseFileError(int cause, const pybind11::object& path);
