// Which format a mesh file is in: told by its content where the content
// says (PLY's first line, an OFF keyword, binary STL's length, ASCII STL's
// "solid ... facet", the magic bytes of glTF and FBX), then by its name's
// extension, any case. A file that says nothing and has no known extension
// is OBJ, as the program has always read it. Nothing is kept between calls.
#pragma once

#include <cstddef>
#include <string>

enum class MeshFormat { Obj, Ply, Stl, Off, Other };

struct DetectedFormat {
  MeshFormat format = MeshFormat::Obj;
  std::string name;  // for a user: "OBJ", "PLY", "glTF", "FBX", ...
};

DetectedFormat detectFormat(const char* data, std::size_t size, const std::string& path);

// The format an output's name asks for by its extension (.obj, .ply, .stl,
// .off, any case); false for any other name.
bool formatOfOutputName(const std::string& path, MeshFormat& format);

// The lower-case extension of path without its dot; empty when none.
std::string extensionOf(const std::string& path);
