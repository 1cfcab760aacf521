#include "write_buffer.h"

#include <charconv>
#include <cmath>

namespace {

constexpr std::size_t kBlockBytes = std::size_t(1) << 20;

void handOver(WriteBuffer& buffer) {
  if (!buffer.failed && buffer.used > 0)
    buffer.failed = std::fwrite(buffer.bytes.data(), 1, buffer.used, buffer.stream) != buffer.used;
  buffer.used = 0;
}

}  // namespace

WriteBuffer startBuffer(std::FILE* stream, const MeshWriteSettings& settings, uint64_t units) {
  WriteBuffer buffer{stream, settings.progress, settings.context, units, {}, 0, false};
  buffer.bytes.resize(kBlockBytes + 4096);
  return buffer;
}

char* room(WriteBuffer& buffer, std::size_t most) {
  if (buffer.used + most > buffer.bytes.size()) {
    handOver(buffer);
    if (most > buffer.bytes.size()) buffer.bytes.resize(most);
  }
  return buffer.bytes.data() + buffer.used;
}

void advance(WriteBuffer& buffer, char* end) { buffer.used = static_cast<std::size_t>(end - buffer.bytes.data()); }

void recordDone(WriteBuffer& buffer, uint64_t done) {
  if (buffer.used < kBlockBytes) return;
  handOver(buffer);
  if (buffer.progress != nullptr && !buffer.failed) buffer.progress(buffer.context, done, buffer.all);
}

bool finishBuffer(WriteBuffer& buffer) {
  handOver(buffer);
  if (!buffer.failed && buffer.progress != nullptr) buffer.progress(buffer.context, buffer.all, buffer.all);
  return !buffer.failed && std::fflush(buffer.stream) == 0;
}

void putText(WriteBuffer& buffer, const char* text, std::size_t size) {
  char* out = room(buffer, size);
  std::memcpy(out, text, size);
  advance(buffer, out + size);
}

char* formatFloat(char* out, float x) {
  if (std::isnan(x)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  if (std::isinf(x)) {
    std::memcpy(out, x > 0 ? "inf" : "-inf", x > 0 ? 3 : 4);
    return out + (x > 0 ? 3 : 4);
  }
  // The shortest form of a float is at most 15 characters ("-1.1754944e-38").
  return std::to_chars(out, out + 16, x).ptr;
}

char* formatWhole(char* out, uint64_t number) { return std::to_chars(out, out + 20, number).ptr; }

uint8_t colorByte(float c) {
  const float scaled = std::round(c * 255.0f);
  return static_cast<uint8_t>(!(scaled > 0.0f) ? 0.0f : scaled > 255.0f ? 255.0f : scaled);
}
