#include "cli/ScriptLog.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "preview/TextDecode.h"

namespace quarnel {

namespace {

constexpr size_t kMaxPrinted = size_t{16} << 20;

struct TError {
  std::string_view message;
  uint64_t count = 0;
};

}  // namespace

std::string LogReport(std::initializer_list<const CScriptOutput*> outputs,
                      std::string_view debugText) {
  std::string printed;
  uint64_t dropped = 0;
  std::vector<TError> errors;
  std::unordered_map<std::string_view, size_t> index;  // message -> position in errors
  for (const CScriptOutput* output : outputs) {
    dropped += output->DroppedBytes();
    for (const CScriptOutput::TEntry& e : output->Entries()) {
      if (e.kind == CScriptOutput::EKind::kPrint) {
        // A script printing in a loop must not fill the terminal: the first kMaxPrinted bytes
        // are shown, the rest counted.
        const size_t room = kMaxPrinted - printed.size();
        printed.append(e.text, 0, room);
        if (e.text.size() > room) dropped += e.text.size() - room;
        continue;
      }
      if (e.kind != CScriptOutput::EKind::kError) continue;  // bs_debug: from the log below
      const auto found = index.find(e.text);
      if (found != index.end()) {
        ++errors[found->second].count;
      } else {
        index.emplace(e.text, errors.size());
        errors.push_back({e.text, 1});
      }
    }
  }

  std::string out = DecodeScriptText(printed);
  if (dropped > 0) {
    out += "(" + std::to_string(dropped) + " more bytes of print text dropped: the log keeps " +
           std::to_string(kMaxPrinted >> 20) + " MiB)\n";
  }
  while (!debugText.empty()) {
    const size_t end = debugText.find("\r\n");
    out += "bs_debug: " + DecodeScriptText(debugText.substr(0, end)) + "\n";
    debugText = end == std::string_view::npos ? std::string_view() : debugText.substr(end + 2);
  }
  for (const TError& e : errors) {
    out += "error (" + std::to_string(e.count) + (e.count == 1 ? " dab): " : " dabs): ") +
           (e.message.empty() ? std::string("(an error value without text)")
                              : DecodeScriptText(e.message)) +
           "\n";
  }
  return out;
}

}  // namespace quarnel
