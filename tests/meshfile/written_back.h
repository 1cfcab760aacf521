// A surface written by this library's writers and read back by its
// readers, through a file named as a user's would be.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mesh_file.h"
#include "scratch_stream.h"

// Writes the surface and reads the file back as a user's file would be.
inline SurfaceMesh throughFile(const SurfaceMesh& surface, MeshFormat format, bool ascii, const char* extension,
                               std::string* bytes = nullptr) {
  ScratchStream scratch = openScratch();
  MeshWriteSettings settings;
  settings.format = format;
  settings.ascii = ascii;
  settings.comment = "a test";
  EXPECT_TRUE(writeMeshFile(surface, settings, scratch.file));
  const std::string path = scratch.path + extension;
  const std::string written = closeAndRead(scratch);
  if (bytes != nullptr) *bytes = written;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(written.data(), 1, written.size(), file);
  std::fclose(file);
  SurfaceMesh back;
  MeshReadReport report;
  std::string cause;
  EXPECT_TRUE(readMeshFile(path, back, report, cause)) << cause;
  std::remove(path.c_str());
  return back;
}
