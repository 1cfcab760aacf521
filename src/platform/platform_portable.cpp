// The platform on a system without an implementation of its own: only the
// C++ standard library. Blocks are plain heap memory, no pages are
// populated, and the memory the process can still have is not known.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform.h"

void* takeHugeMemory(std::size_t bytes) { return takeHeapMemory(bytes); }

std::size_t hugeMemoryBytes(std::size_t bytes) { return bytes; }

void* takeAlignedHugeMemory(std::size_t bytes) { return takeHeapMemory(bytes); }

bool pagesCanBePopulated() { return false; }

bool populatePages(void*, std::size_t) { return false; }

bool isDirectory(const char* path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool readSmallFile(const char* path, char* text, std::size_t size) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  const std::size_t filled = std::fread(text, 1, size - 1, file);
  std::fclose(file);
  text[filled] = '\0';
  return filled > 0;
}

uint64_t systemMemoryAvailable() { return UINT64_MAX; }

bool isTerminal(std::FILE*) { return false; }

void setBinaryMode(std::FILE*) {}

bool replaceFile(const char* from, const char* to) {
  if (std::rename(from, to) == 0) return true;
  std::FILE* source = std::fopen(from, "rb");
  if (source == nullptr) return false;
  std::fclose(source);
  return std::remove(to) == 0 && std::rename(from, to) == 0;
}
