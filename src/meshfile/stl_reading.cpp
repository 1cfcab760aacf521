#include "stl_reading.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "number_parsing.h"

namespace {

uint32_t littleEndian32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float littleEndianFloat(const unsigned char* p) {
  const uint32_t bits = littleEndian32(p);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

void readBinary(const unsigned char* data, std::size_t triangles, MeshContent& content) {
  content.positions.resize(3 * triangles);
  content.usable.assign(3 * triangles, 1);
  content.triangles.resize(3 * triangles);
  for (std::size_t t = 0; t < triangles; ++t) {
    // 12 bytes of facet normal, three vertices, two attribute bytes.
    const unsigned char* facet = data + 84 + 50 * t + 12;
    for (std::size_t k = 0; k < 3; ++k) {
      const unsigned char* p = facet + 12 * k;
      content.positions[3 * t + k] = {littleEndianFloat(p), littleEndianFloat(p + 4), littleEndianFloat(p + 8)};
      content.triangles[3 * t + k] = static_cast<uint32_t>(3 * t + k);
    }
  }
}

struct Words {
  const char* data;
  std::size_t size;
  std::size_t offset = 0;
  std::size_t line = 1;

  bool next(const char*& begin, const char*& end) {
    while (offset < size && std::strchr(" \t\r\n\f\v", data[offset]) != nullptr && data[offset] != '\0') {
      if (data[offset] == '\n') ++line;
      ++offset;
    }
    if (offset == size) return false;
    begin = data + offset;
    while (offset < size && (data[offset] == '\0' || std::strchr(" \t\r\n\f\v", data[offset]) == nullptr)) ++offset;
    end = data + offset;
    return true;
  }
};

// Keywords in any case: some tools write "SOLID", "FACET NORMAL", "VERTEX".
bool is(const char* begin, const char* end, const char* keyword) {
  const std::size_t n = std::strlen(keyword);
  if (static_cast<std::size_t>(end - begin) != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(begin[i])) != keyword[i]) return false;
  return true;
}

bool failAt(std::size_t line, const std::string& what, std::string& cause) {
  cause = "line " + std::to_string(line) + ": " + what;
  return false;
}

// "vertex x y z" lines between "outer loop" and "endloop" make a polygon,
// fanned; every other word outside a loop (solid names, facet normals,
// endfacet, endsolid) is skipped.
bool readText(const char* data, std::size_t size, MeshContent& content, std::string& cause) {
  Words words{data, size, 0, 1};
  const char* begin;
  const char* end;
  bool inLoop = false;
  std::size_t loopStart = 0;
  std::size_t loopLine = 0;
  while (words.next(begin, end)) {
    if (is(begin, end, "loop")) {
      inLoop = true;
      loopStart = content.positions.size();
      loopLine = words.line;
    } else if (is(begin, end, "endloop")) {
      if (!inLoop) return failAt(words.line, "endloop without a loop", cause);
      inLoop = false;
      for (std::size_t k = loopStart + 1; k + 1 < content.positions.size(); ++k)
        content.triangles.insert(content.triangles.end(),
                                 {uint32_t(loopStart), uint32_t(k), uint32_t(k + 1)});
    } else if (is(begin, end, "vertex")) {
      if (!inLoop) return failAt(words.line, "a vertex outside a facet's loop", cause);
      FloatPoint p;
      float* coordinates[3] = {&p.x, &p.y, &p.z};
      for (float* coordinate : coordinates) {
        if (!words.next(begin, end) || !parseFloatWord(begin, end, *coordinate))
          return failAt(words.line, "a vertex needs three numbers", cause);
      }
      if (content.positions.size() >= UINT32_MAX) return failAt(words.line, "too many vertices", cause);
      content.positions.push_back(p);
      content.usable.push_back(1);
    }
  }
  if (inLoop) return failAt(loopLine, "the file ends inside the facet whose loop starts here", cause);
  return true;
}

}  // namespace

bool isBinaryStlSize(const char* data, std::size_t size) {
  if (size < 84) return false;
  const uint64_t triangles = littleEndian32(reinterpret_cast<const unsigned char*>(data) + 80);
  return 84 + 50 * triangles == size;
}

bool parseStlBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause) {
  if (isBinaryStlSize(data, size)) {
    const std::size_t triangles = (size - 84) / 50;
    if (3 * uint64_t(triangles) >= UINT32_MAX) {
      cause = "holds more triangles than can be numbered";
      return false;
    }
    readBinary(reinterpret_cast<const unsigned char*>(data), triangles, content);
    return true;
  }
  std::size_t start = 0;
  while (start < size && std::strchr(" \t\r\n", data[start]) != nullptr && data[start] != '\0') ++start;
  if (size - start >= 5 && is(data + start, data + start + 5, "solid")) return readText(data, size, content, cause);
  if (size < 84) {
    cause = "is neither binary STL (" + std::to_string(size) + " bytes, fewer than the 84 of its header) nor ASCII STL";
  } else {
    const uint64_t triangles = littleEndian32(reinterpret_cast<const unsigned char*>(data) + 80);
    cause = "is neither ASCII STL nor binary STL: its header says " + std::to_string(triangles) +
            " triangles, which take " + std::to_string(84 + 50 * triangles) + " bytes, but the file has " +
            std::to_string(size);
  }
  return false;
}
