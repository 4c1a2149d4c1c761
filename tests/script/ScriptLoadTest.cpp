// Loading a script into a fresh state: libraries, messages, file reading, the random
// functions and the behaviour when memory runs out.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "geometry/Random.h"
#include "script/ScriptApi.h"
#include "script/ScriptSinks.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

using namespace std::string_literals;

TEST(ScriptLoad, EmptyPathLeavesARegisteredStateWithNothingLoaded) {
  TLoadedScript s("");
  s.Load();
  ASSERT_NE(s.brush.lua, nullptr);
  EXPECT_FALSE(s.brush.scriptLoaded);
  EXPECT_EQ(s.brush.loadError, "");
  EXPECT_EQ(GlobalText(s.brush, "bs_fill"), "<function>");
  CloseScript(s.brush);
  EXPECT_EQ(s.brush.lua, nullptr);
  EXPECT_FALSE(s.brush.scriptLoaded);
}

TEST(ScriptLoad, AnEmptyFileIsAnEmptyScript) {
  TLoadedScript s(WriteScript("empty.bs", ""));
  s.Load();
  EXPECT_TRUE(s.brush.scriptLoaded);
  EXPECT_EQ(s.brush.loadError, "");
}

// A script that is not there or is no readable file fails to load, and the message names the
// file and the reason.
TEST(ScriptLoad, AFileThatCannotBeReadFailsToLoadNamingTheProblem) {
  const std::string some = WriteScript("placeholder.bs", "x = 1");
  const std::string folder = some.substr(0, some.rfind('/'));
  const std::string pipe = folder + "/pipe.bs";
  std::remove(pipe.c_str());
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::string locked = WriteScript("locked.bs", "x = 1");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  const bool rootReadsAnything = geteuid() == 0;
  const struct {
    std::string path;
    const char* reason;
    int error;
  } cases[] = {
      {FixturePath("no-such-script.bs"), "No such file or directory", ENOENT},
      {folder, "Is a directory", EISDIR},
      {pipe, "not a regular file", EINVAL},
      {locked, "Permission denied", EACCES},
  };
  for (const auto& c : cases) {
    if (c.error == EACCES && rootReadsAnything) continue;
    TLoadedScript s(c.path);
    s.Load();
    EXPECT_FALSE(s.brush.scriptLoaded) << c.path;
    EXPECT_EQ(s.brush.loadError, "cannot read '" + c.path + "': " + c.reason);
    CFileRead file;
    EXPECT_FALSE(file.Read(c.path));
    EXPECT_EQ(file.error, c.error) << c.path;
  }
  std::remove(pipe.c_str());
}

TEST(ScriptLoad, ReaderTakesRawBytesAndKeepsThemWhenALaterReadFails) {
  CFileRead file;
  ASSERT_TRUE(file.Read(WriteScript("raw.bs", "a\0\xff"s)));
  ASSERT_EQ(file.size, 3u);
  EXPECT_EQ(file.data[1], 0);
  EXPECT_EQ(file.data[2], 0xff);
  EXPECT_FALSE(file.Read(WriteScript("empty.bs", "")));
  EXPECT_FALSE(file.Read(FixturePath("no-such-script.bs")));
  ASSERT_EQ(file.size, 3u);
  EXPECT_EQ(file.data[0], 'a');
}

TEST(ScriptLoad, AZeroByteEndsTheText) {
  TLoadedScript s(WriteScript("zero.bs", "x = 1\0this is not lua at all"s));
  s.Load();
  EXPECT_TRUE(s.brush.scriptLoaded);
  EXPECT_EQ(GlobalText(s.brush, "x"), "1");
}

// The chunk is named by its own text: the first line, cut with "..." when more follow.
TEST(ScriptLoad, MessagesCarryTheChunkNameAndLine) {
  struct {
    std::string path;
    std::string expected;  // whole message, or its start when prefixOnly
    bool prefixOnly;
  } const cases[] = {
      {FixturePath("syntax_error.bs"), "[string \"local a = 1...\"]:3: unexpected symbol near '='",
       false},
      {FixturePath("bom.bs"),
       "[string \"\xef\xbb\xbf-- a script saved with a byte-order mark...\"]:1: ", true},
      {FixturePath("main_error.bs"),
       "[string \"function main(x, y, p) end...\"]:2: the chunk gave up", false},
      {WriteScript("one_line.bs", "error('alone')"), "[string \"error('alone')\"]:1: alone", false},
      {WriteScript("number_error.bs", "error(1.5, 0)"), "1.5", false},
      {WriteScript("table_error.bs", "error({}, 0)"), "(error object is a table value)", false},
      {WriteScript("nil_error.bs", "error()"), "(error object is a nil value)", false},
  };
  for (const auto& c : cases) {
    TLoadedScript s(c.path);
    s.Load();
    EXPECT_FALSE(s.brush.scriptLoaded) << c.path;
    if (c.prefixOnly) {
      EXPECT_EQ(s.brush.loadError.substr(0, c.expected.size()), c.expected);
    } else {
      EXPECT_EQ(s.brush.loadError, c.expected);
    }
  }
}

