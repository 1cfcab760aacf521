#include "ply_reading.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "number_parsing.h"
#include "ply_header.h"

namespace {

// Where a vertex property goes.
enum Role : uint8_t { kX, kY, kZ, kNx, kNy, kNz, kRed, kGreen, kBlue, kAlpha, kU, kV, kRoles, kSkip = kRoles };

struct RoleName {
  const char* name;
  Role role;
};
constexpr RoleName kRoleNames[] = {
    {"x", kX},           {"y", kY},           {"z", kZ},         {"nx", kNx},
    {"ny", kNy},         {"nz", kNz},         {"red", kRed},     {"green", kGreen},
    {"blue", kBlue},     {"alpha", kAlpha},   {"diffuse_red", kRed}, {"diffuse_green", kGreen},
    {"diffuse_blue", kBlue}, {"diffuse_alpha", kAlpha}, {"s", kU}, {"t", kV},
    {"u", kU},           {"v", kV},           {"texture_u", kU}, {"texture_v", kV},
    {"texture_s", kU},   {"texture_t", kV}};

Role roleOf(const PlyProperty& property) {
  if (property.list) return kSkip;
  for (const RoleName& known : kRoleNames)
    if (property.name == known.name) return known.role;
  return kSkip;
}

bool isWhole(PlyType type) { return type != PlyType::Float32 && type != PlyType::Float64; }

template <typename T>
T loadAs(const unsigned char* p, bool swap) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, p, sizeof(T));
  if (swap) std::reverse(bytes, bytes + sizeof(T));
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

double loadScalar(const unsigned char* p, PlyType type, bool swap) {
  switch (type) {
    case PlyType::Int8: return loadAs<int8_t>(p, swap);
    case PlyType::Uint8: return loadAs<uint8_t>(p, swap);
    case PlyType::Int16: return loadAs<int16_t>(p, swap);
    case PlyType::Uint16: return loadAs<uint16_t>(p, swap);
    case PlyType::Int32: return loadAs<int32_t>(p, swap);
    case PlyType::Uint32: return loadAs<uint32_t>(p, swap);
    case PlyType::Float32: return loadAs<float>(p, swap);
    case PlyType::Float64: return loadAs<double>(p, swap);
  }
  return 0.0;
}

bool hostIsBigEndian() {
  const uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 0;
}

// The body of a binary file, value by value.
struct BinaryBody {
  const unsigned char* data;
  std::size_t size;
  std::size_t offset;
  bool swap;

  std::size_t left() const { return size - offset; }
  std::string where() const { return "byte " + std::to_string(offset); }
  bool scalar(PlyType type, double& value) {
    const std::size_t n = plyTypeBytes(type);
    if (left() < n) return false;
    value = loadScalar(data + offset, type, swap);
    offset += n;
    return true;
  }
  // Bytes a record takes at least: a list may be empty.
  static std::size_t leastBytes(const PlyProperty& property) {
    return plyTypeBytes(property.list ? property.countType : property.type);
  }
  static std::size_t itemBytes(PlyType type) { return plyTypeBytes(type); }
  static constexpr std::size_t kSlack = 0;
  // The common face, a byte count of 3 and 32-bit indices, read at once;
  // false (nothing read) for any other.
  bool triangle(const PlyProperty& property, uint32_t corners[3]) {
    if (property.countType != PlyType::Uint8 || plyTypeBytes(property.type) != 4 || left() < 13 ||
        data[offset] != 3)
      return false;
    const bool isSigned = property.type == PlyType::Int32;
    for (int k = 0; k < 3; ++k) {
      const uint32_t index = loadAs<uint32_t>(data + offset + 1 + 4 * k, swap);
      // A negative signed index is out of every range, as a huge one is.
      corners[k] = isSigned && index > uint32_t(INT32_MAX) ? UINT32_MAX : index;
    }
    offset += 13;
    return true;
  }
  bool skipItems(PlyType type, uint64_t count) {
    if (count > left() / plyTypeBytes(type)) return false;
    offset += static_cast<std::size_t>(count) * plyTypeBytes(type);
    return true;
  }
};

