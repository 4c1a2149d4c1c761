// The preview cycle on the session itself, without a window: the reload (discovery, sliders,
// the script's own size first and the slider's on the next update), the change cache, the
// repaint's pixels, supersession of slow repaints, and what a stopped script leaves.
#include "preview/PreviewSession.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "brush/MangaBrush.h"
#include "preview/TestStroke.h"
#include "tests/preview/PreviewTestSupport.h"

namespace {

using quarnel::CPreviewSession;
using quarnel::TJobLimits;
using Clock = std::chrono::steady_clock;
using preview_test::Pixels;

constexpr int32_t kW = 160;
constexpr int32_t kH = 96;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A script that spends `ms` milliseconds on each of its 301 dabs and marks the position of
// its first parameter (0..100) in the top row.
std::string SlowMarkScript(int ms) {
  return "function param1() return 'n', 0, 100, 0 end\n"
         "function main(x, y, p)\n"
         "  local t = bs_ms() while bs_ms() - t < " +
         std::to_string(ms) +
         " do end\n"
         "  bs_rect(bs_param1(), 0, 1, 1, 0, 0, 0, 255)\n"
         "end\n";
}

class PreviewSessionTest : public preview_test::CFolderTest {
 protected:
  // A session painting into `image_` with a fixed seed, as the renderer sets one up.
  std::unique_ptr<CPreviewSession> Session(double seconds = 2.0) {
    TJobLimits limits;
    limits.seconds = seconds;
    auto session = std::make_unique<CPreviewSession>(limits);
    session->fixedSeed = 7;
    session->SetPreview(&image_);
    EXPECT_TRUE(session->ResizePreview(kW, kH));
    session->onRepainted = [this] { widths_.push_back(sessionWidth_()); };
    return session;
  }

  // Drops the script: its reload, waited for.
  void Load(CPreviewSession& s, const std::string& path) {
    sessionWidth_ = [&s] { return s.LastRepaintWidth(); };
    s.SetScript(path);
    s.ResetChangeCache();
    s.Update(true);
    s.WaitIdle();
  }