TEST(ScriptLoad, OnlyTheChosenLibrariesAreOpen) {
  TLoadedScript s(FixturePath("environment.bs"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded) << s.brush.loadError;
  const struct {
    const char* name;
    const char* type;
  } expected[] = {
      {"io", "nil"},
      {"os", "nil"},
      {"require", "nil"},
      {"package", "nil"},
      {"string", "table"},
      {"math", "table"},
      {"table", "table"},
      {"debug", "table"},
      {"coroutine", "table"},
      {"print", "function"},
      {"dofile", "function"},
      {"loadfile", "function"},
      {"loadstring", "function"},
  };
  for (const auto& e : expected) {
    lua_State* L = s.brush.lua;
    lua_getglobal(L, "seen");
    lua_getfield(L, -1, e.name);
    EXPECT_STREQ(lua_tostring(L, -1), e.type) << e.name;
    lua_pop(L, 2);
  }
}

// While the main chunk runs the host reports the load-time values; an unbound brush
// describes a 1 x 1 canvas at 600 dpi.
TEST(ScriptLoad, MainChunkSeesLoadTimeValues) {
  TLoadedScript s(FixturePath("environment.bs"));
  s.info.property.value[0] = 37;
  s.info.property.value[9] = 5;
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded) << s.brush.loadError;
  EXPECT_EQ(GlobalText(s.brush, "load_width"), "1");
  EXPECT_EQ(GlobalText(s.brush, "load_width_max"), "1");
  EXPECT_EQ(GlobalText(s.brush, "load_width_min"), "0.5");
  EXPECT_EQ(GlobalText(s.brush, "load_opaque"), "1");
  EXPECT_EQ(GlobalText(s.brush, "load_canvas"), "1x1@600");
  EXPECT_EQ(GlobalText(s.brush, "load_param1"), "37");
  EXPECT_EQ(GlobalText(s.brush, "load_param10"), "5");
  EXPECT_EQ(GlobalText(s.brush, "load_dir"), "0,0");
}

TEST(ScriptLoad, EveryLoadStartsAFreshStateInCanvasMode) {
  TLoadedScript s(WriteScript("counter.bs", "loads = (loads or 0) + 1\nbs_setmode(1)"));
  s.Load();
  EXPECT_EQ(drawMode, 1);
  EXPECT_EQ(GlobalText(s.brush, "loads"), "1");
  drawMode = 1;
  TLoadedScript other(WriteScript("plain.bs", "x = 1"));
  other.Load();
  EXPECT_EQ(drawMode, 0);
  EXPECT_EQ(currentBrush, &other.brush);
  s.Load();
  EXPECT_EQ(GlobalText(s.brush, "loads"), "1");
}

// Seeding 7 sets the state to 7 and discards one draw (state 158868340); the next draws are
// 31604, 10557 and 7276 (state * 22695477 + 1 mod 2^32, bits 16..30).
TEST(ScriptLoad, MathRandomDrawsFromTheSharedGenerator) {
  TLoadedScript s("");
  s.Load();
  const std::vector<double> v = Eval(s.brush,
                                     "math.randomseed(7) return math.random(), math.random(10), "
                                     "math.random(-3, 100)");
  ASSERT_EQ(v.size(), 3u);
  EXPECT_DOUBLE_EQ(v[0], 31604.0 / 32767.0);
  EXPECT_EQ(v[1], 4.0);            // floor(10557 / 32767 * 10) + 1
  EXPECT_EQ(v[2], 20.0);           // floor(7276 / 32767 * 104) - 3 = 23 - 3
  EXPECT_EQ(DrawRandom(), 9515u);  // the next draw of the same generator
}

TEST(ScriptLoad, MathRandomSeedRoundsHalvesToEven) {
  TLoadedScript s("");
  s.Load();
  const std::vector<double> v = Eval(s.brush, R"(
    local function run(seed)
      math.randomseed(seed)
      return math.random(1000000)
    end
    return run(6.5), run(6), run(7.5), run(8), run(7), run(-1.5), run(-2)
  )");
  ASSERT_EQ(v.size(), 7u);
  EXPECT_EQ(v[0], v[1]);  // 6.5 -> 6
  EXPECT_EQ(v[2], v[3]);  // 7.5 -> 8
  EXPECT_NE(v[2], v[4]);  // and not 7
  EXPECT_EQ(v[5], v[6]);  // -1.5 -> -2
}

