// Script text to UTF-8: valid UTF-8 is kept as it is; anything else is read as code page 932
// (Shift_JIS with the vendor extensions that scripts written on Japanese systems use), one
// conversion run at a time, so that a byte that belongs to neither costs only itself.
#include "preview/TextDecode.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace quarnel {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence starting at s[i], or 0 when it is not one
// (overlong forms, surrogates U+D800..U+DFFF and code points above U+10FFFF are rejected).
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b0 = byte(i);
  if (b0 < 0x80) return 1;
  size_t n = 0;
  uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// Without a code page 932 converter only ASCII survives.
std::string AsciiOnly(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (static_cast<uint8_t>(c) < 0x80) {
      out.push_back(c);
    } else {
      out += kReplacement;
    }
  }
  return out;
}

std::string FromCodePage932(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(bytes);
  std::string out;
  char buffer[1024];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const int error = (r == static_cast<size_t>(-1)) ? errno : 0;
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (error == E2BIG) continue;  // buffer full: go on converting
    if (error == EILSEQ || error == EINVAL) {
      // Not a character of the code page (or a lead byte cut off at the end): replace that one
      // byte and go on with the next, which may well start a good character.
      out += kReplacement;
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      continue;
    }
    if (error != 0) {  // anything else: give up on the rest rather than loop
      out += AsciiOnly(std::string_view(in, inLeft));
      break;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string DecodeScriptText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return FromCodePage932(bytes);
}

}  // namespace quarnel
