// --strokes: a stroke file painted instead of the test stroke, on a canvas of the file's size;
// the test stroke's four points give the default preview; a bad file is named and refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::DecodePng;
using render_test::ReadFile;
using render_test::RunRenderer;
using render_test::TPng;
using render_test::TRun;
using render_test::WriteFile;

const char* const kTestStroke =
    "{\"format\": \"quarnel-strokes\", \"version\": 1, \"width\": 492, \"height\": 296,\n"
    " \"strokes\": [{\"points\": [[24.6, 148, 0, 0], [196.8, 74, 0.6, 0], [369, 185, 1, 0],"
    " [492, 148, 0, 0]]}]}\n";

TPng RenderTo(const CTempDir& dir, const std::string& name, std::vector<std::string> args) {
  args.insert(args.begin(), {"-o", dir / name});
  const TRun run = RunRenderer(args, dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  return DecodePng(ReadFile(dir / name));
}

// With the plain brush, a random brush (the seed given) and an example: the file of the test
// stroke's points is the default preview, pixel for pixel.
TEST(RenderStrokes, TheTestStrokesPointsGiveTheDefaultPreview) {
  CTempDir dir;
  WriteFile(dir / "test-stroke.json", kTestStroke);
  WriteFile(dir / "dice.bs",
            "function main(x, y, p)\n"
            "  bs_ellipse(x + math.random(-6, 6), y, 5, 5, 0, 0, 90, 0, 200)\n"
            "end\n");
  const std::string example = render_test::ExamplesDir() + "/ribbon.bs";
  const std::vector<std::vector<std::string>> scripts = {
      {}, {dir / "dice.bs", "--seed", "17"}, {example}};
  for (const auto& script : scripts) {
    const TPng preview = RenderTo(dir, "preview.png", script);
    std::vector<std::string> args = {"--strokes", dir / "test-stroke.json"};
    args.insert(args.end(), script.begin(), script.end());
    const TPng strokes = RenderTo(dir, "strokes.png", args);
    ASSERT_TRUE(preview.ok && strokes.ok);
    EXPECT_EQ(strokes.rgba, preview.rgba) << (script.empty() ? "plain brush" : script.front());
  }
}

// The canvas is the file's size, whatever --width and --height say; strokes paint in file
// order onto it.
TEST(RenderStrokes, TheCanvasIsTheFilesSize) {
  CTempDir dir;
  WriteFile(dir / "two.json",
            "{\"format\": \"quarnel-strokes\", \"version\": 1, \"width\": 64, \"height\": 40,"
            " \"strokes\": [{\"points\": [[5, 10, 1, 0], [60, 10, 1, 0]]},"
            " {\"points\": [[30, 2, 1, 0], [30, 38, 1, 0]]}]}");
  const TPng png = RenderTo(dir, "two.png", {"--width", "300", "--strokes", dir / "two.json"});
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 64u);
  EXPECT_EQ(png.height, 40u);
  // The plain brush at size 15: both strokes are black where they run.
  EXPECT_EQ(png.Pixel(20, 10), 0xff000000u);
  EXPECT_EQ(png.Pixel(30, 30), 0xff000000u);
}

TEST(RenderStrokes, ABadFileIsNamedAndRefused) {
  CTempDir dir;
  WriteFile(dir / "bad.json",
            "{\"format\": \"quarnel-strokes\", \"version\": 1, \"width\": 64, \"height\": 40,"
            " \"strokes\": [{\"points\": [[5, 10, 1, 0]]}, {\"points\": [[5, 10, \"hard\", 0]]}]}");
  const struct {
    const char* file;
    const char* message;
  } cases[] = {
      {"bad.json", "strokes[1].points[0]: the pressure is not a finite number"},
      {"missing.json", "cannot read"},
  };
  for (const auto& c : cases) {
    const TRun run = RunRenderer({"--strokes", dir / c.file, "-o", dir / "x.png"}, dir.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.file), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
  }
}

}  // namespace
