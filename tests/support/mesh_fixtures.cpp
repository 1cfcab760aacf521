#include "mesh_fixtures.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "loader.h"
#include "view.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FIXTURES_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FIXTURES_UNDER_ASAN 1
#endif
#if defined(FIXTURES_UNDER_ASAN) && __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#elif defined(FIXTURES_UNDER_ASAN)
// GCC ships no header for the allocator interface; its libasan has the call.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#ifdef FIXTURES_UNDER_ASAN
std::size_t heapInUse() { return __sanitizer_get_current_allocated_bytes(); }
bool underAddressSanitizer() { return true; }
#elif defined(_WIN32)
// The C runtime keeps no running count on Windows: its heap is walked block
// by block, which is slow but exact.
std::size_t heapInUse() {
  std::size_t used = 0;
  _HEAPINFO entry{};
  while (_heapwalk(&entry) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += entry._size;
  return used;
}
bool underAddressSanitizer() { return false; }
#else
std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
bool underAddressSanitizer() { return false; }
#endif

void resetStore() {
  initLists();
  replaceModel(0);
}

// A new file name in the temporary directory. Random names keep the test
// programs that CTest runs side by side apart.
static std::filesystem::path scratchPath() {
  static std::mt19937_64 names{std::random_device{}()};
  return std::filesystem::temp_directory_path() / ("mesh-test-" + std::to_string(names()));
}

void loadText(const std::string& text) {
  const std::filesystem::path path = scratchPath();
  {
    // Binary, so that the reader gets the bytes of the text on every system.
    std::ofstream file(path, std::ios::binary);
    file << text;
    ASSERT_TRUE(file.flush()) << path;
  }
  loadMesh(path.string().c_str());
  std::filesystem::remove(path);
}

std::string dataPath(const std::string& name) { return std::string(VIEWER_DATA_DIR) + "/" + name; }

std::string objText(const std::vector<std::vector<float>>& positions,
                    const std::vector<std::vector<int>>& triangles) {
  std::string text;
  char line[128];
  for (const auto& p : positions) {
    std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
    text += line;
  }
  for (const auto& t : triangles) {
    std::snprintf(line, sizeof line, "f %d %d %d\n", t[0], t[1], t[2]);
    text += line;
  }
  return text;
}

template <typename Record>
static void checkList(const Record* head, bool checkIds, const char* name) {
  SCOPED_TRACE(name);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->prev, nullptr);
  int expectedId = 1;
  for (const Record* r = head; r->next != nullptr; r = r->next) {
    ASSERT_EQ(r->next->prev, r) << "broken back link after id " << r->id;
    if (checkIds) {
      EXPECT_EQ(r->next->id, expectedId++);
    }
  }
}

void checkLists() {
  checkList(vertexHead, false, "vertices");
  checkList(currentEdgeHead, true, "current edges");
  checkList(nextEdgeHead, false, "next edges");
  checkList(currentFaceHead, true, "current faces");
  checkList(nextFaceHead, false, "next faces");
  // Appending must land after the last element, wherever the tail is kept.
  Vertex probe{};
  probe.id = -7;
  Vertex* appended = appendVertex(probe);
  const Vertex* last = vertexHead;
  while (last->next != nullptr) last = last->next;
  EXPECT_EQ(appended, last);
  EXPECT_EQ(lastVertex(), appended);
  EXPECT_TRUE(unlinkVertex(appended));
}

template <typename Record>
static int countAfter(const Record* head) {
  int n = 0;
  for (const Record* r = head->next; r != nullptr; r = r->next) ++n;
  return n;
}

int countVertices() { return countAfter(vertexHead); }
int countEdges(int generation) { return countAfter(edgeHead(generation)); }
int countFaces(int generation) { return countAfter(faceHead(generation)); }

std::string captureListing(void (*print)(std::FILE*)) {
  // A binary file: the bytes the listing wrote, with no line ends translated.
  const std::filesystem::path path = scratchPath();
  std::FILE* out = std::fopen(path.string().c_str(), "w+b");
  if (out == nullptr) {
    ADD_FAILURE() << "cannot create " << path;
    return {};
  }
  print(out);
  std::rewind(out);
  std::string text;
  char chunk[1 << 14];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, out)) > 0;) text.append(chunk, got);
  std::fclose(out);
  std::filesystem::remove(path);
  return text;
}

template <typename Record>
static std::vector<Record*> recordsAfter(Record* head) {
  std::vector<Record*> records;
  for (Record* r = head->next; r != nullptr; r = r->next) records.push_back(r);
  return records;
}

std::vector<Vertex*> vertexRecords() { return recordsAfter(vertexHead); }
std::vector<Edge*> edgeRecords(int generation) { return recordsAfter(edgeHead(generation)); }
std::vector<Face*> faceRecords(int generation) { return recordsAfter(faceHead(generation)); }
