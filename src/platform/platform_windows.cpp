// The platform on Windows: the memory status, job object limits and process
// counters for the memory the process can still have, file attributes for
// directories, and the Win32 file calls for small files. Windows gives a
// process no huge pages without a privilege a user seldom has, and has no
// call that populates fresh private pages without writing them, so blocks are
// plain heap memory and no pages are populated.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>

#include <algorithm>
#include <cstdlib>

#include "platform.h"

namespace {

uint64_t headroom(uint64_t limit, uint64_t used) { return limit > used ? limit - used : 0; }

// The memory limits of the job object the process runs in, if it runs in
// one, less the memory the process has committed.
uint64_t jobAvailable() {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
  if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job, nullptr))
    return UINT64_MAX;
  const DWORD flags = job.BasicLimitInformation.LimitFlags;
  if ((flags & (JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_JOB_MEMORY)) == 0) return UINT64_MAX;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    return UINT64_MAX;
  const uint64_t committed = counters.PrivateUsage;
  uint64_t least = UINT64_MAX;
  if (flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) least = std::min(least, headroom(job.ProcessMemoryLimit, committed));
  if (flags & JOB_OBJECT_LIMIT_JOB_MEMORY) least = std::min(least, headroom(job.JobMemoryLimit, committed));
  return least;
}

}  // namespace

void* takeHugeMemory(std::size_t bytes) { return takeHeapMemory(bytes); }

std::size_t hugeMemoryBytes(std::size_t bytes) { return bytes; }

void* takeAlignedHugeMemory(std::size_t bytes) { return takeHeapMemory(bytes); }

bool pagesCanBePopulated() { return false; }

bool populatePages(void*, std::size_t) { return false; }

bool isDirectory(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool readSmallFile(const char* path, char* text, std::size_t size) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::size_t filled = 0;
  while (filled + 1 < size) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - 1 - filled, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file, text + filled, wanted, &got, nullptr) || got == 0) break;
    filled += got;
  }
  CloseHandle(file);
  text[filled] = '\0';
  return filled > 0;
}

uint64_t systemMemoryAvailable() {
  uint64_t least = jobAvailable();
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) {
    least = std::min<uint64_t>(least, status.ullAvailPageFile);
    least = std::min<uint64_t>(least, status.ullAvailVirtual);
  }
  return least;
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void setBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

bool replaceFile(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
