#include "progress.h"

namespace {

constexpr std::chrono::milliseconds kQuietFor{1000};
constexpr std::chrono::milliseconds kRedrawEvery{100};

}  // namespace

Progress startProgress(std::FILE* stream, bool terminal, bool asked) {
  Progress progress;
  progress.stream = stream;
  progress.terminal = terminal;
  progress.asked = asked;
  progress.start = std::chrono::steady_clock::now();
  return progress;
}

void noteProgress(Progress& progress, const std::string& step, bool routine) {
  const auto now = std::chrono::steady_clock::now();
  if (!progress.terminal) {
    if (progress.asked && !routine) std::fprintf(progress.stream, "meshsubdivide: %s\n", step.c_str());
    return;
  }
  if (!progress.asked && now - progress.start < kQuietFor) return;
  if (routine && progress.shownWidth > 0 && now - progress.lastShown < kRedrawEvery) return;
  const std::string line = "meshsubdivide: " + step;
  // Spaces over what is left of a longer line before: terminals that know
  // no escape sequences clear it too.
  const std::size_t pad = progress.shownWidth > line.size() ? progress.shownWidth - line.size() : 0;
  std::fprintf(progress.stream, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(progress.stream);
  progress.shownWidth = line.size();
  progress.lastShown = now;
}

void endProgress(Progress& progress) {
  if (progress.shownWidth == 0) return;
  std::fputc('\n', progress.stream);
  std::fflush(progress.stream);
  progress.shownWidth = 0;
}

double secondsSince(const Progress& progress) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
}
