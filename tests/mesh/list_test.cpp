// Linked list operations of the store: appends, unlinks and emptying, run on
// each of the five lists, whose tails are kept apart from their heads.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "mesh.h"
#include "mesh_fixtures.h"

namespace {

struct VertexList {
  using Record = Vertex;
  static Vertex* head() { return vertexHead; }
  static Vertex* append(const Vertex& r) { return appendVertex(r); }
  static bool unlink(Vertex* r) { return unlinkVertex(r); }
};

template <int Generation>
struct EdgeList {
  using Record = Edge;
  static Edge* head() { return edgeHead(Generation); }
  static Edge* append(const Edge& r) { return appendEdge(r, Generation); }
  static bool unlink(Edge* r) { return unlinkEdge(r); }
};

template <int Generation>
struct FaceList {
  using Record = Face;
  static Face* head() { return faceHead(Generation); }
  static Face* append(const Face& r) { return appendFace(r, Generation); }
  static bool unlink(Face* r) { return unlinkFace(r); }
};

int totalElements() {
  return countVertices() + countEdges(1) + countEdges(2) + countFaces(1) + countFaces(2);
}

template <typename List>
class ListTest : public ::testing::Test {
 protected:
  using Record = typename List::Record;

  void SetUp() override { resetStore(); }

  Record* append(int id) {
    Record r{};
    r.id = id;
    return List::append(r);
  }

  static std::vector<int> ids() {
    std::vector<int> result;
    for (const Record* r = List::head()->next; r != nullptr; r = r->next) result.push_back(r->id);
    return result;
  }
};

using ListKinds = ::testing::Types<VertexList, EdgeList<1>, EdgeList<2>, FaceList<1>, FaceList<2>>;
// The empty name-generator argument (the default names): C++17 wants one for
// the macro's "...", and Clang's -Wpedantic says so.
TYPED_TEST_SUITE(ListTest, ListKinds, );

TYPED_TEST(ListTest, AppendCopiesTheRecordAfterTheLast) {
  typename TypeParam::Record local{};
  local.id = 5;
  auto* first = TypeParam::append(local);
  EXPECT_NE(first, &local);
  EXPECT_EQ(first->prev, TypeParam::head());
  EXPECT_EQ(first->next, nullptr);
  EXPECT_EQ(TypeParam::head()->next, first);
  local.id = 6;  // the caller reuses its record
  auto* second = TypeParam::append(local);
  EXPECT_EQ(second->prev, first);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(this->ids(), (std::vector<int>{5, 6}));
  EXPECT_EQ(totalElements(), 2) << "an append reached another list";
}

TYPED_TEST(ListTest, UnlinkingTheHeadIsRefused) {
  this->append(1);
  this->append(2);
  EXPECT_FALSE(TypeParam::unlink(TypeParam::head()));
  EXPECT_EQ(TypeParam::head()->prev, nullptr);
  EXPECT_EQ(this->ids(), (std::vector<int>{1, 2}));
}

TYPED_TEST(ListTest, UnlinkingTheLastMovesTheAppendPoint) {
  this->append(1);
  auto* second = this->append(2);
  EXPECT_TRUE(TypeParam::unlink(this->append(3)));
  EXPECT_EQ(second->next, nullptr);
  auto* replacement = this->append(3);
  EXPECT_EQ(replacement->prev, second);
  EXPECT_EQ(this->ids(), (std::vector<int>{1, 2, 3}));
  checkLists();
}

TYPED_TEST(ListTest, UnlinkingAMiddleElementJoinsItsNeighbours) {
  auto* first = this->append(1);
  auto* middle = this->append(2);
  auto* last = this->append(3);
  EXPECT_TRUE(TypeParam::unlink(middle));
  EXPECT_EQ(first->next, last);
  EXPECT_EQ(last->prev, first);
  this->append(4);
  EXPECT_EQ(this->ids(), (std::vector<int>{1, 3, 4}));
}

TYPED_TEST(ListTest, UnlinkingTheOnlyElementLeavesAnEmptyList) {
  EXPECT_TRUE(TypeParam::unlink(this->append(1)));
  EXPECT_EQ(TypeParam::head()->next, nullptr);
  EXPECT_EQ(this->append(2)->prev, TypeParam::head());
  EXPECT_EQ(this->ids(), (std::vector<int>{2}));
}

TYPED_TEST(ListTest, EmptiedHeadTakesNewAppends) {
  emptyList(TypeParam::head());
  EXPECT_EQ(TypeParam::head()->next, nullptr);
  EXPECT_EQ(TypeParam::head()->prev, nullptr);
  for (int id = 1; id <= 3; ++id) this->append(id);
  emptyList(TypeParam::head());
  EXPECT_EQ(TypeParam::head()->next, nullptr);
  EXPECT_EQ(this->append(9)->prev, TypeParam::head());
  EXPECT_EQ(this->ids(), (std::vector<int>{9}));
  EXPECT_EQ(totalElements(), 1);
}

}  // namespace

