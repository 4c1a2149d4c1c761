// What a script may cost the host: the memory limit of a state, the time budget of a job and
// its stop that no script can outlive, and the guarded loaders and pattern functions.
#include <chrono>

#include "script/ScriptCall.h"
#include "script/ScriptGuard.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A job for the scope of a test, so that a failing expectation cannot leave it running.
struct TJobScope {
  TJobScope(double seconds, const char* name) { BeginScriptJob(seconds, name); }
  ~TJobScope() { EndScriptJob(); }
};

// A loaded script whose global `name` is called as the dab callback calls main.
bool CallGlobal(CMangaBrush& brush, const char* name) {
  TScriptCall call;
  call.name = name;
  call.argCount = 3;
  call.resultCount = 1;
  return CallScriptGlobal(brush.lua, call, false);
}

TEST(ScriptMemory, TablesPastTheLimitRaiseTheInterpretersError) {
  SetScriptMemoryLimit(int64_t{16} << 20);
  {
    TLoadedScript s(WriteScript("guard_table.bs", "local t = {} for i = 1, 1e9 do t[i] = i end"));
    s.Load();
    EXPECT_FALSE(s.brush.scriptLoaded);
    EXPECT_EQ(s.brush.loadError, "not enough memory");
  }
  {
    // The same limit lets an ordinary script load, and a doubling string caught by pcall
    // leaves the state usable.
    TLoadedScript s(
        WriteScript("guard_pcall.bs",
                    "local ok = pcall(function() local s = 'x' while true do s = s .. s "
                    "end end)\n"
                    "caught = not ok"));
    s.Load();
    EXPECT_TRUE(s.brush.scriptLoaded) << s.brush.loadError;
    EXPECT_EQ(Eval(s.brush, "return caught and 1 or 0"), std::vector<double>{1.0});
  }
  SetScriptMemoryLimit(kDefaultScriptMemory);
}

TEST(ScriptBudget, LoopInTheMainChunkStopsWithThePlaceAndLaterLoadsFailAtOnce) {
  const std::string path = WriteScript("guard_loop.bs", "local n = 0\nwhile true do n = n + 1 end");
  TJobScope job(0.2, "the repaint");
  const Clock::time_point start = Clock::now();
  TLoadedScript s(path);
  s.Load();
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_FALSE(s.brush.scriptLoaded);
  EXPECT_EQ(s.brush.loadError,
            "the script was stopped: it ran longer than the 0.2 s allowed for the repaint (in "
            "the main chunk, line 2)");
  EXPECT_TRUE(ScriptJobStopped());

  // Any other script of the same job fails at once with the same message.
  const Clock::time_point again = Clock::now();
  TLoadedScript other(WriteScript("guard_fine.bs", "x = 1"));
  other.Load();
  EXPECT_LT(SecondsSince(again), 0.1);
  EXPECT_FALSE(other.brush.scriptLoaded);
  EXPECT_EQ(other.brush.loadError, s.brush.loadError);
}

