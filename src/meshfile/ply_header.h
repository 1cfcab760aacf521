// The header of a PLY file: its format and the table of its elements and
// their properties, in file order, as the body holds them. The caller owns
// the record; nothing is kept between calls.
//
// Invariants after parsePlyHeader succeeds: every property has a known
// type (and a list its count type); counts are as written and not yet
// checked against the body (the body's reader does that before it takes
// any memory for them); dataOffset is the first byte after "end_header" and
// its line end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PlyFormat { Ascii, BinaryLittleEndian, BinaryBigEndian };

enum class PlyType : uint8_t { Int8, Uint8, Int16, Uint16, Int32, Uint32, Float32, Float64 };

struct PlyProperty {
  std::string name;
  PlyType type = PlyType::Float32;  // of a list's items
  bool list = false;
  PlyType countType = PlyType::Uint8;  // lists only
};

struct PlyElement {
  std::string name;
  uint64_t count = 0;
  std::vector<PlyProperty> properties;
};

struct PlyHeader {
  PlyFormat format = PlyFormat::Ascii;
  std::vector<PlyElement> elements;
  std::size_t dataOffset = 0;
};

// Bytes a value of the type takes in a binary body.
std::size_t plyTypeBytes(PlyType type);

// Parses the header at the start of data. Lines may end in LF or CR LF;
// "comment" and "obj_info" lines and lines of no PLY keyword are skipped.
// False, with the cause and its line ("line 4: unknown property type
// 'float16'"), when the header is not PLY, names an unknown format, version
// or type, or does not end.
bool parsePlyHeader(const char* data, std::size_t size, PlyHeader& header, std::string& cause);
