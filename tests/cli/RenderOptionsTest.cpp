// The renderer's command line, exit statuses and output rules, driven through the binary.
// Pixels are checked where small scripts put single marks, so each expectation follows from
// the script beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::DecodePng;
using render_test::Lines;
using render_test::ReadFile;
using render_test::RunRenderer;
using render_test::TPng;
using render_test::TRun;
using render_test::TStdout;
using render_test::WriteFile;

constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kGrey = 0xffe8e8e8;
constexpr uint32_t kBlack = 0xff000000;
constexpr uint32_t kRed = 0xffff0000;
constexpr uint32_t kBlue = 0xff0000ff;
constexpr uint32_t kGreen = 0xff00ff00;

uint32_t Checker(uint32_t x, uint32_t y) {
  return ((x >> 2) & 1) == ((y >> 2) & 1) ? kWhite : kGrey;
}

// Renders with args (plus -o out.png) in dir and decodes the result.
TPng Render(const CTempDir& dir, std::vector<std::string> args, TRun* runOut = nullptr) {
  args.insert(args.begin(), {"-o", dir / "out.png"});
  const TRun run = RunRenderer(args, dir.path());
  if (runOut != nullptr) *runOut = run;
  EXPECT_EQ(run.status, 0) << run.err;
  return DecodePng(ReadFile(dir / "out.png"));
}

// Marks drawn once per stroke: red at x = bs_param1(), blue at x = bs_param2(), green at
// x = bs_param3() (slot 3 is not answered, so its slider is disabled).
const char* kParamScript =
    "function param1() return 'Gate', 10, 90, 30 end\n"
    "function param2() return 'Second', 0, 100, 70 end\n"
    "function main(x, y, p)\n"
    "  if not done then\n"
    "    done = true\n"
    "    bs_rect(bs_param1(), 5, 1, 1, 255, 0, 0, 255)\n"
    "    bs_rect(bs_param2(), 9, 1, 1, 0, 0, 255, 255)\n"
    "    bs_rect(bs_param3(), 13, 1, 1, 0, 255, 0, 255)\n"
    "  end\n"
    "end\n";