  pavo::CImage32 image_{pavo::CImage32::TNoSize{}};
  std::vector<double> widths_;  // the brush width of every repaint shown
  std::function<double()> sessionWidth_ = [] { return 0.0; };
};

// default_size 700: the repaint after the reload paints with the script's 700; the slider
// can only show 500 and the cache still holds the positions from before the reload, so the
// next update paints with 500, and the one after that with nothing changed paints nothing.
TEST_F(PreviewSessionTest, ReloadPaintsTheScriptsSizeThenTheSliders) {
  auto s = Session();
  Load(*s, Script("function default_size() return 700, 0 end\n"
                  "function main(x, y, p) bs_ellipse(x, y, 3, 3, 0, 0, 0, 0, 255) end\n"));
  EXPECT_EQ(s->Status(), "OK");
  EXPECT_EQ(s->size.position, 500);
  EXPECT_EQ(s->SizeCaption(), "15 [px]");  // taken before the discovery moved the slider
  ASSERT_EQ(widths_, std::vector<double>({700.0}));

  s->Update(false);
  s->WaitIdle();
  EXPECT_EQ(widths_, std::vector<double>({700.0, 500.0}));
  EXPECT_EQ(s->SizeCaption(), "500 [px]");
  s->Update(false);
  s->WaitIdle();
  EXPECT_EQ(widths_.size(), 2u);
  s->ResetChangeCache();
  s->Update(false);
  s->WaitIdle();
  EXPECT_EQ(widths_.size(), 3u);
}

// The sliders after a discovery: the answered slots enabled with their ranges, defaults and
// labels, the rest disabled at 0 of 0..100; the values painted with are the positions.
TEST_F(PreviewSessionTest, DiscoverySetsUpTheSliders) {
  auto s = Session();
  Load(*s, Script("function param1() return 'Density', 10, 90, 30 end\n"
                  "function param2() return 'Spread', -20, 360, 45 end\n"));
  EXPECT_EQ(s->Settings().property.count, 2);
  EXPECT_TRUE(s->params[0].enabled);
  EXPECT_EQ(s->params[0].label, "Density");
  EXPECT_EQ(s->params[0].minimum, 10);
  EXPECT_EQ(s->params[0].maximum, 90);
  EXPECT_EQ(s->params[0].position, 30);
  EXPECT_EQ(s->params[1].maximum, 100);  // the script's range is kept within 0..100
  EXPECT_EQ(s->params[1].position, 45);
  for (int i = 2; i < pavo::kParamSlots; ++i) {
    EXPECT_FALSE(s->params[i].enabled);
    EXPECT_EQ(s->params[i].maximum, 100);
    EXPECT_EQ(s->params[i].position, 0);
  }
  s->params[0].SetPosition(70);
  s->Update(false);
  s->WaitIdle();
  EXPECT_EQ(s->Settings().property.value[0], 70);
  EXPECT_EQ(s->Settings().property.value[1], 45);
}

// The pixels of a repaint are the test stroke's for the session's settings and seed, painted
// in the worker as in this process.
TEST_F(PreviewSessionTest, RepaintHoldsTheTestStroke) {
  auto s = Session();
  Load(*s, Script("function param1() return 'n', 0, 40, 12 end\n"
                  "function main(x, y, p)\n"
                  "  bs_ellipse(x + math.random(-9, 9), y, bs_width() * p + 1, 4, x / 50,\n"
                  "             200, 40, 40, 160)\n"
                  "end\n"));
  s->params[0].SetPosition(25);
  s->Update(false);
  s->WaitIdle();
  pavo::CBrushInfo info = s->Settings();
  pavo::CImage32 expected(kW, kH);
  pavo::DrawTestStroke(info, expected, 7);
  EXPECT_EQ(Pixels(image_), Pixels(expected));
  pavo::CImage32 other(kW, kH);
  pavo::DrawTestStroke(info, other, 8);
  EXPECT_NE(Pixels(other), Pixels(expected));  // the seed matters: the comparison has teeth
}

// A resized preview keeps what it showed at its top left over the checkerboard until the
// repaint, instead of showing blank area.
TEST_F(PreviewSessionTest, ResizeKeepsWhatWasShown) {
  auto s = Session();
  s->Update(false);
  s->WaitIdle();
  const std::vector<uint32_t> before = Pixels(image_);
  ASSERT_TRUE(s->ResizePreview(kW + 10, kH + 6));
  for (int32_t y = 0; y < kH + 6; ++y) {
    for (int32_t x = 0; x < kW + 10; ++x) {
      const uint32_t checker = ((x >> 2) & 1) == ((y >> 2) & 1) ? 0xffffffff : 0xffe8e8e8;
      const uint32_t want = x < kW && y < kH ? before[y * kW + x] : checker;
      ASSERT_EQ(image_.GetPixel(x, y), want) << x << "," << y;
    }
  }
}

// A preview with no area (a window smaller than its panels) is painted as 1 x 1.
TEST_F(PreviewSessionTest, PreviewWithoutAreaIsOnePixel) {
  auto s = Session();
  for (const auto& [w, h] : {std::pair{0, 0}, std::pair{-4, 9}, std::pair{5, -1}}) {
    ASSERT_TRUE(s->ResizePreview(w, h));
    EXPECT_EQ(image_.width, std::max(w, 1));
    EXPECT_EQ(image_.height, std::max(h, 1));
    s->ResetChangeCache();
    s->Update(false);
    s->WaitIdle();
    EXPECT_NE(image_.pixels, nullptr);
  }
}

// Twenty slider positions while a 300 ms repaint runs: the last position is painted, the
// ones between are superseded, and at most three strokes are even begun.
TEST_F(PreviewSessionTest, NewerPositionsSupersedeARunningRepaint) {
  auto s = Session(5.0);
  Load(*s, Script(SlowMarkScript(1)));
  const int32_t strokesBefore = pavo::strokeCounter;
  const int repaintsBefore = s->RepaintCount();
  for (int position = 1; position <= 20; ++position) {
    s->params[0].SetPosition(position * 5);
    s->Update(false);
    s->HandleEvents();
  }
  s->WaitIdle();
  EXPECT_EQ(s->Settings().property.value[0], 100);
  EXPECT_EQ(image_.GetPixel(100, 0), 0xff000000u);  // the last position's mark
  EXPECT_EQ(image_.GetPixel(95, 0), 0xffe8e8e8u);   // not the one before: background
  EXPECT_EQ(s->RepaintCount() - repaintsBefore, 1);
  EXPECT_LE(pavo::strokeCounter - strokesBefore, 3);
}

// Follow lets a repaint that has just begun land and then paints the newest positions: each
// of a drag's moves is not cancelled by the next. A repaint running past the patience is
// superseded as Update supersedes it.
TEST_F(PreviewSessionTest, FollowLetsARecentRepaintLandThenPaintsTheNewest) {
  auto s = Session(20.0);
  Load(*s, Script(SlowMarkScript(2)));
  const int before = s->RepaintCount();
  s->params[0].SetPosition(10);
  s->Follow();
  for (int position = 11; position <= 20; ++position) {
    s->params[0].SetPosition(position);
    s->Follow();  // the repaint of 10 has only just begun
  }
  s->WaitIdle();
  EXPECT_EQ(s->RepaintCount() - before, 2);  // 10, then 20
  EXPECT_EQ(s->Settings().property.value[0], 20);
  EXPECT_EQ(image_.GetPixel(20, 0), 0xff000000u);
  EXPECT_EQ(image_.GetPixel(10, 0), 0xffffffffu);

  // About 600 ms per repaint: one running past the patience is superseded.
  s->params[0].SetPosition(30);
  s->Follow();
  std::this_thread::sleep_for(CPreviewSession::kFollowPatience + std::chrono::milliseconds(50));
  s->params[0].SetPosition(40);
  s->Follow();
  s->WaitIdle();
  EXPECT_EQ(s->RepaintCount() - before, 3);
  EXPECT_EQ(image_.GetPixel(40, 0), 0xff000000u);
}

// A stop in a repaint keeps what was painted before it, on every later repaint at the same
// positions (which do not run the script again); another position runs it again.
TEST_F(PreviewSessionTest, StopInARepaintHoldsForItsPositions) {
  auto s = Session(0.3);
  Load(*s, Script("function param1() return 'steps', 0, 10, 8 end\n"
                  "n = 0\n"
                  "function main(x, y, p)\n"
                  "  n = n + 1\n"
                  "  if n > 100 and bs_param1() > 5 then while true do end end\n"
                  "  bs_rect(x, y, 2, 2, 0, 0, 0, 255)\n"
                  "end\n"));
  ASSERT_TRUE(s->ScriptStopped());
  EXPECT_EQ(s->Status().rfind("the script was stopped: it ran longer than the 0.3 s allowed for "
                              "the repaint (in main, line 5)",
                              0),
            0u)
      << s->Status();
  EXPECT_TRUE(s->params[0].enabled);  // the author can move it
  const std::vector<uint32_t> stopped = Pixels(image_);
  bool painted = false;
  for (uint32_t p : stopped) painted = painted || p == 0xff000000u;
  EXPECT_TRUE(painted);  // the hundred dabs before the loop

  const Clock::time_point start = Clock::now();
  s->Update(false);  // the settled update: the same positions
  s->WaitIdle();
  s->ResetChangeCache();  // a resize's
  s->Update(false);
  s->WaitIdle();
  EXPECT_LT(Since(start), 0.25);
  EXPECT_EQ(Pixels(image_), stopped);
  EXPECT_TRUE(s->ScriptStopped());

  s->params[0].SetPosition(3);
  s->Update(false);
  s->WaitIdle();
  EXPECT_FALSE(s->ScriptStopped());
  EXPECT_EQ(s->Status(), "OK");
}

// A stop in discovery: nothing answered, the crosses of a script that fails to load, and no
// later repaint runs the script until it is reloaded.
TEST_F(PreviewSessionTest, StopInDiscoveryHoldsUntilTheReload) {
  auto s = Session(0.3);
  const std::string path = Script("function param1() while true do end end\n");
  Load(*s, path);
  ASSERT_TRUE(s->ScriptStopped());
  EXPECT_EQ(s->Settings().property.count, 0);
  EXPECT_EQ(image_.GetPixel(static_cast<int32_t>(kW * 0.05), kH / 2), 0xffff0000u);
  const Clock::time_point start = Clock::now();
  s->size.SetPosition(40);
  s->Update(false);
  s->WaitIdle();
  EXPECT_LT(Since(start), 0.25);
  EXPECT_TRUE(s->ScriptStopped());

  std::ofstream(path, std::ios::binary) << "function param1() return 'fixed', 0, 9, 4 end\n";
  s->Update(true);  // the cache was just filled: a reload alone does not repaint...
  s->WaitIdle();
  EXPECT_TRUE(s->ScriptStopped());
  s->ResetChangeCache();  // ...the update button resets it first
  s->Update(true);
  s->WaitIdle();
  EXPECT_FALSE(s->ScriptStopped());
  EXPECT_EQ(s->Status(), "OK");
  EXPECT_EQ(s->params[0].label, "fixed");
}

// A reload of a script saved again keeps the author's positions: a slot that keeps its label
// keeps its position, clamped into a changed range; a relabelled or new slot starts at its
// default; the size slider stays. One repaint paints them, and nothing is left to repaint.
TEST_F(PreviewSessionTest, ReloadKeepingPositionsKeepsTheSlotsThatKeepTheirLabels) {
  auto s = Session();
  const std::string path = Script(
      "function param1() return 'Gap', 0, 100, 10 end\n"
      "function param2() return 'Jitter', 0, 100, 20 end\n"
      "function param3() return 'Tilt', 0, 100, 30 end\n"
      "function default_size() return 12, 0 end\n");
  Load(*s, path);
  s->params[0].SetPosition(70);
  s->params[1].SetPosition(80);
  s->params[2].SetPosition(90);
  s->size.SetPosition(33);
  s->Update(false);
  s->WaitIdle();
  const size_t repaints = widths_.size();

  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << "function param1() return 'Gap', 0, 100, 15 end\n"    // same label, new default
      << "function param2() return 'Jitter', 0, 50, 20 end\n"  // same label, narrower range
      << "function param3() return 'Angle', 0, 100, 30 end\n"  // relabelled
      << "function param4() return 'Extra', 0, 100, 40 end\n"  // new
      << "function default_size() return 60, 0 end\n";
  s->ReloadKeepingPositions();
  s->WaitIdle();
  EXPECT_EQ(s->Status(), "OK");
  const int32_t expected[] = {70, 50, 30, 40};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(s->params[j].position, expected[j]) << "slot " << j + 1;
    EXPECT_EQ(s->Settings().property.value[j], expected[j]) << "slot " << j + 1;
  }
  EXPECT_EQ(s->params[1].maximum, 50);
  EXPECT_EQ(s->size.position, 33);
  ASSERT_EQ(widths_.size(), repaints + 1);
  EXPECT_EQ(widths_.back(), 33.0);
  s->Update(false);
  s->WaitIdle();
  EXPECT_EQ(widths_.size(), repaints + 1);