TEST(ScriptLoad, MathRandomChecksItsArgumentsAsTheLibraryDoes) {
  TLoadedScript s("");
  s.Load();
  struct {
    const char* call;
    const char* message;
  } const cases[] = {
      {"math.random(0)", "bad argument #1 to 'random' (interval is empty)"},
      {"math.random(5, 4)", "bad argument #2 to 'random' (interval is empty)"},
      {"math.random(1, 2, 3)", "wrong number of arguments"},
      {"math.random('x')", "bad argument #1 to 'random' (number expected, got string)"},
  };
  for (const auto& c : cases) {
    lua_State* L = s.brush.lua;
    const std::string chunk = std::string("return ") + c.call;
    ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), 0);
    SeedRandom(1);
    const uint32_t before = RandomState();
    ASSERT_NE(lua_pcall(L, 0, 1, 0), 0) << c.call;
    const std::string message = lua_tostring(L, -1);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    lua_pop(L, 1);
    // The draw is made before the arguments are checked.
    SetRandomState(before);
    DrawRandom();
    const uint32_t afterOneDraw = RandomState();
    SetRandomState(before);
    ASSERT_EQ(luaL_loadstring(L, chunk.c_str()), 0);
    lua_pcall(L, 0, 1, 0);
    lua_pop(L, 1);
    EXPECT_EQ(RandomState(), afterOneDraw) << c.call;
  }
}

std::string printed;
void CollectPrint(void*, const char* text, size_t length) noexcept {
  try {
    printed.append(text, length);
  } catch (...) {
  }
}

// print is routed to the print sink (and dropped without one), never to standard output.
TEST(ScriptLoad, PrintGoesToThePrintSink) {
  printed.clear();
  TScriptSinks sinks;
  sinks.print = CollectPrint;
  SetScriptSinks(sinks);
  TLoadedScript s(WriteScript("print.bs", "print('a', 1.5, nil) print()"));
  s.Load();
  SetScriptSinks(TScriptSinks());
  EXPECT_TRUE(s.brush.scriptLoaded) << s.brush.loadError;
  EXPECT_EQ(printed, "a\t1.5\tnil\n\n");
  s.Load();
  EXPECT_TRUE(s.brush.scriptLoaded);
  EXPECT_EQ(printed, "a\t1.5\tnil\n\n");
}

// An allocator with a budget, so that the interpreter runs out of memory at every possible
// point of a load.
size_t budget = 0;
size_t used = 0;

void* LimitedAlloc(void*, void* block, size_t oldSize, size_t newSize) {
  if (newSize == 0) {
    used -= oldSize;
    std::free(block);
    return nullptr;
  }
  if (newSize > oldSize && used + (newSize - oldSize) > budget) return nullptr;
  void* grown = std::realloc(block, newSize);
  if (grown == nullptr) return nullptr;
  used = used + newSize - oldSize;
  return grown;
}

lua_State* LimitedState() { return lua_newstate(LimitedAlloc, nullptr); }
lua_State* NoState() { return nullptr; }

TEST(ScriptLoad, AStateThatCannotBeCreatedIsALoadFailure) {
  TLoadedScript s(FixturePath("environment.bs"));
  SetStateFactory(NoState);
  s.Load();
  SetStateFactory(nullptr);
  EXPECT_EQ(s.brush.lua, nullptr);
  EXPECT_FALSE(s.brush.scriptLoaded);
  EXPECT_EQ(s.brush.loadError, "not enough memory");
}

// Whatever point the memory runs out at (creating the state, opening a library,
// registering, compiling, running), the load ends as a failure with the interpreter's
// message or succeeds; it never ends the process. With enough memory the script loads.
TEST(ScriptLoad, RunningOutOfMemoryAnywhereIsAnOrdinaryFailure) {
  const std::string path = FixturePath("environment.bs");
  SetStateFactory(LimitedState);
  int failures = 0;
  bool loadedAtTheEnd = false;
  for (size_t limit = 1024; limit <= 96 * 1024; limit += 512) {
    budget = limit;
    used = 0;
    TLoadedScript s(path);
    s.Load();
    if (s.brush.scriptLoaded) {
      EXPECT_EQ(s.brush.loadError, "");
    } else {
      EXPECT_EQ(s.brush.loadError, "not enough memory") << limit;
      ++failures;
    }
    loadedAtTheEnd = s.brush.scriptLoaded;
    CloseScript(s.brush);
  }
  SetStateFactory(nullptr);
  EXPECT_GT(failures, 10);
  EXPECT_TRUE(loadedAtTheEnd);
}

}  // namespace
}  // namespace pavo::test
