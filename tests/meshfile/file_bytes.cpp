#include "file_bytes.h"

#include <charconv>

std::string floatText(float x) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

namespace {

std::string pointText(const std::vector<float>& p) {
  return floatText(p[0]) + " " + floatText(p[1]) + " " + floatText(p[2]);
}

std::vector<std::vector<uint32_t>> fanned(const Pyramid& pyramid) {
  std::vector<std::vector<uint32_t>> triangles;
  for (const std::vector<uint32_t>& face : pyramid.faces)
    for (std::size_t k = 1; k + 1 < face.size(); ++k) triangles.push_back({face[0], face[k], face[k + 1]});
  return triangles;
}

}  // namespace

std::string pyramidObj(const Pyramid& pyramid) {
  std::string text = "# a pyramid\n";
  for (const std::vector<float>& p : pyramid.positions) text += "v " + pointText(p) + "\n";
  for (const std::vector<uint32_t>& face : pyramid.faces) {
    text += "f";
    for (uint32_t v : face) text += " " + std::to_string(v + 1);
    text += "\n";
  }
  return text;
}

std::string pyramidOff(const Pyramid& pyramid) {
  std::string text = "OFF\n# a pyramid\n\n" + std::to_string(pyramid.positions.size()) + " " +
                     std::to_string(pyramid.faces.size()) + " 0\n";
  for (const std::vector<float>& p : pyramid.positions) text += pointText(p) + "  # a vertex\n";
  for (const std::vector<uint32_t>& face : pyramid.faces) {
    text += std::to_string(face.size());
    for (uint32_t v : face) text += " " + std::to_string(v);
    text += " 255 0 0\n";  // a face colour, not kept
  }
  return text;
}

std::string pyramidPlyAscii(const Pyramid& pyramid) {
  std::string text = "ply\nformat ascii 1.0\ncomment a pyramid\nobj_info made by hand\nelement vertex " +
                     std::to_string(pyramid.positions.size()) +
                     "\nproperty float x\nproperty float y\nproperty float z\nproperty uchar flags\n"
                     "element face " + std::to_string(pyramid.faces.size()) +
                     "\nproperty list uchar int vertex_indices\nelement edge 1\nproperty int vertex1\n"
                     "property int vertex2\nend_header\n";
  for (const std::vector<float>& p : pyramid.positions) text += pointText(p) + " 7\n";
  for (const std::vector<uint32_t>& face : pyramid.faces) {
    text += std::to_string(face.size());
    for (uint32_t v : face) text += " " + std::to_string(v);
    text += "\n";
  }
  return text + "0 1\n";
}

// Properties around the ones read, of types the reader must skip by size.
std::string pyramidPlyBinary(const Pyramid& pyramid, bool bigEndian) {
  std::string bytes = std::string("ply\r\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\r\nelement vertex " + std::to_string(pyramid.positions.size()) +
                      "\r\nproperty double confidence\r\nproperty float32 x\r\nproperty float32 y\r\n"
                      "property float32 z\r\nproperty list ushort int16 neighbours\r\nelement face " +
                      std::to_string(pyramid.faces.size()) +
                      "\r\nproperty int8 kind\r\nproperty list uint uint32 vertex_index\r\nend_header\r\n";
  for (const std::vector<float>& p : pyramid.positions) {
    appendValue(bytes, 0.5, bigEndian);
    for (float x : p) appendValue(bytes, x, bigEndian);
    appendValue(bytes, uint16_t(2), bigEndian);
    appendValue(bytes, int16_t(-1), bigEndian);
    appendValue(bytes, int16_t(300), bigEndian);
  }
  for (const std::vector<uint32_t>& face : pyramid.faces) {
    appendValue(bytes, int8_t(-2), bigEndian);
    appendValue(bytes, uint32_t(face.size()), bigEndian);
    for (uint32_t v : face) appendValue(bytes, v, bigEndian);
  }
  return bytes;
}

std::string pyramidStlAscii(const Pyramid& pyramid) {
  std::string text = "solid pyramid\n";
  for (const std::vector<uint32_t>& triangle : fanned(pyramid)) {
    text += "  facet normal 0 0 1\n    outer loop\n";
    for (uint32_t v : triangle) text += "      vertex " + pointText(pyramid.positions[v]) + "\n";
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid pyramid\n";
}

std::string pyramidStlBinary(const Pyramid& pyramid, const std::string& header) {
  std::string bytes = header;
  bytes.resize(80, ' ');
  const std::vector<std::vector<uint32_t>> triangles = fanned(pyramid);
  appendValue(bytes, uint32_t(triangles.size()), false);
  for (const std::vector<uint32_t>& triangle : triangles) {
    for (int k = 0; k < 3; ++k) appendValue(bytes, 0.0f, false);
    for (uint32_t v : triangle)
      for (float x : pyramid.positions[v]) appendValue(bytes, x, false);
    appendValue(bytes, uint16_t(0), false);
  }
  return bytes;
}
