#include "bench_process.h"

#include <cstdio>
#include <cstdlib>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/wait.h>
#include <unistd.h>

std::vector<char> runApart(const std::function<std::vector<char>()>& work) {
  // Both processes would otherwise write what stdout holds now.
  std::fflush(stdout);
  int channel[2];
  if (pipe(channel) != 0) std::exit(2);
  const pid_t child = fork();
  if (child < 0) std::exit(2);
  if (child == 0) {
    close(channel[0]);
    const std::vector<char> results = work();
    std::fflush(stdout);
    const char* bytes = results.data();
    std::size_t left = results.size();
    while (left > 0) {
      const ssize_t written = write(channel[1], bytes, left);
      if (written <= 0) _exit(3);
      bytes += written;
      left -= static_cast<std::size_t>(written);
    }
    _exit(0);
  }
  close(channel[1]);
  std::vector<char> bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + got);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("  (child failed: status %d)\n", status);
  return bytes;
}

#else

std::vector<char> runApart(const std::function<std::vector<char>()>& work) { return work(); }

#endif