// The body of an ascii file, word by word; line numbers count from the
// file's start, header included.
struct TextBody {
  const char* data;
  std::size_t size;
  std::size_t offset;
  std::size_t line;

  std::size_t left() const { return size - offset; }
  std::string where() const { return "line " + std::to_string(line); }
  bool word(const char*& begin, const char*& end) {
    while (offset < size && (data[offset] == ' ' || data[offset] == '\t' || data[offset] == '\r' ||
                             data[offset] == '\n')) {
      if (data[offset] == '\n') ++line;
      ++offset;
    }
    if (offset == size) return false;
    begin = data + offset;
    while (offset < size && data[offset] != ' ' && data[offset] != '\t' && data[offset] != '\r' &&
           data[offset] != '\n')
      ++offset;
    end = data + offset;
    return true;
  }
  bool scalar(PlyType, double& value) {
    const char* begin;
    const char* end;
    return word(begin, end) && parseDoubleWord(begin, end, value);
  }
  // A value takes a character and a space at least.
  static std::size_t leastBytes(const PlyProperty&) { return 2; }
  static std::size_t itemBytes(PlyType) { return 2; }
  // The last value of the file needs no space after it.
  static constexpr std::size_t kSlack = 1;
  bool triangle(const PlyProperty&, uint32_t[3]) { return false; }
  bool skipItems(PlyType type, uint64_t count) {
    double ignored;
    for (uint64_t i = 0; i < count; ++i)
      if (!scalar(type, ignored)) return false;
    return true;
  }
};

bool wholeCount(double value, uint64_t& count) {
  if (!(value >= 0.0) || value > 4294967295.0 || value != std::floor(value)) return false;
  count = static_cast<uint64_t>(value);
  return true;
}

template <typename Body>
bool failAt(const Body& body, const std::string& what, std::string& cause) {
  cause = body.where() + ": " + what;
  return false;
}

// A header count larger than the body could hold is refused before any
// memory is taken for it.
template <typename Body>
bool countFits(const Body& body, const PlyElement& element, std::string& cause) {
  std::size_t least = 0;
  for (const PlyProperty& property : element.properties) least += Body::leastBytes(property);
  if (least == 0 || element.count <= (body.left() + Body::kSlack) / least) return true;
  return failAt(body, "the header says " + std::to_string(element.count) + " " + element.name +
                          " records, more than the " + std::to_string(body.left()) + " bytes left can hold",
                cause);
}

template <typename Body>
bool readProperty(Body& body, const PlyProperty& property, const PlyElement& element, double& value,
                  std::string& cause) {
  if (!property.list) {
    if (body.scalar(property.type, value)) return true;
    return failAt(body, "the file ends or breaks inside element '" + element.name + "'", cause);
  }
  uint64_t count = 0;
  if (!body.scalar(property.countType, value) || !wholeCount(value, count))
    return failAt(body, "a list count of element '" + element.name + "' is missing or not a count", cause);
  if (!body.skipItems(property.type, count))
    return failAt(body, "a list of " + std::to_string(count) + " values runs past the end of the file", cause);
  return true;
}

template <typename Body>
bool skipElement(Body& body, const PlyElement& element, std::string& cause) {
  // Records of no property take no bytes, however many the header says.
  if (element.properties.empty()) return true;
  if (!countFits(body, element, cause)) return false;
  double ignored;
  for (uint64_t i = 0; i < element.count; ++i)
    for (const PlyProperty& property : element.properties)
      if (!readProperty(body, property, element, ignored, cause)) return false;
  return true;
}

struct VertexLayout {
  std::vector<Role> roles;  // per property
  bool has[kRoles] = {};
  bool colorBytes = false;
  double colorScale = 1.0;
};

VertexLayout layoutOf(const PlyElement& element) {
  VertexLayout layout;
  for (const PlyProperty& property : element.properties) {
    const Role role = roleOf(property);
    layout.roles.push_back(role);
    if (role == kSkip) continue;
    layout.has[role] = true;
    if (role == kRed && isWhole(property.type)) {
      layout.colorBytes = true;
      layout.colorScale = property.type == PlyType::Uint16 || property.type == PlyType::Int16 ? 1.0 / 65535 : 1.0 / 255;
    }
  }
  return layout;
}

