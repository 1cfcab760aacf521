// The benchmark's second program: times warm reruns of our subdivision pass
// (each pass run again in one process, on memory earlier runs have touched;
// first_runs times what a user meets) against OpenMesh's modified butterfly
// on the same meshes, reports memory per triangle, times the loading of a
// large OBJ file and checks that a model change gives the heap back. Prints tables; arguments, if any, pick the sections and cases
// whose names contain one of them ("load", "change", "torus" ...).
//
// Each case runs apart (bench_process.h), so its memory readings start from
// a fresh process where the system allows it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_cases.h"
#include "bench_clock.h"
#include "bench_files.h"
#include "bench_memory.h"
#include "bench_meshes.h"
#include "bench_process.h"
#include "loader.h"
#include "mesh.h"
#include "subdivision.h"
#ifdef BENCH_WITH_OPENMESH
#include "openmesh_pass.h"
#endif

namespace {

// Rows below the low ends are too short to time well and are left out of the
// summary; the high end allows the ~4.2 M triangles of the largest pass.
constexpr double kRatioFrom = 50000, kFlatFrom = 10000, kSummaryTo = 4.3e6;
constexpr double kLoadTriangles = 1 << 20;

struct PassRow {
  char mesh[24];
  int pass;
  double trianglesIn, trianglesOut;
  double oursMs, theirsMs;  // wall clock; theirsMs < 0: no comparison
  double oursCpuMs;         // CPU time of all our threads in the run that gave oursMs
  double peakBytes, liveBytes;
};

// A load or model change: bytes are the exact count (chunk headers included)
// and mallinfo2's, each as held with the model and left after the change.
struct LoadRow {
  double triangles, loadMs, heldBytes, leftBytes, mallinfoLeft, peakBytes;
};

struct Timing {
  double wallMs, cpuMs;
};

template <typename Step>
Timing timed(Step step) {
  const double wallBegin = wallMs(), cpuBegin = processCpuMs();
  step();
  return {wallMs() - wallBegin, processCpuMs() - cpuBegin};
}

template <typename Step>
double timeMs(Step step) {
  return timed(step).wallMs;
}

void readText(const std::string& text) {
  std::FILE* file = openText(text);
  if (file == nullptr) std::exit(2);
  readMesh(file);
  std::fclose(file);
}

// How often a row is timed: about the same total work for every row, and
// never fewer than four runs (the first run of a size in a process is often
// half again slower than the next, for both libraries).
int repetitionsFor(double trianglesOut) {
  return std::clamp(static_cast<int>(2.0e6 / trianglesOut), 4, 15);
}

// Runs work apart and collects the records it returns.
template <typename Result, typename Work>
std::vector<Result> apart(Work work) {
  const std::vector<char> bytes = runApart([&] {
    std::vector<Result> results;
    work(results);
    const char* begin = reinterpret_cast<const char*>(results.data());
    return std::vector<char>(begin, begin + results.size() * sizeof(Result));
  });
  std::vector<Result> results(bytes.size() / sizeof(Result));
  std::memcpy(results.data(), bytes.data(), results.size() * sizeof(Result));
  return results;
}

// A column of heap bytes: " %*.0f", or "-" where the heap is not counted.
void printHeapColumn(int width, double bytes) {
  if (heapIsCounted())
    std::printf(" %*.0f", width, bytes);
  else
    std::printf(" %*s", width, "-");
}

void printPassRow(const PassRow& row) {
  std::printf("%-15s %4d %9.0f %9.0f %9.2f %8.2f %7.0f", row.mesh, row.pass, row.trianglesIn,
              row.trianglesOut, row.oursMs, row.oursCpuMs, 1e6 * row.oursMs / row.trianglesOut);
  printHeapColumn(7, row.peakBytes / row.trianglesOut);
  printHeapColumn(7, row.liveBytes / row.trianglesOut);
  if (row.theirsMs >= 0) std::printf(" %11.2f %7.2f", row.theirsMs, row.oursMs / row.theirsMs);
  std::printf("\n");
  std::fflush(stdout);
}

// One case: first a run of all passes that also reads memory, then more runs
// of each pass (reload, earlier passes untimed, the pass timed); the fastest
// run counts. OpenMesh times the same passes on copies of its own state, its
// runs taking turns with ours, so that a slow spell of the machine (its speed
// varies by up to two times over seconds) falls on both.
void runCase(const BenchCase& benchCase, std::vector<PassRow>& rows) {
  const MeshData start = benchCase.make();
  const std::string text = objText(start);
  startHeapCounting();
  const long long heapBefore = countedHeapBytes();
  readText(text);
  for (int pass = 1; pass <= benchCase.passes; ++pass) {
    PassRow row{};
    std::snprintf(row.mesh, sizeof row.mesh, "%s", benchCase.name);
    row.pass = pass;
    row.trianglesIn = static_cast<double>(start.triangleCount()) * (1 << (2 * (pass - 1)));
    row.trianglesOut = row.trianglesIn * 4;
    startHeapCounting();
    const Timing first = timed(subdivide);
    row.oursMs = first.wallMs;
    row.oursCpuMs = first.cpuMs;
    row.liveBytes = static_cast<double>(countedHeapBytes() - heapBefore);
    row.peakBytes = static_cast<double>(countedHeapPeak() - heapBefore);
    row.theirsMs = -1;
    rows.push_back(row);
  }
  replaceModel(0);
  stopHeapCounting();

#ifdef BENCH_WITH_OPENMESH
  OpenMeshState* theirs = openMeshStart(start);
#endif
  for (PassRow& row : rows) {
    const int repetitions = repetitionsFor(row.trianglesOut);
    for (int r = 0; r < repetitions; ++r) {
      if (r > 0) {
        readText(text);
        for (int earlier = 1; earlier < row.pass; ++earlier) subdivide();
        const Timing run = timed(subdivide);
        if (run.wallMs < row.oursMs) {
          row.oursMs = run.wallMs;
          row.oursCpuMs = run.cpuMs;
        }
        replaceModel(0);
      }
#ifdef BENCH_WITH_OPENMESH
      const double theirMs = openMeshPassMs(theirs, r + 1 == repetitions);
      row.theirsMs = r == 0 ? theirMs : std::min(row.theirsMs, theirMs);
#endif
    }
#ifdef BENCH_WITH_OPENMESH
    if (static_cast<double>(openMeshTriangles(theirs)) != row.trianglesOut)
      std::fprintf(stderr, "%s pass %d: OpenMesh made %zu triangles\n", row.mesh, row.pass,
                   openMeshTriangles(theirs));
#endif
    printPassRow(row);
  }
#ifdef BENCH_WITH_OPENMESH
  openMeshFinish(theirs);
#endif
}

bool chosen(int argc, char** argv, const char* name) {
  if (argc < 2) return true;
  for (int i = 1; i < argc; ++i) {
    if (std::strstr(name, argv[i]) != nullptr) return true;
  }
  return false;
}

// Fastest and slowest nanoseconds per output triangle of a column.
struct Spread {
  double fastest = 0, slowest = 0;

