#include "mesh_fixtures.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>

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

void loadText(const std::string& text) {
  char path[] = "/tmp/mesh-test-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  loadMesh(path);
  unlink(path);
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
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  print(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
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
