// The benchmark's headline: every pass's first run in a new process, as a
// user meets it in the viewer, against OpenMesh's first runs. Each round
// starts, for every mesh, one process of every contender: first_run_ours,
// first_run_openmesh, and any program given with --contender that prints the
// same lines (an older build's first_run_ours, or one started through
// bench/without-thp). The contender that goes first turns with the rounds, so
// that a slow spell of the shared machine falls on all of them. A first run
// is as slow as the machine happens to be, so every figure is given as the
// least, the median and the most of the rounds, with the median system time.
// The bench's own meshes go to temporary OBJ files; more mesh files (a real
// scan) come as arguments.
//
// Usage: first_runs [--rounds N] [--file MESH.obj PASSES]... [--contender NAME COMMAND]... [NAMES...]
// NAMES pick the bench meshes whose names contain one of them; COMMAND is
// shell text, to which the mesh file and the passes are added.
#include <algorithm>
#include <cmath>
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
// The slowest round of a large pass at most this many times its median.
constexpr double kSteadyRatio = 1.5;

struct MeshFile {
  std::string name, path;
  int passes;
  bool temporary;
};

struct Contender {
  std::string name, command;
};

// One process's figures: the load's, then each pass's; triangles after each.
// Programs from before the system time was printed leave it out (NaN).
struct RunFigures {
  std::vector<double> ms, systemMs, triangles;
};

std::string programBeside(const char* self, const char* name) {
  const std::string path = self;
  const std::size_t slash = path.rfind('/');
  return "'" + (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + name + "'";
}

bool runProgram(const Contender& contender, const MeshFile& mesh, RunFigures& figures) {
  const std::string command = contender.command + " '" + mesh.path + "' " + std::to_string(mesh.passes);
  std::FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return false;
  char line[256], word[16];
  while (std::fgets(line, sizeof line, output) != nullptr) {
    double ms = 0, triangles = 0, systemMs = 0;
    const int fields = std::sscanf(line, "%15s %lf %lf %lf", word, &ms, &triangles, &systemMs);
    if (fields < 3) continue;
    figures.ms.push_back(ms);
    figures.triangles.push_back(triangles);
    figures.systemMs.push_back(fields == 4 ? systemMs : NAN);
  }
  return pclose(output) == 0 && figures.ms.size() == static_cast<std::size_t>(mesh.passes) + 1;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One contender's rounds of one step: least, median and most wall time, and
// the median system time.
struct Spread {
  double least, middle, most, systemMs;
};

Spread spreadOf(const std::vector<RunFigures>& rounds, std::size_t step) {
  std::vector<double> ms, systemMs;
  for (const RunFigures& round : rounds) {
    ms.push_back(round.ms[step]);
    systemMs.push_back(round.systemMs[step]);
  }
  return {*std::min_element(ms.begin(), ms.end()), median(ms), *std::max_element(ms.begin(), ms.end()),
          median(systemMs)};
}

bool meetsTarget(double trianglesOut, double oursMs, double theirsMs) {
  if (trianglesOut >= kLargeFrom) return oursMs <= kLargeRatio * theirsMs;
  return oursMs <= kSmallRatio * theirsMs || oursMs - theirsMs <= kSmallAllowanceMs;
}

// rounds[c][m]: contender c's rounds of mesh m. Contender 0 is ours and,
// when withTheirs, contender 1 OpenMesh's.
using Results = std::vector<std::vector<std::vector<RunFigures>>>;

// Ours against OpenMesh, one row per pass; gives the rows that miss their
// target. tools/plot-bench reads this table.
int printPasses(const std::vector<MeshFile>& meshes, const Results& results, bool withTheirs) {
  std::printf("%-15s %4s %9s %9s %9s %8s %7s %11s %8s %8s %7s %4s\n", "mesh", "pass", "tris in",
              "tris out", "ours ms", "least", "ns/tri", "OpenMesh ms", "least", "diff ms", "ratio", "met");
  int missed = 0;
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const std::vector<RunFigures>& ours = results[0][m];
    for (int pass = 1; pass <= meshes[m].passes; ++pass) {
      const double in = ours[0].triangles[pass - 1];
      const double out = ours[0].triangles[pass];
      const Spread mine = spreadOf(ours, pass);
      std::printf("%-15s %4d %9.0f %9.0f %9.2f %8.2f %7.0f", meshes[m].name.c_str(), pass, in, out,
                  mine.middle, mine.least, 1e6 * mine.middle / out);
      if (withTheirs) {
        const Spread theirs = spreadOf(results[1][m], pass);
        const bool met = meetsTarget(out, mine.middle, theirs.middle);
        missed += met ? 0 : 1;
        std::printf(" %11.2f %8.2f %8.2f %7.2f %4s", theirs.middle, theirs.least,
                    mine.middle - theirs.middle, mine.middle / theirs.middle, met ? "yes" : "NO");
      }
      std::printf("\n");
    }
  }
  return missed;
}

// Every contender's spread, one row per pass and contender; gives the large
// rows whose slowest round is more than kSteadyRatio times their median.
int printSpreads(const std::vector<MeshFile>& meshes, const std::vector<Contender>& contenders,
                 const Results& results) {
  std::printf("%-15s %4s %9s  %-24s %9s %9s %9s %9s %8s\n", "mesh", "pass", "tris out", "contender", "least ms",
              "median", "most", "system ms", "most/med");
  int unsteady = 0;
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    for (int pass = 1; pass <= meshes[m].passes; ++pass) {
      const double out = results[0][m][0].triangles[pass];
      for (std::size_t c = 0; c < contenders.size(); ++c) {
        const Spread spread = spreadOf(results[c][m], pass);
        const double ratio = spread.most / spread.middle;
        const bool steady = out < kLargeFrom || ratio <= kSteadyRatio;
        unsteady += steady ? 0 : 1;
        std::printf("%-15s %4d %9.0f  %-24s %9.2f %9.2f %9.2f %9.2f %7.2f%s\n", meshes[m].name.c_str(), pass, out,
                    contenders[c].name.c_str(), spread.least, spread.middle, spread.most, spread.systemMs, ratio,
                    steady ? "" : "!");
      }
    }
  }
  return unsteady;
}

