// The benchmark's headline: every pass's first run in a new process, as a
// user meets it in the viewer, against OpenMesh's first runs. Each round
// starts, for every mesh, one process of first_run_ours and one of
// first_run_openmesh (which goes first alternates with the rounds, so that a
// slow spell of the shared machine falls on both); each row is the median of
// its rounds. The bench's own meshes go to temporary OBJ files; more mesh
// files (a real scan) come as arguments.
//
// Usage: first_runs [--rounds N] [--file MESH.obj PASSES]... [NAMES...]
// NAMES pick the bench meshes whose names contain one of them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_cases.h"
#include "bench_files.h"
#include "mesh.h"

namespace {

constexpr double kLargeFrom = 50000;
constexpr double kLargeRatio = 0.7, kSmallRatio = 1.0, kSmallAllowanceMs = 2.0;

struct MeshFile {
  std::string name, path;
  int passes;
  bool temporary;
};

// One process's figures: the load's, then each pass's; triangles after each.
struct RunFigures {
  std::vector<double> ms;
  std::vector<double> triangles;
};

std::string programBeside(const char* self, const char* name) {
  const std::string path = self;
  const std::size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + name;
}

bool runProgram(const std::string& program, const MeshFile& mesh, RunFigures& figures) {
  const std::string command = "'" + program + "' '" + mesh.path + "' " + std::to_string(mesh.passes);
  std::FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return false;
  char word[16];
  double ms = 0, triangles = 0;
  while (std::fscanf(output, "%15s %lf %lf", word, &ms, &triangles) == 3) {
    figures.ms.push_back(ms);
    figures.triangles.push_back(triangles);
  }
  return pclose(output) == 0 && figures.ms.size() == static_cast<std::size_t>(mesh.passes) + 1;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Every round's figures of one mesh, per library: rounds[r].ms[step].
struct MeshRounds {
  std::vector<RunFigures> ours, theirs;
};

double medianOf(const std::vector<RunFigures>& rounds, std::size_t step) {
  std::vector<double> values;
  for (const RunFigures& round : rounds) values.push_back(round.ms[step]);
  return median(values);
}

double fastestOf(const std::vector<RunFigures>& rounds, std::size_t step) {
  double fastest = rounds[0].ms[step];
  for (const RunFigures& round : rounds) fastest = std::min(fastest, round.ms[step]);
  return fastest;
}

bool meetsTarget(double trianglesOut, double oursMs, double theirsMs) {
  if (trianglesOut >= kLargeFrom) return oursMs <= kLargeRatio * theirsMs;
  return oursMs <= kSmallRatio * theirsMs || oursMs - theirsMs <= kSmallAllowanceMs;
}

// Prints the pass table and gives the rows that miss their target.
int printPasses(const std::vector<MeshFile>& meshes, const std::vector<MeshRounds>& results,
                bool withTheirs) {
  std::printf("%-15s %4s %9s %9s %9s %8s %7s %11s %8s %8s %7s %4s\n", "mesh", "pass", "tris in",
              "tris out", "ours ms", "fastest", "ns/tri", "OpenMesh ms", "fastest", "diff ms",
              "ratio", "met");
  int missed = 0;
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const MeshRounds& rounds = results[m];
    for (int pass = 1; pass <= meshes[m].passes; ++pass) {
      const double in = rounds.ours[0].triangles[pass - 1];
      const double out = rounds.ours[0].triangles[pass];
      const double ours = medianOf(rounds.ours, pass);
      std::printf("%-15s %4d %9.0f %9.0f %9.2f %8.2f %7.0f", meshes[m].name.c_str(), pass, in, out,
                  ours, fastestOf(rounds.ours, pass), 1e6 * ours / out);
      if (withTheirs) {
        const double theirs = medianOf(rounds.theirs, pass);
        const bool met = meetsTarget(out, ours, theirs);
        missed += met ? 0 : 1;
        std::printf(" %11.2f %8.2f %8.2f %7.2f %4s", theirs, fastestOf(rounds.theirs, pass),
                    ours - theirs, ours / theirs, met ? "yes" : "NO");
      }
      std::printf("\n");
    }
  }
  return missed;
}

void printLoads(const std::vector<MeshFile>& meshes, const std::vector<MeshRounds>& results,
                bool withTheirs) {
  std::printf("%-15s %9s %9s %8s", "mesh", "triangles", "ours ms", "fastest");
  if (withTheirs) std::printf(" %11s %8s %7s", "OpenMesh ms", "fastest", "ratio");
  std::printf("\n");
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const MeshRounds& rounds = results[m];
    const double ours = medianOf(rounds.ours, 0);
    std::printf("%-15s %9.0f %9.2f %8.2f", meshes[m].name.c_str(), rounds.ours[0].triangles[0], ours,
                fastestOf(rounds.ours, 0));
    if (withTheirs) {
      const double theirs = medianOf(rounds.theirs, 0);
      std::printf(" %11.2f %8.2f %7.2f", theirs, fastestOf(rounds.theirs, 0), ours / theirs);
    }
    std::printf("\n");
  }
}