  void add(double ms, double triangles) {
    const double ns = 1e6 * ms / triangles;
    fastest = fastest == 0 ? ns : std::min(fastest, ns);
    slowest = std::max(slowest, ns);
  }
};

void summarise(const std::vector<PassRow>& rows) {
  double worstRatio = 0, worstPeak = 0;
  Spread ours, theirs;
  for (const PassRow& row : rows) {
    if (row.trianglesOut > kSummaryTo) continue;
    if (row.trianglesOut >= kRatioFrom)
      worstPeak = std::max(worstPeak, row.peakBytes / row.trianglesOut);
    if (row.theirsMs > 0 && row.trianglesOut >= kRatioFrom)
      worstRatio = std::max(worstRatio, row.oursMs / row.theirsMs);
    if (row.trianglesOut < kFlatFrom) continue;
    ours.add(row.oursMs, row.trianglesOut);
    if (row.theirsMs > 0) theirs.add(row.theirsMs, row.trianglesOut);
  }
  if (worstRatio > 0)
    std::printf(
        "warm reruns, ours / OpenMesh, passes of 50 k to 4.2 M output triangles: worst %.2f\n",
        worstRatio);
  if (worstPeak > 0)
    std::printf("peak heap bytes per output triangle, the same passes: worst %.0f (target <= 300)\n",
                worstPeak);
  if (ours.fastest > 0)
    std::printf(
        "ns per output triangle, passes of 10 k to 4.2 M: %.0f .. %.0f, spread %.2f (target <= "
        "1.3)\n",
        ours.fastest, ours.slowest, ours.slowest / ours.fastest);
  if (theirs.fastest > 0)
    std::printf("  the same for OpenMesh: %.0f .. %.0f, spread %.2f\n", theirs.fastest,
                theirs.slowest, theirs.slowest / theirs.fastest);
}

void runPasses(int argc, char** argv) {
  if (std::none_of(kBenchCases, kBenchCases + kBenchCaseCount,
                   [&](const BenchCase& c) { return chosen(argc, argv, c.name); }))
    return;
  std::printf(
      "Warm reruns: wall-clock time of one pass run again in the same process (reload, earlier\n"
      "passes untimed), fastest of several runs, and the CPU time of all our threads in that\n"
      "run; heap bytes per output triangle (malloc's chunk headers included) at the peak of the\n"
      "pass and held after it, from the first run\n\n");
  std::printf("%-15s %4s %9s %9s %9s %8s %7s %7s %7s", "mesh", "pass", "tris in", "tris out",
              "ours ms", "cpu ms", "ns/tri", "peak B", "live B");
#ifdef BENCH_WITH_OPENMESH
  std::printf(" %11s %7s", "OpenMesh ms", "ratio");
#endif
  std::printf("\n");
  std::vector<PassRow> all;
  for (std::size_t c = 0; c < kBenchCaseCount; ++c) {
    const BenchCase& benchCase = kBenchCases[c];
    if (!chosen(argc, argv, benchCase.name)) continue;
    const std::vector<PassRow> rows =
        apart<PassRow>([&](std::vector<PassRow>& out) { runCase(benchCase, out); });
    all.insert(all.end(), rows.begin(), rows.end());
  }
  std::printf("\n");
  summarise(all);
}

// Measures one model's life: load, then the passes, then a model change
// (replaceModel(0)), which must leave the heap as it was before the load.
template <typename Load>
LoadRow measureModel(double triangles, Load load, int passes) {
  LoadRow row{triangles, 0, 0, 0, 0, 0};
  const std::size_t mallinfoBefore = mallinfoInUse();
  startHeapCounting();
  const long long before = countedHeapBytes();
  row.loadMs = timeMs(load);
  for (int pass = 0; pass < passes; ++pass) subdivide();
  row.heldBytes = static_cast<double>(countedHeapBytes() - before);
  row.peakBytes = static_cast<double>(countedHeapPeak() - before);
  replaceModel(0);
  row.leftBytes = static_cast<double>(countedHeapBytes() - before);
  stopHeapCounting();
  row.mallinfoLeft = static_cast<double>(mallinfoInUse()) - static_cast<double>(mallinfoBefore);
  return row;
}

// A generated OBJ file of 2^20 triangles loaded with loadMesh a few times;
// the fastest load counts, the memory readings are the last load's.
void runLoad(std::vector<LoadRow>& rows) {
  const std::string text = objText(torus(512, 1024));
  const std::string file = writeTemporaryFile(text);
  if (file.empty()) std::exit(2);
  const char* path = file.c_str();
  double fastest = 0;
  for (int r = 0; r < 3; ++r) {
    const LoadRow row = measureModel(
        kLoadTriangles, [&] { loadMesh(path); }, 0);
    fastest = r == 0 ? row.loadMs : std::min(fastest, row.loadMs);
    if (r == 2) rows.push_back(row);
  }
  rows.back().loadMs = fastest;
  std::remove(path);
}

// 65 k triangles read from memory and two passes, to 2^20 triangles.
void runChangeAfterPasses(std::vector<LoadRow>& rows) {
  const std::string text = objText(scrambledTorus(128, 256, 11));
  rows.push_back(measureModel(
      kLoadTriangles, [&] { readText(text); }, 2));
}

void printLoadRow(const char* name, const LoadRow& row) {
  std::printf("%-28s %9.0f %9.1f %7.0f", name, row.triangles, row.loadMs,
              1e6 * row.loadMs / row.triangles);
  printHeapColumn(7, row.peakBytes / row.triangles);
  printHeapColumn(7, row.heldBytes / row.triangles);
  printHeapColumn(10, row.leftBytes);
  printHeapColumn(10, row.mallinfoLeft);
  std::printf("\n");
}

void runLoadAndChange(int argc, char** argv) {
  if (!chosen(argc, argv, "load") && !chosen(argc, argv, "change")) return;
  std::printf(
      "\nLoading and model change (bytes per triangle of the model at the end; left: heap bytes\n"
      "still held after replaceModel(0), counted exactly and by mallinfo2, which also counts\n"
      "the freed blocks glibc keeps cached per thread)\n\n");
  std::printf("%-28s %9s %9s %7s %7s %7s %10s %10s\n", "case", "triangles", "load ms", "ns/tri",
              "peak B", "held B", "left", "mallinfo");
  if (chosen(argc, argv, "load")) {
    for (const LoadRow& row : apart<LoadRow>(runLoad)) {
      printLoadRow("loadMesh of a torus OBJ file", row);
      std::printf("  load under 1 s: %s\n", row.loadMs < 1000 ? "yes" : "NO");
    }
  }
  if (chosen(argc, argv, "change")) {
    for (const LoadRow& row : apart<LoadRow>(runChangeAfterPasses))
      printLoadRow("65 k read + 2 passes", row);
  }
}

}  // namespace

int main(int argc, char** argv) {
  initLists();
  runPasses(argc, argv);
  runLoadAndChange(argc, argv);
  return 0;
}
