#include "bench_files.h"

#if defined(__unix__) || defined(__APPLE__)
#include <stdlib.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace {

bool writeAll(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// A new file name in the directory for temporary files; empty when none.
std::string temporaryPath() {
#if defined(__unix__) || defined(__APPLE__)
  char path[] = "/tmp/butterfly-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  close(fd);
  return path;
#elif defined(_WIN32)
  char directory[MAX_PATH + 1];
  char path[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > sizeof directory) return {};
  if (GetTempFileNameA(directory, "bfb", 0, path) == 0) return {};
  return path;
#else
  char path[L_tmpnam];
  return std::tmpnam(path) != nullptr ? path : "";
#endif
}

}  // namespace

std::FILE* openText(const std::string& text) {
#if defined(__unix__) || defined(__APPLE__)
  return fmemopen(const_cast<char*>(text.data()), text.size(), "r");
#elif defined(_WIN32)
  // The C runtime's own temporary files go to the root of the drive, which a
  // user may not write; "D" deletes the file when the stream is closed.
  const std::string path = writeTemporaryFile(text);
  return path.empty() ? nullptr : std::fopen(path.c_str(), "rbD");
#else
  std::FILE* file = std::tmpfile();
  if (file != nullptr && (!writeAll(file, text) || std::fseek(file, 0, SEEK_SET) != 0)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
#endif
}

std::string writeTemporaryFile(const std::string& text) {
  const std::string path = temporaryPath();
  if (path.empty()) return {};
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return {};
  const bool written = writeAll(file, text);
  if (std::fclose(file) != 0 || !written) {
    std::remove(path.c_str());
    return {};
  }
  return path;
}
