// The command line of meshsubdivide, read into one settings record.
#pragma once

#include <string>

#include "format_detection.h"

struct SubdivideSettings {
  std::string input;
  std::string output;  // empty or "-": standard output
  int passes = 1;
  bool passesGiven = false;
  double maxEdge = 0;           // --max-edge: a length, or a percentage of the diagonal
  bool maxEdgeGiven = false;
  bool maxEdgePercent = false;  // maxEdge is a percentage of the bounding-box diagonal
  float tension = 0.05f;  // the viewer's weight, widened to double for the pass
  bool tensionGiven = false;
  bool modifiedRule = false;  // the modified butterfly rule, which has no tension
  double creaseAngle = -1.0;  // degrees, 0 to 180; negative: no creases
  bool progress = false;  // progress on standard error even off a terminal
  bool formatGiven = false;
  MeshFormat format = MeshFormat::Obj;  // --format; else the output's extension, else OBJ
  bool ascii = false;                   // PLY and STL as text
  bool positionsOnly = false;           // leave every attribute out
  bool help = false;
  bool version = false;
};

// Reads argv[1..argc-1]: the input path, -n/--passes N, -o/--output FILE,
// -r/--rule classic|modified, -t/--tension T, --max-edge L|P%,
// --crease-angle DEG, -f/--format obj|ply|stl|off, --ascii,
// --positions-only, --progress, -h/--help, --version; "--" ends the
// options. Options take their value as the next argument, or joined ("-n3",
// "--passes=3"). False with a one-line cause in error for an unknown option,
// a missing or malformed value (a length below 0, a percentage not above 0
// or above 100, a crease angle outside 0 to 180), a tension given with the
// modified rule, no input or a second one.
bool parseSubdivideOptions(int argc, const char* const argv[], SubdivideSettings& settings, std::string& error);

// The text of --help.
extern const char* const kSubdivideHelp;
