// The build without the Open Asset Import Library.
#include "assimp_reading.h"

bool assimpAvailable() { return false; }

bool readWithAssimp(const std::string&, MeshContent&, std::string& cause) {
  cause = "this build reads no format through the Open Asset Import Library";
  return false;
}
