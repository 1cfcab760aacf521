#include "output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform.h"

namespace {

// Beside the output, so that the final move stays on one file system; the
// random part keeps two runs writing the same output apart.
std::string temporaryName(const std::string& path, std::mt19937_64& random) {
  static const char kDigits[] = "0123456789abcdef";
  std::string name = path + ".part-";
  uint64_t bits = random();
  for (int i = 0; i < 12; ++i, bits >>= 4) name += kDigits[bits & 15];
  return name;
}

// The temporary file of the run, for the handler of an interrupt (Ctrl-C,
// a kill) to remove; a run has one output at a time. Fixed storage, since a
// handler may not allocate.
char pendingTemporary[4096];

extern "C" void removePendingAndExit(int signal) {
  if (pendingTemporary[0] != '\0') std::remove(pendingTemporary);
  std::_Exit(128 + signal);
}

void removePendingOnInterrupt(const std::string& temporary) {
  if (temporary.size() >= sizeof pendingTemporary) return;
  std::memcpy(pendingTemporary, temporary.c_str(), temporary.size() + 1);
  std::signal(SIGINT, removePendingAndExit);
  std::signal(SIGTERM, removePendingAndExit);
}

void forgetPending() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  pendingTemporary[0] = '\0';
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace

bool openOutput(const std::string& path, OutputFile& output, std::string& error, bool removeOnInterrupt) {
  if (isDirectory(path.c_str())) {
    errno = EISDIR;
    error = "is a directory";
    return false;
  }
  std::mt19937_64 random(std::random_device{}());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temporary = temporaryName(path, random);
    if (exists(temporary)) continue;
    std::FILE* stream = std::fopen(temporary.c_str(), "wb");
    if (stream == nullptr) {
      error = std::strerror(errno);
      return false;
    }
    output = OutputFile{path, temporary, stream, removeOnInterrupt};
    if (removeOnInterrupt) removePendingOnInterrupt(temporary);
    return true;
  }
  errno = EEXIST;
  error = "no free name for a temporary file beside it";
  return false;
}

bool finishOutput(OutputFile& output, std::string& error) {
  const bool flushed = std::fflush(output.stream) == 0 && std::ferror(output.stream) == 0;
  int cause = errno;
  const bool closed = std::fclose(output.stream) == 0;
  if (flushed && !closed) cause = errno;
  output.stream = nullptr;
  if (output.removedOnInterrupt) forgetPending();
  if (flushed && closed && replaceFile(output.temporary.c_str(), output.path.c_str())) return true;
  if (flushed && closed) cause = errno;
  error = std::strerror(cause);
  std::remove(output.temporary.c_str());
  errno = cause;
  return false;
}

void abandonOutput(OutputFile& output) {
  if (output.stream != nullptr) std::fclose(output.stream);
  output.stream = nullptr;
  if (output.removedOnInterrupt) forgetPending();
  std::remove(output.temporary.c_str());
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code failed;
  const bool same = std::filesystem::equivalent(a, b, failed);
  return !failed && same;
}