bool positionsAreFloats(const PlyElement& element, const VertexLayout& layout) {
  for (std::size_t p = 0; p < element.properties.size(); ++p)
    if (layout.roles[p] <= kZ && element.properties[p].type != PlyType::Float32) return false;
  return true;
}

// Positions of float32 in the host's byte order, as this program writes
// them and most scanners do, copied as they are: the file's bits are the
// pass's.
void copyFloatPositions(const BinaryBody& body, const PlyElement& element, const VertexLayout& layout,
                        const std::vector<std::size_t>& offsets, std::size_t recordBytes,
                        BigArray<FloatPoint>& positions) {
  std::size_t at[3] = {0, 0, 0};
  for (std::size_t p = 0; p < element.properties.size(); ++p)
    if (layout.roles[p] <= kZ) at[layout.roles[p]] = offsets[p];
  const std::size_t count = static_cast<std::size_t>(element.count);
  positions.resize(count);
  const unsigned char* record = body.data + body.offset;
  for (std::size_t v = 0; v < count; ++v, record += recordBytes) {
    std::memcpy(&positions[v].x, record + at[0], sizeof(float));
    std::memcpy(&positions[v].y, record + at[1], sizeof(float));
    std::memcpy(&positions[v].z, record + at[2], sizeof(float));
  }
}

template <typename Body>
bool readVertices(Body& body, const PlyElement& element, MeshContent& content, std::string& cause) {
  const VertexLayout layout = layoutOf(element);
  if (!layout.has[kX] || !layout.has[kY] || !layout.has[kZ])
    return failAt(body, "the vertex element has no x, y and z", cause);
  if (!countFits(body, element, cause)) return false;
  if (element.count >= UINT32_MAX) return failAt(body, "more vertices than 32-bit numbers can name", cause);
  MeshAttributes& attributes = content.attributes;
  const bool uv = layout.has[kU] && layout.has[kV];
  const bool normals = layout.has[kNx] && layout.has[kNy] && layout.has[kNz];
  const bool colors = layout.has[kRed] && layout.has[kGreen] && layout.has[kBlue];
  const std::size_t count = static_cast<std::size_t>(element.count);
  content.positions.reserve(count);
  content.usable.assign(count, 1);
  if (uv) attributes.uv.values.reserve(2 * count);
  if (normals) attributes.normals.values.reserve(3 * count);
  const unsigned colorWidth = layout.has[kAlpha] ? 4 : 3;
  if (colors) attributes.colors.values.reserve(colorWidth * count);
  attributes.colorsWereBytes = colors && layout.colorBytes;
  const double scale = layout.colorBytes ? layout.colorScale : 1.0;
  const auto addVertex = [&](const double* slot) {
    content.positions.push_back(
        {static_cast<float>(slot[kX]), static_cast<float>(slot[kY]), static_cast<float>(slot[kZ])});
    if (uv) {
      attributes.uv.values.push_back(float(slot[kU]));
      attributes.uv.values.push_back(float(slot[kV]));
    }
    if (normals)
      for (Role role : {kNx, kNy, kNz}) attributes.normals.values.push_back(float(slot[role]));
    if (colors) {
      for (Role role : {kRed, kGreen, kBlue}) attributes.colors.values.push_back(float(slot[role] * scale));
      if (colorWidth == 4) attributes.colors.values.push_back(float(slot[kAlpha] * scale));
    }
  };
  double slot[kRoles + 1] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  // Binary records of scalars only have one size: their values are read at
  // fixed offsets, the count having been checked against the bytes left.
  if constexpr (std::is_same<Body, BinaryBody>::value) {
    std::vector<std::size_t> offsets;
    std::size_t recordBytes = 0;
    bool fixed = true;
    for (const PlyProperty& property : element.properties) {
      fixed = fixed && !property.list;
      offsets.push_back(recordBytes);
      recordBytes += plyTypeBytes(property.type);
    }
    if (fixed && !uv && !normals && !colors && !body.swap && positionsAreFloats(element, layout)) {
      copyFloatPositions(body, element, layout, offsets, recordBytes, content.positions);
      body.offset += count * recordBytes;
      return true;
    }
    if (fixed) {
      const std::size_t properties = element.properties.size();
      for (std::size_t v = 0; v < count; ++v) {
        const unsigned char* record = body.data + body.offset + v * recordBytes;
        for (std::size_t p = 0; p < properties; ++p)
          slot[layout.roles[p]] = loadScalar(record + offsets[p], element.properties[p].type, body.swap);
        addVertex(slot);
      }
      body.offset += count * recordBytes;
      attributes.uv.width = uv ? 2 : 0;
      attributes.normals.width = normals ? 3 : 0;
      attributes.colors.width = colors ? colorWidth : 0;
      return true;
    }
  }
  for (std::size_t v = 0; v < count; ++v) {
    for (std::size_t p = 0; p < element.properties.size(); ++p)
      if (!readProperty(body, element.properties[p], element, slot[layout.roles[p]], cause)) return false;
    addVertex(slot);
  }
  attributes.uv.width = uv ? 2 : 0;
  attributes.normals.width = normals ? 3 : 0;
  attributes.colors.width = colors ? colorWidth : 0;
  return true;
}

