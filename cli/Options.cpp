// Every option is one row of kOptions: its names, the name of its value, the help text and
// the function that stores the value. The usage text is printed from the same rows.
#include "cli/Options.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace quarnel {
namespace {

// Stores the option's value; false with a message when the value is malformed.
using TApply = bool (*)(std::string_view value, TRenderOptions& options, std::string& error);

struct TOptionRow {
  char shortName;     // 0 when there is none
  const char* name;   // long name without the dashes
  const char* value;  // name of the value in the usage text; null for a switch
  const char* help;
  TApply apply;
};

// A whole decimal integer in [lo, hi], optionally signed; nothing else around it.
bool ParseInteger(std::string_view text, int64_t lo, int64_t hi, int64_t& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

bool Malformed(const char* option, std::string_view value, const char* expected,
               std::string& error) {
  error = "malformed value '" + std::string(value) + "' for --" + option + ": expected " + expected;
  return false;
}

// Positions far beyond any slider range are clamped like any other, so only numbers that do
// not fit 64 bits are refused.
constexpr int64_t kAnyMin = INT64_MIN;
constexpr int64_t kAnyMax = INT64_MAX;

bool ApplyOutput(std::string_view v, TRenderOptions& o, std::string& error) {
  if (v.empty()) {
    error = "empty file name for --output";
    return false;
  }
  o.output = std::string(v);
  return true;
}

// Sizes below 1 become 1; sizes that do not fit a 32-bit pixel count are malformed.
bool ApplyDimension(const char* name, std::string_view v, int32_t& out, std::string& error) {
  int64_t n = 0;
  if (!ParseInteger(v, kAnyMin, INT32_MAX, n)) {
    return Malformed(name, v, "an integer number of pixels up to 2147483647", error);
  }
  out = n < 1 ? 1 : static_cast<int32_t>(n);
  return true;
}

bool ApplyWidth(std::string_view v, TRenderOptions& o, std::string& error) {
  return ApplyDimension("width", v, o.width, error);
}

bool ApplyHeight(std::string_view v, TRenderOptions& o, std::string& error) {
  return ApplyDimension("height", v, o.height, error);
}

bool ApplySize(std::string_view v, TRenderOptions& o, std::string& error) {
  int64_t n = 0;
  if (!ParseInteger(v, kAnyMin, kAnyMax, n)) return Malformed("size", v, "an integer", error);
  o.size = n;
  return true;
}

bool ApplyParam(std::string_view v, TRenderOptions& o, std::string& error) {
  const size_t eq = v.find('=');
  int64_t slot = 0;
  int64_t position = 0;
  if (eq == std::string_view::npos || !ParseInteger(v.substr(0, eq), 1, 10, slot) ||
      !ParseInteger(v.substr(eq + 1), kAnyMin, kAnyMax, position)) {
    return Malformed("param", v, "K=V with K a slider number 1..10 and V an integer", error);
  }
  o.params.push_back({static_cast<int32_t>(slot), position});
  return true;
}

bool ApplyNoPressure(std::string_view, TRenderOptions& o, std::string&) {
  o.pressure = false;
  return true;
}

// Any value that fits 32 bits, signed or not; it is taken modulo 2^32.
bool ApplySeed(std::string_view v, TRenderOptions& o, std::string& error) {
  int64_t n = 0;
  if (!ParseInteger(v, INT32_MIN, UINT32_MAX, n)) {
    return Malformed("seed", v, "an integer that fits 32 bits", error);
  }
  o.seed = static_cast<uint32_t>(n);
  return true;
}

// A number of seconds, 0.001 to one day; 0 switches the budget off.
bool ApplyTimeLimit(std::string_view v, TRenderOptions& o, std::string& error) {
  double seconds = 0.0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !(seconds >= 0.0) ||
      seconds > 86400.0 || (seconds > 0.0 && seconds < 0.001)) {
    return Malformed("time-limit", v, "a number of seconds from 0.001 to 86400, or 0 for none",
                     error);
  }
  o.timeLimit = seconds;
  return true;
}

// Whole MiB, up to 1 TiB; 0 switches the limit off.
bool ApplyMemoryLimit(std::string_view v, TRenderOptions& o, std::string& error) {
  int64_t mib = 0;
  if (!ParseInteger(v, 0, int64_t{1} << 20, mib)) {
    return Malformed("memory-limit", v, "a whole number of MiB up to 1048576, or 0 for none",
                     error);
  }
  o.memoryLimitMiB = mib;
  return true;
}

bool ApplyStrokes(std::string_view v, TRenderOptions& o, std::string& error) {
  if (v.empty()) {
    error = "empty file name for --strokes";
    return false;
  }
  o.strokes = std::string(v);
  return true;
}

bool ApplyDiscover(std::string_view, TRenderOptions& o, std::string&) {
  o.discover = true;
  return true;
}

bool ApplyLog(std::string_view, TRenderOptions& o, std::string&) {
  o.log = true;
  return true;
}

bool ApplyHelp(std::string_view, TRenderOptions& o, std::string&) {
  o.help = true;
  return true;
}

bool ApplyVersion(std::string_view, TRenderOptions& o, std::string&) {
  o.version = true;
  return true;
}

const TOptionRow kOptions[] = {
    {'o', "output", "FILE", "PNG to write; - writes it to standard output (default preview.png)",
     ApplyOutput},
    {0, "width", "W", "preview width in pixels, values below 1 become 1 (default 492)", ApplyWidth},
    {0, "height", "H", "preview height in pixels, values below 1 become 1 (default 296)",
     ApplyHeight},
    {0, "size", "N",
     "size slider position, clamped to 2..500 (default: the script's default_size "
     "truncated and clamped; 15 without a script)",
     ApplySize},
    {0, "param", "K=V",
     "position of parameter slider K (1..10), clamped into its range; repeatable "
     "(default: the script's default; sliders the script does not answer stay at 0)",
     ApplyParam},
    {0, "no-pressure", nullptr, "untick the pressure box: the size ignores the pen pressure",
     ApplyNoPressure},
    {0, "seed", "S", "seed of the test stroke's random numbers (default 0)", ApplySeed},
    {0, "strokes", "FILE",
     "paint the strokes of a stroke file (JSON, as the tester's scratchpad saves it) instead "
     "of the test stroke, on a canvas of the file's size (--width and --height are then not "
     "used)",
     ApplyStrokes},
    {0, "time-limit", "SECONDS",
     "time allowed to the script's discovery and to the repaint, each; a script that runs "
     "longer is stopped and shown as failed (default 2; 0 for none)",
     ApplyTimeLimit},
    {0, "memory-limit", "MIB",
     "memory each interpreter state may take; past it the script's allocations fail "
     "(default 512; 0 for none)",
     ApplyMemoryLimit},
    {0, "discover", nullptr,
     "print the script's parameters as one JSON object and exit without rendering", ApplyDiscover},
    {0, "log", nullptr,
     "print on standard error the script's bs_debug and print text and the errors its main "
     "and last raised while painting",
     ApplyLog},
    {'h', "help", nullptr, "print this help and exit", ApplyHelp},
    {0, "version", nullptr, "print the version and exit", ApplyVersion},
};

const TOptionRow* FindLong(std::string_view name) {
  for (const TOptionRow& row : kOptions) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

const TOptionRow* FindShort(char c) {
  for (const TOptionRow& row : kOptions) {
    if (row.shortName != 0 && row.shortName == c) return &row;
  }
  return nullptr;
}

// Word-wraps text into lines of at most width columns, continuation lines indented to indent
// (the first line starts there already).
std::string Wrap(std::string_view text, size_t indent, size_t width) {
  std::string out;
  size_t column = indent;
  while (!text.empty()) {
    const size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (column > indent && column + 1 + word.size() > width) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
    } else if (column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
  }
  out += '\n';
  return out;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, TRenderOptions& options, std::string& error) {
  bool onlyOperands = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const TOptionRow* row = nullptr;
    std::optional<std::string_view> inlineValue;
    std::string shown;  // the option as the user wrote it, for messages
    if (!onlyOperands && arg == "--") {
      onlyOperands = true;
      continue;
    }
    if (!onlyOperands && arg.size() > 2 && arg.substr(0, 2) == "--") {
      std::string_view name = arg.substr(2);
      const size_t eq = name.find('=');
      if (eq != std::string_view::npos) {
        inlineValue = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
      row = FindLong(name);
      shown = "--" + std::string(name);
    } else if (!onlyOperands && arg.size() >= 2 && arg[0] == '-') {
      row = arg.size() == 2 ? FindShort(arg[1]) : nullptr;
      shown = std::string(arg);
    } else {
      if (options.script) {
        error =
            "more than one script given ('" + *options.script + "' and '" + std::string(arg) + "')";
        return false;
      }
      options.script = std::string(arg);
      continue;
    }
    if (row == nullptr) {
      error = "unknown option '" + shown + "'";
      return false;
    }
    std::string_view value;
    if (row->value != nullptr) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        error = "option " + shown + " needs a value " + row->value;
        return false;
      }
    } else if (inlineValue) {
      error = "option " + shown + " takes no value";
      return false;
    }
    if (!row->apply(value, options, error)) return false;
    if (options.help || options.version) return true;
  }
  return true;
}

