// The script host's record: a reset gives the state a program starts with.
#include <chrono>

#include "script/ScriptGuard.h"
#include "script/ScriptSinks.h"
#include "tests/script/ScriptTestSupport.h"

namespace pavo::test {
namespace {

lua_State* NoState() { return nullptr; }
void DropText(void*, const char*, size_t) noexcept {}

TEST(ScriptHost, ResetLeavesNothingOfWhatWasSet) {
  TLoadedScript before(WriteScript("host_before.bs", "x = 1"));
  before.Load();
  ASSERT_TRUE(before.brush.scriptLoaded);
  SetScriptMemoryLimit(int64_t{1} << 20);
  SetScriptTimeLimit(0.5);
  TScriptSinks sinks;
  sinks.print = DropText;
  SetScriptSinks(sinks);
  SetStateFactory(NoState);
  BeginScriptJob(60.0, "the repaint");
  StopScriptJob("stopped by hand");

  ResetScriptHost();
  EXPECT_EQ(ScriptMemoryLimit(), kDefaultScriptMemory);
  EXPECT_EQ(ScriptTimeLimit(), kDefaultScriptSeconds);
  EXPECT_EQ(GetScriptSinks().print, nullptr);
  EXPECT_FALSE(ScriptJobStopped());

  // No job is left open: one begun now is the job itself, with its own budget and name.
  TLoadedScript loop(WriteScript("host_loop.bs", "while true do end"));
  BeginScriptJob(0.05, "parameter discovery");
  const auto start = std::chrono::steady_clock::now();
  loop.Load();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
  EXPECT_EQ(loop.brush.loadError,
            "the script was stopped: it ran longer than the 0.05 s allowed for parameter "
            "discovery (in the main chunk, line 1)");
  EndScriptJob();
  EXPECT_FALSE(ScriptJobStopped());

  // States are made as before, and one set up before the reset keeps its string functions.
  TLoadedScript after(WriteScript("host_after.bs", "x = 2"));
  after.Load();
  EXPECT_TRUE(after.brush.scriptLoaded) << after.brush.loadError;
  EXPECT_EQ(Eval(before.brush, "return string.find('abc', 'b')"), (std::vector<double>{2, 2}));
}

}  // namespace
}  // namespace pavo::test