TEST(ScriptBudget, NoScriptOutlivesTheStop) {
  struct TCase {
    const char* what;
    const char* script;
  };
  // Each script defines main, which the host calls after the load.
  const TCase cases[] = {
      {"catching the stop with pcall",
       "function main() while true do pcall(function() while true do end end) end end"},
      {"catching it with xpcall and a handler that loops",
       "function main() while true do xpcall(function() while true do end end, "
       "function() while true do end end) end end"},
      {"clearing the hook in the main chunk",
       "debug.sethook()\nfunction main() while true do end end"},
      {"replacing the hook in the main chunk",
       "debug.sethook(function() end, '', 1000000)\nfunction main() while true do end end"},
      {"looping inside a coroutine",
       "function main() local co = coroutine.create(function() while true do end end) "
       "while true do coroutine.resume(co) end end"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TLoadedScript s(WriteScript("guard_outlive.bs", c.script));
    s.Load();
    ASSERT_TRUE(s.brush.scriptLoaded) << s.brush.loadError;
    TJobScope job(0.2, "the repaint");
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(CallGlobal(s.brush, "main"));
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(ScriptStopMessage().rfind(
                  "the script was stopped: it ran longer than the 0.2 s allowed for the repaint "
                  "(in main, line ",
                  0),
              0u)
        << ScriptStopMessage();
  }
}

// Each call runs a handful of instructions and spends its time in one library call: the hook
// never reaches its count within a call, so the host's own look at the clock must stop it.
TEST(ScriptBudget, ShortCallsOfSlowLibraryFunctionsAreStoppedBetweenCalls) {
  TLoadedScript s(WriteScript("guard_short.bs",
                              "local s = string.rep('a', 1500)\n"
                              "function main() string.find(s, '.-b') end"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded);
  TJobScope job(0.2, "the repaint");
  const Clock::time_point start = Clock::now();
  int calls = 0;
  while (calls < 100000 && CallGlobal(s.brush, "main")) ++calls;
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(ScriptStopMessage(),
            "the script was stopped: it ran longer than the 0.2 s allowed for the repaint (in "
            "main)");
}

TEST(ScriptBudget, AJobWithoutBudgetAndAFinishedJobStopNothing) {
  TLoadedScript s(WriteScript("guard_count.bs",
                              "function main() local n = 0 for i = 1, 3e6 do n = n + i end "
                              "total = n end"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded);
  {
    TJobScope job(0.0, "the repaint");
    EXPECT_TRUE(CallGlobal(s.brush, "main"));
  }
  {
    TJobScope job(0.001, "the repaint");
    EXPECT_FALSE(CallGlobal(s.brush, "main"));
  }
  EXPECT_FALSE(ScriptJobStopped());  // the stop ended with its job
  EXPECT_TRUE(CallGlobal(s.brush, "main"));
  EXPECT_EQ(Eval(s.brush, "return total"), std::vector<double>{4500001500000.0});
}

// A job begun inside a running one is part of it: the outer budget and name hold (a generous
// inner budget is no way out), and the inner end leaves the stop in place.
TEST(ScriptBudget, AJobBegunInsideARunningJobIsPartOfIt) {
  TLoadedScript s(WriteScript("guard_nested.bs", "function main() while true do end end"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded);
  TJobScope outer(0.2, "the repaint");
  const Clock::time_point start = Clock::now();
  {
    TJobScope inner(60.0, "parameter discovery");
    EXPECT_FALSE(CallGlobal(s.brush, "main"));
  }
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(ScriptStopMessage(),
            "the script was stopped: it ran longer than the 0.2 s allowed for the repaint (in "
            "main, line 1)");
  EXPECT_TRUE(ScriptJobStopped());
  EXPECT_FALSE(CallGlobal(s.brush, "main"));
}

// Snippets run in a loaded state; each returns 1 when the guarded function behaved.
TEST(ScriptLoaders, PrecompiledChunksAndStandardInputAreRefused) {
  const std::string source = WriteScript("guard_source.bs", "#!/shebang line\nreturn 40 + 2");
  TLoadedScript s(WriteScript("guard_loaders.bs", "x = 1"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded);
  lua_pushstring(s.brush.lua, source.c_str());
  lua_setglobal(s.brush.lua, "source");
  struct TCase {
    const char* what;
    const char* snippet;
  };
  const TCase cases[] = {
      {"loadstring of string.dump",
       "local f, e = loadstring(string.dump(function() return 1 end)) "
       "return (f == nil and e:find('precompiled chunks are not accepted', 1, true)) and 1 or 0"},
      {"load of string.dump in pieces",
       "local d = string.dump(function() return 1 end) local i = 0 "
       "local f, e = load(function() i = i + 1 if i == 1 then return '' end "
       "if i == 2 then return d end end) "
       "return (f == nil and e:find('precompiled', 1, true)) and 1 or 0"},
      {"load of source in pieces still works",
       "local parts = {'return ', '6 * ', '7'} local i = 0 "
       "local f = load(function() i = i + 1 return parts[i] end) return f() == 42 and 1 or 0"},
      {"loadstring of source still works", "return loadstring('return 7')() == 7 and 1 or 0"},
      {"loadfile without a name",
       "local f, e = loadfile() return (f == nil and e:find('standard input', 1, true)) and 1 "
       "or 0"},
      {"dofile without a name", "return pcall(dofile) == false and 1 or 0"},
      {"loadfile of a device",
       "local f, e = loadfile('/dev/zero') return (f == nil and e:find('cannot read', 1, true)) "
       "and 1 or 0"},
      {"loadfile of a source file skips its # line", "return loadfile(source)() == 42 and 1 or 0"},
      {"dofile of a source file", "return dofile(source) == 42 and 1 or 0"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Eval(s.brush, c.snippet), std::vector<double>{1.0});
  }

  TLoadedScript compiled(WriteScript("guard_compiled.bs", std::string("\x1bLuaQ\0\x01\x04", 8)));
  compiled.Load();
  EXPECT_FALSE(compiled.brush.scriptLoaded);
  EXPECT_EQ(compiled.brush.loadError,
            "precompiled chunks are not accepted: a brush script and what it loads must be Lua "
            "source text");
}

TEST(ScriptPatterns, PatternsTooDeepForTheStackAreRefused) {
  TLoadedScript s(WriteScript("guard_patterns.bs", "x = 1"));
  s.Load();
  ASSERT_TRUE(s.brush.scriptLoaded);
  struct TCase {
    const char* what;
    const char* snippet;
  };
  // 2000 repetition items still match; 2001 are refused in every function and as methods.
  const TCase cases[] = {
      {"2000 items", "return string.find('aaa', string.rep('a?', 2000)) == 1 and 1 or 0"},
      {"find", "return pcall(string.find, 'a', string.rep('a?', 2001)) == false and 1 or 0"},
      {"match method",
       "local ok, e = pcall(function() return ('a'):match(string.rep('(', 2001)) end) "
       "return (not ok and e:find('pattern too complex', 1, true)) and 1 or 0"},
      {"gmatch", "return pcall(string.gmatch, 'a', string.rep('-', 2001)) == false and 1 or 0"},
      {"gsub", "return pcall(string.gsub, 'a', string.rep('*', 2001), '') == false and 1 or 0"},
      {"ordinary gsub", "return (string.gsub('a-b-c', '%-', '+')) == 'a+b+c' and 1 or 0"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Eval(s.brush, c.snippet), std::vector<double>{1.0});
  }
}

TEST(ScriptHostGrowth, OutlinesUnderConstructionStopGrowing) {
  TBoundBrush b(16, 16, WriteScript("guard_grow.bs", "x = 1"));
  LoadScript(b.brush, b.stroke);
  ASSERT_TRUE(b.brush.scriptLoaded);
  Eval(b.brush, "for i = 1, 1048576 + 10 do bs_polygon(i, i) end");
  EXPECT_EQ(b.brush.polygon.size(), size_t{1} << 20);
  Eval(b.brush, "bs_bezier_begin(0, 0) for i = 1, 1048576 + 10 do bs_bezier_l(i, i) end");
  EXPECT_EQ(b.brush.path.Count(), size_t{1} << 20);
}

}  // namespace
}  // namespace pavo::test
