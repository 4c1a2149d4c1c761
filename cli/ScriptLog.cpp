#include "cli/ScriptLog.h"

#include <new>

#include "app/TextDecode.h"
#include "script/ScriptSinks.h"

namespace quarnel {
namespace {

void ErrorSink(void* context, const char* text, size_t length) noexcept {
  static_cast<CScriptLog*>(context)->AddError(std::string_view(text, length));
}

void PrintSink(void* context, const char* text, size_t length) noexcept {
  static_cast<CScriptLog*>(context)->AddPrint(std::string_view(text, length));
}

}  // namespace

CScriptLog::~CScriptLog() { Detach(); }

void CScriptLog::Attach() {
  pavo::TScriptSinks sinks;
  sinks.error = ErrorSink;
  sinks.print = PrintSink;
  sinks.context = this;
  pavo::SetScriptSinks(sinks);
  attached_ = true;
}

void CScriptLog::Detach() {
  if (!attached_) return;
  pavo::SetScriptSinks(pavo::TScriptSinks{});
  attached_ = false;
}

// Both collectors are called from inside the interpreter and must not throw: running out of
// memory only loses the text, and the report says so.
void CScriptLog::AddError(std::string_view message) {
  try {
    const std::string key(message);
    const auto found = index_.find(key);
    if (found != index_.end()) {
      ++errors_[found->second].count;
      return;
    }
    errors_.push_back({key, 1});
    index_.emplace(key, errors_.size() - 1);
  } catch (const std::bad_alloc&) {
    overflow_ = true;
  }
}

void CScriptLog::AddPrint(std::string_view text) {
  // A script printing in a loop must not take the renderer's memory: the first kMaxPrinted
  // bytes are kept, the rest counted.
  if (text.size() > kMaxPrinted - printed_.size()) {
    dropped_ += text.size();
    return;
  }
  try {
    printed_.append(text);
  } catch (const std::bad_alloc&) {
    overflow_ = true;
  }
}

std::string CScriptLog::Report(std::string_view debugText) const {
  std::string out = DecodeScriptText(printed_);
  if (dropped_ > 0) {
    out += "(" + std::to_string(dropped_) + " more bytes of print text dropped: the log keeps " +
           std::to_string(kMaxPrinted >> 20) + " MiB)\n";
  }
  while (!debugText.empty()) {
    const size_t end = debugText.find("\r\n");
    out += "bs_debug: " + DecodeScriptText(debugText.substr(0, end)) + "\n";
    debugText = end == std::string_view::npos ? std::string_view() : debugText.substr(end + 2);
  }
  for (const TError& e : errors_) {
    out += "error (" + std::to_string(e.count) + (e.count == 1 ? " dab): " : " dabs): ") +
           (e.message.empty() ? std::string("(an error value without text)")
                              : DecodeScriptText(e.message)) +
           "\n";
  }
  if (overflow_) out += "(out of memory: some script output was lost)\n";
  return out;
}

}  // namespace quarnel
