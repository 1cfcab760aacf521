// The whole job of meshsubdivide and its command line: what a user is told
// and what is left on disk when something is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adaptive_pass.h"
#include "mesh_fixtures.h"
#include "obj_reading.h"
#include "pass_budget.h"
#include "scratch_stream.h"
#include "obj_writing.h"
#include "subdivide_job.h"
#include "test_meshes.h"

namespace fs = std::filesystem;

namespace {

class SubdivideJob : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() / ("meshsubdivide-test-" + processTag() +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }
  void TearDown() override {
    memoryAvailable = systemMemoryAvailable;
    fs::remove_all(directory_);
  }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The names left in the directory.
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(directory_)) found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
  }

  // Runs the job with these arguments; err_ gets what it says.
  int run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "meshsubdivide");
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    SubdivideSettings settings;
    std::string error;
    if (!parseSubdivideOptions(static_cast<int>(argv.size()), argv.data(), settings, error)) {
      err_ = error;
      return kStatusUnusable;
    }
    ScratchStream out = openScratch();
    ScratchStream err = openScratch();
    const int status = runSubdivideJob(settings, out.file, err.file);
    out_ = closeAndRead(out);
    err_ = closeAndRead(err);
    return status;
  }

  fs::path directory_;
  std::string out_;
  std::string err_;
};

const char kTriangle[] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

TEST_F(SubdivideJob, WritesTheFileOrStandardOutputAndLeavesNothingElse) {
  write("cube.obj", "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                    "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
  write("out.obj", "an older result");
  EXPECT_EQ(run({path("cube.obj"), "--passes=2", "-o", path("out.obj")}), kStatusWritten) << err_;
  EXPECT_EQ(names(), (std::vector<std::string>{"cube.obj", "out.obj"}));
  const std::string text = read("out.obj");
  EXPECT_EQ(text.rfind("# made by meshsubdivide", 0), 0u);
  EXPECT_NE(text.find("passes 2, tension 0.05; in 8 vertices and 12 triangles, out 98 vertices and 192 triangles\n"),
            std::string::npos);
  EXPECT_EQ(run({"-n2", path("cube.obj")}), kStatusWritten) << err_;
  EXPECT_EQ(out_, text);
  EXPECT_EQ(err_, "") << "progress shown off a terminal without --progress";
  EXPECT_EQ(run({path("cube.obj"), "-n", "1", "--tension", "0.0625", "--progress"}), kStatusWritten);
  EXPECT_NE(out_.find("tension 0.0625"), std::string::npos);
  EXPECT_NE(err_.find("meshsubdivide: pass 1 of 1: 12 triangles into 48\n"), std::string::npos) << err_;
}

TEST_F(SubdivideJob, UnusableInputsAndOutputsSayWhichFileAndWhyAndWriteNothing) {
  write("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n");
  write("tri.obj", kTriangle);
  write("out.obj", "kept");
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{path("missing.obj"), "-o", path("out.obj")}, path("missing.obj") + ": cannot read: "},
      {{directory_.string(), "-o", path("out.obj")}, directory_.string() + ": cannot read: is a directory"},
      {{path("points.obj"), "-o", path("out.obj")}, path("points.obj") + ": holds no triangle"},
      {{path("tri.obj"), "-o", path("no/such/dir/out.obj")}, path("no/such/dir/out.obj") + ": cannot write: "},
      {{path("tri.obj"), "-o", path("tri.obj")}, path("tri.obj") + ": is the input file"},
      {{path("tri.obj"), "-o", path(".") + "/tri.obj"}, ": is the input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " -o " + c.arguments[2]);
    EXPECT_EQ(run(c.arguments), kStatusUnusable);
    EXPECT_EQ(err_.rfind("meshsubdivide: ", 0), 0u) << err_;
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;
    EXPECT_EQ(names(), (std::vector<std::string>{"out.obj", "points.obj", "tri.obj"}));
    EXPECT_EQ(read("out.obj"), "kept");
    EXPECT_EQ(read("tri.obj"), kTriangle);
  }
}

