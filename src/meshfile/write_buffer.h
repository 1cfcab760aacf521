// A buffer the writers fill record by record and hand to their stream in
// blocks of about a mebibyte, with the shared formatting of numbers: text
// floats in the shortest form that reads back as the same float
// (std::to_chars), and binary values little endian whatever the machine.
// The buffer owns its bytes; the stream stays the caller's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mesh_file.h"

struct WriteBuffer {
  std::FILE* stream;
  WriteProgress progress = nullptr;
  void* context = nullptr;
  uint64_t all = 0;  // units of work, for progress
  std::vector<char> bytes;
  std::size_t used = 0;
  bool failed = false;
};

WriteBuffer startBuffer(std::FILE* stream, const MeshWriteSettings& settings, uint64_t units);

// Room for `most` bytes at the end of what is written so far; advance with
// the end of what was put there.
char* room(WriteBuffer& buffer, std::size_t most);
void advance(WriteBuffer& buffer, char* end);

// Hands a full block to the stream and reports `done` units; call once a
// record is complete.
void recordDone(WriteBuffer& buffer, uint64_t done);

// Writes what is left and flushes. False when any write failed.
bool finishBuffer(WriteBuffer& buffer);

void putText(WriteBuffer& buffer, const char* text, std::size_t size);
inline void putText(WriteBuffer& buffer, const char* text) { putText(buffer, text, std::strlen(text)); }

// "nan", "inf", "-inf" for non-finite values; at most 16 characters.
char* formatFloat(char* out, float x);
char* formatWhole(char* out, uint64_t number);

// A colour component from 0 to 1 as the byte a file of bytes gave, rounded.
uint8_t colorByte(float c);

inline char* putFloat32(char* out, float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, 4);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(bits >> (8 * i));
  return out + 4;
}
inline char* putUint32(char* out, uint32_t x) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(x >> (8 * i));
  return out + 4;
}