  // The update button's reload gives the defaults.
  s->ResetChangeCache();
  s->Update(true);
  s->WaitIdle();
  EXPECT_EQ(s->params[0].position, 15);
  EXPECT_EQ(s->size.position, 60);
}

// Saving a script with a syntax error and then the fixed script: the positions from before
// the error come back. After another script was dropped, nothing of the first comes back.
TEST_F(PreviewSessionTest, PositionsSurviveASaveThatFailsToLoad) {
  auto s = Session();
  const std::string text = "function param1() return 'Gap', 0, 100, 10 end\n";
  const std::string path = Script(text);
  Load(*s, path);
  s->params[0].SetPosition(64);
  s->size.SetPosition(40);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "function param1( return end\n";
  s->ReloadKeepingPositions();
  s->WaitIdle();
  EXPECT_NE(s->Status(), "OK");
  EXPECT_FALSE(s->params[0].enabled);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  s->ReloadKeepingPositions();
  s->WaitIdle();
  EXPECT_EQ(s->Status(), "OK");
  EXPECT_EQ(s->params[0].position, 64);
  EXPECT_EQ(s->size.position, 40);

  const std::string other = Script("function param1( return end\n");
  Load(*s, other);
  EXPECT_FALSE(s->params[0].enabled);
  std::ofstream(other, std::ios::binary | std::ios::trunc)
      << "function param1() return 'Gap', 0, 100, 5 end\n";
  s->ReloadKeepingPositions();
  s->WaitIdle();
  EXPECT_EQ(s->params[0].position, 5);
}