bool chosen(const std::vector<std::string>& names, const char* name) {
  if (names.empty()) return true;
  for (const std::string& wanted : names) {
    if (std::strstr(name, wanted.c_str()) != nullptr) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  std::vector<MeshFile> meshes;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--file") == 0 && i + 2 < argc) {
      const std::string path = argv[++i];
      const std::size_t slash = path.rfind('/');
      meshes.push_back({slash == std::string::npos ? path : path.substr(slash + 1), path,
                        std::atoi(argv[++i]), false});
    } else {
      names.push_back(argv[i]);
    }
  }
  initLists();
  for (std::size_t c = 0; c < kBenchCaseCount; ++c) {
    const BenchCase& benchCase = kBenchCases[c];
    if (!chosen(names, benchCase.name)) continue;
    // OpenMesh's reader knows a file's format by its name's ending.
    const std::string text = writeTemporaryFile(objText(benchCase.make()));
    const std::string path = text + ".obj";
    if (text.empty() || std::rename(text.c_str(), path.c_str()) != 0) return 2;
    meshes.push_back({benchCase.name, path, benchCase.passes, true});
  }

  const std::string ours = programBeside(argv[0], "first_run_ours");
#ifdef BENCH_WITH_OPENMESH
  const bool withTheirs = true;
  const std::string theirs = programBeside(argv[0], "first_run_openmesh");
#else
  const bool withTheirs = false;
  const std::string theirs;
#endif
  std::vector<MeshRounds> results(meshes.size());
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t m = 0; m < meshes.size(); ++m) {
      RunFigures mine, peer;
      const bool oursFirst = round % 2 == 0;
      bool ok = true;
      if (withTheirs && !oursFirst) ok = runProgram(theirs, meshes[m], peer);
      ok = ok && runProgram(ours, meshes[m], mine);
      if (withTheirs && oursFirst) ok = ok && runProgram(theirs, meshes[m], peer);
      if (!ok || (withTheirs && peer.triangles != mine.triangles)) {
        std::fprintf(stderr, "%s: a run failed or the libraries made different meshes\n",
                     meshes[m].name.c_str());
        return 1;
      }
      results[m].ours.push_back(mine);
      if (withTheirs) results[m].theirs.push_back(peer);
    }
  }

  std::printf(
      "First runs: each pass's first run in a new process, as the viewer makes them (load, then\n"
      "the passes one after another, each timed once from its call to its return), ours and\n"
      "OpenMesh's modified butterfly taking turns; the median of %d rounds (fastest beside it)\n\n",
      rounds);
  const int missed = printPasses(meshes, results, withTheirs);
  if (withTheirs)
    std::printf(
        "\ntargets: from %.0f k output triangles at most %.1f times OpenMesh's time, below it at\n"
        "most %.1f times or within %.0f ms: %s (%d rows missed)\n",
        kLargeFrom / 1000, kLargeRatio, kSmallRatio, kSmallAllowanceMs, missed == 0 ? "met" : "NOT met",
        missed);
  std::printf("\nLoading the file, first run in the same processes (median of %d rounds)\n\n", rounds);
  printLoads(meshes, results, withTheirs);
  for (const MeshFile& mesh : meshes) {
    if (mesh.temporary) std::remove(mesh.path.c_str());
  }
  return 0;
}
