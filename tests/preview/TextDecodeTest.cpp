// Script text to UTF-8: valid UTF-8 passes unchanged, anything else is read as code page
// 932, and a byte that is neither becomes U+FFFD without losing its neighbours.
#include "preview/TextDecode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quarnel::DecodeScriptText;

// An independent, deliberately plain check of well-formed UTF-8 for the property test.
bool WellFormed(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c >> 6) != 2) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

TEST(DecodeScriptText, Table) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string text;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"empty", "", ""},
      {"ASCII", "Density 10%", "Density 10%"},
      {"UTF-8 kept as it is", "\xE6\xBF\x83\xE3\x81\x95", "\xE6\xBF\x83\xE3\x81\x95"},  // 濃さ
      {"UTF-8 wins over a Shift_JIS reading of the same bytes", "\xE3\x81\x82", "\xE3\x81\x82"},
      {"Shift_JIS hiragana", "\x82\xA0", "\xE3\x81\x82"},                                 // あ
      {"Shift_JIS kanji and ASCII", "\x8A\xBF\x8E\x9A 1", "\xE6\xBC\xA2\xE5\xAD\x97 1"},  // 漢字
      {"half-width katakana", "\xB1", "\xEF\xBD\xB1"},                                    // U+FF71
      {"code page 932 extension: circled one", "\x87\x40", "\xE2\x91\xA0"},               // ①
      {"byte that is in neither, between good text",
       "a\x80"
       "b\x82\xA0",
       "a" + fffd + "b\xE3\x81\x82"},
      {"several stray bytes, each replaced", "\xFD\xFE\xFF", fffd + fffd + fffd},
      {"lead byte cut off at the end", "ok\x82", "ok" + fffd},
      {"lead byte with a trail that cannot follow it", "\x82 x", fffd + " x"},
      {"embedded zero byte is kept", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeScriptText(c.bytes), c.text) << c.what;
  }
}

TEST(DecodeScriptText, AnyBytesGiveWellFormedUtf8) {
  // Every one- and two-byte string, and the interpreter message of a Shift_JIS script.
  for (int a = 0; a < 256; ++a) {
    const std::string one(1, static_cast<char>(a));
    ASSERT_TRUE(WellFormed(DecodeScriptText(one))) << a;
    for (int b = 0; b < 256; b += 3) {
      const std::string two{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_TRUE(WellFormed(DecodeScriptText(two))) << a << " " << b;
    }
  }
  const std::string message =
      "[string \"-- \x83u\x83\x89\x83V...\"]:3: '=' expected near '\x82\xA0'";
  const std::string text = DecodeScriptText(message);
  EXPECT_TRUE(WellFormed(text));
  EXPECT_NE(text.find("\xE3\x83\x96\xE3\x83\xA9\xE3\x82\xB7"), std::string::npos);  // ブラシ
}

}  // namespace
