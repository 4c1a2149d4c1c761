// Shared helpers of the script host tests: script files, a brush bound to layers, and
// running snippets in a loaded state.
#pragma once

#include <gtest/gtest.h>
#include <lua.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "brush/BrushInfo.h"
#include "brush/MangaBrush.h"
#include "brush/Stroke.h"
#include "imaging/ImageTile.h"
#include "script/ScriptHost.h"
#include "script/ScriptLoad.h"

namespace pavo::test {

// Every test starts from the script host a program starts with, whatever an earlier test of
// the same run left behind.
class CFreshScriptHost : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetScriptHost(); }
};
inline const bool kFreshScriptHostInstalled = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new CFreshScriptHost);
  return true;
}();

inline std::string FixturePath(const std::string& name) {
  return std::string(QUARNEL_SOURCE_DIR) + "/tests/script/fixtures/" + name;
}

// Writes text (any bytes) into a fresh file below the build tree and returns its path.
inline std::string WriteScript(const std::string& name, const std::string& text) {
  const std::filesystem::path dir =
      std::filesystem::path(QUARNEL_BINARY_DIR) / "tests" / "script-scratch";
  std::filesystem::create_directories(dir);
  const std::filesystem::path path = dir / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return path.string();
}

// A brush with its stroke and settings, loaded from a script text.
struct TLoadedScript {
  CBrushInfo info;
  CBrushStroke stroke;
  CMangaBrush brush;

  explicit TLoadedScript(const std::string& path) {
    info.type = 11;
    info.scriptPath = path;
    stroke.SetBrushInfo(&info);
  }
  void Load() { LoadScript(brush, stroke); }
};

// A brush bound to canvas, base and stroke layers of w x h pixels.
struct TBoundBrush {
  CImageTile32 canvas;
  CImageTile32 base;
  CImageTile8 strokeLayer;
  CBrushInfo info;
  CBrushStroke stroke;
  CMangaBrush brush;

  TBoundBrush(int32_t w, int32_t h, const std::string& scriptPath) {
    canvas.Resize(w, h);
    base.Resize(w, h);
    strokeLayer.Resize(w, h);
    info.type = 11;
    info.scriptPath = scriptPath;
    stroke.SetBrushInfo(&info);
    brush.SetCanvasInfo(w, h, 150, 0.0);
    brush.SetBrushType(11);
    brush.SetLayers(&canvas, &base, &strokeLayer, nullptr);
  }
};

// Runs a snippet in the brush's state and returns its results read as numbers (nil and
// other non-numbers read as NaN); a failing snippet fails the test.
inline std::vector<double> Eval(CMangaBrush& brush, const std::string& snippet) {
  std::vector<double> out;
  lua_State* L = brush.lua;
  if (L == nullptr) {
    ADD_FAILURE() << "no state";
    return out;
  }
  const int top = lua_gettop(L);
  if (luaL_loadstring(L, snippet.c_str()) != 0 || lua_pcall(L, 0, LUA_MULTRET, 0) != 0) {
    ADD_FAILURE() << snippet << ": " << lua_tostring(L, -1);
    lua_settop(L, top);
    return out;
  }
  for (int i = top + 1; i <= lua_gettop(L); ++i) {
    out.push_back(lua_type(L, i) == LUA_TNUMBER ? lua_tonumber(L, i) : NAN);
  }
  lua_settop(L, top);
  return out;
}

inline double EvalOne(CMangaBrush& brush, const std::string& snippet) {
  const std::vector<double> v = Eval(brush, snippet);
  return v.empty() ? NAN : v[0];
}

// The text form of a global ("<nil>" for nil, "<type>" for non-text values).
inline std::string GlobalText(CMangaBrush& brush, const char* name) {
  lua_State* L = brush.lua;
  if (L == nullptr) return "<no state>";
  lua_getglobal(L, name);
  std::string text;
  if (lua_isstring(L, -1)) {
    size_t n = 0;
    const char* s = lua_tolstring(L, -1, &n);
    text.assign(s, n);
  } else {
    text = std::string("<") + lua_typename(L, lua_type(L, -1)) + ">";
  }
  lua_pop(L, 1);
  return text;
}

}  // namespace pavo::test
