// The strict JSON reader of the tests and the fuzzer, for the renderer's --discover output:
// objects, arrays, strings with every escape (surrogate pairs included), numbers, true,
// false, null. Anything outside the grammar, NaN and Infinity included, is a parse failure.
// ValidUtf8 checks the bytes, which the reader takes as they come.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace strict_json {

struct TJsonMember;

struct TJson {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string numberText;  // the number as written, to tell 10 from 10.0
  std::string text;
  std::vector<TJson> items;
  std::vector<TJsonMember> members;  // in order of appearance

  const TJson* Find(const std::string& key) const;
  bool IsInteger() const;
};

struct TJsonMember {
  std::string key;
  TJson value;
};

inline const TJson* TJson::Find(const std::string& key) const {
  for (const TJsonMember& m : members) {
    if (m.key == key) return &m.value;
  }
  return nullptr;
}

inline bool TJson::IsInteger() const {
  return kind == kNumber && numberText.find_first_of(".eE") == std::string::npos;
}

class CJsonReader {
 public:
  explicit CJsonReader(const std::string& s) : s_(s) {}

  // The whole input must be one value, with white space around it only.
  bool Parse(TJson& out) {
    Space();
    if (!Value(out, 0)) return false;
    Space();
    return pos_ == s_.size();
  }

 private:
  bool Value(TJson& v, int depth) {
    if (depth > 64 || pos_ >= s_.size()) return false;
    const char c = s_[pos_];
    if (c == '{' || c == '[') return Container(v, depth, c == '{');
    if (c == '"') {
      v.kind = TJson::kString;
      return String(v.text);
    }
    if (Word("true")) {
      v.kind = TJson::kBool;
      v.boolean = true;
      return true;
    }
    if (Word("false")) {
      v.kind = TJson::kBool;
      return true;
    }
    if (Word("null")) return true;
    return Number(v);
  }

  // An object (members "key": value) or an array (items), separated by commas.
  bool Container(TJson& v, int depth, bool object) {
    v.kind = object ? TJson::kObject : TJson::kArray;
    const char close = object ? '}' : ']';
    ++pos_;
    Space();
    if (Peek(close)) return ++pos_, true;
    for (;;) {
      Space();
      std::string key;
      if (object) {
        if (!Peek('"') || !String(key)) return false;
        Space();
        if (!Peek(':')) return false;
        ++pos_;
        Space();
      }
      TJson item;
      if (!Value(item, depth + 1)) return false;
      if (object) {
        v.members.push_back(TJsonMember{std::move(key), std::move(item)});
      } else {
        v.items.push_back(std::move(item));
      }
      Space();
      if (Peek(',')) {
        ++pos_;
        continue;
      }
      if (Peek(close)) return ++pos_, true;
      return false;
    }
  }

  static void PutUtf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool Hex4(uint32_t& cp) {
    if (pos_ + 4 > s_.size()) return false;
    cp = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[pos_++];
      cp <<= 4;
      if (c >= '0' && c <= '9')
        cp |= c - '0';
      else if (c >= 'a' && c <= 'f')
        cp |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        cp |= c - 'A' + 10;
      else
        return false;
    }
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      const auto c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // control characters must be escaped
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (pos_ >= s_.size()) return false;
      const char e = s_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t lo = 0;
            if (s_.compare(pos_, 2, "\\u") != 0) return false;
            pos_ += 2;
            if (!Hex4(lo) || lo < 0xDC00 || lo > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
          }
          PutUtf8(cp, out);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool Number(TJson& v) {
    const size_t start = pos_;
    if (Peek('-')) ++pos_;
    if (Peek('0')) {
      ++pos_;
    } else if (!Digits()) {
      return false;
    }
    if (Peek('.')) {
      ++pos_;
      if (!Digits()) return false;
    }
    if (Peek('e') || Peek('E')) {
      ++pos_;
      if (Peek('+') || Peek('-')) ++pos_;
      if (!Digits()) return false;
    }
    v.kind = TJson::kNumber;
    v.numberText = s_.substr(start, pos_ - start);
    v.number = std::strtod(v.numberText.c_str(), nullptr);
    return true;
  }

  bool Digits() {
    const size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }

  bool Peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }

  void Space() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) {
      ++pos_;
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
};

inline bool ParseJson(const std::string& text, TJson& out) { return CJsonReader(text).Parse(out); }

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
inline bool ValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p++;
    if (c < 0x80) continue;
    int more = 3;
    uint32_t cp = c & 0x07;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      cp = c & 0x0F;
    } else if (c < 0xF0 || c > 0xF4) {
      return false;  // a continuation byte, an overlong lead (C0, C1) or beyond F4
    }
    if (end - p < more) return false;
    for (int i = 0; i < more; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*p & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
  }
  return true;
}

}  // namespace strict_json
