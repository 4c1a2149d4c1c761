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

// The lines of one part, a run of equal lines written once and then counted, as the twelve
// loads of a discovery repeat what the main chunk prints.
class CLines {
 public:
  void Add(std::string_view line) {
    if (any_ && line == last_) {
      ++repeats_;
      return;
    }
    Flush();
    any_ = true;
    last_ = line;
    text_.append(line);
    text_ += '\n';
  }
  // Text of any number of lines; a last line without a line break counts as one.
  void AddText(std::string_view text) {
    while (!text.empty()) {
      const size_t end = text.find('\n');
      Add(text.substr(0, end));
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
  }
  std::string Take() {
    Flush();
    return std::move(text_);
  }

 private:
  void Flush() {
    if (repeats_ == 0) return;
    text_ += "(the line above " + std::to_string(repeats_) +
             (repeats_ == 1 ? " more time)\n" : " more times)\n");
    repeats_ = 0;
  }

  std::string text_;
  std::string last_;
  bool any_ = false;
  uint64_t repeats_ = 0;
};

// The parts of one report: each part's output in order and its errors.
class CReport {
 public:
  explicit CReport(const TReportStyle& style) : style_(style) {}

  void Add(const char* heading, const CScriptOutput& output) {
    CLines lines;
    for (const CScriptOutput::TEntry& e : output.Entries()) {
      if (e.kind == CScriptOutput::EKind::kPrint) {
        // A script printing in a loop must not flood the reader: the first maxPrinted bytes
        // are shown, the rest counted.
        const size_t room = style_.maxPrinted - printed_;
        lines.AddText(DecodeScriptText(e.text.substr(0, room)));
        printed_ += std::min(room, e.text.size());
        if (e.text.size() > room) dropped_ += e.text.size() - room;
      } else if (e.kind == CScriptOutput::EKind::kDebug) {
        lines.AddText("bs_debug: " + Readable(e.text));
      }
    }
    std::string errors;
    for (const TErrorCount& e : DistinctErrors(output)) {
      if (IsMissingMain(e.text)) {
        errors += std::string(kNoMainNote) + "\n";
        continue;
      }
      errors += "error (" + std::to_string(e.count) + (e.count == 1 ? " dab): " : " dabs): ") +
                (e.text.empty() ? std::string("(an error value without text)") : Readable(e.text)) +
                "\n";
    }
    dropped_ += output.DroppedBytes();
    const std::string text = style_.summaryFirst ? errors + lines.Take() : lines.Take() + errors;
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
  if (style.summaryFirst && repaint != nullptr) report.Add("repaint", *repaint);
  report.Add("discovery", discovery);
  if (!style.summaryFirst && repaint != nullptr) report.Add("repaint", *repaint);
  return report.Finish();
}

}  // namespace quarnel
