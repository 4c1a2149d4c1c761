// libFuzzer target: generated brush scripts through discovery and a small repaint.
//
// The input is a Lua source, optionally followed by the separator byte 0xFF and a list of
// generated calls. Each call is a record of bytes:
//   place   which function of the script the call goes into (main chunk, param1, use_base,
//           default_size, main, last);
//   what    which bs_ function it calls, or a return statement of four values;
//   count   high bit clear: the function's own number of arguments, else count % 21 (none to
//           twenty);
//   values  one byte per argument: an index into a table of awkward values (NaN, the
//           infinities, 1e308, the limits of 32-bit integers, nil, strings, tables, x, y, p),
//           or 0xFF followed by eight raw bytes read as a double.
// The generated functions come after the source, so they replace the source's own.
//
// Replay a finding with `script_fuzz FILE`; QUARNEL_FUZZ_SHOW=1 also prints its script.
// The script is written to a temporary .bs file and read by the engine like any dropped
// script: DiscoverScript, whose result as --discover JSON must be strict JSON in valid UTF-8
// (else the target aborts), then DrawTestStroke into a 48 x 32 image; each is a job of its
// own with a budget of 0.2 s, and each interpreter state has a memory limit of 64 MiB.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "preview/TestStroke.h"
#include "brush/BrushInfo.h"
#include "cli/DiscoveryJson.h"
#include "imaging/Image.h"
#include "script/Discovery.h"
#include "script/ScriptGuard.h"
#include "tests/StrictJson.h"

