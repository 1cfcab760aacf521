// The huge-page service: when advice is given (a pure function of the
// kernel's texts, here on every system), and that the blocks of the build's
// implementation and of the heap fallback are whole, writable and apart at
// every size a pass asks for, and BigArray's elements start at zero.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "big_array.h"
#include "platform.h"

namespace {

constexpr std::size_t kMiB = std::size_t(1) << 20;

// Two zones as /proc/buddyinfo shows them: orders 0 to 10, so a count in the
// last column is two free huge pages, in the one before it one.
std::string buddyinfo(unsigned order9, unsigned order10) {
  return "Node 0, zone      DMA      0      0      0      0      0      0      0      0      1      1      3\n"
         "Node 0, zone   Normal   5800   6514   1686    189    455     19     44     20      3 " +
         std::to_string(order9) + " " + std::to_string(order10) + "\n";
}

struct AdviceCase {
  const char* what;
  const char* enabled;
  const char* defrag;
  std::string buddyinfo;
  std::size_t bytes;
  bool advised;     // at once, no fault compacting
  bool mayCompact;  // else advised while a probed fault does not stall
};

// The DMA zone above holds 1 + 2 * 3 = 7 free huge pages of its own. A block
// of 10 MiB spans 6 huge pages, so it needs 2 * 6 + kHugePagesKeptFree free.
TEST(HugePages, AdvisedAtOnceOnlyWhereNoFaultCompacts) {
  const unsigned needed = 2 * 6 + kHugePagesKeptFree;
  const std::vector<AdviceCase> cases = {
      {"huge pages off", "always madvise [never]", "[defer]", buddyinfo(0, 4000), 10 * kMiB, false, false},
      {"settings unreadable", "", "", buddyinfo(0, 4000), 10 * kMiB, false, false},
      {"enabled unknown word", "[sometimes]", "[defer]", buddyinfo(0, 4000), 10 * kMiB, false, false},
      {"defer never compacts", "always [madvise] never", "always defer defer+madvise madvise [never]",
       buddyinfo(0, 0), 10 * kMiB, true, false},
      {"defer, none free", "always [madvise] never", "always [defer] defer+madvise madvise never",
       buddyinfo(0, 0), 10 * kMiB, true, false},
      {"madvise, plenty free", "always [madvise] never", "always defer defer+madvise [madvise] never",
       buddyinfo(0, 4000), 10 * kMiB, true, true},
      {"madvise, fragmented", "always [madvise] never", "always defer defer+madvise [madvise] never",
       buddyinfo(0, 0), 10 * kMiB, false, true},
      {"defer+madvise compacts advised", "[always] madvise never", "always defer [defer+madvise] madvise never",
       buddyinfo(0, 0), 10 * kMiB, false, true},
      {"always compacts", "[always] madvise never", "[always] defer defer+madvise madvise never",
       buddyinfo(0, 0), 10 * kMiB, false, true},
      {"exactly enough", "always [madvise] never", "[madvise]", buddyinfo(needed - 7, 0), 10 * kMiB, true, true},
      {"one short", "always [madvise] never", "[madvise]", buddyinfo(needed - 8, 0), 10 * kMiB, false, true},
      {"order 10 counts twice", "always [madvise] never", "[madvise]",
       buddyinfo(1, (needed - 8) / 2 + 1), 10 * kMiB, true, true},
      {"a large block needs more", "always [madvise] never", "[madvise]", buddyinfo(0, 4000), 8000 * kMiB, false, true},
      {"buddyinfo unreadable", "always [madvise] never", "[madvise]", "", 10 * kMiB, false, true},
  };
  for (const AdviceCase& c : cases) {
    EXPECT_EQ(hugePagesWithoutStall(c.enabled, c.defrag, c.buddyinfo.c_str(), c.bytes), c.advised) << c.what;
    EXPECT_EQ(hugePagesMayCompact(c.enabled, c.defrag), c.mayCompact) << c.what;
  }
}

struct Service {
  const char* name;
  void* (*take)(std::size_t);
  std::size_t (*usable)(std::size_t);
};

std::size_t sameBytes(std::size_t bytes) { return bytes; }

// Small blocks, each side of where huge pages start, whole huge pages and
// odd sizes between them, as BigArray and the record pools ask for them.
const std::size_t kSizes[] = {1,
                              4096,
                              kHugePagesFrom / 4,
                              kHugePagesFrom - 1,
                              kHugePagesFrom,
                              kHugePagesFrom + 1,
                              kHugePageBytes - 1,
                              kHugePageBytes,
                              kHugePageBytes + 1,
                              2 * kHugePageBytes,
                              3 * kHugePageBytes + 4093,
                              8 * kHugePageBytes,
                              24 * kMiB + 17 * 24 + 5};

// Every usable byte is written with a pattern of its block and read back
// after all blocks are written, so blocks that overlapped or fell short of
// their size would show. takeAlignedHugeMemory's blocks start on a huge page
// on Linux, but for AddressSanitizer's allocator, which moves the block when
// it is shrunk.
TEST(HugePages, BlocksAreWholeAndApartAtEverySize) {
  const std::vector<Service> services = {{"takeHugeMemory", takeHugeMemory, hugeMemoryBytes},
                                         {"takeAlignedHugeMemory", takeAlignedHugeMemory, sameBytes},
                                         {"takeHeapMemory", takeHeapMemory, sameBytes}};
  for (const Service& service : services) {
    std::vector<unsigned char*> blocks;
    for (std::size_t s = 0; s < std::size(kSizes); ++s) {
      const std::size_t bytes = service.usable(kSizes[s]);
      ASSERT_GE(bytes, kSizes[s]) << service.name;
      auto* block = static_cast<unsigned char*>(service.take(kSizes[s]));
      ASSERT_NE(block, nullptr) << service.name << " " << kSizes[s];
#if defined(VIEWER_PLATFORM_LINUX) && !defined(PLATFORM_UNDER_ASAN)
      if (service.take == takeAlignedHugeMemory && kSizes[s] % kHugePageBytes == 0) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kHugePageBytes, 0u) << kSizes[s];
      }
#endif
      std::memset(block, static_cast<int>(s + 1), bytes);
      blocks.push_back(block);
    }
    for (std::size_t s = 0; s < blocks.size(); ++s) {
      const std::size_t bytes = service.usable(kSizes[s]);
      std::size_t wrong = 0;
      for (std::size_t i = 0; i < bytes; ++i) wrong += blocks[s][i] != static_cast<unsigned char>(s + 1);
      EXPECT_EQ(wrong, 0u) << service.name << " " << kSizes[s];
      std::free(blocks[s]);
    }
  }
}

// A freed block's bytes may come back in the next one; a BigArray still
// starts zeroed, whatever the heap held.
TEST(HugePages, BigArraysStartZeroedAtEverySize) {
  for (const std::size_t bytes : kSizes) {
    {
      BigArray<unsigned char> dirty(bytes, 0xa5);
      ASSERT_EQ(dirty.back(), 0xa5);
    }
    const BigArray<uint32_t> array((bytes + 3) / 4);
    std::size_t nonzero = 0;
    for (const uint32_t value : array) nonzero += value != 0;
    EXPECT_EQ(nonzero, 0u) << bytes;
  }
}

}  // namespace
