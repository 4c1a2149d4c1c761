// A small strict JSON reader for checking the renderer's --discover output: objects,
// arrays, strings with every escape (surrogate pairs included), numbers, true, false, null.
// Anything outside the grammar, NaN and Infinity included, is a parse failure.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace render_test {

struct TJson {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string numberText;  // the number as written, to tell 10 from 10.0
  std::string text;
  std::vector<TJson> items;
  std::vector<std::pair<std::string, TJson>> members;  // in order of appearance

  const TJson* Find(const std::string& key) const {
    for (const auto& m : members) {
      if (m.first == key) return &m.second;
    }
    return nullptr;
  }
  bool IsInteger() const {
    return kind == kNumber && numberText.find_first_of(".eE") == std::string::npos;
  }
};

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
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
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

  bool Object(TJson& v, int depth) {
    v.kind = TJson::kObject;
    ++pos_;
    Space();
    if (Peek('}')) return ++pos_, true;
    for (;;) {
      Space();
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"' || !String(key)) return false;
      Space();
      if (!Peek(':')) return false;
      ++pos_;
      Space();
      TJson member;
      if (!Value(member, depth + 1)) return false;
      v.members.emplace_back(key, member);
      Space();
      if (Peek(',')) {
        ++pos_;
        continue;
      }
      if (Peek('}')) return ++pos_, true;
      return false;
    }
  }

  bool Array(TJson& v, int depth) {
    v.kind = TJson::kArray;
    ++pos_;
    Space();
    if (Peek(']')) return ++pos_, true;
    for (;;) {
      Space();
      TJson item;
      if (!Value(item, depth + 1)) return false;
      v.items.push_back(item);
      Space();
      if (Peek(',')) {
        ++pos_;
        continue;
      }
      if (Peek(']')) return ++pos_, true;
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
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
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

}  // namespace render_test
