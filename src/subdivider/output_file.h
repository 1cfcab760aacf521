// An output file written whole or not at all: the text goes to a temporary
// file beside the output, which replaces the output only when everything was
// written; until then a file already at the output's path is untouched.
// The record owns its stream and temporary file; finish or abandon it once.
// In a program, an interrupt (SIGINT, SIGTERM) while one is open removes
// the temporary file and ends the process with status 128 + the signal's
// number; a library inside another program (the Python module) leaves the
// signals to it. Every failure leaves errno saying why as well.
#pragma once

#include <cstdio>
#include <string>

struct OutputFile {
  std::string path;
  std::string temporary;
  std::FILE* stream = nullptr;
  bool removedOnInterrupt = true;
};

// Creates the temporary file for path. False, with the cause in error, when
// it cannot be made (the directory is missing, not writable, ...).
bool openOutput(const std::string& path, OutputFile& output, std::string& error, bool removeOnInterrupt = true);

// Closes the temporary file and moves it to the output's path. False, with
// the cause in error and the temporary file removed, when closing (the last
// writes) or the move fails.
bool finishOutput(OutputFile& output, std::string& error);

// Closes and removes the temporary file; the output's path is untouched.
void abandonOutput(OutputFile& output);

// True when both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);
