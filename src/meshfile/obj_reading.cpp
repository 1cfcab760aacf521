// The reader of the subdivider. Characters are bytes: numbers and keywords
// are ASCII, and the other bytes that count as line ends or spaces are those
// of Latin-1 text read by common scripting languages.
#include "obj_reading.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "number_parsing.h"

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

// The 0-based number that one part of a face corner names among `count`
// read so far; false when it names none. An empty part names none and is
// not out of range.
enum class Named { Value, Empty, OutOfRange };
Named cornerNumber(const char* begin, const char* end, std::size_t count, uint32_t& number) {
  if (begin == end) return Named::Empty;
  if (*begin == '+' && begin + 1 < end && begin[1] != '-') ++begin;
  long long written = 0;
  const std::from_chars_result result = std::from_chars(begin, end, written);
  if (result.ec != std::errc() || result.ptr != end) return Named::OutOfRange;
  const long long signedCount = static_cast<long long>(count);
  const long long index = written > 0 ? written - 1 : signedCount + written;
  if (written == 0 || index < 0 || index >= signedCount) return Named::OutOfRange;
  number = static_cast<uint32_t>(index);
  return Named::Value;
}

struct Corner {
  uint32_t vertex;
  uint32_t uv = kNoValue;
  uint32_t normal = kNoValue;
};

struct ObjReader {
  MeshContent& content;
  BigArray<float> vertexColors;     // three per vertex, when any vertex has one
  BigArray<uint8_t> hasColor;       // per vertex, when any vertex has a colour
  std::size_t uvCount = 0;
  std::size_t normalCount = 0;
  std::vector<Corner> corners;
  std::map<std::tuple<std::string, std::string, std::string>, uint32_t> groupNumbers;
  FaceGroup current;
  uint32_t currentGroup = 0;
  bool groupNamed = false;    // a name came: every triangle has a group
  bool groupPending = false;  // a name came since the last triangle
};

std::string restOfLine(const std::vector<Word>& words) {
  if (words.size() < 2) return std::string();
  return std::string(words[1].begin, words.back().end);
}

void addVertex(const std::vector<Word>& words, ObjReader& reader) {
  MeshContent& content = reader.content;
  FloatPoint p{0.0f, 0.0f, 0.0f};
  const bool parsed = words.size() >= 4 && parseFloatWord(words[1].begin, words[1].end, p.x) &&
                      parseFloatWord(words[2].begin, words[2].end, p.y) &&
                      parseFloatWord(words[3].begin, words[3].end, p.z);
  content.positions.push_back(parsed ? p : FloatPoint{0.0f, 0.0f, 0.0f});
  content.usable.push_back(parsed ? 1 : 0);
  float color[3];
  const bool colored = words.size() >= 7 && parseFloatWord(words[4].begin, words[4].end, color[0]) &&
                       parseFloatWord(words[5].begin, words[5].end, color[1]) &&
                       parseFloatWord(words[6].begin, words[6].end, color[2]);
  if (!colored && reader.hasColor.empty()) return;
  // The first coloured vertex gives every earlier one a place in the table.
  reader.hasColor.resize(content.positions.size() - 1, 0);
  reader.vertexColors.resize(3 * (content.positions.size() - 1), 0.0f);
  reader.hasColor.push_back(colored ? 1 : 0);
  for (int k = 0; k < 3; ++k) reader.vertexColors.push_back(colored ? color[k] : 0.0f);
}

void addValue(const std::vector<Word>& words, std::size_t width, CornerValues& table, std::size_t& count) {
  for (std::size_t k = 0; k < width; ++k) {
    float x = 0.0f;
    if (k + 1 < words.size() && !parseFloatWord(words[k + 1].begin, words[k + 1].end, x)) x = 0.0f;
    table.values.push_back(x);
  }
  ++count;
}

// A group joins the list when a triangle is first made in it, so that
// statements naming a group one field at a time ("o", "g", "usemtl") add one
// group, not three. Triangles made before the first name belong to a group
// of no names.
uint32_t groupOfNextTriangle(ObjReader& reader) {
  MeshAttributes& attributes = reader.content.attributes;
  if (!reader.groupPending) return reader.currentGroup;
  reader.groupPending = false;
  // The triangle asking is already among the content's.
  const std::size_t before = reader.content.triangles.size() / 3 - 1;
  if (attributes.groupOfTriangle.size() < before) {
    reader.groupNumbers.emplace(std::make_tuple(std::string(), std::string(), std::string()), 0);
    attributes.groups.push_back(FaceGroup());
    attributes.groupOfTriangle.assign(before, 0);
  }
  const auto key = std::make_tuple(reader.current.material, reader.current.group, reader.current.object);
  const auto found = reader.groupNumbers.emplace(key, static_cast<uint32_t>(attributes.groups.size()));
  if (found.second) attributes.groups.push_back(reader.current);
  reader.currentGroup = found.first->second;
  return reader.currentGroup;
}

