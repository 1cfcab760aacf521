// The reader of the subdivider. Characters are bytes: numbers and keywords
// are ASCII, and the other bytes that count as line ends or spaces are those
// of Latin-1 text read by common scripting languages.
#include "obj_reading.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform.h"
#include "vertex_weld.h"

namespace {

bool isLineEnd(unsigned char c) {
  return c == '\n' || c == '\r' || c == '\v' || c == '\f' || (c >= 0x1c && c <= 0x1e) || c == 0x85;
}

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == 0x1f || c == 0xa0 || isLineEnd(c); }

struct Word {
  const char* begin;
  const char* end;
  bool is(const char* keyword) const {
    const std::size_t n = std::strlen(keyword);
    return static_cast<std::size_t>(end - begin) == n && std::memcmp(begin, keyword, n) == 0;
  }
};

// A number that overflows a float is infinite, one too small for it is
// zero or a subnormal, as strtod's nearest double narrowed gives them.
bool parseCoordinate(Word word, float& value) {
  const char* begin = word.begin;
  if (begin < word.end && *begin == '+' && begin + 1 < word.end && begin[1] != '-' && begin[1] != '+') ++begin;
  if (begin == word.end) return false;
  const std::from_chars_result result = std::from_chars(begin, word.end, value);
  if (result.ptr != word.end) return false;
  if (result.ec == std::errc()) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  const std::string copy(begin, word.end);
  value = static_cast<float>(std::strtod(copy.c_str(), nullptr));
  return true;
}

// The 0-based vertex that a face corner names, counting the vertices read
// so far; false when it names none.
bool cornerVertex(Word word, std::size_t count, uint32_t& vertex) {
  const char* end = word.begin;
  while (end < word.end && *end != '/') ++end;
  const char* begin = word.begin;
  if (begin < end && *begin == '+' && begin + 1 < end && begin[1] != '-') ++begin;
  long long number = 0;
  const std::from_chars_result result = std::from_chars(begin, end, number);
  if (result.ec != std::errc() || result.ptr != end) return false;
  const long long signedCount = static_cast<long long>(count);
  const long long index = number > 0 ? number - 1 : signedCount + number;
  if (number == 0 || index < 0 || index >= signedCount) return false;
  vertex = static_cast<uint32_t>(index);
  return true;
}

void addVertex(const std::vector<Word>& words, ObjContent& content) {
  FloatPoint p{0.0f, 0.0f, 0.0f};
  bool parsed = words.size() >= 4 && parseCoordinate(words[1], p.x) && parseCoordinate(words[2], p.y) &&
                parseCoordinate(words[3], p.z);
  content.positions.push_back(parsed ? p : FloatPoint{0.0f, 0.0f, 0.0f});
  content.usable.push_back(parsed ? 1 : 0);
}

void addFace(const std::vector<Word>& words, std::vector<uint32_t>& corners, ObjContent& content) {
  corners.clear();
  for (std::size_t i = 1; i < words.size(); ++i) {
    uint32_t vertex;
    if (!cornerVertex(words[i], content.positions.size(), vertex)) return;
    corners.push_back(vertex);
  }
  for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
    const uint32_t triangle[3] = {corners[0], corners[i], corners[i + 1]};
    if (!content.usable[triangle[0]] || !content.usable[triangle[1]] || !content.usable[triangle[2]]) continue;
    content.triangles.insert(content.triangles.end(), triangle, triangle + 3);
  }
}

}  // namespace

void parseObjText(const char* text, std::size_t size, ObjContent& content) {
  std::vector<Word> words;
  std::vector<uint32_t> corners;
  const char* p = text;
  const char* const end = text + size;
  while (p < end) {
    // One line: its words up to a comment, and whether it goes on.
    const char* lineEnd = p;
    while (lineEnd < end && !isLineEnd(static_cast<unsigned char>(*lineEnd))) ++lineEnd;
    const char* contentEnd = p;
    while (contentEnd < lineEnd && *contentEnd != '#') ++contentEnd;
    while (contentEnd > p && isSpace(static_cast<unsigned char>(contentEnd[-1]))) --contentEnd;
    const bool continued = contentEnd > p && contentEnd[-1] == '\\';
    if (continued) --contentEnd;
    for (const char* q = p; q < contentEnd;) {
      while (q < contentEnd && isSpace(static_cast<unsigned char>(*q))) ++q;
      const char* wordEnd = q;
      while (wordEnd < contentEnd && !isSpace(static_cast<unsigned char>(*wordEnd))) ++wordEnd;
      if (wordEnd > q) words.push_back({q, wordEnd});
      q = wordEnd;
    }
    // A CR LF pair ends one line, not two.
    p = lineEnd;
    if (p < end && *p == '\r' && p + 1 < end && p[1] == '\n') ++p;
    if (p < end) ++p;
    if (continued && p < end) continue;
    if (words.empty()) continue;
    if (words[0].is("v")) addVertex(words, content);
    if (words[0].is("f")) addFace(words, corners, content);
    words.clear();
  }
}

void weldedMesh(const ObjContent& content, IndexedMesh& mesh) {
  BigArray<uint32_t> usableNumber;
  BigArray<FloatPoint> usablePositions;
  usableNumber.reserve(content.positions.size());
  for (std::size_t v = 0; v < content.positions.size(); ++v) {
    usableNumber.push_back(static_cast<uint32_t>(usablePositions.size()));
    if (content.usable[v]) usablePositions.push_back(content.positions[v]);
  }
  VertexWeld weld;
  weldPositions(usablePositions, weld);
  // A weld is never larger than the number it serves, so it is numbered first.
  BigArray<uint32_t> meshNumber(usablePositions.size());
  mesh.positions.clear();
  for (std::size_t u = 0; u < usablePositions.size(); ++u) {
    if (weld.weldedTo[u] == u) {
      meshNumber[u] = static_cast<uint32_t>(mesh.positions.size());
      mesh.positions.push_back(usablePositions[u]);
    } else {
      meshNumber[u] = meshNumber[weld.weldedTo[u]];
    }
  }
  mesh.corners.resize(content.triangles.size());
  for (std::size_t i = 0; i < content.triangles.size(); ++i)
    mesh.corners[i] = meshNumber[usableNumber[content.triangles[i]]];
  classifySides(mesh);
}

bool readWholeFile(const char* path, std::string& text, std::string& error) {
  if (isDirectory(path)) {
    error = "is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  text.clear();
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  const int cause = errno;
  std::fclose(file);
  if (failed) {
    error = std::strerror(cause);
    return false;
  }
  return true;
}

bool readObjMesh(const char* path, IndexedMesh& mesh, std::string& cause) {
  ObjContent content;
  {
    std::string text;
    if (!readWholeFile(path, text, cause)) {
      cause = "cannot read: " + cause;
      return false;
    }
    parseObjText(text.data(), text.size(), content);
  }
  if (content.triangles.empty()) {
    cause = "holds no triangle (no f statement whose corners are vertices with three coordinates)";
    return false;
  }
  weldedMesh(content, mesh);
  return true;
}