namespace {

constexpr uint8_t kSeparator = 0xFF;
constexpr uint8_t kRawDouble = 0xFF;
constexpr int kPlaces = 6;

struct TApiFunction {
  const char* name;
  int arity;
};

// The bs_ functions with the number of arguments each takes.
constexpr TApiFunction kApi[] = {
    {"bs_param1", 0},
    {"bs_param10", 0},
    {"bs_debug", 1},
    {"bs_setmode", 1},
    {"bs_canvas_width", 0},
    {"bs_canvas_height", 0},
    {"bs_canvas_dpi", 0},
    {"bs_canvas_angle", 0},
    {"bs_width", 0},
    {"bs_width_max", 0},
    {"bs_width_min", 0},
    {"bs_opaque", 0},
    {"bs_distance", 2},
    {"bs_grand", 2},
    {"bs_atan", 2},
    {"bs_rotate", 3},
    {"bs_ms", 0},
    {"bs_count", 0},
    {"bs_base", 0},
    {"bs_fore", 0},
    {"bs_bg", 0},
    {"bs_forebg", 1},
    {"bs_pixel_get", 2},
    {"bs_pixel_get_alpha", 2},
    {"bs_pixel_set", 6},
    {"bs_rect", 8},
    {"bs_ellipse", 9},
    {"bs_air", 8},
    {"bs_dir", 0},
    {"bs_normal", 0},
    {"bs_polygon", 2},
    {"bs_polygon_move", 2},
    {"bs_polygon_move_center", 0},
    {"bs_polygon_rotate", 1},
    {"bs_polygon_mul", 2},
    {"bs_polygon_region", 0},
    {"bs_polygon_clear", 0},
    {"bs_bezier_begin", 2},
    {"bs_bezier_m", 2},
    {"bs_bezier_c", 6},
    {"bs_bezier_v", 4},
    {"bs_bezier_y", 4},
    {"bs_bezier_l", 2},
    {"bs_bezier_move", 2},
    {"bs_bezier_move_center", 0},
    {"bs_bezier_rotate", 1},
    {"bs_bezier_mul", 2},
    {"bs_bezier_region", 0},
    {"bs_bezier_clear", 0},
    {"bs_fill", 4},
};
constexpr int kApiCount = static_cast<int>(sizeof(kApi) / sizeof(kApi[0]));
constexpr int kReturn = kApiCount;  // the statement "return a, b, c, d"

// Awkward argument values, as Lua expressions.
constexpr const char* kValues[] = {
    "0",
    "1",
    "-1",
    "0.5",
    "2",
    "255",
    "256",
    "-256",
    "2000",
    "2001",
    "1e308",
    "-1e308",
    "(1/0)",
    "(-1/0)",
    "(0/0)",
    "1e-308",
    "4.9e-324",
    "2147483647",
    "2147483648",
    "-2147483648",
    "-2147483649",
    "4294967296",
    "9007199254740993",
    "65535",
    "100",
    "-0.5",
    "0.49999999999999994",
    "1.5",
    "nil",
    "true",
    "'a'",
    "''",
    "'12'",
    "{}",
    "x",
    "y",
    "p",
    "bs_width()",
    "string.rep('x', 300)",
    "300",
    "1e9",
    "-1e9",
    "3.14159265358979",
};
constexpr int kValueCount = static_cast<int>(sizeof(kValues) / sizeof(kValues[0]));

constexpr const char* kPlaceHeads[kPlaces] = {
    "",  // the main chunk has no head
    "function param1()\n",
    "function use_base()\n",
    "function default_size()\n",
    "function main(x, y, p)\n",
    "function last(x, y, p)\n",
};

std::string FormatDouble(double v) {
  if (std::isnan(v)) return "(0/0)";
  if (std::isinf(v)) return v > 0 ? "(1/0)" : "(-1/0)";
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return std::string("(") + text + ")";
}

// Reads bytes from the generated part; zero once it is used up.
class CReader {
 public:
  CReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  std::string Value() {
    const uint8_t b = Byte();
    if (b == kRawDouble && size_ - pos_ >= sizeof(double)) {
      double v;
      std::memcpy(&v, data_ + pos_, sizeof v);
      pos_ += sizeof v;
      return FormatDouble(v);
    }
    return kValues[b % kValueCount];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The generated functions of the part after the separator; empty when there is none.
std::string GeneratedCalls(const uint8_t* data, size_t size) {
  std::string body[kPlaces];
  CReader reader(data, size);
  int statements = 0;
  while (!reader.Done() && statements < 64) {
    const int slot = reader.Byte() % kPlaces;
    const int which = reader.Byte() % (kApiCount + 1);
    const uint8_t countByte = reader.Byte();
    std::string& out = body[slot];
    if (which == kReturn) {
      const int count = (countByte & 0x80) ? countByte % 21 : 4;
      // "do return ... end" may stand anywhere, also before further statements.
      out += "do return ";
      for (int i = 0; i < count; ++i) out += (i ? ", " : "") + reader.Value();
      out += " end\n";
    } else {
      const int count = (countByte & 0x80) ? countByte % 21 : kApi[which].arity;
      out += kApi[which].name;
      out += "(";
      for (int i = 0; i < count; ++i) out += (i ? ", " : "") + reader.Value();
      out += ")\n";
    }
    ++statements;
  }
  std::string text;
  // The main chunk's statements run last, after the functions are defined.
  for (int slot = 1; slot < kPlaces; ++slot) {
    if (body[slot].empty()) continue;
    text += kPlaceHeads[slot] + body[slot] + "end\n";
  }
  text += body[0];
  return text;
}

using strict_json::ValidUtf8;

bool StrictJson(const std::string& text) {
  strict_json::TJson value;
  return strict_json::ParseJson(text, value);
}

std::string ScriptPath() {
  char path[] = "/tmp/quarnel-fuzz-XXXXXX.bs";
  const int fd = mkstemps(path, 3);
  if (fd < 0) std::abort();
  close(fd);
  return path;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

// The checks themselves are checked once, so that a broken checker cannot pass everything.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const bool good = StrictJson(R"({"a": [1, -0.5e3, "x\u00e9\n", true, null], "b": {}})") &&
                    !StrictJson(R"({"a": nan})") && !StrictJson("[1, Infinity]") &&
                    !StrictJson("\"\x01\"") && !StrictJson("[1,]") && ValidUtf8("\xe3\x81\x82") &&
                    !ValidUtf8("\x82\xa0") && !ValidUtf8("\xed\xa0\x80") && !ValidUtf8("\xc0\x80");
  if (!good) {
    std::fputs("script_fuzz: the JSON or UTF-8 check is broken\n", stderr);
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScriptPath();
  static const bool removeAtExit = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)removeAtExit;

  const uint8_t* end = data + size;
  const uint8_t* separator = static_cast<const uint8_t*>(std::memchr(data, kSeparator, size));
  std::string script(reinterpret_cast<const char*>(data),
                     separator ? static_cast<size_t>(separator - data) : size);
  if (separator != nullptr) {
    script += "\n";
    script += GeneratedCalls(separator + 1, static_cast<size_t>(end - separator - 1));
  }
  // QUARNEL_FUZZ_SHOW=1 prints the script of each input, to turn a finding into a .bs file.
  static const bool show = std::getenv("QUARNEL_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "--- script ---\n%s\n--- end ---\n", script.c_str());
  if (!WriteFile(path, script)) return 0;

  // DiscoverScript and DrawTestStroke each run as one job with the budget set here.
  pavo::SetScriptMemoryLimit(int64_t{64} << 20);
  pavo::SetScriptTimeLimit(0.2);
  pavo::CBrushInfo info;
  info.SetType(11);
  info.scriptPath = path;
  info.pressureSize = size % 2 == 0;
  std::string status = pavo::DiscoverScript(info);
  // What quarnel-render --discover prints must be strict JSON whatever the script answered.
  if (status.empty()) status = "OK";
  const std::string json = quarnel::DiscoveryJson(status, info);
  if (!ValidUtf8(json) || !StrictJson(json)) {
    std::fprintf(stderr, "discovery JSON is not strict JSON:\n%s\n", json.c_str());
    std::abort();
  }

  pavo::CImage32 image(48, 32);
  pavo::DrawTestStroke(info, image, static_cast<int32_t>(size));
  return 0;
}