std::string UsageText() {
  std::string text =
      "Usage: quarnel-render [OPTIONS] [SCRIPT]\n"
      "Renders the tester's preview of a brush script (the test stroke over the checkerboard,\n"
      "as the window shows it once the script is discovered and the sliders have settled) to\n"
      "an 8-bit RGBA PNG file. Without SCRIPT it renders the plain round brush.\n"
      "\n"
      "Options:\n";
  for (const TOptionRow& row : kOptions) {
    std::string head = "  ";
    head += row.shortName != 0 ? std::string("-") + row.shortName + ", " : "    ";
    head += "--";
    head += row.name;
    if (row.value != nullptr) {
      head += ' ';
      head += row.value;
    }
    constexpr size_t kColumn = 24;
    if (head.size() + 2 > kColumn) {
      text += head + "\n" + std::string(kColumn, ' ');
    } else {
      text += head + std::string(kColumn - head.size(), ' ');
    }
    text += Wrap(row.help, kColumn, 80);
  }
  text +=
      "\n"
      "Exit status: 0 when the PNG (or the JSON) was written, also when the script failed to\n"
      "load (then 'status: MESSAGE' goes to standard error); 2 for bad usage; 1 when the\n"
      "script cannot be read (missing, a directory, no permission) or the output cannot be\n"
      "written. Standard output carries only the PNG (-o -) or the JSON.\n";
  return text;
}

}  // namespace quarnel