TEST(RenderUsage, HelpListsEveryOptionAndVersionNamesTheProgram) {
  CTempDir dir;
  const TRun help = RunRenderer({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: quarnel-render [OPTIONS] [SCRIPT]", 0), 0u) << help.out;
  for (const char* option :
       {"-o, --output FILE", "--width W", "--height H", "--size N", "--param K=V", "--no-pressure",
        "--seed S", "--discover", "--log", "--help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(RunRenderer({"-h"}, dir.path()).out, help.out);

  const TRun version = RunRenderer({"--version"}, dir.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quarnel-render ", 0), 0u);
  EXPECT_EQ(Lines(version.out), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "preview.png"));
}

TEST(RenderUsage, BadUsageExitsWithTwoAndOneLineNamingTheProblem) {
  struct Case {
    std::vector<std::string> args;
    const char* named;  // the message must name this
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "--bogus"},
      {{"-x"}, "-x"},
      {{"--width"}, "--width"},
      {{"--width", "abc"}, "abc"},
      {{"--width", "12px"}, "12px"},
      {{"--width", "99999999999"}, "99999999999"},
      {{"--height="}, "--height"},
      {{"--size", "1.5"}, "1.5"},
      {{"--size", ""}, "--size"},
      {{"--param", "11=3"}, "11=3"},
      {{"--param", "0=3"}, "0=3"},
      {{"--param", "3"}, "--param"},
      {{"--param", "1=x"}, "1=x"},
      {{"--param", "=4"}, "=4"},
      {{"--seed", "x"}, "x"},
      {{"--seed", "4294967296"}, "4294967296"},
      {{"--seed", "0x10"}, "0x10"},
      {{"--log=yes"}, "--log"},
      {{"--no-pressure=1"}, "--no-pressure"},
      {{"a.bs", "b.bs"}, "b.bs"},
      {{"--discover"}, "SCRIPT"},
      {{"--output="}, "--output"},
  };
  for (const Case& c : cases) {
    CTempDir dir;
    const TRun run = RunRenderer(c.args, dir.path());
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(run.status, 2) << shown << run.err;
    EXPECT_EQ(Lines(run.err), 1u) << shown << run.err;
    EXPECT_EQ(run.err.back(), '\n') << shown;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << shown << run.err;
    EXPECT_TRUE(run.out.empty()) << shown;
    EXPECT_FALSE(std::filesystem::exists(dir / "preview.png")) << shown;
  }
}

TEST(RenderOutput, DefaultFileIsAnOpaqueRgbaPngOfThePreviewSize) {
  CTempDir dir;
  const TRun run = RunRenderer({}, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(run.err.empty()) << run.err;
  const TPng png = DecodePng(ReadFile(dir / "preview.png"));
  ASSERT_TRUE(png.ok) << png.error;
  EXPECT_EQ(png.width, 492u);
  EXPECT_EQ(png.height, 296u);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.colourType, 6);  // RGBA
  EXPECT_EQ(png.interlace, 0);
  for (uint32_t y = 0; y < png.height; ++y) {
    for (uint32_t x = 0; x < png.width; ++x)
      ASSERT_EQ(png.Pixel(x, y) >> 24, 0xffu) << x << "," << y;
  }
  // The plain brush: checkerboard in the corner, black where the full-pressure point lies.
  EXPECT_EQ(png.Pixel(0, 0), kWhite);
  EXPECT_EQ(png.Pixel(4, 0), kGrey);
  EXPECT_EQ(png.Pixel(4, 4), kWhite);
  EXPECT_EQ(png.Pixel(369, 185), kBlack);
}

TEST(RenderOutput, DashWritesTheSamePngToStandardOutput) {
  CTempDir dir;
  WriteFile(dir / "talk.bs",
            "print('PRINTED at load')\n"
            "function main(x, y, p) print('PRINTED', x) bs_rect(x, y, 2, 2, 0, 0, 0, 255) end\n"
            "function last(x, y, p) print('PRINTED last') end\n");
  const TRun toFile = RunRenderer({"-o", dir / "file.png", dir / "talk.bs"}, dir.path());
  ASSERT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_TRUE(toFile.out.empty());
  EXPECT_TRUE(toFile.err.empty()) << "print goes nowhere without --log: " << toFile.err;

  const TRun toStdout = RunRenderer({"-o", "-", dir / "talk.bs"}, dir.path());
  ASSERT_EQ(toStdout.status, 0) << toStdout.err;
  EXPECT_EQ(toStdout.out, ReadFile(dir / "file.png"));  // nothing but the PNG
  EXPECT_TRUE(DecodePng(toStdout.out).ok);

  const TRun logged = RunRenderer({"--output=-", "--log", dir / "talk.bs"}, dir.path());
  ASSERT_EQ(logged.status, 0);
  EXPECT_EQ(logged.out, toStdout.out);
  EXPECT_NE(logged.err.find("PRINTED at load"), std::string::npos) << logged.err;
  EXPECT_NE(logged.err.find("PRINTED last"), std::string::npos);
}

TEST(RenderOutput, UnwritableOutputExitsWithOne) {
  CTempDir dir;
  std::vector<std::string> targets = {dir / "no-such-dir/out.png", dir.path().string()};
  if (std::filesystem::exists("/dev/full")) targets.push_back("/dev/full");  // disk full
  for (const std::string& target : targets) {
    const TRun run = RunRenderer({"-o", target}, dir.path());
    EXPECT_EQ(run.status, 1) << target;
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find(target), std::string::npos) << run.err;
  }
  // With standard output closed, "-" cannot be written either.
  const TRun closed =
      RunRenderer({"-o", "-", "--width", "8", "--height", "8"}, dir.path(), TStdout::kClosed);
  EXPECT_EQ(closed.status, 1);
  EXPECT_NE(closed.err.find("standard output"), std::string::npos) << closed.err;
  // A reader that has gone away: the write fails and says so, the process is not killed.
  const TRun broken = RunRenderer({"-o", "-"}, dir.path(), TStdout::kBrokenPipe);
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find("standard output"), std::string::npos) << broken.err;
  const TRun json = RunRenderer({"--discover", dir / "none.bs"}, dir.path(), TStdout::kBrokenPipe);
  EXPECT_EQ(json.status, 1);
}

TEST(RenderOptions, WidthAndHeightBelowOneBecomeOne) {
  CTempDir dir;
  TPng png = Render(dir, {"--width", "40", "--height", "30"});
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 40u);
  EXPECT_EQ(png.height, 30u);
  png = Render(dir, {"--width=0", "--height", "-4"});
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 1u);
  EXPECT_EQ(png.height, 1u);
}

