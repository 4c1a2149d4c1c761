// Golden guards: the plain brush and every example, rendered at their default settings with
// seed 0, must keep their exact pixels, so that later optimisation cannot change a pixel
// unnoticed. The hashes were recorded after the images had been looked at and pixels checked
// by hand: the plain brush is black at its full-pressure point (369, 185) and bare 10 pixels
// above it; ten_params.bs paints (38, 115, 217) at opacity 179 into the transparent canvas,
// which shows over a white cell as floor((255 * 76 + c * 179) / 255) = (102, 156, 228) and over
// a grey one as (95, ...). If a change is intended, look at the new images before recording.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::DecodePng;
using render_test::ExamplesDir;
using render_test::Fnv1a;
using render_test::ReadFile;
using render_test::RunRenderer;
using render_test::TPng;
using render_test::TRun;

struct TGolden {
  const char* script;  // in examples/, or "" for the plain brush
  uint64_t hash;       // FNV-1a of the 492 x 296 RGBA bytes
};

const TGolden kGoldens[] = {
    {"", 0x83cd406d3ae1faf5ull},
    {"pressure_pen.bs", 0x651ead5b183fbba7ull},
    {"scatter.bs", 0xe0df6770d0c035bfull},
    {"airbrush.bs", 0x436a4f69605eb056ull},
    {"ribbon.bs", 0x0baa45e9241f01beull},
    {"chalk.bs", 0xde19c23e71919a21ull},
    {"ten_params.bs", 0xd8a64cd6308da61full},
};

TEST(RenderGolden, DefaultPreviewsKeepTheirPixels) {
  for (const TGolden& g : kGoldens) {
    const std::string name = *g.script ? g.script : "(plain brush)";
    CTempDir dir;
    std::vector<std::string> args = {"-o", dir / "out.png", "--seed", "0"};
    if (*g.script) args.push_back(ExamplesDir() + "/" + g.script);
    const TRun run = RunRenderer(args, dir.path());
    ASSERT_EQ(run.status, 0) << name << ": " << run.err;
    EXPECT_TRUE(run.err.empty()) << name << ": " << run.err;
    const TPng png = DecodePng(ReadFile(dir / "out.png"));
    ASSERT_TRUE(png.ok) << name;
    ASSERT_EQ(png.width, 492u);
    ASSERT_EQ(png.height, 296u);
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%016" PRIx64, Fnv1a(png.rgba));
    EXPECT_EQ(Fnv1a(png.rgba), g.hash) << name << " now hashes to " << hex;
  }
}

TEST(RenderGolden, EveryExamplePaintsSomethingVisible) {
  // Each example must leave a good part of the stroke painted: count the pixels that differ
  // from the bare checkerboard.
  for (const TGolden& g : kGoldens) {
    if (!*g.script) continue;
    CTempDir dir;
    const TRun run =
        RunRenderer({"-o", dir / "out.png", ExamplesDir() + "/" + g.script}, dir.path());
    ASSERT_EQ(run.status, 0) << g.script;
    const TPng png = DecodePng(ReadFile(dir / "out.png"));
    ASSERT_TRUE(png.ok);
    size_t painted = 0;
    for (uint32_t y = 0; y < png.height; ++y) {
      for (uint32_t x = 0; x < png.width; ++x) {
        const uint32_t bare = ((x >> 2) & 1) == ((y >> 2) & 1) ? 0xffffffff : 0xffe8e8e8;
        painted += png.Pixel(x, y) != bare;
      }
    }
    EXPECT_GT(painted, 1500u) << g.script;
  }
}

TEST(RenderGolden, TenParamsShowsItsColourWorkedOutByHand) {
  // Red, green, blue 15, 45, 85 % and opacity 70 % give (38, 115, 217) at 179 (each
  // floor(v * 255 / 100 + 0.5)). Painted into the transparent canvas it keeps alpha
  // floor(255 * 180 / 256) = 179; over a white cell, h = 179 and each channel is
  // floor((255 * 76 + c * 179) / 255): 102, 156, 228. Over a grey cell (232) the red is
  // floor((232 * 76 + 38 * 179) / 255) = 95.
  CTempDir dir;
  const TRun run =
      RunRenderer({"-o", dir / "out.png", ExamplesDir() + "/ten_params.bs"}, dir.path());
  ASSERT_EQ(run.status, 0);
  const TPng png = DecodePng(ReadFile(dir / "out.png"));
  ASSERT_TRUE(png.ok);
  size_t overWhite = 0, overGrey = 0;
  for (uint32_t y = 0; y < png.height; ++y) {
    for (uint32_t x = 0; x < png.width; ++x) {
      overWhite += png.Pixel(x, y) == 0xff669ce4u;
      overGrey += (png.Pixel(x, y) >> 16) == 0xff5fu;
    }
  }
  EXPECT_GT(overWhite, 100u);
  EXPECT_GT(overGrey, 100u);
}

}  // namespace
