// Mesh files made byte by byte for the readers' tests, by hand rather than
// by this library's writers, so that a writer and a reader sharing one
// mistake cannot agree on it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Appends the bytes of a value, little or big endian.
template <typename T>
void appendValue(std::string& bytes, T value, bool bigEndian) {
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  // The test machines are little endian (x86-64, and Wine on it).
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes += static_cast<char>(raw[bigEndian ? sizeof(T) - 1 - i : i]);
}

// A square pyramid: a quad base (fanned into two triangles) and four
// sides, in coordinates that print with many digits.
struct Pyramid {
  std::vector<std::vector<float>> positions{
      {0.1f, -1.25f, 3.3333333f}, {2.7182817f, -1.25f, 3.3333333f}, {2.7182817f, 1e-7f, 3.3333333f},
      {0.1f, 1e-7f, 3.3333333f},  {1.4f, -0.6f, 5.5f}};
  std::vector<std::vector<uint32_t>> faces{{0, 3, 2, 1}, {0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}};
};

// The shortest text that reads back as x.
std::string floatText(float x);

std::string pyramidObj(const Pyramid& pyramid);
std::string pyramidOff(const Pyramid& pyramid);
std::string pyramidPlyAscii(const Pyramid& pyramid);
std::string pyramidPlyBinary(const Pyramid& pyramid, bool bigEndian);
// STL holds triangles: the faces fanned as the readers fan them.
std::string pyramidStlAscii(const Pyramid& pyramid);
std::string pyramidStlBinary(const Pyramid& pyramid, const std::string& header = "pyramid");
