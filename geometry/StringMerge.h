// A growable byte-string buffer; the text is always followed by at least one zero byte.
#pragma once

#include <cstddef>
#include <memory>

namespace pavo {

class CStringMerge {
 public:
  CStringMerge();
  CStringMerge(const CStringMerge&) = delete;
  CStringMerge& operator=(const CStringMerge&) = delete;

  // Appends n bytes; the capacity doubles until capacity - 1 >= length + n. Returns false
  // (leaving the old text intact) when the block cannot grow.
  bool Append(const char* bytes, size_t n);
  bool AppendString(const char* text);  // a zero-terminated string
  bool AppendLineBreak();               // "\r\n"
  void Clear();                         // back to a fresh 16-byte block

  // Never null: "" stands in while no block could be had.
  const char* Text() const { return block_ ? block_.get() : ""; }
  size_t Length() const { return length_; }
  size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<char[]> block_;
  size_t capacity_ = 0;
  size_t length_ = 0;
};

}  // namespace pavo
