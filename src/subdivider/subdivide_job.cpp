#include "subdivide_job.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <new>
#include <string>

#include "adaptive_pass.h"
#include "crease_marking.h"
#include "mesh_file.h"
#include "obj_writing.h"
#include "output_file.h"
#include "pass_budget.h"
#include "platform.h"
#include "progress.h"
#include "side_length.h"
#include "surface_pass.h"

namespace {

struct Job {
  const SubdivideSettings& settings;
  std::FILE* err;
  Progress progress;
  SurfaceMesh surface;
  uint64_t inputVertices = 0;
  uint64_t inputTriangles = 0;
  int passesMade = 0;
  double maxEdge = 0;  // the length --max-edge resolves to
};

int fail(Job& job, const std::string& file, const std::string& cause, int status) {
  endProgress(job.progress);
  std::fprintf(job.err, "meshsubdivide: %s: %s\n", file.c_str(), cause.c_str());
  return status;
}

double mebibytes(uint64_t bytes) { return static_cast<double>(bytes) / (1u << 20); }

std::string withThousands(uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<std::size_t>(i), ",");
  return digits;
}

bool toStandardOutput(const SubdivideSettings& settings) {
  return settings.output.empty() || settings.output == "-";
}

MeshFormat outputFormat(const SubdivideSettings& settings) {
  MeshFormat format = MeshFormat::Obj;
  if (settings.formatGiven) return settings.format;
  if (!toStandardOutput(settings)) formatOfOutputName(settings.output, format);
  return format;
}

void note(Job& job, const std::string& file, const std::string& what) {
  endProgress(job.progress);
  std::fprintf(job.err, "meshsubdivide: %s: %s\n", file.c_str(), what.c_str());
}

int readInput(Job& job) {
  const std::string& path = job.settings.input;
  try {
    std::string cause;
    MeshReadReport report;
    if (!readMeshFile(path, job.surface, report, cause)) return fail(job, path, cause, kStatusUnusable);
    for (const std::string& line : report.notes) note(job, path, line);
  } catch (const std::bad_alloc&) {
    return fail(job, path, "cannot read: out of memory", kStatusUnusable);
  }
  job.inputVertices = job.surface.mesh.vertexCount();
  job.inputTriangles = job.surface.mesh.triangleCount();
  if (job.settings.positionsOnly) job.surface.attributes = MeshAttributes();
  return kStatusWritten;
}

// A conversion leaves the sides unclassified; passes need their flags, and
// the creases among them.
int prepareForPasses(Job& job) {
  const std::string& path = job.settings.input;
  try {
    classifySides(job.surface.mesh);
    if (job.settings.creaseAngle >= 0.0) markCreases(job.surface.mesh, job.settings.creaseAngle);
  } catch (const std::bad_alloc&) {
    return fail(job, path, "cannot read: out of memory", kStatusUnusable);
  }
  return kStatusWritten;
}

// What the viewer says of a pass it does not make, with the pass named;
// kStatusWritten when the pass fits.
int refuseUnfit(Job& job, const std::string& which, const IndexedPassSize& size) {
  const uint64_t needs = size.bytes + kWriteBufferBytes;
  char line[200];
  if (size.triangles > kMostIndexedTriangles || size.vertices > kMostIndexedTriangles) {
    std::snprintf(line, sizeof line, "%s not made: its triangles would pass %" PRIu64 " (it needs %.1f MiB of memory)",
                  which.c_str(), kMostIndexedTriangles, mebibytes(needs));
    return fail(job, job.settings.input, line, kStatusTooLarge);
  }
  const uint64_t available = memoryAvailable();
  if (needs > available) {
    std::snprintf(line, sizeof line, "%s not made: it needs %.1f MiB of memory and %.1f MiB can be had",
                  which.c_str(), mebibytes(needs), mebibytes(available));
    return fail(job, job.settings.input, line, kStatusTooLarge);
  }
  return kStatusWritten;
}

int outOfMemory(Job& job, const std::string& which, const IndexedPassSize& size) {
  char line[200];
  std::snprintf(line, sizeof line, "%s not made: out of memory (it needs %.1f MiB of memory)", which.c_str(),
                mebibytes(size.bytes + kWriteBufferBytes));
  return fail(job, job.settings.input, line, kStatusTooLarge);
}

IndexedRule ruleOf(const SubdivideSettings& settings) {
  return IndexedRule{settings.modifiedRule, static_cast<double>(settings.tension)};
}

int makePasses(Job& job) {
  const int passes = job.settings.passes;
  for (int pass = 1; pass <= passes; ++pass) {
    const IndexedPassSize size = surfacePassSize(job.surface);
    const std::string which = "subdivision pass " + std::to_string(pass) + " of " + std::to_string(passes);
    const int status = refuseUnfit(job, which, size);
    if (status != kStatusWritten) return status;
    noteProgress(job.progress, "pass " + std::to_string(pass) + " of " + std::to_string(passes) + ": " +
                                   withThousands(job.surface.mesh.triangleCount()) + " triangles into " +
                                   withThousands(size.triangles));
    try {
      subdivideSurface(job.surface, ruleOf(job.settings));
    } catch (const std::bad_alloc&) {
      return outOfMemory(job, which, size);
    }
    job.passesMade = pass;
  }
  return kStatusWritten;
}

