// --discover: the JSON is parsed (not compared as text) and checked key by key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/StrictJson.h"
#include "tests/cli/RenderHarness.h"

namespace {

using render_test::CTempDir;
using render_test::Lines;
using render_test::RunRenderer;
using render_test::TRun;
using render_test::WriteFile;
using strict_json::ParseJson;
using strict_json::TJson;

struct TDiscovery {
  TRun run;
  TJson json;
  bool parsed = false;
};

TDiscovery Discover(const CTempDir& dir, const std::string& source) {
  WriteFile(dir / "brush.bs", source);
  TDiscovery d;
  d.run = RunRenderer({"--discover", dir / "brush.bs"}, dir.path());
  d.parsed = ParseJson(d.run.out, d.json);
  return d;
}

std::vector<std::string> Keys(const TJson& object) {
  std::vector<std::string> keys;
  for (const auto& m : object.members) keys.push_back(m.key);
  return keys;
}

TEST(RenderDiscover, ReportsEveryAnswerWithItsExactKeys) {
  CTempDir dir;
  const TDiscovery d = Discover(
      dir,
      "function param1() return 'Density', 10, 90, 30 end\n"
      // quotes, a backslash, a tab and a control character must all be escaped
      "function param2() return 'say \"hi\" \\\\ tab\\there\\1', 0, 100, 50 end\n"
      // Shift_JIS bytes of \xE3\x81\x82\xE3\x81\x84; range -5..500 becomes 0..100, 120 -> 100
      "function param3() return '\\130\\160\\130\\162', -5, 500, 120 end\n"
      // UTF-8; the range arrives upside down and is swapped, 5 rises to the minimum
      "function param4() return '\xE6\xBF\x83\xE3\x81\x95', 20, 10, 5 end\n"
      "function default_size() return 12.5, 0.25 end\n"
      "function use_base() return 0 end\n");  // 0 is a true value in Lua
  ASSERT_EQ(d.run.status, 0) << d.run.err;
  EXPECT_TRUE(d.run.err.empty()) << d.run.err;
  ASSERT_TRUE(d.parsed) << d.run.out;
  EXPECT_EQ(Lines(d.run.out), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "preview.png"));  // discovery renders nothing

  const TJson& j = d.json;
  ASSERT_EQ(j.kind, TJson::kObject);
  EXPECT_EQ(Keys(j), (std::vector<std::string>{"status", "count", "params", "default_size",
                                               "size_slider", "min_width_ratio", "use_base"}));
  EXPECT_EQ(j.Find("status")->text, "OK");
  EXPECT_TRUE(j.Find("count")->IsInteger());
  EXPECT_EQ(j.Find("count")->number, 4);
  const TJson& params = *j.Find("params");
  ASSERT_EQ(params.kind, TJson::kArray);
  ASSERT_EQ(params.items.size(), 4u);

  struct Slot {
    int slot;
    std::string label;
    int min, max, value;
  };
  const Slot expected[] = {
      {1, "Density", 10, 90, 30},
      {2, "say \"hi\" \\ tab\there\x01", 0, 100, 50},
      {3, "\xE3\x81\x82\xE3\x81\x84", 0, 100, 100},
      {4, "\xE6\xBF\x83\xE3\x81\x95", 10, 20, 10},
  };
  for (size_t i = 0; i < 4; ++i) {
    const TJson& p = params.items[i];
    SCOPED_TRACE("slot " + std::to_string(i + 1));
    EXPECT_EQ(Keys(p), (std::vector<std::string>{"slot", "label", "min", "max", "value"}));
    EXPECT_EQ(p.Find("slot")->number, expected[i].slot);
    EXPECT_EQ(p.Find("label")->text, expected[i].label);
    for (const char* key : {"slot", "min", "max", "value"}) EXPECT_TRUE(p.Find(key)->IsInteger());
    EXPECT_EQ(p.Find("min")->number, expected[i].min);
    EXPECT_EQ(p.Find("max")->number, expected[i].max);
    EXPECT_EQ(p.Find("value")->number, expected[i].value);
  }
  EXPECT_EQ(j.Find("default_size")->number, 12.5);
  EXPECT_EQ(j.Find("size_slider")->number, 12);  // truncated
  EXPECT_TRUE(j.Find("size_slider")->IsInteger());
  EXPECT_EQ(j.Find("min_width_ratio")->number, 0.25);
  EXPECT_EQ(j.Find("use_base")->kind, TJson::kBool);
  EXPECT_TRUE(j.Find("use_base")->boolean);
}

