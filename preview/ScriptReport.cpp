#include "preview/ScriptReport.h"

#include <algorithm>
#include <cstdint>

#include "preview/TextDecode.h"

namespace quarnel {

const char kNoMainNote[] =
    "note: the script defines no function main, so nothing is called for its dabs";

namespace {

// "16 MiB", "256 KiB", "8 bytes": a size in the largest unit that takes it whole.
std::string SizeText(size_t bytes) {
  if (bytes >= (size_t{1} << 20) && bytes % (size_t{1} << 20) == 0) {
    return std::to_string(bytes >> 20) + " MiB";
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

// The parts of one report: each part's output in order, then its errors.
class CReport {
 public:
  explicit CReport(const TReportStyle& style) : style_(style) {}

  void Add(const char* heading, const CScriptOutput& output) {
    std::string text;
    for (const CScriptOutput::TEntry& e : output.Entries()) {
      if (e.kind == CScriptOutput::EKind::kPrint) {
        // A script printing in a loop must not flood the reader: the first maxPrinted bytes
        // are shown, the rest counted.
        const size_t room = style_.maxPrinted - printed_;
        text += DecodeScriptText(e.text.substr(0, room));
        printed_ += std::min(room, e.text.size());
        if (e.text.size() > room) dropped_ += e.text.size() - room;
      } else if (e.kind == CScriptOutput::EKind::kDebug) {
        text += "bs_debug: " + Readable(e.text) + "\n";
      }
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    for (const TErrorCount& e : DistinctErrors(output)) {
      if (IsMissingMain(e.text)) {
        text += std::string(kNoMainNote) + "\n";
        continue;
      }
      text += "error (" + std::to_string(e.count) + (e.count == 1 ? " dab): " : " dabs): ") +
              (e.text.empty() ? std::string("(an error value without text)") : Readable(e.text)) +
              "\n";
    }
    dropped_ += output.DroppedBytes();
    if (!text.empty()) out_ += std::string("--- ") + heading + " ---\n" + text;
  }

  std::string Finish() {
    if (dropped_ > 0) {
      out_ += "(" + std::to_string(dropped_) +
              " more bytes of script output dropped: " + SizeText(style_.maxPrinted) +
              " of print text are kept)\n";
    }
    return std::move(out_);
  }

 private:
  std::string Readable(std::string_view text) const {
    return DecodeScriptText(ReadableLocations(text, style_.names, style_.fileName));
  }

  const TReportStyle& style_;
  std::string out_;
  size_t printed_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace

std::string ScriptReport(const CScriptOutput& discovery, const CScriptOutput* repaint,
                         const TReportStyle& style) {
  CReport report(style);
  report.Add("discovery", discovery);
  if (repaint != nullptr) report.Add("repaint", *repaint);
  return report.Finish();
}

}  // namespace quarnel