TEST(RenderOptions, SizeSliderIsClampedAndDrivesThePlainBrush) {
  CTempDir dir;
  // Size 100: a dab of radius 50 at the full-pressure point (369, 185) covers (369, 225);
  // at the default 15 (radius 7.5) that pixel is bare.
  EXPECT_EQ(Render(dir, {}).Pixel(369, 225), Checker(369, 225));
  EXPECT_EQ(Render(dir, {"--size", "100"}).Pixel(369, 225), kBlack);
  EXPECT_EQ(Render(dir, {"--size", "1000"}).rgba, Render(dir, {"--size", "500"}).rgba);
  EXPECT_EQ(Render(dir, {"--size", "-3"}).rgba, Render(dir, {"--size", "2"}).rgba);
  EXPECT_NE(Render(dir, {"--size", "2"}).rgba, Render(dir, {"--size", "3"}).rgba);
}

TEST(RenderOptions, ScriptSizeIsTheSettledSliderNotTheRawDefault) {
  // default_size 12.7 puts the size slider at 12: the settled repaint paints with width 12,
  // which the script reads back as bs_width_max and marks at row 12 (not 12.7 -> 13).
  CTempDir dir;
  WriteFile(dir / "size.bs",
            "function default_size() return 12.7, 0 end\n"
            "function main(x, y, p)\n"
            "  if not done then done = true bs_rect(20, bs_width_max(), 1, 1, 255, 0, 0, 255) end\n"
            "end\n");
  const std::string script = dir / "size.bs";
  TPng png = Render(dir, {script, "--height", "600"});
  EXPECT_EQ(png.Pixel(20, 12), kRed);
  EXPECT_EQ(png.Pixel(20, 13), Checker(20, 13));
  EXPECT_EQ(Render(dir, {script, "--height", "600", "--size", "30"}).Pixel(20, 30), kRed);
  EXPECT_EQ(Render(dir, {script, "--height", "600", "--size", "700"}).Pixel(20, 500), kRed);
  EXPECT_EQ(Render(dir, {script, "--height", "600", "--size", "0"}).Pixel(20, 2), kRed);
}

TEST(RenderOptions, ParamsAreClampedIntoTheirSlidersAndDisabledSlidersStayAtZero) {
  CTempDir dir;
  WriteFile(dir / "params.bs", kParamScript);
  const std::string script = dir / "params.bs";
  struct Case {
    std::vector<std::string> params;
    uint32_t red, blue;  // columns of the marks
  };
  const std::vector<Case> cases = {
      {{}, 30, 70},  // the script's defaults
      {{"--param", "1=50", "--param", "2=5"}, 50, 5},
      {{"--param", "1=5"}, 10, 70},                      // below the range 10..90
      {{"--param", "1=200"}, 90, 70},                    // above it
      {{"--param", "1=40", "--param", "1=60"}, 60, 70},  // the later one wins
      {{"--param=2=-7"}, 30, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.params;
    args.push_back(script);
    TRun run;
    const TPng png = Render(dir, args, &run);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.Pixel(c.red, 5), kRed) << c.red;
    EXPECT_EQ(png.Pixel(c.blue, 9), kBlue) << c.blue;
    EXPECT_EQ(png.Pixel(0, 13), kGreen);  // slot 3 reads 0
    EXPECT_TRUE(run.err.empty()) << run.err;
  }
  // A disabled slider cannot be moved: the value stays 0 and the renderer says so.
  TRun run;
  const TPng png = Render(dir, {"--param", "3=77", script}, &run);
  EXPECT_EQ(png.Pixel(0, 13), kGreen);
  EXPECT_EQ(png.Pixel(77, 13), Checker(77, 13));
  EXPECT_EQ(Lines(run.err), 1u);
  EXPECT_NE(run.err.find("--param 3=77"), std::string::npos) << run.err;
}

