// --log: print and bs_debug text in the order given, the errors of main and last, each
// distinct message once with its count, discovery apart from the repaint. Without --log all
// of it stays silent.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::RunRenderer;
using render_test::TRun;
using render_test::WriteFile;

// The line of text that contains needle ("" when none does).
std::string LineWith(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  if (at == std::string::npos) return "";
  const size_t start = text.rfind('\n', at);
  const size_t end = text.find('\n', at);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end == std::string::npos ? std::string::npos
                                              : end - (start == std::string::npos ? 0 : start + 1));
}

const char* kNoisyScript =
    "bs_debug('loaded')\n"
    "n = 0\n"
    "function main(x, y, p)\n"
    "  n = n + 1\n"
    "  if n == 1 then bs_debug('first dab') end\n"
    "  if n <= 3 then error('boom') end\n"
    "  if n == 4 then error('bang') end\n"
    "  if n == 5 then print('said', 5) end\n"
    "end\n"
    "function last(x, y, p) error('late') end\n";

TEST(RenderLog, EachDistinctErrorOnceWithItsCount) {
  CTempDir dir;
  WriteFile(dir / "noisy.bs", kNoisyScript);
  const TRun run = RunRenderer({"--log", "-o", dir / "out.png", dir / "noisy.bs"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("bs_debug: loaded\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("bs_debug: first dab\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("said\t5\n"), std::string::npos) << run.err;

  const std::string boom = LineWith(run.err, "boom");
  EXPECT_EQ(boom.rfind("error (3 dabs): [string \"bs_debug('loaded')...\"]:6: boom", 0), 0u)
      << run.err;
  EXPECT_EQ(LineWith(run.err, "bang").rfind("error (1 dab): ", 0), 0u) << run.err;
  EXPECT_EQ(LineWith(run.err, "late").rfind("error (1 dab): ", 0), 0u) << run.err;
  // once per distinct message
  EXPECT_EQ(run.err.find("boom"), run.err.rfind("boom"));
}

TEST(RenderLog, SilentWithoutLog) {
  CTempDir dir;
  WriteFile(dir / "noisy.bs", kNoisyScript);
  const TRun run = RunRenderer({"-o", dir / "out.png", dir / "noisy.bs"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_TRUE(run.out.empty());
}

// Print and bs_debug text in the order the script gave it, the discovery's apart from the
// repaint's.
TEST(RenderLog, OutputInTheOrderGivenUnderDiscoveryAndRepaint) {
  CTempDir dir;
  WriteFile(dir / "order.bs",
            "function param1() print('asked') bs_debug('asking') return 'n', 0, 9, 1 end\n"
            "function main(x, y, p)\n"
            "  if not done then done = true print('one') bs_debug('two') print('three') end\n"
            "end\n");
  const TRun run = RunRenderer({"--log", "-o", dir / "out.png", dir / "order.bs"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "--- discovery ---\nasked\nbs_debug: asking\n"
            "--- repaint ---\none\nbs_debug: two\nthree\n");

  const TRun discover = RunRenderer({"--log", "--discover", dir / "order.bs"}, dir.path());
  EXPECT_EQ(discover.status, 0);
  EXPECT_EQ(discover.err, "--- discovery ---\nasked\nbs_debug: asking\n");
}

// A script without main is no error: the log says so once, whatever the number of dabs.
TEST(RenderLog, MissingMainIsSaidOnceAndIsNoError) {
  CTempDir dir;
  for (const char* source : {"", "function param1() return 'n', 0, 9, 1 end\n"}) {
    WriteFile(dir / "nomain.bs", source);
    const TRun run = RunRenderer({"--log", "-o", dir / "out.png", dir / "nomain.bs"}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "--- repaint ---\n"
              "note: the script defines no function main, so nothing is called for its dabs\n")
        << source;
  }
}

}  // namespace
