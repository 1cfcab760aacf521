// A scratch stream for what the subdivider writes, read back whole. Named
// files in the temporary directory rather than std::tmpfile, which Windows
// makes at the drive's root, where a user may not write.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

struct ScratchStream {
  std::string path;
  std::FILE* file = nullptr;
};

// A name part no other test process running at the same time shares:
// std::rand() unseeded gives every process the same number, and ctest runs
// test processes side by side.
inline const std::string& processTag() {
  static const std::string tag =
      std::to_string(std::random_device{}()) + "-" +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  return tag;
}

inline ScratchStream openScratch() {
  static std::atomic<int> count{0};
  ScratchStream scratch;
  scratch.path = (std::filesystem::temp_directory_path() /
                  ("meshsubdivide-scratch-" + processTag() + "-" + std::to_string(++count)))
                     .string();
  scratch.file = std::fopen(scratch.path.c_str(), "w+b");
  return scratch;
}

// Everything written to the stream; closes and removes it.
inline std::string closeAndRead(ScratchStream& scratch) {
  std::rewind(scratch.file);
  std::string text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, scratch.file)) > 0) text.append(chunk, got);
  std::fclose(scratch.file);
  std::remove(scratch.path.c_str());
  return text;
}
