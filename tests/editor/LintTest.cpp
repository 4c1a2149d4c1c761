// The luacheck configuration (editor/luacheckrc), run the way the README tells authors to:
// the examples pass it, and it reports what the host lacks and nothing a valid script does.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/ToolRun.h"

namespace {

using tool_test::RunTool;
using tool_test::SourcePath;

constexpr const char* kNoLuacheck =
    "luacheck is not installed (Debian package lua-check; scripts/bootstrap installs it)";

tool_test::TToolRun Luacheck(const std::vector<std::string>& files) {
  std::vector<std::string> args = {"luacheck",   "--config", SourcePath("editor/luacheckrc"),
                                   "--no-color", "--codes",  "--formatter",
                                   "plain"};
  args.insert(args.end(), files.begin(), files.end());
  return RunTool(args);
}

TEST(Lint, ExamplesPass) {
  if (!tool_test::HaveTool("luacheck")) GTEST_SKIP() << kNoLuacheck;
  std::vector<std::string> examples;
  for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"))) {
    if (entry.path().extension() == ".bs") examples.push_back(entry.path().string());
  }
  ASSERT_FALSE(examples.empty());
  const tool_test::TToolRun run = Luacheck(examples);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");
}

// The fixture marks each line that must be reported with a comment "-- Wnnn: why"; the
// other lines define the whole contract and use every library the host opens.
TEST(Lint, ReportsExactlyTheMarkedLines) {
  if (!tool_test::HaveTool("luacheck")) GTEST_SKIP() << kNoLuacheck;
  const std::string fixture = "tests/editor/fixtures/lint.bs";
  std::set<std::pair<int, std::string>> expected;
  static const std::regex marker(".*-- (W\\d{3}): .*");
  std::istringstream lines(tool_test::ReadSource(fixture));
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::smatch m;
    if (std::regex_match(line, m, marker)) expected.insert({number, m[1]});
  }
  ASSERT_EQ(expected.size(), 7u);

  const tool_test::TToolRun run = Luacheck({SourcePath(fixture)});
  EXPECT_EQ(run.status, 1) << run.output;  // warnings, no errors
  std::set<std::pair<int, std::string>> reported;
  static const std::regex report(".*:(\\d+):\\d+: \\((W\\d{3})\\) .*");
  std::istringstream out(run.output);
  while (std::getline(out, line)) {
    std::smatch m;
    if (std::regex_match(line, m, report)) {
      reported.insert({std::stoi(m[1]), m[2]});
    } else {
      ADD_FAILURE() << "unexpected output: " << line;
    }
  }
  EXPECT_EQ(reported, expected) << run.output;
}

}  // namespace