TEST(RenderOptions, NoPressureKeepsTheFullSizeWhereThePenIsLifted) {
  // At the first point (24.6, 148) the pressure is 0: with pressure the dab is a speck and
  // (20, 148) stays bare; without it the dab has radius 7.5 and covers that pixel.
  CTempDir dir;
  EXPECT_EQ(Render(dir, {}).Pixel(20, 148), Checker(20, 148));
  EXPECT_EQ(Render(dir, {"--no-pressure"}).Pixel(20, 148), kBlack);
}

TEST(RenderOptions, SeedSelectsTheRandomSequence) {
  CTempDir dir;
  WriteFile(dir / "dice.bs",
            "function main(x, y, p)\n"
            "  if not done then\n"
            "    done = true\n"
            "    bs_rect(math.random(0, 400), math.random(0, 200), 30, 30, 0, 0, 0, 255)\n"
            "  end\n"
            "end\n");
  const std::string script = dir / "dice.bs";
  const TPng zero = Render(dir, {script});
  EXPECT_EQ(Render(dir, {script, "--seed", "0"}).rgba, zero.rgba);
  EXPECT_NE(Render(dir, {script, "--seed", "5"}).rgba, zero.rgba);
  // Seeds are taken modulo 2^32.
  EXPECT_EQ(Render(dir, {script, "--seed", "4294967295"}).rgba,
            Render(dir, {script, "--seed", "-1"}).rgba);
}

TEST(RenderOptions, StrokeCountIncludesTheWindowsFirstRepaint) {
  // After a drop the window paints once with the raw discovery values and once more when the
  // sliders have settled; the settled preview is the second script stroke of the run.
  CTempDir dir;
  WriteFile(
      dir / "count.bs",
      "function main(x, y, p)\n"
      "  if not done then done = true bs_rect(bs_count() * 10, 30, 1, 1, 255, 0, 0, 255) end\n"
      "end\n");
  const TPng png = Render(dir, {dir / "count.bs"});
  EXPECT_EQ(png.Pixel(20, 30), kRed);
  EXPECT_EQ(png.Pixel(10, 30), Checker(10, 30));
}

TEST(RenderScripts, BrokenScriptReportsItsStatusAndPaintsRedCrosses) {
  CTempDir dir;
  WriteFile(dir / "broken.bs", "function main(x, y\n");
  TRun run;
  const TPng png = Render(dir, {dir / "broken.bs"}, &run);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(run.err.rfind("status: [string \"function main(x, y...\"]:", 0), 0u) << run.err;
  EXPECT_EQ(Lines(run.err), 1u);
  EXPECT_EQ(png.Pixel(24, 148), kRed);  // the first cross, at the first stroke point
}

// A script that cannot be read is input the renderer could not read: exit 1 with the reason,
// no PNG and no JSON. An empty file is an empty script.
TEST(RenderScripts, UnreadableScriptExitsWithOneAndWritesNothing) {
  CTempDir dir;
  std::filesystem::create_directory(dir / "folder.bs");
  const struct {
    std::string script;
    const char* reason;
  } cases[] = {
      {dir / "does-not-exist.bs", "No such file or directory"},
      {dir / "folder.bs", "Is a directory"},
  };
  for (const auto& c : cases) {
    for (const bool discover : {false, true}) {
      std::vector<std::string> args = {"-o", dir / "out.png", c.script};
      if (discover) args.insert(args.begin(), "--discover");
      const TRun run = RunRenderer(args, dir.path());
      EXPECT_EQ(run.status, 1) << c.script;
      EXPECT_EQ(run.err, "quarnel-render: cannot read '" + c.script + "': " + c.reason + "\n");
      EXPECT_TRUE(run.out.empty());
      EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    }
  }

  WriteFile(dir / "empty.bs", "");
  TRun run;
  const TPng png = Render(dir, {dir / "empty.bs"}, &run);
  ASSERT_TRUE(png.ok);
  EXPECT_TRUE(run.err.empty()) << run.err;  // status OK: nothing to report
  bool plain = true;
  for (uint32_t y = 0; y < png.height; ++y) {
    for (uint32_t x = 0; x < png.width; ++x) plain = plain && png.Pixel(x, y) == Checker(x, y);
  }
  EXPECT_TRUE(plain);
}

}  // namespace
