// Script messages for the reader: the chunk name the interpreter gives a script (checked
// against the interpreter itself), locations rewritten to the file's name, errors counted,
// and the error of a script without main recognised as the engine raises it.
#include "preview/ScriptMessages.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

namespace {

using namespace quarnel;
using namespace std::string_literals;

// The message the interpreter gives for `source`: its compile error, else the error it
// raises when run.
std::string Message(const std::string& source) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  std::string message = "(no error)";
  if (luaL_loadstring(L, source.c_str()) != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    message = lua_tostring(L, -1);
  }
  lua_close(L);
  return message;
}

// Each first line followed by a line that does not compile and by one that raises an error:
// the names of both messages are the interpreter's own, whatever the line's length.
TEST(ScriptMessages, ChunkNamesAreTheInterpretersOwn) {
  for (const size_t length : {10, 43, 44, 63, 64, 100}) {
    const std::string first = "--" + std::string(length - 2, 'c');
    const TChunkNames names = ChunkNamesOf(first + "\n)");
    ASSERT_EQ(names.compiled, ChunkNamesOf(first + "\nerror('x')").compiled);
    const std::string compiled = Message(first + "\n)");
    const std::string running = Message(first + "\nerror('x')");
    EXPECT_EQ(compiled.rfind(names.compiled + ":2:", 0), 0u) << names.compiled << " / " << compiled;
    EXPECT_EQ(running.rfind(names.running + ":2:", 0), 0u) << names.running << " / " << running;
  }
  const std::string alone[] = {
      "x = = 1",                           // one line: not cut, no dots
      "local b = 2\r\n)",                  // a carriage return ends the line too
      "=named by itself\n)",               // '=': the rest of the text is the name
      "@" + std::string(90, 'd') + "\n)",  // '@': the end of the text is the name
      "x = = 1\0ignored"s,                 // the text ends at a zero byte
  };
  for (const std::string& source : alone) {
    const std::string message = Message(source);
    const std::string id = ChunkNamesOf(source).compiled;
    EXPECT_EQ(message.rfind(id + ":", 0), 0u) << id << " / " << message;
  }
  EXPECT_EQ(Message("error('x')").rfind(ChunkNamesOf("error('x')").running + ":1:", 0), 0u);
  EXPECT_EQ(ChunkNamesOf("local a = 1\n)").running, "[string \"local a = 1...\"]");
}

TEST(ScriptMessages, LocationsOfTheChunkNameTheFile) {
  const TChunkNames names = ChunkNamesOf("function param1()\nend");
  const std::string id = names.running;
  ASSERT_EQ(id, "[string \"function param1()...\"]");
  ASSERT_EQ(names.compiled, id);
  const struct {
    std::string text;
    std::string readable;
  } cases[] = {
      {id + ":7: 'then' expected near 'bs_ellipse'",
       "brush.bs:7: 'then' expected near 'bs_ellipse'"},
      {id + ":12: bad argument #1 to 'error'\n" + id + ":3: in function",
       "brush.bs:12: bad argument #1 to 'error'\nbrush.bs:3: in function"},
      // Not locations: no line number, another chunk, the name inside a sentence.
      {id + ": no line", id + ": no line"},
      {"[string \"x = 1\"]:2: other chunk", "[string \"x = 1\"]:2: other chunk"},
      {"in " + id + ":4x:", "in " + id + ":4x:"},
      {"ends with " + id + ":9", "ends with " + id + ":9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadableLocations(c.text, names, "brush.bs"), c.readable);
  }
  EXPECT_EQ(ReadableLocations(id + ":1: x", TChunkNames(), "brush.bs"), id + ":1: x");

  // A first line long enough to have two names: both read as the file.
  const TChunkNames two = ChunkNamesOf(std::string(70, '-') + "\n)");
  ASSERT_NE(two.compiled, two.running);
  EXPECT_EQ(ReadableLocations(two.compiled + ":2: a " + two.running + ":3: b", two, "f.bs"),
            "f.bs:2: a f.bs:3: b");
}

TEST(ScriptMessages, DistinctErrorsInTheOrderFirstRaised) {
  CScriptOutput output;
  using K = CScriptOutput::EKind;
  for (const char* e : {"b", "a", "b", "b", "c", "a"}) {
    output.Add(K::kPrint, "between\n");
    output.Add(K::kError, e);
  }
  const std::vector<TErrorCount> errors = DistinctErrors(output);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].text, "b");
  EXPECT_EQ(errors[0].count, 3u);
  EXPECT_EQ(errors[1].text, "a");
  EXPECT_EQ(errors[1].count, 2u);
  EXPECT_EQ(errors[2].text, "c");
  EXPECT_EQ(errors[2].count, 1u);
}

// The repaint of a script without main raises, at every dab, the error IsMissingMain knows;
// a main that calls nil itself raises another.
TEST(ScriptMessages, MissingMainAsTheEngineRaisesIt) {
  const struct {
    const char* source;
    bool missing;
  } cases[] = {
      {"function param1() return 'n', 0, 9, 1 end\n", true},
      {"function main(x, y, p) undefined() end\n", false},
  };
  for (const auto& c : cases) {
    const std::string path = ::testing::TempDir() + "/messages-main.bs";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(c.source, f);
    std::fclose(f);
    TJobRequest request;
    request.kind = EJob::kRepaint;
    request.info.SetType(11);
    request.info.scriptPath = path;
    request.width = 64;
    request.height = 32;
    TJobResult result;
    CScriptOutput output;
    RunJob(request, result, output.Sinks(false, true, false));
    const std::vector<TErrorCount> errors = DistinctErrors(output);
    ASSERT_EQ(errors.size(), 1u) << c.source;
    EXPECT_EQ(errors[0].count, static_cast<uint64_t>(result.mainCalls));
    EXPECT_EQ(IsMissingMain(errors[0].text), c.missing) << errors[0].text;
  }
}

}  // namespace
