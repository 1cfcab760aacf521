#include "format_detection.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "off_reading.h"
#include "stl_reading.h"

namespace {

struct OtherFormat {
  const char* extension;
  const char* name;
};
// Formats the Open Asset Import Library reads, by the names users know them.
constexpr OtherFormat kOtherFormats[] = {
    {"gltf", "glTF"},  {"glb", "glTF"},        {"fbx", "FBX"},       {"dae", "COLLADA"},   {"3ds", "3DS"},
    {"3mf", "3MF"},    {"blend", "Blender"},   {"x", "DirectX"},     {"lwo", "LightWave"}, {"lws", "LightWave"},
    {"ms3d", "Milkshape 3D"}, {"ase", "3ds Max ASE"}, {"ifc", "IFC"}, {"md2", "Quake II"}, {"md3", "Quake III"},
    {"mdl", "Quake"},  {"smd", "Valve SMD"},   {"x3d", "X3D"},       {"amf", "AMF"},       {"ac", "AC3D"},
    {"irr", "Irrlicht"}, {"dxf", "AutoCAD DXF"}, {"b3d", "BlitzBasic 3D"}, {"cob", "TrueSpace"},
    {"q3o", "Quick3D"}, {"ogex", "OpenGEX"},   {"nff", "NFF"},       {"raw", "RAW"},       {"ter", "Terragen"}};

bool startsWith(const char* data, std::size_t size, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  return size >= n && std::memcmp(data, prefix, n) == 0;
}

// ASCII STL opens with "solid" and has a facet soon after; a binary file's
// 80-byte header may open with "solid" too, which its length tells apart.
bool looksLikeAsciiStl(const char* data, std::size_t size) {
  std::size_t start = 0;
  while (start < size && std::isspace(static_cast<unsigned char>(data[start]))) ++start;
  const auto startsAt = [&](std::size_t at, const char* word) {
    for (std::size_t i = 0; word[i] != '\0'; ++i)
      if (at + i >= size || std::tolower(static_cast<unsigned char>(data[at + i])) != word[i]) return false;
    return true;
  };
  if (!startsAt(start, "solid")) return false;
  const std::size_t window = std::min<std::size_t>(size, 4096);
  for (std::size_t i = start; i + 5 <= window; ++i)
    if (startsAt(i, "facet") || startsAt(i, "endsolid")) return true;
  return false;
}

DetectedFormat named(MeshFormat format, const char* name) { return {format, name}; }

}  // namespace

std::string extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

bool formatOfOutputName(const std::string& path, MeshFormat& format) {
  const std::string extension = extensionOf(path);
  const struct {
    const char* extension;
    MeshFormat format;
  } kOwn[] = {{"obj", MeshFormat::Obj}, {"ply", MeshFormat::Ply}, {"stl", MeshFormat::Stl}, {"off", MeshFormat::Off}};
  for (const auto& own : kOwn) {
    if (extension == own.extension) {
      format = own.format;
      return true;
    }
  }
  return false;
}

DetectedFormat detectFormat(const char* data, std::size_t size, const std::string& path) {
  if (startsWith(data, size, "ply\n") || startsWith(data, size, "ply\r\n")) return named(MeshFormat::Ply, "PLY");
  if (isBinaryStlSize(data, size) || looksLikeAsciiStl(data, size)) return named(MeshFormat::Stl, "STL");
  if (looksLikeOff(data, size)) return named(MeshFormat::Off, "OFF");
  if (startsWith(data, size, "glTF")) return named(MeshFormat::Other, "glTF");
  if (startsWith(data, size, "Kaydara FBX Binary")) return named(MeshFormat::Other, "FBX");
  const std::string extension = extensionOf(path);
  MeshFormat own;
  if (formatOfOutputName(path, own)) {
    const char* names[] = {"OBJ", "PLY", "STL", "OFF"};
    return named(own, names[static_cast<int>(own)]);
  }
  for (const OtherFormat& other : kOtherFormats)
    if (extension == other.extension) return named(MeshFormat::Other, other.name);
  return named(MeshFormat::Obj, "OBJ");
}