TEST(Lists, CopiesKeepTheirPointers) {
  resetStore();
  Vertex* a = appendVertex(Vertex{});
  Vertex* b = appendVertex(Vertex{});
  Edge* e = appendEdge(Edge{0, kFlagUndecided, a, b, nullptr, nullptr}, kNextGeneration);
  EXPECT_EQ(e->start, a);
  EXPECT_EQ(e->end, b);
  Face* f =
      appendFace(Face{0, {a, b, a}, {nullptr, e, nullptr}, nullptr, nullptr}, kCurrentGeneration);
  EXPECT_EQ(f->v[1], b);
  EXPECT_EQ(f->v[2], a);
  EXPECT_EQ(f->e[1], e);
}

TEST(Lists, UnlinkInOneGenerationLeavesTheOtherTail) {
  resetStore();
  Edge record{};
  record.id = 1;
  Edge* nextLast = appendEdge(record, kNextGeneration);
  Edge* current = appendEdge(record, kCurrentGeneration);
  EXPECT_TRUE(unlinkEdge(current));
  record.id = 2;
  EXPECT_EQ(appendEdge(record, kNextGeneration)->prev, nextLast);
  EXPECT_EQ(appendEdge(record, kCurrentGeneration)->prev, currentEdgeHead);

  Face face{};
  Face* currentFace = appendFace(face, kCurrentGeneration);
  EXPECT_TRUE(unlinkFace(appendFace(face, kNextGeneration)));
  EXPECT_EQ(appendFace(face, kCurrentGeneration)->prev, currentFace);
  EXPECT_EQ(appendFace(face, kNextGeneration)->prev, nextFaceHead);
}

TEST(Lists, LastVertexFollowsAppendsAndUnlinks) {
  resetStore();
  EXPECT_EQ(lastVertex(), nullptr);
  Vertex v{};
  Vertex* first = appendVertex(v);
  Vertex* second = appendVertex(v);
  EXPECT_EQ(lastVertex(), second);
  unlinkVertex(second);
  EXPECT_EQ(lastVertex(), first);
  emptyList(vertexHead);
  EXPECT_EQ(lastVertex(), nullptr);
}

TEST(Lists, GenerationSelectorAndRepeatedInit) {
  resetStore();
  const void* heads[] = {vertexHead, currentEdgeHead, nextEdgeHead, currentFaceHead, nextFaceHead};
  initLists();
  const void* again[] = {vertexHead, currentEdgeHead, nextEdgeHead, currentFaceHead, nextFaceHead};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(again[k], heads[k]) << "initLists replaced head " << k;
  EXPECT_EQ(edgeHead(kCurrentGeneration), currentEdgeHead);
  EXPECT_EQ(faceHead(kCurrentGeneration), currentFaceHead);
  for (int other : {kNextGeneration, 0, 3, -1}) {
    EXPECT_EQ(edgeHead(other), nextEdgeHead) << other;
    EXPECT_EQ(faceHead(other), nextFaceHead) << other;
  }
}

#ifndef _WIN32
namespace {

// Caps the address space at what the process holds now plus some headroom.
void capAddressSpace(rlim_t headroom) {
  unsigned long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) std::exit(2);
  std::fclose(statm);
  const rlimit limit{pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom, RLIM_INFINITY};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(3);
}

}  // namespace
#endif

// With the address space capped, appends soon find no memory: the append
// that cannot have a record returns nullptr and the list keeps every record
// appended before it, so the reader and the pass can give up cleanly; nothing
// is printed and the process goes on. AddressSanitizer's heap lives in address
// space reserved at start-up, which the cap does not reach, so only the other
// builds can run out here; the test command runs the release build's tests.
TEST(StoreDeathTest, AppendOutOfMemoryReturnsNullAndKeepsTheList) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's heap is not limited by the address-space cap";
#endif
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no address-space cap (setrlimit) that a process sets on itself";
#else
  EXPECT_EXIT(
      {
        resetStore();
        capAddressSpace(64 << 20);
        const Vertex* last = nullptr;
        int32_t made = 0;
        while (made < 100000000) {
          Vertex record{};
          record.id = made + 1;
          const Vertex* added = appendVertex(record);
          if (added == nullptr) break;
          last = added;
          ++made;
        }
        const bool kept = last != nullptr && lastVertex() == last && last->id == made && last->next == nullptr;
        std::exit(made < 100000000 && kept ? 0 : 4);
      },
      ::testing::ExitedWithCode(0), "^$");
#endif
}
