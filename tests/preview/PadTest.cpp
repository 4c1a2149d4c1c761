// The scratchpad: a stroke painted in pieces as its points arrive gives the pixels of the same
// stroke painted whole, strokes paint onto one canvas, a replay starts the generator and the
// stroke counter afresh; the pad session paints live through its worker what a replay paints;
// stroke files read back what was written and name what is wrong with a bad one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "brush/MangaBrush.h"
#include "geometry/Clock.h"
#include "geometry/Random.h"
#include "preview/PadCanvas.h"
#include "preview/PadSession.h"
#include "preview/StrokeFile.h"
#include "tests/preview/PreviewTestSupport.h"

namespace {

using namespace quarnel;
using preview_test::Pixels;

constexpr int32_t kW = 200;
constexpr int32_t kH = 120;

// A hand-drawn looking stroke: a loop with uneven spacing and pressure, its first point
// repeated as the stroke model repeats it.
TPadStroke Scribble(double cx, double cy, int points, double turn) {
  TPadStroke s;
  for (int i = 0; i < points; ++i) {
    const double a = turn * i / points;
    const double r = 20.0 + 9.0 * ((i * 7) % 5);
    const TPadPoint p{cx + r * std::cos(a), cy + 0.6 * r * std::sin(a),
                      0.2 + 0.8 * ((i * 3) % 7) / 6.0, static_cast<uint32_t>(16 * i)};
    s.push_back(p);
    if (i == 0) s.insert(s.end(), 6, p);
  }
  return s;
}

class PadTest : public preview_test::CFolderTest {
 protected:
  void TearDown() override {
    CFolderTest::TearDown();
    pavo::drawMode = 0;
  }

