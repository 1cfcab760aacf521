// The benchmark's files: OBJ text it generates, handed to the reader as a
// stream or to the loader as a file.
#pragma once

#include <cstdio>
#include <string>

// A stream that reads text from its start, closed with std::fclose; nullptr
// when it cannot be had. POSIX reads the string's own bytes, so reading it
// costs no file system; elsewhere it reads a temporary copy of the text that
// goes when the stream is closed.
std::FILE* openText(const std::string& text);

// Writes text to a new file in the system's directory for temporary files and
// gives its path, to be removed with std::remove; empty when it cannot.
std::string writeTemporaryFile(const std::string& text);