// What a repaint gives besides pixels: print, bs_debug and errors in the order the script
// gave them, and its cost (calls of main, time in script code).
TEST_F(PreviewSessionTest, RepaintOutputKeepsTheScriptsOrderAndCost) {
  auto s = Session();
  s->collectPrint = s->collectErrors = s->collectDebug = true;
  Load(*s, Script("n = 0\n"
                  "function main(x, y, p)\n"
                  "  n = n + 1\n"
                  "  if n == 1 then print('a') bs_debug('b') print('c') end\n"
                  "  if n == 2 then error('d', 0) end\n"
                  "end\n"));
  using K = quarnel::CScriptOutput::EKind;
  const auto& entries = s->LastOutput().Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].kind, K::kPrint);
  EXPECT_EQ(entries[0].text, "a\n");
  EXPECT_EQ(entries[1].kind, K::kDebug);
  EXPECT_EQ(entries[1].text, "b");
  EXPECT_EQ(entries[2].kind, K::kPrint);
  EXPECT_EQ(entries[3].kind, K::kError);
  EXPECT_EQ(entries[3].text, "d");
  EXPECT_EQ(s->LastDebugText(), "b\r\n");
  // The test stroke: 301 steps of 0.01 over three segments, each a call of main.
  EXPECT_EQ(s->LastMainCalls(), 301);
  EXPECT_GT(s->LastScriptSeconds(), 0.0);
  EXPECT_GE(s->LastRepaintSeconds(), s->LastScriptSeconds());
}

}  // namespace
