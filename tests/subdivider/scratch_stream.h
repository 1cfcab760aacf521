// A scratch stream for what the subdivider writes, read back whole.
#pragma once

#include <cstdio>
#include <string>

// Everything written to a std::tmpfile() stream; closes it.
inline std::string closeAndRead(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return text;
}
