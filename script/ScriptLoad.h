// Loading a brush script into a fresh Lua 5.1 state owned by one brush: the file is read as
// raw bytes up to the first zero byte, the base, math, string, table and debug libraries are
// opened (no io, os or package), the 58 bs_ functions registered, the chunk compiled and run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct lua_State;

namespace pavo {

class CMangaBrush;
class CBrushStroke;

// Whole-file reader.
class CFileRead {
 public:
  std::unique_ptr<uint8_t[]> data;
  uint32_t size = 0;
  // Why the last Read gave false: 0 for an empty file, else an errno value (EISDIR for a
  // directory, EINVAL for a device or a pipe, EFBIG for 4 GiB or more).
  int error = 0;

  // False for a missing, empty or unreadable file (data and size are then left as they were).
  bool Read(const std::string& path);
};

// "cannot read 'PATH': No such file or directory": the load error of a script file that
// cannot be read, for CFileRead's error.
std::string CannotReadMessage(const std::string& path, int error);

// Loads the script named by the stroke's brush settings into a new state of this brush; the
// outcome is in brush.scriptLoaded and brush.loadError.
void LoadScript(CMangaBrush& brush, CBrushStroke& stroke);
// Closes the state (if any) and deletes the work layers.
void CloseScript(CMangaBrush& brush);
// Registers the 58 bs_ functions as globals, in their table order. The pushes allocate and
// may raise an interpreter error, so it must run in protected mode (LoadScript does so).
void RegisterScriptApi(lua_State* L);

// Longest text the host keeps of a script's label or error message; longer ones are cut.
constexpr size_t kMaxScriptText = size_t{64} << 10;

// The length to keep of a text cut to at most `limit` bytes: never inside a UTF-8 sequence,
// so a valid UTF-8 text stays valid.
size_t ScriptTextCut(const char* text, size_t length, size_t limit);

// The error value on top of the stack as bytes, read without letting the interpreter
// allocate: a string as it is (cut to kMaxScriptText), a number in the interpreter's format
// (%.14g), any other value as "(error object is a table value)" and the like, so that an
// error never reads as an empty message. The stack is left unchanged.
void ScriptErrorText(lua_State* L, std::string& out);

// Creates the interpreter states of LoadScript; tests install one that fails or limits
// memory. nullptr restores luaL_newstate.
using StateFactory = lua_State* (*)();
void SetStateFactory(StateFactory factory);

}  // namespace pavo
