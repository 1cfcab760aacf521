// Writing an indexed mesh's positions as OBJ text: one comment line, then a "v x y z"
// line per vertex and an "f a b c" line per triangle (1-based), LF ends.
//
// Coordinates are written in the shortest form that reads back as the same
// float (std::to_chars), so a file read again gives the very bits written;
// non-finite ones as "nan", "inf" or "-inf". The text is formatted in blocks
// on two threads, the caller's and a worker, and the caller's thread hands
// the blocks to the stream in between, so formatting and writing overlap. Nothing is kept between
// calls; the buffers are the call's own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "indexed_pass.h"
#include "mesh_file.h"

// Bytes of text a block of lines takes at most, and the lines in a block.
constexpr std::size_t kLinesPerBlock = std::size_t(1) << 16;
constexpr std::size_t kMostBytesPerLine = 64;
// The four block buffers a write holds.
constexpr uint64_t kWriteBufferBytes = 4 * kLinesPerBlock * kMostBytesPerLine;

// The line of a vertex, "v x y z\n", at out; returns its end. out must have
// kMostBytesPerLine bytes.
char* formatVertexLine(char* out, const FloatPoint& p);

// Writes "# " + comment, then the mesh. False when the stream reports an
// error (errno then says why); what was written before stays in the stream.
bool writeObj(const IndexedMesh& mesh, const std::string& comment, std::FILE* stream,
              WriteProgress progress = nullptr, void* context = nullptr);
