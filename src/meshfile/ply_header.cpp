#include "ply_header.h"

#include <charconv>
#include <cstring>

namespace {

struct TypeName {
  const char* name;
  PlyType type;
};
constexpr TypeName kTypeNames[] = {
    {"char", PlyType::Int8},     {"int8", PlyType::Int8},       {"uchar", PlyType::Uint8},
    {"uint8", PlyType::Uint8},   {"short", PlyType::Int16},     {"int16", PlyType::Int16},
    {"ushort", PlyType::Uint16}, {"uint16", PlyType::Uint16},   {"int", PlyType::Int32},
    {"int32", PlyType::Int32},   {"uint", PlyType::Uint32},     {"uint32", PlyType::Uint32},
    {"float", PlyType::Float32}, {"float32", PlyType::Float32}, {"double", PlyType::Float64},
    {"float64", PlyType::Float64}};

bool typeOf(const std::string& name, PlyType& type) {
  for (const TypeName& known : kTypeNames) {
    if (name == known.name) {
      type = known.type;
      return true;
    }
  }
  return false;
}

std::vector<std::string> wordsOf(const char* begin, const char* end) {
  std::vector<std::string> words;
  while (begin < end) {
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    const char* wordEnd = begin;
    while (wordEnd < end && *wordEnd != ' ' && *wordEnd != '\t') ++wordEnd;
    if (wordEnd > begin) words.emplace_back(begin, wordEnd);
    begin = wordEnd;
  }
  return words;
}

bool fail(std::string& cause, std::size_t line, const std::string& what) {
  cause = "line " + std::to_string(line) + ": " + what;
  return false;
}

bool readProperty(const std::vector<std::string>& words, std::size_t line, PlyElement& element, std::string& cause) {
  PlyProperty property;
  if (words.size() >= 5 && words[1] == "list") {
    property.list = true;
    if (!typeOf(words[2], property.countType)) return fail(cause, line, "unknown property type '" + words[2] + "'");
    if (property.countType == PlyType::Float32 || property.countType == PlyType::Float64)
      return fail(cause, line, "a list count of type '" + words[2] + "' is no whole number");
    if (!typeOf(words[3], property.type)) return fail(cause, line, "unknown property type '" + words[3] + "'");
    property.name = words[4];
  } else if (words.size() >= 3 && words[1] != "list") {
    if (!typeOf(words[1], property.type)) return fail(cause, line, "unknown property type '" + words[1] + "'");
    property.name = words[2];
  } else {
    return fail(cause, line, "a property needs a type and a name");
  }
  element.properties.push_back(property);
  return true;
}

}  // namespace

std::size_t plyTypeBytes(PlyType type) {
  switch (type) {
    case PlyType::Int8:
    case PlyType::Uint8:
      return 1;
    case PlyType::Int16:
    case PlyType::Uint16:
      return 2;
    case PlyType::Int32:
    case PlyType::Uint32:
    case PlyType::Float32:
      return 4;
    case PlyType::Float64:
      return 8;
  }
  return 0;
}

bool parsePlyHeader(const char* data, std::size_t size, PlyHeader& header, std::string& cause) {
  header = PlyHeader();
  bool formatSeen = false;
  std::size_t offset = 0;
  for (std::size_t line = 1;; ++line) {
    if (offset >= size) return fail(cause, line, "the header has no end_header line");
    const char* begin = data + offset;
    const void* newline = std::memchr(begin, '\n', size - offset);
    const char* end = newline != nullptr ? static_cast<const char*>(newline) : data + size;
    offset = static_cast<std::size_t>(end - data) + (newline != nullptr ? 1 : 0);
    const char* contentEnd = end > begin && end[-1] == '\r' ? end - 1 : end;
    const std::vector<std::string> words = wordsOf(begin, contentEnd);
    if (line == 1) {
      if (words.size() != 1 || words[0] != "ply") return fail(cause, line, "not a PLY file (no 'ply' line first)");
      continue;
    }
    if (words.empty()) continue;
    const std::string& keyword = words[0];
    if (keyword == "format") {
      if (words.size() < 3) return fail(cause, line, "a format needs a name and a version");
      if (words[1] == "ascii") {
        header.format = PlyFormat::Ascii;
      } else if (words[1] == "binary_little_endian") {
        header.format = PlyFormat::BinaryLittleEndian;
      } else if (words[1] == "binary_big_endian") {
        header.format = PlyFormat::BinaryBigEndian;
      } else {
        return fail(cause, line, "unknown format '" + words[1] + "'");
      }
      if (words[2] != "1.0" && words[2] != "1") return fail(cause, line, "unknown version '" + words[2] + "'");
      formatSeen = true;
    } else if (keyword == "element") {
      if (words.size() < 3) return fail(cause, line, "an element needs a name and a count");
      PlyElement element;
      element.name = words[1];
      const std::string& count = words[2];
      const std::from_chars_result result = std::from_chars(count.data(), count.data() + count.size(), element.count);
      if (result.ec != std::errc() || result.ptr != count.data() + count.size())
        return fail(cause, line, "the count '" + count + "' of element '" + words[1] + "' is no whole number");
      header.elements.push_back(element);
    } else if (keyword == "property") {
      if (header.elements.empty()) return fail(cause, line, "a property before any element");
      if (!readProperty(words, line, header.elements.back(), cause)) return false;
    } else if (keyword == "end_header") {
      if (!formatSeen) return fail(cause, line, "the header names no format");
      header.dataOffset = offset;
      return true;
    }
    // "comment", "obj_info" and lines of no PLY keyword are skipped.
  }
}
