// The byte format between the preview's front ends and the worker program.
//
// A frame is a type byte, a 32-bit little-endian length and that many payload bytes. A record
// inside a payload is its fields in a fixed order, each as it is laid out below; the order is
// written once per record, in a function template `Fields(archive, record)` that serves both
// CWireWriter (appends the fields) and CWireReader (reads them back, checking every length
// against what is left). So the two directions cannot disagree on a field.
//
//   int32, uint32   4 bytes, little endian
//   int64           8 bytes, little endian
//   double          the 8 bytes of its IEEE 754 bits, little endian
//   bool            1 byte, 0 or 1 (any other value is refused)
//   text            uint32 length, then the bytes
//   pixels          int32 width, int32 height, then width * height 32-bit values, row by row
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "brush/BrushInfo.h"
#include "imaging/Image.h"

namespace quarnel {

// Frame types. Caller to worker: a job. Worker to caller: the greeting sent once at start,
// the text of a print call, of a bs_debug entry, of an error raised by main or last, and the
// job's result.
enum class EFrame : uint8_t {
  kJob = 'J',
  kHello = 'H',
  kPrint = 'P',
  kDebug = 'D',
  kError = 'E',
  kResult = 'R',
};

constexpr size_t kFrameHeader = 5;
// Changes whenever a record's fields change: a worker of another build is refused.
constexpr uint32_t kWireVersion = 1;

// A frame header; false when the type is not one of EFrame's.
bool ParseFrameHeader(const char header[kFrameHeader], EFrame& type, uint32_t& length);
void AppendFrame(std::string& out, EFrame type, std::string_view payload);

// Pixels in a record: written from `image`, read into `image` (resized to the size read).
struct TPixelField {
  pavo::CImage32* image = nullptr;
};

class CWireWriter {
 public:
  explicit CWireWriter(std::string& out) : out_(out) {}

  void operator()(const uint32_t& v) { PutLittle(v, 4); }
  void operator()(const int32_t& v) { PutLittle(static_cast<uint32_t>(v), 4); }
  void operator()(const int64_t& v) { PutLittle(static_cast<uint64_t>(v), 8); }
  void operator()(const double& v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    PutLittle(bits, 8);
  }
  void operator()(const bool& v) { out_.push_back(v ? 1 : 0); }
  void operator()(const std::string& v);
  void operator()(const TPixelField& v);
  // A count, then the items (records through their Fields, or nested lists).
  template <class T>
  void operator()(const std::vector<T>& v) {
    (*this)(static_cast<uint32_t>(v.size()));
    for (const T& item : v) {
      if constexpr (requires { item.size(); }) {
        (*this)(item);
      } else {
        Fields(*this, const_cast<T&>(item));
      }
    }
  }

 private:
  void PutLittle(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  std::string& out_;
};

// Every read past the end, or of a value out of its domain, fails and the reader stays
// failed: the fields read after that keep their previous values.
class CWireReader {
 public:
  explicit CWireReader(std::string_view bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  // All bytes read and nothing failed.
  bool Complete() const { return ok_ && at_ == bytes_.size(); }

  void operator()(uint32_t& v) {
    uint64_t bits = 0;
    if (GetLittle(bits, 4)) v = static_cast<uint32_t>(bits);
  }
  void operator()(int32_t& v) {
    uint64_t bits = 0;
    if (GetLittle(bits, 4)) v = static_cast<int32_t>(static_cast<uint32_t>(bits));
  }
  void operator()(int64_t& v) {
    uint64_t bits = 0;
    if (GetLittle(bits, 8)) v = static_cast<int64_t>(bits);
  }
  void operator()(double& v) {
    uint64_t bits = 0;
    if (GetLittle(bits, 8)) std::memcpy(&v, &bits, sizeof v);
  }
  void operator()(bool& v);
  void operator()(std::string& v);
  void operator()(TPixelField& v);
  template <class T>
  void operator()(std::vector<T>& v) {
    uint32_t n = 0;
    (*this)(n);
    // Every item takes at least one byte: a count beyond what is left is a lie.
    if (!Have(0) || n > bytes_.size() - at_) {
      ok_ = false;
      return;
    }
    v.resize(n);
    for (T& item : v) {
      if constexpr (requires { item.size(); }) {
        (*this)(item);
      } else {
        Fields(*this, item);
      }
      if (!ok_) return;
    }
  }

 private:
  bool Have(size_t n) {
    if (ok_ && bytes_.size() - at_ >= n) return true;
    ok_ = false;
    return false;
  }
  bool GetLittle(uint64_t& v, int bytes) {
    if (!Have(static_cast<size_t>(bytes))) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i)
      v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[at_ + i])) << (8 * i);
    at_ += static_cast<size_t>(bytes);
    return true;
  }
  std::string_view bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

// Every setting of the brush that a job reads or a discovery answers.
template <class A>
void Fields(A& a, pavo::CBrushProperty& p) {
  a(p.count);
  for (int i = 0; i < pavo::kParamSlots; ++i) {
    a(p.name[i]);
    a(p.hint[i]);
    a(p.value[i]);
    a(p.minimum[i]);
    a(p.maximum[i]);
    a(p.defaultValue[i]);
  }
}

template <class A>
void Fields(A& a, pavo::CBrushInfo& info) {
  a(info.type);
  a(info.name);
  a(info.width);
  a(info.defaultWidth);
  a(info.opacity);
  a(info.minWidthRatio);
  a(info.pressureSize);
  a(info.pressureOpacity);
  a(info.pressureGamma);
  Fields(a, info.property);
  a(info.scriptPath);
  a(info.useBase);
}

// Writes a record's fields; the record is not changed (Fields takes it by reference for the
// reader's sake).
template <class T>
void WriteRecord(std::string& out, const T& record) {
  CWireWriter writer(out);
  Fields(writer, const_cast<T&>(record));
}

// Reads a record that must fill the payload exactly.
template <class T>
bool ReadRecord(std::string_view payload, T& record) {
  CWireReader reader(payload);
  Fields(reader, record);
  return reader.Complete();
}

}  // namespace quarnel
