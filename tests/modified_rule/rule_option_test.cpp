// The rule as meshsubdivide's users choose it: the option, its refusals, and
// the job passing the choice through to the file it writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh_fixtures.h"
#include "obj_reading.h"
#include "options.h"
#include "subdivide_job.h"
#include "test_meshes.h"

namespace {

bool parse(std::vector<const char*> args, SubdivideSettings& settings, std::string& error) {
  args.insert(args.begin(), "meshsubdivide");
  return parseSubdivideOptions(static_cast<int>(args.size()), args.data(), settings, error);
}

std::string streamText(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
  return text;
}

}  // namespace

TEST(RuleOption, ClassicByDefaultModifiedWhenAskedInEveryForm) {
  const std::vector<std::vector<const char*>> modified = {
      {"in.obj", "--rule", "modified"}, {"--rule=modified", "in.obj"}, {"-r", "modified", "in.obj"}, {"-rmodified", "in.obj"}};
  for (const auto& args : modified) {
    SubdivideSettings settings;
    std::string error;
    ASSERT_TRUE(parse(args, settings, error)) << error;
    EXPECT_TRUE(settings.modifiedRule);
  }
  SubdivideSettings settings;
  std::string error;
  ASSERT_TRUE(parse({"in.obj", "--tension", "0.0625"}, settings, error)) << error;
  EXPECT_FALSE(settings.modifiedRule);
  ASSERT_TRUE(parse({"in.obj", "--rule", "classic", "--tension", "0.0625"}, settings, error)) << error;
  EXPECT_FALSE(settings.modifiedRule);
  EXPECT_NE(std::string(kSubdivideHelp).find("--rule"), std::string::npos);
  EXPECT_NE(std::string(kSubdivideHelp).find("classic"), std::string::npos);
  EXPECT_NE(std::string(kSubdivideHelp).find("modified"), std::string::npos);
}

TEST(RuleOption, TensionWithTheModifiedRuleAndUnknownRulesAreRefused) {
  const std::vector<std::vector<const char*>> refused = {{"in.obj", "--rule", "modified", "--tension", "0.05"},
                                                         {"-t", "0.05", "in.obj", "--rule=modified"},
                                                         {"in.obj", "--rule", "loop"},
                                                         {"in.obj", "--rule"}};
  for (const auto& args : refused) {
    SubdivideSettings settings;
    std::string error;
    EXPECT_FALSE(parse(args, settings, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  SubdivideSettings settings;
  std::string error;
  parse({"in.obj", "--rule", "modified", "--tension", "0.05"}, settings, error);
  EXPECT_NE(error.find("tension"), std::string::npos) << error;
}

// The tetrahedron's first side gets 2/3 (a + b) = (4/3, 0, 0) by the
// modified rule; the classic rule at 0.05 puts it elsewhere.
TEST(RuleOption, TheJobWritesTheModifiedRulesPoints) {
  const TestMesh mesh = ::tetrahedron();
  const std::string input = testing::TempDir() + "rule_option_tetrahedron.obj";
  {
    std::FILE* file = std::fopen(input.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(objText(mesh.positions, mesh.triangles).c_str(), file);
    std::fclose(file);
  }
  for (bool modifiedRule : {true, false}) {
    SubdivideSettings settings;
    settings.input = input;
    settings.modifiedRule = modifiedRule;
    const std::string outPath = input + ".out", errPath = input + ".err";
    std::FILE* out = std::fopen(outPath.c_str(), "w+b");
    std::FILE* err = std::fopen(errPath.c_str(), "w+b");
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(runSubdivideJob(settings, out, err), kStatusWritten) << streamText(err);
    const std::string text = streamText(out);
    MeshContent content;
    parseObjText(text.data(), text.size(), content);
    ASSERT_EQ(content.positions.size(), 4u + 6u);
    const FloatPoint p = content.positions[4];
    const bool atRulePoint = std::fabs(p.x - 4.0 / 3.0) < 1e-6 && std::fabs(p.y) < 1e-6 && std::fabs(p.z) < 1e-6;
    EXPECT_EQ(atRulePoint, modifiedRule) << p.x << " " << p.y << " " << p.z;
    EXPECT_EQ(text.find("modified rule") != std::string::npos, modifiedRule) << text.substr(0, text.find('\n'));
    std::fclose(out);
    std::fclose(err);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
  }
  std::remove(input.c_str());
}
