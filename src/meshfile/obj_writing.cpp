#include "obj_writing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace {

char* put(char* out, const char* text) {
  const std::size_t n = std::strlen(text);
  std::memcpy(out, text, n);
  return out + n;
}

char* formatCoordinate(char* out, float x) {
  if (std::isnan(x)) return put(out, "nan");
  if (std::isinf(x)) return put(out, x > 0 ? "inf" : "-inf");
  // The shortest form of a float is at most 15 characters ("-1.1754944e-38").
  return std::to_chars(out, out + 16, x).ptr;
}

char* formatIndex(char* out, uint64_t number) { return std::to_chars(out, out + 20, number).ptr; }

// Blocks are numbered vertices first, then triangles.
struct BlockPlan {
  const IndexedMesh& mesh;
  std::size_t vertexBlocks;
  std::size_t blocks;
};

BlockPlan planBlocks(const IndexedMesh& mesh) {
  const std::size_t vertexBlocks = (mesh.vertexCount() + kLinesPerBlock - 1) / kLinesPerBlock;
  const std::size_t triangleBlocks = (mesh.triangleCount() + kLinesPerBlock - 1) / kLinesPerBlock;
  return {mesh, vertexBlocks, vertexBlocks + triangleBlocks};
}

std::size_t formatBlock(const BlockPlan& plan, std::size_t block, char* out) {
  char* const start = out;
  if (block < plan.vertexBlocks) {
    const std::size_t first = block * kLinesPerBlock;
    const std::size_t last = std::min(first + kLinesPerBlock, plan.mesh.vertexCount());
    for (std::size_t v = first; v < last; ++v) out = formatVertexLine(out, plan.mesh.positions[v]);
  } else {
    const std::size_t first = (block - plan.vertexBlocks) * kLinesPerBlock;
    const std::size_t last = std::min(first + kLinesPerBlock, plan.mesh.triangleCount());
    const uint32_t* corners = plan.mesh.corners.data();
    for (std::size_t t = first; t < last; ++t) {
      out = put(out, "f ");
      out = formatIndex(out, uint64_t(corners[3 * t]) + 1);
      *out++ = ' ';
      out = formatIndex(out, uint64_t(corners[3 * t + 1]) + 1);
      *out++ = ' ';
      out = formatIndex(out, uint64_t(corners[3 * t + 2]) + 1);
      *out++ = '\n';
    }
  }
  return static_cast<std::size_t>(out - start);
}

uint64_t linesThrough(const BlockPlan& plan, std::size_t block) {
  if (block < plan.vertexBlocks) return std::min<uint64_t>((block + 1) * kLinesPerBlock, plan.mesh.vertexCount());
  return plan.mesh.vertexCount() +
         std::min<uint64_t>((block + 1 - plan.vertexBlocks) * kLinesPerBlock, plan.mesh.triangleCount());
}

}  // namespace

char* formatVertexLine(char* out, const FloatPoint& p) {
  out = put(out, "v ");
  out = formatCoordinate(out, p.x);
  *out++ = ' ';
  out = formatCoordinate(out, p.y);
  *out++ = ' ';
  out = formatCoordinate(out, p.z);
  *out++ = '\n';
  return out;
}

// Blocks go in pairs: while the caller's thread writes one pair and then
// formats the second block of the next pair, a worker formats its first, so
// both cores format and the writes hide behind the formatting.
bool writeObj(const IndexedMesh& mesh, const std::string& comment, std::FILE* stream, WriteProgress progress,
              void* context) {
  const std::string header = "# " + comment + "\n";
  if (std::fwrite(header.data(), 1, header.size(), stream) != header.size()) return false;
  const BlockPlan plan = planBlocks(mesh);
  const uint64_t lines = mesh.vertexCount() + mesh.triangleCount();
  // A small mesh takes small buffers; their bytes are written before read.
  const std::size_t blockLines = std::min<std::size_t>(kLinesPerBlock, std::max(mesh.vertexCount(), mesh.triangleCount()));
  std::unique_ptr<char[]> buffers[4];
  std::size_t filled[4] = {0, 0, 0, 0};
  for (std::unique_ptr<char[]>& buffer : buffers) buffer.reset(new char[blockLines * kMostBytesPerLine]);
  // Block b goes to buffer b % 4.
  const auto format = [&](std::size_t block) {
    if (block < plan.blocks) filled[block % 4] = formatBlock(plan, block, buffers[block % 4].get());
  };
  format(0);
  format(1);
  bool written = true;
  for (std::size_t first = 0; first < plan.blocks && written; first += 2) {
    std::thread worker;
    if (first + 2 < plan.blocks) {
      try {
        worker = std::thread(format, first + 2);
      } catch (const std::system_error&) {
        format(first + 2);
      }
    }
    for (std::size_t block = first; block < std::min(first + 2, plan.blocks) && written; ++block) {
      written = std::fwrite(buffers[block % 4].get(), 1, filled[block % 4], stream) == filled[block % 4];
      if (written && progress != nullptr) progress(context, linesThrough(plan, block), lines);
    }
    if (written) format(first + 3);
    if (worker.joinable()) worker.join();
  }
  return written && std::fflush(stream) == 0;
}
