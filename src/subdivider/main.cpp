// meshsubdivide: butterfly subdivision of a user's OBJ mesh, written as a
// welded OBJ mesh. `meshsubdivide --help` tells the options.
#include <cstdio>
#include <string>

#include "options.h"
#include "subdivide_job.h"

int main(int argc, char** argv) {
  SubdivideSettings settings;
  std::string error;
  if (!parseSubdivideOptions(argc, argv, settings, error)) {
    std::fprintf(stderr, "meshsubdivide: %s (see meshsubdivide --help)\n", error.c_str());
    return kStatusUnusable;
  }
  if (settings.help) {
    std::fputs(kSubdivideHelp, stdout);
    return 0;
  }
  if (settings.version) {
    std::puts("meshsubdivide 1.0");
    return 0;
  }
  return runSubdivideJob(settings, stdout, stderr);
}
