// The mesh file reader.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "big_array.h"
#include "loader.h"
#include "mesh.h"
#include "platform.h"
#include "token_reader.h"

namespace {

struct ReadState {
  TokenReader tokens;
  BigArray<Vertex*> vertices;  // vertices[i] has id i + 1
  int edgesMade = 0;
  int facesMade = 0;
};

// Binary mode: the bytes as they are on every system. Windows' text mode
// would end the file at a Ctrl-Z byte, and the carriage returns it would take
// out are whitespace to the reader anyway. A directory opens on some systems
// and reads as nothing; it is a file that cannot be opened.
std::FILE* openMeshFile(const char* path) {
  if (isDirectory(path)) return nullptr;
  return std::fopen(path, "rb");
}

// A store that cannot hold a record returns nullptr; the reader's vectors
// throw. Both end the reading the same way.
template <typename Record>
Record* held(Record* record) {
  if (record == nullptr) throw std::bad_alloc();
  return record;
}

// Reads up to count tokens of the kind parse accepts; the first token that
// does not parse is left for the statement loop. Returns how many parsed.
template <typename Number, typename Parse>
int readNumbers(TokenReader& tokens, Number* values, int count, Parse parse) {
  Token token;
  for (int i = 0; i < count; ++i) {
    if (!nextToken(tokens, token)) return i;
    if (!parse(token, values[i])) {
      pushBackToken(tokens, token);
      return i;
    }
  }
  return count;
}

void readVertex(ReadState& state) {
  float coordinates[3] = {0.0f, 0.0f, 0.0f};
  readNumbers(state.tokens, coordinates, 3, parseCoordinate);
  Vertex vertex{};
  vertex.id = static_cast<int32_t>(state.vertices.size()) + 1;
  vertex.x = coordinates[0];
  vertex.y = coordinates[1];
  vertex.z = coordinates[2];
  state.vertices.push_back(held(appendVertex(vertex)));
}

Vertex* vertexWithId(const ReadState& state, int id) {
  if (id < 1 || static_cast<std::size_t>(id) > state.vertices.size()) return nullptr;
  return state.vertices[static_cast<std::size_t>(id) - 1];
}

void readTriangle(ReadState& state) {
  int indices[3];
  if (readNumbers(state.tokens, indices, 3, parseIndex) < 3) return;
  Vertex* corners[3];
  for (int k = 0; k < 3; ++k) {
    corners[k] = vertexWithId(state, indices[k]);
    if (corners[k] == nullptr) return;
  }
  Face face{};
  for (int k = 0; k < 3; ++k) {
    Edge edge{};
    edge.id = ++state.edgesMade;
    edge.flag = kFlagUndecided;
    edge.start = corners[k];
    edge.end = corners[(k + 1) % 3];
    face.v[k] = corners[k];
    face.e[k] = held(appendEdge(edge, kCurrentGeneration));
  }
  face.id = ++state.facesMade;
  held(appendFace(face, kCurrentGeneration));
}

bool isKeyword(const Token& token, char letter) {
  return token.length == 1 && token.text[0] == letter;
}

void readStatements(std::FILE* file) {
  ReadState state;
  startTokens(state.tokens, file);
  Token token;
  while (nextToken(state.tokens, token)) {
    if (isKeyword(token, 'v')) {
      readVertex(state);
    } else if (isKeyword(token, 'f')) {
      readTriangle(state);
    }
  }
}

void reportOutOfMemory() { std::fputs("model not loaded: out of memory while reading it\n", stderr); }

}  // namespace

void loadMesh(const char* path) {
  errno = 0;
  std::FILE* file = nullptr;
  try {
    file = openMeshFile(path);
  } catch (const std::bad_alloc&) {
    // Only where the platform's directory test has to allocate.
    errno = ENOMEM;
  }
  if (file == nullptr && errno == ENOMEM) {
    reportOutOfMemory();
    return;
  }
  if (file == nullptr) std::exit(1);
  readMesh(file);
  std::fclose(file);
}

// Out of memory, whatever was read goes: a model without some of its
// triangles would pass for the file's.
void readMesh(std::FILE* file) {
  try {
    readStatements(file);
    classifyEdges(kCurrentGeneration);
  } catch (const std::bad_alloc&) {
    emptyList(currentFaceHead);
    emptyList(currentEdgeHead);
    emptyList(vertexHead);
    reportOutOfMemory();
  }
}