TEST_F(SubdivideJob, APassThatCannotFitIsRefusedBeforeItStartsAndNothingIsReplaced) {
  write("tri.obj", kTriangle);
  write("out.obj", "kept");
  // Enough for the passes and their write, then not.
  memoryAvailable = [] { return kWriteBufferBytes + (uint64_t(1) << 20); };
  EXPECT_EQ(run({path("tri.obj"), "-n", "3", "-o", path("out.obj")}), kStatusWritten) << err_;
  write("out.obj", "kept");
  memoryAvailable = [] { return uint64_t(1) << 19; };
  EXPECT_EQ(run({path("tri.obj"), "-n", "3", "-o", path("out.obj")}), kStatusTooLarge);
  EXPECT_EQ(err_.rfind("meshsubdivide: " + path("tri.obj") + ": subdivision pass 1 of 3 not made: it needs ", 0), 0u)
      << err_;
  EXPECT_NE(err_.find(" MiB of memory and 0.5 MiB can be had\n"), std::string::npos) << err_;
  EXPECT_EQ(names(), (std::vector<std::string>{"out.obj", "tri.obj"}));
  EXPECT_EQ(read("out.obj"), "kept");
}

double flat(int, int) { return 0; }

// A sheet whose last column is wide: a pass to a length splits only its
// sides, and is refused or made by what that pass needs, not a uniform one.
TEST_F(SubdivideJob, APassToALengthIsRefusedByWhatItSplits) {
  TestMesh wide = sheet(60, 60, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, flat});
  for (auto& p : wide.positions) p[0] += p[0] > 59.5f ? 20.0f : 0.0f;
  write("sheet.obj", objText(wide.positions, wide.triangles));
  IndexedMesh mesh;
  std::string cause;
  ASSERT_TRUE(readObjMesh(path("sheet.obj").c_str(), mesh, cause)) << cause;
  AdaptivePlan plan;
  planAdaptivePass(mesh, {}, 2.0, plan);
  const uint64_t uniform = indexedPassSize(mesh).bytes;
  ASSERT_LT(2 * plan.size.bytes, uniform);
  static uint64_t between;
  between = kWriteBufferBytes + (plan.size.bytes + uniform) / 2;
  memoryAvailable = [] { return between; };
  EXPECT_EQ(run({path("sheet.obj"), "--max-edge", "2", "-n", "1", "-o", path("out.obj")}), kStatusWritten) << err_;
  EXPECT_EQ(run({path("sheet.obj"), "-n", "1", "-o", path("out.obj")}), kStatusTooLarge);
}

TEST(SubdivideOptions, UsualFormsAndOneLineForEachMistake) {
  const auto parse = [](std::vector<const char*> argv, SubdivideSettings& settings, std::string& error) {
    argv.insert(argv.begin(), "meshsubdivide");
    return parseSubdivideOptions(static_cast<int>(argv.size()), argv.data(), settings, error);
  };
  SubdivideSettings settings;
  std::string error;
  ASSERT_TRUE(parse({"-n3", "--output=o.obj", "-t", "0.0625", "--crease-angle", "45", "--", "-in.obj"}, settings,
                    error))
      << error;
  EXPECT_EQ(settings.creaseAngle, 45.0);
  EXPECT_EQ(settings.passes, 3);
  EXPECT_EQ(settings.output, "o.obj");
  EXPECT_EQ(settings.tension, 0.0625f);
  EXPECT_EQ(settings.input, "-in.obj");
  const std::vector<std::vector<const char*>> mistakes = {
      {"in.obj", "-n"}, {"in.obj", "-n", "-1"}, {"in.obj", "--passes=2x"}, {"in.obj", "--tension", "nan"},
      {"in.obj", "-o"}, {"in.obj", "--frobnicate"}, {"a.obj", "b.obj"},    {},
      {"in.obj", "--crease-angle", "-1"}, {"in.obj", "--crease-angle=180.5"}, {"in.obj", "--crease-angle"}};
  for (const auto& mistake : mistakes) {
    SubdivideSettings ignored;
    error.clear();
    EXPECT_FALSE(parse(mistake, ignored, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
