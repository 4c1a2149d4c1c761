// What --log shows: the bs_debug text of the stroke, the script's print text, and each
// distinct error raised by main or last with the number of calls that raised it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quarnel {

class CScriptLog {
 public:
  CScriptLog() = default;
  CScriptLog(const CScriptLog&) = delete;
  CScriptLog& operator=(const CScriptLog&) = delete;
  ~CScriptLog();

  // Makes this log the script host's sink until Detach (or destruction).
  void Attach();
  void Detach();

  void AddError(std::string_view message);
  void AddPrint(std::string_view text);

  // The report for standard error: print text as the script wrote it, then one line
  // "bs_debug: TEXT" per bs_debug entry (entries are separated by "\r\n" in debugText), then
  // "error (N dabs): MESSAGE" per distinct error in order of first appearance. Script text
  // is decoded as the window decodes it.
  std::string Report(std::string_view debugText) const;

 private:
  struct TError {
    std::string message;
    uint64_t count = 0;
  };
  std::vector<TError> errors_;
  std::unordered_map<std::string, size_t> index_;  // message -> position in errors_
  static constexpr size_t kMaxPrinted = size_t{16} << 20;
  std::string printed_;
  uint64_t dropped_ = 0;  // print bytes past kMaxPrinted
  bool attached_ = false;
  bool overflow_ = false;  // memory ran out while collecting: said once in the report
};

}  // namespace quarnel
