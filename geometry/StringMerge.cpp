#include "geometry/StringMerge.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace pavo {

namespace {

constexpr size_t kFreshCapacity = 16;

// A zero-filled block of n bytes, or null when the memory cannot be had.
std::unique_ptr<char[]> ZeroBlock(size_t n) {
  return std::unique_ptr<char[]>(new (std::nothrow) char[n]());
}

}  // namespace

// Invariant: every byte from length_ to capacity_ - 1 is zero, so the text is always
// followed by at least one zero byte.

CStringMerge::CStringMerge() : block_(ZeroBlock(kFreshCapacity)) {
  capacity_ = block_ ? kFreshCapacity : 0;
}

bool CStringMerge::Append(const char* bytes, size_t n) {
  if (n == 0) return true;
  if (bytes == nullptr) return false;
  // The text, the n new bytes and the terminating zero must be countable.
  if (n > SIZE_MAX - 1 - length_) return false;
  const size_t needed = length_ + n;
  // Double while capacity - 1 < length + n; a block lost to a failed allocation starts
  // again from the fresh size.
  size_t capacity = capacity_ ? capacity_ : kFreshCapacity;
  while (capacity - 1 < needed) {
    if (capacity > SIZE_MAX / 2) return false;
    capacity *= 2;
  }
  if (capacity != capacity_ || !block_) {
    std::unique_ptr<char[]> grown = ZeroBlock(capacity);
    if (!grown) return false;  // the old block and its text stay as they were
    if (block_) std::memcpy(grown.get(), block_.get(), length_);
    // Copied before the old block goes, so bytes taken from this buffer's own text stay valid.
    std::memcpy(grown.get() + length_, bytes, n);
    block_ = std::move(grown);
    capacity_ = capacity;
  } else {
    std::memmove(block_.get() + length_, bytes, n);
  }
  length_ = needed;
  return true;
}

bool CStringMerge::AppendString(const char* text) {
  if (text == nullptr) return false;
  return Append(text, std::strlen(text));
}

bool CStringMerge::AppendLineBreak() { return Append("\r\n", 2); }

void CStringMerge::Clear() {
  block_.reset();
  block_ = ZeroBlock(kFreshCapacity);
  capacity_ = block_ ? kFreshCapacity : 0;
  length_ = 0;
}

}  // namespace pavo
