#include "preview/ScriptMessages.h"

#include <unordered_map>

#include "script/ScriptLoad.h"

namespace quarnel {

namespace {

// The sizes of a chunk name's buffer, its terminating zero included: MAXSRC of Lua 5.1's
// lexer, LUA_IDSIZE of its debug interface.
constexpr size_t kCompilerIdSize = 80;
constexpr size_t kRunningIdSize = 60;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// luaO_chunkid of Lua 5.1 for a source that is its own chunk name, into a buffer of `size`.
std::string ChunkId(std::string_view source, size_t size) {
  if (!source.empty() && source[0] == '=') return std::string(source.substr(1, size - 1));
  if (!source.empty() && source[0] == '@') {
    // The last part of a file name, "..." in front when cut.
    const size_t kept = size - sizeof(" '...' ");
    const std::string_view name = source.substr(1);
    if (name.size() <= kept) return std::string(name);
    return "..." + std::string(name.substr(name.size() - kept));
  }
  const size_t kept = size - sizeof(" [string \"...\"] ");
  size_t length = source.find_first_of("\n\r");
  if (length == std::string_view::npos) length = source.size();
  if (length > kept) length = kept;
  std::string id = "[string \"";
  id += source.substr(0, length);
  if (length < source.size()) id += "...";
  id += "\"]";
  return id;
}

// `text` with the locations of the chunk `id` named `fileName`.
std::string NameLocations(std::string_view text, std::string_view id, std::string_view fileName) {
  if (id.empty()) return std::string(text);
  std::string out;
  size_t from = 0;
  for (size_t at = text.find(id); at != std::string_view::npos; at = text.find(id, at + 1)) {
    // A location: the id, a colon, a line number, a colon.
    const size_t colon = at + id.size();
    if (colon >= text.size() || text[colon] != ':') continue;
    size_t end = colon + 1;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end == colon + 1 || end >= text.size() || text[end] != ':') continue;
    out.append(text.substr(from, at - from));
    out.append(fileName);
    from = colon;
    at = end;
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace

TChunkNames ChunkNamesOf(std::string_view source) {
  source = source.substr(0, source.find('\0'));
  return {ChunkId(source, kCompilerIdSize), ChunkId(source, kRunningIdSize)};
}

TChunkNames ScriptChunkNames(const std::string& path) {
  pavo::CFileRead file;
  if (!file.Read(path)) return file.error == 0 ? ChunkNamesOf("") : TChunkNames();
  return ChunkNamesOf(std::string_view(reinterpret_cast<const char*>(file.data.get()), file.size));
}

std::string ReadableLocations(std::string_view text, const TChunkNames& names,
                              std::string_view fileName) {
  std::string out = NameLocations(text, names.compiled, fileName);
  if (names.running != names.compiled) out = NameLocations(out, names.running, fileName);
  return out;
}

std::vector<TErrorCount> DistinctErrors(const CScriptOutput& output) {
  std::vector<TErrorCount> errors;
  std::unordered_map<std::string_view, size_t> index;  // message -> position in errors
  for (const CScriptOutput::TEntry& e : output.Entries()) {
    if (e.kind != CScriptOutput::EKind::kError) continue;
    const auto found = index.find(e.text);
    if (found != index.end()) {
      ++errors[found->second].count;
    } else {
      index.emplace(e.text, errors.size());
      errors.push_back({e.text, 1});
    }
  }
  return errors;
}

bool IsMissingMain(std::string_view error) { return error == "attempt to call a nil value"; }

}  // namespace quarnel