void addFace(const std::vector<Word>& words, ObjReader& reader) {
  MeshContent& content = reader.content;
  reader.corners.clear();
  bool bereft = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const char* slash = words[i].begin;
    while (slash < words[i].end && *slash != '/') ++slash;
    Corner corner;
    if (cornerNumber(words[i].begin, slash, content.positions.size(), corner.vertex) != Named::Value) {
      content.facesSkipped += words.size() >= 4;
      return;
    }
    if (slash < words[i].end) {
      const char* second = slash + 1;
      const char* secondEnd = second;
      while (secondEnd < words[i].end && *secondEnd != '/') ++secondEnd;
      bereft |= cornerNumber(second, secondEnd, reader.uvCount, corner.uv) == Named::OutOfRange;
      if (secondEnd < words[i].end)
        bereft |= cornerNumber(secondEnd + 1, words[i].end, reader.normalCount, corner.normal) == Named::OutOfRange;
    }
    reader.corners.push_back(corner);
  }
  if (reader.corners.size() < 3) return;
  MeshAttributes& attributes = content.attributes;
  for (std::size_t i = 1; i + 1 < reader.corners.size(); ++i) {
    const Corner* triangle[3] = {&reader.corners[0], &reader.corners[i], &reader.corners[i + 1]};
    if (!content.usable[triangle[0]->vertex] || !content.usable[triangle[1]->vertex] ||
        !content.usable[triangle[2]->vertex])
      continue;
    for (const Corner* corner : triangle) {
      if (corner->uv != kNoValue) setCornerValue(attributes.uv, content.triangles.size(), corner->uv);
      if (corner->normal != kNoValue) setCornerValue(attributes.normals, content.triangles.size(), corner->normal);
      content.triangles.push_back(corner->vertex);
    }
    if (reader.groupNamed) {
      const uint32_t group = groupOfNextTriangle(reader);
      attributes.groupOfTriangle.push_back(group);
    }
  }
  content.cornersBereft += bereft;
}

void addStatement(const std::vector<Word>& words, ObjReader& reader) {
  const Word& keyword = words[0];
  if (keyword.is("v")) {
    addVertex(words, reader);
  } else if (keyword.is("vt")) {
    addValue(words, 2, reader.content.attributes.uv, reader.uvCount);
  } else if (keyword.is("vn")) {
    addValue(words, 3, reader.content.attributes.normals, reader.normalCount);
  } else if (keyword.is("f")) {
    addFace(words, reader);
  } else if (keyword.is("mtllib") && words.size() > 1) {
    reader.content.attributes.materialLibraries.push_back(restOfLine(words));
  } else if (keyword.is("usemtl") || keyword.is("g") || keyword.is("o")) {
    std::string& field = keyword.is("usemtl") ? reader.current.material
                         : keyword.is("g")    ? reader.current.group
                                              : reader.current.object;
    field = restOfLine(words);
    reader.groupNamed = true;
    reader.groupPending = true;
  }
  // Every other statement ("s", "l", "p", curves, ...) is skipped.
}

void finishColors(ObjReader& reader) {
  MeshContent& content = reader.content;
  if (reader.hasColor.empty()) return;
  reader.hasColor.resize(content.positions.size(), 0);
  CornerValues& colors = content.attributes.colors;
  colors.width = 3;
  colors.values = std::move(reader.vertexColors);
  colors.values.resize(3 * content.positions.size(), 0.0f);
  colors.ofCorner.resize(content.triangles.size());
  for (std::size_t c = 0; c < content.triangles.size(); ++c)
    colors.ofCorner[c] = reader.hasColor[content.triangles[c]] ? content.triangles[c] : kNoValue;
}

}  // namespace

void parseObjText(const char* text, std::size_t size, MeshContent& content) {
  ObjReader reader{content, {}, {}, 0, 0, {}, {}, {}, 0, false, false};
  std::vector<Word> words;
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
    addStatement(words, reader);
    words.clear();
  }
  const std::size_t corners = content.triangles.size();
  finishCornerTable(content.attributes.uv, 2, corners);
  finishCornerTable(content.attributes.normals, 3, corners);
  finishColors(reader);
}

bool readObjMesh(const char* path, IndexedMesh& mesh, std::string& cause) {
  MeshContent content;
  {
    FileBytes bytes;
    if (!readWholeFile(path, bytes, cause)) {
      cause = "cannot read: " + cause;
      return false;
    }
    parseObjText(bytes.data.data(), bytes.size, content);
  }
  if (content.triangles.empty()) {
    cause = "holds no triangle (no f statement whose corners are vertices with three coordinates)";
    return false;
  }
  weldedMesh(content, mesh);
  return true;
}
