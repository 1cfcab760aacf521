#include "pass_thread.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "parallel_ranges.h"
#include "pass_budget.h"
#include "side_length.h"
#include "surface_pass.h"

namespace py = pybind11;

namespace {

// How long the calling thread waits between looks at the signal handlers:
// well within the second a person waits for Ctrl-C to take.
constexpr std::chrono::milliseconds kPollInterval(20);

struct PassRun {
  PassRun(SurfaceMesh& m, const SubdivideOptions& o) : mesh(m), options(o) {}
  SurfaceMesh& mesh;
  const SubdivideOptions& options;
  std::atomic<bool> stop{false};
  std::atomic<int> passesDone{0};
  std::string refusal;  // written by the pass thread before it ends
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;  // under mutex
};

double mebibytes(uint64_t bytes) { return static_cast<double>(bytes) / (1u << 20); }

// The program's refusal, in its words, or empty when the pass can be made.
std::string passRefusal(const IndexedPassSize& size, const std::string& which) {
  char line[200];
  if (size.triangles > kMostIndexedTriangles || size.vertices > kMostIndexedTriangles) {
    std::snprintf(line, sizeof line, "%s not made: its triangles would pass %" PRIu64 " (it needs %.1f MiB of memory)",
                  which.c_str(), kMostIndexedTriangles, mebibytes(size.bytes));
    return line;
  }
  const uint64_t available = memoryAvailable();
  if (size.bytes > available) {
    std::snprintf(line, sizeof line, "%s not made: it needs %.1f MiB of memory and %.1f MiB can be had",
                  which.c_str(), mebibytes(size.bytes), mebibytes(available));
    return line;
  }
  return std::string();
}

std::string outOfMemory(const std::string& which) { return which + " not made: out of memory"; }

void makeUniformPasses(PassRun& run) {
  const int passes = run.options.passes;
  for (int pass = 1; pass <= passes; ++pass) {
    const std::string which = "subdivision pass " + std::to_string(pass) + " of " + std::to_string(passes);
    run.refusal = passRefusal(surfacePassSize(run.mesh), which);
    if (!run.refusal.empty()) return;
    try {
      subdivideSurface(run.mesh, run.options.rule);
    } catch (const std::bad_alloc&) {
      run.refusal = outOfMemory(which);
      return;
    }
    ++run.passesDone;
  }
}

// As the program's --max-edge: passes 0 means until no side is longer.
void makeLengthPasses(PassRun& run) {
  const SubdivideOptions& options = run.options;
  const double maxEdge = resolvedMaxEdge(run.mesh.mesh.positions, options.maxEdge, options.maxEdgePercent);
  const int passes = options.passes > 0 ? options.passes : kMostLengthPasses;
  const std::string of = options.passes > 0 ? " of " + std::to_string(passes) : std::string();
  BigArray<uint8_t> closures;
  for (int pass = 1; pass <= passes; ++pass) {
    const std::string which = "subdivision pass " + std::to_string(pass) + of;
    AdaptivePlan plan;
    try {
      planAdaptivePass(run.mesh.mesh, closures, maxEdge, plan);
      if (nothingToSplit(plan)) return;
      run.refusal = passRefusal(surfaceLengthPassSize(run.mesh, plan), which);
      if (!run.refusal.empty()) return;
      subdivideSurfaceToLength(run.mesh, closures, plan, options.rule);
    } catch (const std::bad_alloc&) {
      run.refusal = outOfMemory(which);
      return;
    }
    ++run.passesDone;
  }
}

void makePasses(PassRun& run) {
  passStop = &run.stop;
  try {
    if (run.options.maxEdgeGiven) {
      makeLengthPasses(run);
    } else {
      makeUniformPasses(run);
    }
  } catch (const PassStopped&) {
  }
  passStop = nullptr;
  const std::lock_guard<std::mutex> lock(run.mutex);
  run.finished = true;
  run.ended.notify_all();
}

// (4^done - 1) / (4^passes - 1), in a form that stays finite for any count.
double shareDone(int done, int passes) {
  const double least = std::pow(4.0, -passes);
  return (std::pow(4.0, done - passes) - least) / (1.0 - least);
}

// Passes to a length are counted only when no side is left longer: each is
// reckoned the work of all before it three times over, as uniform ones are.
double shareOf(const SubdivideOptions& options, int done) {
  return options.maxEdgeGiven ? (done == 0 ? 0.0 : 1.0 - std::pow(4.0, -done)) : shareDone(done, options.passes);
}

// Ends the pass thread however the call ends, without holding the GIL
// while it finishes its slice.
struct PassThread {
  PassRun& run;
  std::thread thread;
  ~PassThread() {
    if (!thread.joinable()) return;
    run.stop = true;
    py::gil_scoped_release release;
    thread.join();
  }
};

}  // namespace

void runPasses(SurfaceMesh& mesh, const SubdivideOptions& options, py::object progress) {
  if (options.passes == 0 && !options.maxEdgeGiven) return;
  PassRun run(mesh, options);
  {
    PassThread worker{run, std::thread()};
    try {
      worker.thread = std::thread(makePasses, std::ref(run));
    } catch (const std::system_error&) {
      // No thread to be had: the passes run here, and Ctrl-C waits for them.
      py::gil_scoped_release release;
      makePasses(run);
    }
    int reported = -1;
    bool finished = false;
    for (;;) {
      for (const int done = run.passesDone.load(); reported < done;) {
        ++reported;
        if (!progress.is_none()) progress(shareOf(options, reported));
      }
      if (finished) {
        if (options.maxEdgeGiven && run.refusal.empty() && !progress.is_none()) progress(1.0);
        break;
      }
      {
        py::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(run.mutex);
        finished = run.ended.wait_for(lock, kPollInterval, [&run] { return run.finished; });
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  }
  if (!run.refusal.empty()) {
    PyErr_SetString(PyExc_MemoryError, run.refusal.c_str());
    throw py::error_already_set();
  }
}
