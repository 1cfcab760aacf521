// The command line of meshsubdivide, read into one settings record.
#pragma once

#include <string>

#include "format_detection.h"

struct SubdivideSettings {
  std::string input;
  std::string output;  // empty or "-": standard output
  int passes = 1;
  float tension = 0.05f;  // the viewer's weight, widened to double for the pass
  bool tensionGiven = false;
  bool modifiedRule = false;  // the modified butterfly rule, which has no tension
  bool progress = false;  // progress on standard error even off a terminal
  bool formatGiven = false;
  MeshFormat format = MeshFormat::Obj;  // --format; else the output's extension, else OBJ
  bool ascii = false;                   // PLY and STL as text
  bool positionsOnly = false;           // leave every attribute out
  bool help = false;
  bool version = false;
};

// Reads argv[1..argc-1]: the input path, -n/--passes N, -o/--output FILE,
// -r/--rule classic|modified, -t/--tension T, -f/--format obj|ply|stl|off,
// --ascii, --positions-only, --progress, -h/--help, --version; "--" ends the options. Options take their value as the next
// argument, or joined ("-n3", "--passes=3"). False with a one-line cause in
// error for an unknown option, a missing or malformed value, a tension given
// with the modified rule, no input or a second one.
bool parseSubdivideOptions(int argc, const char* const argv[], SubdivideSettings& settings, std::string& error);

// The text of --help.
extern const char* const kSubdivideHelp;
