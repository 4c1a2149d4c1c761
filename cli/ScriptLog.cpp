#include "cli/ScriptLog.h"

#include <cstdint>

#include "preview/ScriptMessages.h"
#include "preview/TextDecode.h"

namespace quarnel {

namespace {

constexpr size_t kMaxPrinted = size_t{16} << 20;

const char kNoMain[] =
    "note: the script defines no function main, so nothing is called for its dabs\n";

// One part of the report: its output in order, then its errors.
class CLogPart {
 public:
  explicit CLogPart(std::string& out) : out_(out) {}

  void Add(const char* heading, const CScriptOutput& output) {
    std::string text;
    for (const CScriptOutput::TEntry& e : output.Entries()) {
      if (e.kind == CScriptOutput::EKind::kPrint) {
        // A script printing in a loop must not fill the terminal: the first kMaxPrinted bytes
        // are shown, the rest counted.
        const size_t room = kMaxPrinted - printed_;
        text += DecodeScriptText(e.text.substr(0, room));
        printed_ += std::min(room, e.text.size());
        if (e.text.size() > room) dropped_ += e.text.size() - room;
      } else if (e.kind == CScriptOutput::EKind::kDebug) {
        text += "bs_debug: " + DecodeScriptText(e.text) + "\n";
      }
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    for (const TErrorCount& e : DistinctErrors(output)) {
      if (IsMissingMain(e.text)) {
        text += kNoMain;
        continue;
      }
      text += "error (" + std::to_string(e.count) + (e.count == 1 ? " dab): " : " dabs): ") +
              (e.text.empty() ? std::string("(an error value without text)")
                              : DecodeScriptText(e.text)) +
              "\n";
    }
    dropped_ += output.DroppedBytes();
    if (!text.empty()) out_ += std::string("--- ") + heading + " ---\n" + text;
  }

  void Finish() {
    if (dropped_ == 0) return;
    out_ += "(" + std::to_string(dropped_) +
            " more bytes of script output dropped: the log keeps " +
            std::to_string(kMaxPrinted >> 20) + " MiB)\n";
  }

 private:
  std::string& out_;
  size_t printed_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace

std::string LogReport(const CScriptOutput& discovery, const CScriptOutput* repaint) {
  std::string out;
  CLogPart part(out);
  part.Add("discovery", discovery);
  if (repaint != nullptr) part.Add("repaint", *repaint);
  part.Finish();
  return out;
}

}  // namespace quarnel