TEST(RenderDiscover, SizesAreShownAsNumbersWithTheirSliderPosition) {
  struct Case {
    const char* defaultSize;  // body of default_size, or null for none
    double size;
    int slider;
    double ratio;
  };
  const Case cases[] = {
      {nullptr, 10.0, 10, 0.0},              // no default_size: 10 and 0
      {"return 700, 0.5", 700.0, 500, 0.5},  // the slider stops at 500
      {"return 1.5", 1.5, 2, 0.0},           // and at 2
      {"return 3000, 1.5", 2000.0, 500, 1.0},
  };
  for (const Case& c : cases) {
    CTempDir dir;
    const std::string source =
        c.defaultSize ? std::string("function default_size() ") + c.defaultSize + " end\n" : "";
    const TDiscovery d = Discover(dir, source);
    ASSERT_TRUE(d.parsed) << d.run.out;
    const TJson& size = *d.json.Find("default_size");
    EXPECT_EQ(size.number, c.size) << source;
    EXPECT_FALSE(size.IsInteger()) << "a double keeps its fraction: " << size.numberText;
    EXPECT_EQ(d.json.Find("size_slider")->number, c.slider) << source;
    EXPECT_EQ(d.json.Find("min_width_ratio")->number, c.ratio) << source;
    EXPECT_FALSE(d.json.Find("use_base")->boolean);
  }
}

TEST(RenderDiscover, ParamsListsTheFirstCountSlots) {
  // param1 and param3 answer, so count is 2 and the window shows slots 1 and 2: slot 2 did
  // not answer and keeps the record's initial label and range.
  CTempDir dir;
  const TDiscovery d = Discover(dir,
                                "function param1() return 'A', 0, 10, 5 end\n"
                                "function param3() return 'C', 0, 10, 5 end\n");
  ASSERT_TRUE(d.parsed);
  EXPECT_EQ(d.json.Find("count")->number, 2);
  const TJson& params = *d.json.Find("params");
  ASSERT_EQ(params.items.size(), 2u);
  EXPECT_EQ(params.items[0].Find("label")->text, "A");
  EXPECT_EQ(params.items[1].Find("slot")->number, 2);
  EXPECT_EQ(params.items[1].Find("label")->text, "name");
  EXPECT_EQ(params.items[1].Find("min")->number, 0);
  EXPECT_EQ(params.items[1].Find("max")->number, 100);
  EXPECT_EQ(params.items[1].Find("value")->number, 50);
}

TEST(RenderDiscover, BrokenScriptGivesTheInterpreterMessageAsStatus) {
  CTempDir dir;
  const TDiscovery d = Discover(dir, "x = = 1\n");
  EXPECT_EQ(d.run.status, 0);
  ASSERT_TRUE(d.parsed) << d.run.out;
  const std::string status = d.json.Find("status")->text;
  EXPECT_EQ(status.rfind("[string \"x = = 1...\"]:1:", 0), 0u) << status;
  EXPECT_EQ(d.run.err, "status: " + status + "\n");
  EXPECT_EQ(d.json.Find("count")->number, 0);
  EXPECT_TRUE(d.json.Find("params")->items.empty());

  // A message in Shift_JIS arrives as UTF-8.
  const TDiscovery sjis = Discover(dir, "error('\\130\\160')\n");
  ASSERT_TRUE(sjis.parsed) << sjis.run.out;
  const std::string text = sjis.json.Find("status")->text;
  EXPECT_EQ(text.substr(text.size() - 3), "\xE3\x81\x82") << text;
}

TEST(RenderDiscover, EmptyFileAndPrintingScript) {
  CTempDir dir;
  WriteFile(dir / "empty.bs", "");
  const TRun empty = RunRenderer({"--discover", dir / "empty.bs"}, dir.path());
  TJson j;
  ASSERT_TRUE(ParseJson(empty.out, j)) << empty.out;
  EXPECT_EQ(j.Find("status")->text, "OK");
  EXPECT_EQ(j.Find("count")->number, 0);
  EXPECT_TRUE(empty.err.empty());

  // print runs twelve times during discovery (the chunk runs at every query) and must never
  // reach standard output.
  const TDiscovery loud =
      Discover(dir,
               "print('PRINTED')\n"
               "function param1() print('PRINTED too') return 'A', 0, 9, 1 end\n");
  ASSERT_TRUE(loud.parsed) << loud.run.out;
  EXPECT_EQ(loud.json.Find("count")->number, 1);
  EXPECT_EQ(loud.run.out.find("PRINTED"), std::string::npos);
}

}  // namespace