bool isIndexList(const PlyProperty& property) {
  return property.list && (property.name == "vertex_indices" || property.name == "vertex_index");
}

// The faces of the commonest layout, a face element of nothing but a byte
// count and 32-bit indices, while they are triangles, in one tight loop that
// writes straight into the table; returns the faces read. The first face of
// another size is left to the general loop.
uint64_t readTriangleRun(BinaryBody& body, const PlyElement& element, uint64_t vertices, MeshContent& content) {
  if (element.properties.size() != 1) return 0;
  const PlyProperty& property = element.properties[0];
  if (property.countType != PlyType::Uint8 || plyTypeBytes(property.type) != 4) return 0;
  const bool isSigned = property.type == PlyType::Int32;
  const uint64_t most = std::min<uint64_t>(element.count, body.left() / 13);
  const std::size_t start = content.triangles.size();
  content.triangles.resize(start + 3 * static_cast<std::size_t>(most));
  uint32_t* out = content.triangles.data() + start;
  // A negative signed index is out of every range, as a huge one is.
  const uint64_t limit = isSigned ? std::min<uint64_t>(vertices, uint64_t(INT32_MAX) + 1) : vertices;
  uint64_t f = 0;
  std::size_t written = 0;
  for (const unsigned char* record = body.data + body.offset; f < most && record[0] == 3; ++f, record += 13) {
    uint32_t corner[3];
    std::memcpy(corner, record + 1, sizeof corner);
    if (body.swap)
      for (uint32_t& c : corner) c = loadAs<uint32_t>(reinterpret_cast<const unsigned char*>(&c), true);
    if (corner[0] >= limit || corner[1] >= limit || corner[2] >= limit) {
      ++content.facesSkipped;
      continue;
    }
    out[written] = corner[0];
    out[written + 1] = corner[1];
    out[written + 2] = corner[2];
    written += 3;
  }
  body.offset += 13 * static_cast<std::size_t>(f);
  content.triangles.resize(start + written);
  return f;
}

uint64_t readTriangleRun(TextBody&, const PlyElement&, uint64_t, MeshContent&) { return 0; }