  pavo::CBrushInfo Brush(const std::string& source, double width) {
    pavo::CBrushInfo info;
    info.width = width;
    if (!source.empty()) {
      info.SetType(11);
      info.scriptPath = Script(source);
    }
    return info;
  }
};

struct TBrushCase {
  const char* name;
  const char* script;  // "" for the plain brush
  double width;
};

// Plain brushes step by their spacing; scripts by 0.01, with their direction looking into the
// next segment; coverage (mode 1) is merged after every piece.
const TBrushCase kBrushes[] = {
    {"plain, narrow", "", 6.0},
    {"plain, wide", "", 40.0},
    {"script, direction",
     "function main(x, y, p)\n  local dx, dy = bs_dir()\n"
     "  bs_ellipse(x + 4 * dx, y + 4 * dy, 3, 7, bs_atan(dx, dy), 20, 60, "
     "200, 200)\nend\n",
     10.0},
    {"script, coverage",
     "bs_setmode(1)\nfunction main(x, y, p)\n"
     "  bs_ellipse(x, y, bs_width(), bs_width(), 0, 0, 0, 0, 120)\nend\n",
     12.0},
};

TEST_F(PadTest, PiecesPaintWhatTheWholeStrokePaints) {
  for (const TBrushCase& c : kBrushes) {
    SCOPED_TRACE(c.name);
    const pavo::CBrushInfo info = Brush(c.script, c.width);
    const TPadStroke stroke = Scribble(100, 60, 30, 5.0);

    CPadCanvas whole;
    ASSERT_TRUE(whole.Reset(kW, kH, 3));
    whole.PaintStroke(info, stroke);

    CPadCanvas pieces;
    ASSERT_TRUE(pieces.Reset(kW, kH, 3));
    pieces.Begin(info);
    pieces.Extend(TPadStroke(stroke.begin(), stroke.begin() + 7));  // the first point's repeats
    for (size_t i = 7; i < stroke.size(); ++i) pieces.Extend({stroke[i]});
    pieces.Finish();

    pavo::CImage32 a(kW, kH), b(kW, kH);
    whole.Compose(a);
    pieces.Compose(b);
    EXPECT_EQ(Pixels(a), Pixels(b));
    pavo::CImage32 empty(kW, kH);
    CPadCanvas().Compose(empty);
    EXPECT_NE(Pixels(a), Pixels(empty));  // something was painted
  }
}

// Without the walk taken up where it stopped, the pieces step differently: the comparison
// above has teeth.
TEST_F(PadTest, PiecesThatRestartTheWalkStepDifferently) {
  pavo::CBrushInfo info = Brush("", 40.0);
  const TPadStroke points = Scribble(100, 60, 12, 4.0);
  const auto paint = [&](bool continues, bool inPieces) {
    pavo::CImageTile32 canvas, base;
    pavo::CImageTile8 coverage;
    EXPECT_TRUE(canvas.Resize(kW, kH) && base.Resize(kW, kH) && coverage.Resize(kW, kH));
    pavo::CBrushStroke stroke;
    stroke.SetBrushInfo(&info);
    for (const TPadPoint& p : points) {
      pavo::TStrokePoint q;
      q.x = p.x;
      q.y = p.y;
      q.pressure = p.pressure;
      stroke.points.push_back(q);
    }
    pavo::CMangaBrush brush;
    brush.SetCanvasInfo(kW, kH, 150, 0.0);
    brush.SetBrushType(0);
    brush.SetLayers(&canvas, &base, &coverage, nullptr);
    brush.continuePieces = continues;
    pavo::TStrokeOptions options;
    options.width = info.width;
    pavo::NRECT r;
    const int32_t last = stroke.Count() - 1;
    if (inPieces) {
      for (int32_t k = 0; k < last; ++k) brush.StrokeDraw(stroke, r, options, k, k + 1);
    } else {
      brush.StrokeDraw(stroke, r, options, 0, last);
    }
    pavo::CImage32 image(kW, kH);
    image.Fill(0);
    pavo::TBltInfo32 blt;
    blt.mode = 28;
    blt.opacity = 255;
    pavo::BltToImage(blt, image, 0, 0, canvas);
    return Pixels(image);
  };
  const std::vector<uint32_t> whole = paint(false, false);
  EXPECT_EQ(paint(true, true), whole);
  EXPECT_NE(paint(false, true), whole);
}

// Each stroke has its own brush and script state, and paints onto the canvas the strokes
// before it left: bs_pixel_get sees them. Each dab looks 10 pixels below and right of itself,
// where its own stroke never paints; `last` marks how many dabs saw paint there.
TEST_F(PadTest, StrokesPaintOntoOneCanvas) {
  const pavo::CBrushInfo info = Brush(
      "seen = 0\n"
      "function main(x, y, p)\n"
      "  local r, g, b, a = bs_pixel_get(x + 10, y + 10)\n"
      "  if a > 0 then seen = seen + 1 end\n"
      "  bs_rect(x, y, 2, 2, 0, 0, 0, 255)\n"
      "end\n"
      "function last(x, y, p) bs_rect(seen, 0, 1, 1, 255, 0, 0, 255) end\n",
      4.0);
  CPadCanvas pad;
  ASSERT_TRUE(pad.Reset(kW, kH, 0));
  pad.PaintStroke(info, {{20, 60, 1, 0}, {180, 60, 1, 0}});
  pad.PaintStroke(info, {{100, 10, 1, 0}, {100, 110, 1, 0}});
  pavo::CImage32 image(kW, kH);
  pad.Compose(image);
  // The first stroke saw nothing: its mark is at x 0; the second saw the first where it
  // crossed it.
  EXPECT_EQ(image.GetPixel(0, 0), 0xffff0000u);
  int marks = 0;
  for (int32_t x = 1; x < kW; ++x) marks += image.GetPixel(x, 0) == 0xffff0000u;
  EXPECT_EQ(marks, 1);
}

// A replay seeds the generator and counts strokes from 0; strokes after it take both up, so
// painting two strokes one after the other equals replaying both.
TEST_F(PadTest, ReplaySeedsAndCountsAfresh) {
  const pavo::CBrushInfo info = Brush(
      "function main(x, y, p)\n"
      "  bs_rect(x + math.random(-5, 5), y + 10 * bs_count(), 2, 2, 0, 0, 0, 255)\n"
      "end\n",
      4.0);
  const TPadStroke a = Scribble(60, 40, 10, 3.0);
  const TPadStroke b = Scribble(140, 70, 10, 3.0);
  CPadCanvas replayed, live;
  ASSERT_TRUE(replayed.Reset(kW, kH, 42));
  replayed.PaintStroke(info, a);
  replayed.PaintStroke(info, b);
  ASSERT_TRUE(live.Reset(kW, kH, 42));
  live.PaintStroke(info, a);
  pavo::SeedRandom(7);  // whatever the process does between strokes
  live.PaintStroke(info, b);
  pavo::CImage32 x(kW, kH), y(kW, kH);
  replayed.Compose(x);
  live.Compose(y);
  EXPECT_EQ(Pixels(x), Pixels(y));
  EXPECT_EQ(replayed.strokeCounter, 2);
}

// --- the session, with its worker ---------------------------------------------------------

// The pen's points go through the stroke model: the first is repeated, and once eight points
// are in, one close to the last and soon after it is thinned. The kept points are what a replay
// paints, and the live painting equals it.
TEST_F(PadTest, LivePaintingThroughTheWorkerEqualsTheReplay) {
  // The stroke model thins by the clock: it stands still at 1000 ms here.
  pavo::SetClockSource([] { return uint32_t{1000}; });
  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  CPadSession pad;
  pad.fixedSeed = 5;
  pad.SetImage(&image);
  pad.SetViewSize(kW, kH);
  pad.SetBrush(
      Brush("function main(x, y, p)\n  local dx, dy = bs_normal()\n"
            "  bs_ellipse(x + 3 * dx, y + 3 * dy, 4, 4, 0, 200, 40, 40, 255)\nend\n",
            8.0));
  pad.WaitIdle();
  const TPadStroke input = Scribble(100, 60, 24, 5.0);
  pad.PenDown(input[0].x, input[0].y, input[0].pressure, 1000);
  for (size_t i = 7; i < input.size(); ++i)
    pad.PenMove(input[i].x, input[i].y, input[i].pressure, 1000);
  // Close to the last point and no later than it: thinned.
  const TPadPoint& last = input.back();
  pad.PenMove(last.x + 1.0, last.y, last.pressure, 1000);
  pad.PenUp();
  pad.WaitIdle();
  pavo::SetClockSource(nullptr);
  ASSERT_EQ(pad.Strokes().size(), 1u);
  const TPadStroke& kept = pad.Strokes()[0];
  ASSERT_EQ(kept.size(), input.size());  // seven repeats of the first, no thinned point
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(kept[i].x, input[0].x);
  const std::vector<uint32_t> live = Pixels(image);

  pad.Replay();
  pad.WaitIdle();
  EXPECT_TRUE(pad.Status().empty()) << pad.Status();
  EXPECT_EQ(Pixels(image), live);
  pad.Undo();
  pad.WaitIdle();
  EXPECT_NE(Pixels(image), live);
  EXPECT_TRUE(pad.Strokes().empty());
}

// A stroke stopped by the budget keeps what it painted and says why; the pad goes on.
TEST_F(PadTest, StoppedStrokeKeepsItsPaintAndThePadGoesOn) {
  TJobLimits limits;
  limits.seconds = 0.3;
  pavo::CImage32 image(pavo::CImage32::TNoSize{});
  CPadSession pad(limits);
  pad.fixedSeed = 1;
  pad.SetImage(&image);
  pad.SetViewSize(kW, kH);
  pad.SetBrush(
      Brush("n = 0\nfunction main(x, y, p)\n  n = n + 1\n"
            "  if n > 20 and x > 150 then while true do end end\n"
            "  bs_rect(x, y, 2, 2, 0, 0, 0, 255)\nend\n",
            4.0));
  pad.PenDown(10, 60, 1, 0);
  for (int x = 20; x <= 190; x += 10) pad.PenMove(x, 60, 1, 100 * x);
  pad.PenUp();
  pad.WaitIdle();
  EXPECT_EQ(pad.Status().rfind("the script was stopped: it ran longer than the 0.3 s allowed for "
                               "the stroke on the scratchpad (in main, line 4)",
                               0),
            0u)
      << pad.Status();
  EXPECT_EQ(image.GetPixel(60, 60), 0xff000000u);
  pad.PenDown(10, 100, 1, 0);
  pad.PenMove(100, 100, 1, 500);
  pad.PenUp();
  pad.WaitIdle();
  EXPECT_TRUE(pad.Status().empty()) << pad.Status();
  EXPECT_EQ(image.GetPixel(50, 100), 0xff000000u);
  EXPECT_EQ(pad.Strokes().size(), 2u);
}

// --- stroke files ---------------------------------------------------------------------------

TEST_F(PadTest, StrokeFileReadsBackWhatWasWritten) {
  TStrokeFile file;
  file.width = 320;
  file.height = 200;
  file.strokes = {Scribble(50, 50, 5, 2.0), {{0.1, 1e-9, 0.3333333333333333, 4294967295u}}};
  const std::string path = (dir_ / "pad.json").string();
  std::string error;
  ASSERT_TRUE(WriteStrokeFile(path, file, error)) << error;
  TStrokeFile back;
  ASSERT_TRUE(ReadStrokeFile(path, back, error)) << error;
  EXPECT_EQ(back.width, 320);
  EXPECT_EQ(back.height, 200);
  EXPECT_EQ(back.strokes, file.strokes);
}

TEST_F(PadTest, BadStrokeFilesSayWhatIsWrong) {
  const auto doc = [](const std::string& strokes, const std::string& head =
                                                      "\"format\": \"quarnel-strokes\", "
                                                      "\"version\": 1, \"width\": 10, "
                                                      "\"height\": 10") {
    return "{" + head + ", \"strokes\": " + strokes + "}";
  };
  const struct {
    std::string text;
    const char* error;  // the start of the message
  } cases[] = {
      {"[1, 2", "not JSON: "},
      {"[]", "the file is not a JSON object"},
      {"{\"format\": \"other\"}", "\"format\" is not \"quarnel-strokes\""},
      {doc("[]", "\"format\": \"quarnel-strokes\", \"version\": 2, \"width\": 1, \"height\": 1"),
       "version 2 is not known here"},
      {doc("[]", "\"format\": \"quarnel-strokes\", \"version\": 1, \"width\": 0, \"height\": 1"),
       "\"width\" is missing or not a whole number from 1 to 16384"},
      {doc("[]", "\"format\": \"quarnel-strokes\", \"version\": 1, \"width\": 5, \"height\": 2.5"),
       "\"height\" is missing"},
      {doc("{}"), "\"strokes\" is missing or not a list"},
      {doc("[{\"points\": []}]"), "strokes[0]: expected {\"points\": [...]} with at least one"},
      {doc("[{\"points\": [[1, 2, 0.5, 0]]}, {\"points\": [[1, 2, 0.5]]}]"),
       "strokes[1].points[0]: expected [x, y, pressure, time]"},
      {doc("[{\"points\": [[1, null, 0.5, 0]]}]"), "strokes[0].points[0]: y is not a finite"},
      {doc("[{\"points\": [[1, 2, 0.5, -1]]}]"), "strokes[0].points[0]: the time is not a whole"},
      {doc("[{\"points\": [[1, 2, 0.5, 0.5]]}]"), "strokes[0].points[0]: the time is not a whole"},
  };
  for (const auto& c : cases) {
    TStrokeFile file;
    std::string error;
    EXPECT_FALSE(ParseStrokeFile(c.text, file, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n" << error;
  }
}

}  // namespace
