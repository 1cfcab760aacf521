#include "off_reading.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "number_parsing.h"

namespace {

struct Word {
  const char* begin;
  const char* end;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The file line by line, each line's words up to a comment; lines without
// words are passed over.
struct Lines {
  const char* data;
  std::size_t size;
  std::size_t offset = 0;
  std::size_t line = 0;
  std::vector<Word> words;

  bool next() {
    while (offset < size) {
      ++line;
      const char* begin = data + offset;
      const void* newline = std::memchr(begin, '\n', size - offset);
      const char* end = newline != nullptr ? static_cast<const char*>(newline) : data + size;
      offset = static_cast<std::size_t>(end - data) + (newline != nullptr ? 1 : 0);
      const void* hash = std::memchr(begin, '#', static_cast<std::size_t>(end - begin));
      if (hash != nullptr) end = static_cast<const char*>(hash);
      words.clear();
      for (const char* p = begin; p < end;) {
        while (p < end && isBlank(*p)) ++p;
        const char* wordEnd = p;
        while (wordEnd < end && !isBlank(*wordEnd)) ++wordEnd;
        if (wordEnd > p) words.push_back({p, wordEnd});
        p = wordEnd;
      }
      if (!words.empty()) return true;
    }
    return false;
  }
  std::size_t left() const { return size - offset; }
};

struct Keyword {
  bool textures = false;
  bool colors = false;
  bool normals = false;
};

bool parseKeyword(Word word, Keyword& keyword) {
  std::string text(word.begin, word.end);
  if (text.size() < 3 || text.compare(text.size() - 3, 3, "OFF") != 0) return false;
  text.resize(text.size() - 3);
  if (text.compare(0, 2, "ST") == 0) {
    keyword.textures = true;
    text.erase(0, 2);
  }
  if (!text.empty() && text[0] == 'C') {
    keyword.colors = true;
    text.erase(0, 1);
  }
  if (!text.empty() && text[0] == 'N') {
    keyword.normals = true;
    text.erase(0, 1);
  }
  return text.empty();
}

bool wholeNumber(Word word, uint64_t& value) {
  const std::from_chars_result result = std::from_chars(word.begin, word.end, value);
  return result.ec == std::errc() && result.ptr == word.end;
}

bool failAt(std::size_t line, const std::string& what, std::string& cause) {
  cause = "line " + std::to_string(line) + ": " + what;
  return false;
}

// Whether colours were written as bytes is told once the whole file is
// read: bytes when every colour number is whole and one at least above 1.
struct ColorForm {
  bool fraction = false;
  bool aboveOne = false;
};

void noteColorWord(Word word, float value, ColorForm& form) {
  for (const char* p = word.begin; p < word.end; ++p) form.fraction |= *p < '0' || *p > '9';
  form.aboveOne |= value > 1.0f;
}

bool readVertex(Lines& lines, const Keyword& keyword, ColorForm& form, std::size_t v, MeshContent& content,
                std::string& cause) {
  const std::vector<Word>& words = lines.words;
  const std::size_t needed = 3 + (keyword.normals ? 3 : 0) + (keyword.colors ? 3 : 0) + (keyword.textures ? 2 : 0);
  if (words.size() < needed)
    return failAt(lines.line, "vertex " + std::to_string(v) + " needs " + std::to_string(needed) + " numbers", cause);
  float numbers[12];
  // A colour may have a fourth number, alpha; anything further is not read.
  const std::size_t count = std::min<std::size_t>(words.size(), needed + (keyword.colors ? 1 : 0));
  for (std::size_t k = 0; k < count; ++k)
    if (!parseFloatWord(words[k].begin, words[k].end, numbers[k]))
      return failAt(lines.line, "'" + std::string(words[k].begin, words[k].end) + "' is not a number", cause);
  content.positions.push_back({numbers[0], numbers[1], numbers[2]});
  content.usable.push_back(1);
  MeshAttributes& attributes = content.attributes;
  std::size_t next = 3;
  if (keyword.normals) {
    attributes.normals.values.insert(attributes.normals.values.end(), numbers + 3, numbers + 6);
    next = 6;
  }
  if (keyword.colors) {
    // Colour is three or four numbers; texture coordinates, when present,
    // are the last two.
    const std::size_t colorWidth = count - next - (keyword.textures ? 2 : 0) >= 4 ? 4 : 3;
    if (v == 0) attributes.colors.width = static_cast<unsigned>(colorWidth);
    for (std::size_t k = 0; k < attributes.colors.width; ++k) {
      const bool given = next + k < count && k < colorWidth;
      if (given) noteColorWord(words[next + k], numbers[next + k], form);
      // A missing alpha is opaque, in either form.
      attributes.colors.values.push_back(given ? numbers[next + k] : -1.0f);
    }
    next += colorWidth;
  }
  if (keyword.textures) attributes.uv.values.insert(attributes.uv.values.end(), numbers + count - 2, numbers + count);
  return true;
}

bool readFace(Lines& lines, uint64_t vertices, std::vector<uint32_t>& corners, MeshContent& content,
              std::string& cause) {
  const std::vector<Word>& words = lines.words;
  uint64_t count = 0;
  if (!wholeNumber(words[0], count) || count > words.size() - 1)
    return failAt(lines.line, "a face needs its corner count and as many vertex numbers", cause);
  corners.clear();
  bool inRange = true;
  for (std::size_t k = 1; k <= count; ++k) {
    uint64_t index = 0;
    if (!wholeNumber(words[k], index) && words[k].begin[0] != '-')
      return failAt(lines.line, "'" + std::string(words[k].begin, words[k].end) + "' is no vertex number", cause);
    inRange = inRange && words[k].begin[0] != '-' && index < vertices;
    corners.push_back(static_cast<uint32_t>(index));
  }
  if (!inRange) {
    ++content.facesSkipped;
    return true;
  }
  for (std::size_t k = 1; k + 1 < corners.size(); ++k)
    content.triangles.insert(content.triangles.end(), {corners[0], corners[k], corners[k + 1]});
  return true;
}

}  // namespace

bool looksLikeOff(const char* data, std::size_t size) {
  Lines lines{data, size, 0, 0, {}};
  Keyword keyword;
  return lines.next() && parseKeyword(lines.words[0], keyword);
}

bool parseOffBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause) {
  Lines lines{data, size, 0, 0, {}};
  Keyword keyword;
  if (!lines.next()) {
    cause = "is empty: no OFF keyword";
    return false;
  }
  if (!parseKeyword(lines.words[0], keyword)) return failAt(lines.line, "not an OFF file (no OFF keyword first)", cause);
  // The counts may follow the keyword on its own line.
  std::vector<Word> counts(lines.words.begin() + 1, lines.words.end());
  if (counts.empty()) {
    if (!lines.next()) return failAt(lines.line, "the file ends before its counts", cause);
    counts = lines.words;
  }
  uint64_t vertices = 0;
  uint64_t faces = 0;
  if (counts.size() < 2 || !wholeNumber(counts[0], vertices) || !wholeNumber(counts[1], faces))
    return failAt(lines.line, "the counts line needs the numbers of vertices and faces", cause);
  // A vertex line takes six bytes at least ("0 0 0\n"), a face line two.
  if (vertices > lines.left() / 6 + 1 || faces > lines.left() / 2 + 1 || vertices >= UINT32_MAX)
    return failAt(lines.line,
                  "the counts say " + std::to_string(vertices) + " vertices and " + std::to_string(faces) +
                      " faces, more than the " + std::to_string(lines.left()) + " bytes left can hold",
                  cause);
  content.positions.reserve(static_cast<std::size_t>(vertices));
  ColorForm form;
  for (std::size_t v = 0; v < vertices; ++v) {
    if (!lines.next()) return failAt(lines.line, "the file ends after " + std::to_string(v) + " vertices", cause);
    if (!readVertex(lines, keyword, form, v, content, cause)) return false;
  }
  std::vector<uint32_t> corners;
  for (uint64_t f = 0; f < faces; ++f) {
    if (!lines.next()) return failAt(lines.line, "the file ends after " + std::to_string(f) + " faces", cause);
    if (!readFace(lines, vertices, corners, content, cause)) return false;
  }
  MeshAttributes& attributes = content.attributes;
  attributes.normals.width = keyword.normals ? 3 : 0;
  attributes.uv.width = keyword.textures ? 2 : 0;
  if (!keyword.colors) attributes.colors.width = 0;
  attributes.colorsWereBytes = keyword.colors && !form.fraction && form.aboveOne;
  for (float& c : attributes.colors.values) c = c < 0.0f ? 1.0f : attributes.colorsWereBytes ? c / 255.0f : c;
  for (CornerValues* table : {&attributes.uv, &attributes.normals, &attributes.colors})
    if (table->present()) table->ofCorner.assign(content.triangles.begin(), content.triangles.end());
  return true;
}
