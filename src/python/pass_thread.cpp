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
std::string passRefusal(const IndexedMesh& mesh, int pass, int passes) {
  const IndexedPassSize size = indexedPassSize(mesh);
  char line[200];
  const std::string which = "subdivision pass " + std::to_string(pass) + " of " + std::to_string(passes);
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

void makePasses(PassRun& run) {
  passStop = &run.stop;
  const int passes = run.options.passes;
  for (int pass = 1; pass <= passes; ++pass) {
    run.refusal = passRefusal(run.mesh.mesh, pass, passes);
    if (!run.refusal.empty()) break;
    try {
      subdivideIndexed(run.mesh.mesh, run.options.rule);
    } catch (const PassStopped&) {
      break;
    } catch (const std::bad_alloc&) {
      run.refusal = "subdivision pass " + std::to_string(pass) + " of " + std::to_string(passes) +
                    " not made: out of memory";
      break;
    }
    ++run.passesDone;
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
  if (options.passes == 0) return;
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
        if (!progress.is_none()) progress(shareDone(reported, options.passes));
      }
      if (finished) break;
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
