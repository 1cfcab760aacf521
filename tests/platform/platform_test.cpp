// The platform's services that a test can see: the small file reader and the
// directory test on real files, the memory probe's text parsers on text and
// files made here (on every system), and the probe itself against a limit
// set here (on the systems that have one).
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifdef VIEWER_PLATFORM_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    do {
      root = (std::filesystem::temp_directory_path() / ("platform-test-" + std::to_string(random()))).string();
    } while (!std::filesystem::create_directory(root));
  }
  void TearDown() override { std::filesystem::remove_all(root); }

  void write(const std::string& relative, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(root + relative).parent_path());
    std::ofstream(root + relative, std::ios::binary) << text;
  }

  std::string root;
};

using Files = ScratchDirectory;

// A file longer than the buffer fills it but for the closing NUL; a shorter
// one ends its text right after its bytes, whatever the buffer held before
// (the memory probes parse the text up to that NUL); an empty or missing
// file gives false. Only a directory is one.
TEST_F(Files, SmallFilesAndDirectories) {
  write("/ten", "0123456789");
  write("/empty", "");
  char text[8];
  std::fill(std::begin(text), std::end(text), 'x');
  ASSERT_TRUE(readSmallFile((root + "/ten").c_str(), text, sizeof text));
  EXPECT_EQ(std::string(text, sizeof text), std::string("0123456\0", sizeof text));
  char whole[64];
  std::fill(std::begin(whole), std::end(whole), 'x');
  ASSERT_TRUE(readSmallFile((root + "/ten").c_str(), whole, sizeof whole));
  EXPECT_EQ(std::string(whole, 11), std::string("0123456789\0", 11));
  EXPECT_FALSE(readSmallFile((root + "/empty").c_str(), whole, sizeof whole));
  EXPECT_FALSE(readSmallFile((root + "/missing").c_str(), whole, sizeof whole));

  EXPECT_TRUE(isDirectory(root.c_str()));
  EXPECT_FALSE(isDirectory((root + "/ten").c_str()));
  EXPECT_FALSE(isDirectory((root + "/missing").c_str()));
}

TEST(MemoryProbes, MeminfoGivesAvailablePlusFreeSwapInBytes) {
  EXPECT_EQ(
      meminfoAvailable("MemTotal:       16000 kB\nMemFree:         1000 kB\n"
                       "MemAvailable:    3000 kB\nSwapTotal:        500 kB\nSwapFree:          24 kB\n"),
      3024u * 1024);
  EXPECT_EQ(meminfoAvailable("MemAvailable: 8 kB\n"), 8u * 1024);
  EXPECT_EQ(meminfoAvailable("MemTotal: 16000 kB\nMemFree: 1000 kB\n"), UINT64_MAX);
}

using CgroupProbe = ScratchDirectory;

// The process sits in v2 group /a/b and v1 memory group /m. Only /a limits
// in v2; in v1 the leaf is tighter than its parent. The least headroom wins,
// and a group over its limit leaves nothing.
TEST_F(CgroupProbe, HeadroomIsTheLeastOverEveryLimitedAncestor) {
  const char* cgroup = "12:cpu,cpuacct:/x\n4:memory:/m\n0::/a/b\n";
  write("/a/b/memory.max", "max\n");
  write("/a/b/memory.current", "7000\n");
  write("/a/memory.max", "100000\n");
  write("/a/memory.current", "40000\n");
  write("/memory/memory.limit_in_bytes", "90000\n");
  write("/memory/memory.usage_in_bytes", "10000\n");
  write("/memory/m/memory.limit_in_bytes", "80000\n");
  write("/memory/m/memory.usage_in_bytes", "10000\n");
  EXPECT_EQ(cgroupAvailable(cgroup, root.c_str()), 60000u);
  write("/memory/m/memory.usage_in_bytes", "25000\n");
  EXPECT_EQ(cgroupAvailable(cgroup, root.c_str()), 55000u);
  write("/a/memory.current", "100001\n");
  EXPECT_EQ(cgroupAvailable(cgroup, root.c_str()), 0u);
  EXPECT_EQ(cgroupAvailable("0::/elsewhere\n", root.c_str()), UINT64_MAX);
  write("/unified/a/b/memory.max", "5000\n");
  write("/unified/a/b/memory.current", "1000\n");
  EXPECT_EQ(cgroupAvailable("0::/a/b\n", root.c_str()), 0u);
  write("/a/memory.current", "0\n");
  EXPECT_EQ(cgroupAvailable("0::/a/b\n", root.c_str()), 4000u);
}

// Linux: with the address space limited to what is in use now plus 64 MiB,
// no more than that can be had. Windows: the system always says how much it
// can still commit.
TEST(MemoryProbes, TheSystemsLimitIsKnown) {
#if defined(VIEWER_PLATFORM_LINUX)
  constexpr uint64_t kRoom = uint64_t(64) << 20;
  char statm[256];
  ASSERT_TRUE(readSmallFile("/proc/self/statm", statm, sizeof statm));
  const uint64_t used = std::strtoull(statm, nullptr, 10) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
  const rlimit limited{std::min<rlim_t>(used + kRoom, before.rlim_max), before.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
  const uint64_t available = systemMemoryAvailable();
  ASSERT_EQ(setrlimit(RLIMIT_AS, &before), 0);
  EXPECT_LE(available, kRoom);
  EXPECT_GT(available, 0u);
#elif defined(VIEWER_PLATFORM_WINDOWS)
  const uint64_t available = systemMemoryAvailable();
  EXPECT_GT(available, 0u);
  EXPECT_LT(available, UINT64_MAX);
#else
  GTEST_SKIP() << "this system's memory is not known: a pass too large fails its allocations instead";
#endif
}

}  // namespace