void printLoads(const std::vector<MeshFile>& meshes, const std::vector<Contender>& contenders,
                const Results& results) {
  std::printf("%-15s %9s  %-24s %9s %9s %9s %9s\n", "mesh", "triangles", "contender", "least ms", "median", "most",
              "system ms");
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    for (std::size_t c = 0; c < contenders.size(); ++c) {
      const Spread spread = spreadOf(results[c][m], 0);
      std::printf("%-15s %9.0f  %-24s %9.2f %9.2f %9.2f %9.2f\n", meshes[m].name.c_str(),
                  results[0][m][0].triangles[0], contenders[c].name.c_str(), spread.least, spread.middle,
                  spread.most, spread.systemMs);
    }
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
  std::vector<Contender> contenders = {{"ours", programBeside(argv[0], "first_run_ours")}};
#ifdef BENCH_WITH_OPENMESH
  const bool withTheirs = true;
  contenders.push_back({"OpenMesh", programBeside(argv[0], "first_run_openmesh")});
#else
  const bool withTheirs = false;
#endif
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--file") == 0 && i + 2 < argc) {
      const std::string path = argv[++i];
      const std::size_t slash = path.rfind('/');
      meshes.push_back({slash == std::string::npos ? path : path.substr(slash + 1), path,
                        std::atoi(argv[++i]), false});
    } else if (std::strcmp(argv[i], "--contender") == 0 && i + 2 < argc) {
      contenders.push_back({argv[i + 1], argv[i + 2]});
      i += 2;
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

  Results results(contenders.size(), std::vector<std::vector<RunFigures>>(meshes.size()));
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t m = 0; m < meshes.size(); ++m) {
      for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
        const std::size_t c = (turn + static_cast<std::size_t>(round)) % contenders.size();
        RunFigures figures;
        if (!runProgram(contenders[c], meshes[m], figures) ||
            (c > 0 && !results[0][m].empty() && figures.triangles != results[0][m][0].triangles)) {
          std::fprintf(stderr, "%s: a run of %s failed or made a different mesh\n", meshes[m].name.c_str(),
                       contenders[c].name.c_str());
          return 1;
        }
        results[c][m].push_back(figures);
      }
    }
  }

  std::printf(
      "First runs: each pass's first run in a new process, as the viewer makes them (load, then\n"
      "the passes one after another, each timed once from its call to its return), ours and\n"
      "OpenMesh's modified butterfly taking turns; the median of %d rounds (least beside it)\n\n",
      rounds);
  const int missed = printPasses(meshes, results, withTheirs);
  if (withTheirs)
    std::printf(
        "\ntargets: from %.0f k output triangles at most %.1f times OpenMesh's time, below it at\n"
        "most %.1f times or within %.0f ms: %s (%d rows missed)\n",
        kLargeFrom / 1000, kLargeRatio, kSmallRatio, kSmallAllowanceMs, missed == 0 ? "met" : "NOT met",
        missed);
  std::printf("\nThe spread of the same %d rounds: wall time least, median and most, median system time\n\n",
              rounds);
  const int unsteady = printSpreads(meshes, contenders, results);
  std::printf("\nsteady: from %.0f k output triangles the slowest round at most %.1f times the median: %s (%d rows "
              "marked !)\n",
              kLargeFrom / 1000, kSteadyRatio, unsteady == 0 ? "met" : "NOT met", unsteady);
  std::printf("\nLoading the file, first run in the same processes (%d rounds)\n\n", rounds);
  printLoads(meshes, contenders, results);
  for (const MeshFile& mesh : meshes) {
    if (mesh.temporary) std::remove(mesh.path.c_str());
  }
  return 0;
}