template <typename Body>
bool readFaces(Body& body, const PlyElement& element, uint64_t vertices, MeshContent& content, std::string& cause) {
  if (!countFits(body, element, cause)) return false;
  std::size_t perTriangle = 0;
  for (const PlyProperty& property : element.properties)
    perTriangle += Body::leastBytes(property) + (isIndexList(property) ? 3 * Body::itemBytes(property.type) : 0);
  content.triangles.reserve(3 * std::min<std::size_t>(static_cast<std::size_t>(element.count),
                                                      (body.left() + Body::kSlack) / std::max<std::size_t>(perTriangle, 1)));
  std::vector<uint32_t> corners;
  std::vector<uint8_t> indexList;
  for (const PlyProperty& property : element.properties) indexList.push_back(isIndexList(property) ? 1 : 0);
  double ignored;
  for (uint64_t f = readTriangleRun(body, element, vertices, content); f < element.count; ++f) {
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      const PlyProperty& property = element.properties[p];
      if (!indexList[p]) {
        if (!readProperty(body, property, element, ignored, cause)) return false;
        continue;
      }
      uint32_t fast[3];
      if (body.triangle(property, fast)) {
        if (fast[0] < vertices && fast[1] < vertices && fast[2] < vertices) {
          for (uint32_t corner : fast) content.triangles.push_back(corner);
        } else {
          ++content.facesSkipped;
        }
        continue;
      }
      double value;
      uint64_t count = 0;
      if (!body.scalar(property.countType, value) || !wholeCount(value, count))
        return failAt(body, "a face's corner count is missing or not a count", cause);
      if (count > (body.left() + Body::kSlack) / Body::itemBytes(property.type))
        return failAt(body, "a face of " + std::to_string(count) + " corners runs past the end of the file", cause);
      corners.clear();
      bool inRange = true;
      for (uint64_t k = 0; k < count; ++k) {
        if (!body.scalar(property.type, value))
          return failAt(body, "the file ends or breaks inside a face", cause);
        uint64_t index = 0;
        inRange = inRange && wholeCount(value, index) && index < vertices;
        corners.push_back(static_cast<uint32_t>(index));
      }
      if (!inRange) {
        ++content.facesSkipped;
        continue;
      }
      for (std::size_t k = 1; k + 1 < corners.size(); ++k) {
        content.triangles.push_back(corners[0]);
        content.triangles.push_back(corners[k]);
        content.triangles.push_back(corners[k + 1]);
      }
    }
  }
  return true;
}

template <typename Body>
bool readBody(Body& body, const PlyHeader& header, MeshContent& content, std::string& cause) {
  uint64_t vertices = 0;
  bool vertexSeen = false;
  for (const PlyElement& element : header.elements)
    if (element.name == "vertex") vertices = element.count;
  for (const PlyElement& element : header.elements) {
    bool read = true;
    if (element.name == "vertex" && !vertexSeen) {
      read = readVertices(body, element, content, cause);
      vertexSeen = true;
    } else if (element.name == "face") {
      bool hasIndices = false;
      for (const PlyProperty& property : element.properties) hasIndices |= isIndexList(property);
      read = hasIndices ? readFaces(body, element, vertices, content, cause) : skipElement(body, element, cause);
    } else {
      read = skipElement(body, element, cause);
    }
    if (!read) return false;
  }
  if (!vertexSeen) return failAt(body, "the file has no vertex element", cause);
  // Each table holds a value per file vertex, so a corner names its vertex's.
  MeshAttributes& attributes = content.attributes;
  for (CornerValues* table : {&attributes.uv, &attributes.normals, &attributes.colors})
    if (table->present()) table->ofCorner.assign(content.triangles.begin(), content.triangles.end());
  return true;
}

std::size_t lineOf(const char* data, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset; ++i) line += data[i] == '\n';
  return line;
}

}  // namespace

bool parsePlyBytes(const char* data, std::size_t size, MeshContent& content, std::string& cause) {
  PlyHeader header;
  if (!parsePlyHeader(data, size, header, cause)) return false;
  if (header.format == PlyFormat::Ascii) {
    TextBody body{data, size, header.dataOffset, lineOf(data, header.dataOffset)};
    return readBody(body, header, content, cause);
  }
  const bool bigEndian = header.format == PlyFormat::BinaryBigEndian;
  BinaryBody body{reinterpret_cast<const unsigned char*>(data), size, header.dataOffset,
                  bigEndian != hostIsBigEndian()};
  return readBody(body, header, content, cause);
}