// Passes that split only the sides longer than the length, each planned
// first so that its refusal counts what it really makes.
int makeLengthPasses(Job& job) {
  const SubdivideSettings& settings = job.settings;
  job.maxEdge = resolvedMaxEdge(job.surface.mesh.positions, settings.maxEdge, settings.maxEdgePercent);
  const int passes = settings.passesGiven ? settings.passes : kMostLengthPasses;
  const std::string of = settings.passesGiven ? " of " + std::to_string(passes) : std::string();
  BigArray<uint8_t> closures;
  for (int pass = 1; pass <= passes; ++pass) {
    AdaptivePlan plan;
    const std::string which = "subdivision pass " + std::to_string(pass) + of;
    try {
      planAdaptivePass(job.surface.mesh, closures, job.maxEdge, plan);
    } catch (const std::bad_alloc&) {
      return outOfMemory(job, which, plan.size);
    }
    if (nothingToSplit(plan)) break;
    const IndexedPassSize size = surfaceLengthPassSize(job.surface, plan);
    const int status = refuseUnfit(job, which, size);
    if (status != kStatusWritten) return status;
    noteProgress(job.progress, "pass " + std::to_string(pass) + of + ": " + withThousands(job.surface.mesh.triangleCount()) +
                                   " triangles into " + (plan.uniform ? "" : "at most ") +
                                   withThousands(plan.size.triangles));
    try {
      subdivideSurfaceToLength(job.surface, closures, plan, ruleOf(settings));
    } catch (const std::bad_alloc&) {
      return outOfMemory(job, which, size);
    }
    job.passesMade = pass;
  }
  return kStatusWritten;
}

std::string headerComment(const Job& job) {
  char tension[32];
  std::snprintf(tension, sizeof tension, "%g", static_cast<double>(job.settings.tension));
  std::string rule = job.settings.modifiedRule ? std::string("modified rule") : std::string("tension ") + tension;
  if (job.settings.creaseAngle >= 0.0) {
    char degrees[32];
    std::snprintf(degrees, sizeof degrees, "%g", job.settings.creaseAngle);
    rule += std::string(", crease angle ") + degrees;
  }
  char length[48] = "";
  if (job.settings.maxEdgeGiven) std::snprintf(length, sizeof length, ", sides at most %g", job.maxEdge);
  return "made by meshsubdivide (butterfly subdivision): passes " + std::to_string(job.passesMade) + ", " + rule +
         length + "; in " + std::to_string(job.inputVertices) + " vertices and " +
         std::to_string(job.inputTriangles) + " triangles, out " + std::to_string(job.surface.mesh.vertexCount()) +
         " vertices and " + std::to_string(job.surface.mesh.triangleCount()) + " triangles";
}

struct WriteNote {
  Job& job;
  std::string name;
};

void noteWrite(void* context, uint64_t done, uint64_t all) {
  WriteNote& note = *static_cast<WriteNote*>(context);
  const unsigned percent = all > 0 ? static_cast<unsigned>(100 * done / all) : 100;
  noteProgress(note.job.progress, "writing " + note.name + ": " + std::to_string(percent) + "%", true);
}

}  // namespace

int runSubdivideJob(const SubdivideSettings& settings, std::FILE* out, std::FILE* err) {
  Job job{settings, err, startProgress(err, isTerminal(err), settings.progress), SurfaceMesh(), 0, 0};
  const bool toFile = !toStandardOutput(settings);
  if (toFile && (settings.output == settings.input || sameFile(settings.input, settings.output)))
    return fail(job, settings.output, "is the input file; name another output", kStatusUnusable);
  int status = readInput(job);
  if (status != kStatusWritten) return status;

  // The output is opened before the passes, so that a run that cannot write
  // says so at once rather than after the work.
  OutputFile output;
  std::string cause;
  if (toFile && !openOutput(settings.output, output, cause))
    return fail(job, settings.output, "cannot write: " + cause, kStatusUnusable);
  if (settings.passes > 0 || settings.maxEdgeGiven) status = prepareForPasses(job);
  if (status == kStatusWritten) status = settings.maxEdgeGiven ? makeLengthPasses(job) : makePasses(job);
  if (status != kStatusWritten) {
    if (toFile) abandonOutput(output);
    return status;
  }

  MeshWriteSettings written;
  written.format = outputFormat(settings);
  written.ascii = settings.ascii;
  written.positionsOnly = settings.positionsOnly;
  written.comment = headerComment(job);
  const std::string dropped = droppedAttributes(job.surface, written);
  const std::string name = toFile ? settings.output : std::string("standard output");
  if (!dropped.empty()) note(job, name, dropped + " not written: the format holds none");
  WriteNote progressNote{job, name};
  written.progress = noteWrite;
  written.context = &progressNote;
  noteProgress(job.progress, "writing " + name);
  bool writtenWhole = false;
  if (!toFile && written.format != MeshFormat::Obj) setBinaryMode(out);
  try {
    writtenWhole = writeMeshFile(job.surface, written, toFile ? output.stream : out);
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
  }
  if (!writtenWhole) {
    const std::string reason = std::strerror(errno);
    if (toFile) abandonOutput(output);
    return fail(job, name, "cannot write: " + reason, kStatusUnusable);
  }
  if (toFile && !finishOutput(output, cause)) return fail(job, settings.output, "cannot write: " + cause, kStatusUnusable);
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", secondsSince(job.progress));
  noteProgress(job.progress, "wrote " + name + ": " + withThousands(job.surface.mesh.vertexCount()) + " vertices, " +
                                 withThousands(job.surface.mesh.triangleCount()) + " triangles in " + seconds);
  endProgress(job.progress);
  return kStatusWritten;
}
