#include "geometry/StringMerge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace pavo {
namespace {

// Every byte from the end of the text to the end of the block is zero.
void ExpectZeroTail(const CStringMerge& m) {
  for (size_t i = m.Length(); i < m.Capacity(); ++i) {
    ASSERT_EQ(m.Text()[i], '\0') << "byte " << i << " of " << m.Capacity();
  }
}

TEST(CStringMergeTest, FreshBufferIsSixteenZeroBytes) {
  CStringMerge m;
  EXPECT_EQ(m.Capacity(), 16u);
  EXPECT_EQ(m.Length(), 0u);
  ExpectZeroTail(m);
}

TEST(CStringMergeTest, GrowthTable) {
  struct Case {
    size_t first, second;  // two appends
    size_t capacity;
  };
  // Doubling continues while capacity - 1 < length + n.
  const Case cases[] = {
      {15, 0, 16},                                 // 15 bytes and the zero fit exactly
      {16, 0, 32},                                 // 15 < 16: one doubling
      {15, 1, 32},                                 // the second append needs the room
      {100, 0, 128},                               // 16 -> 32 -> 64 -> 128
      {127, 0, 128}, {128, 0, 256}, {20, 40, 64},  // 32 after the first; 31 < 60 -> 64
  };
  for (const Case& c : cases) {
    std::string expected;
    for (size_t i = 0; i < c.first + c.second; ++i) expected += static_cast<char>('a' + i % 26);
    CStringMerge m;
    ASSERT_TRUE(m.Append(expected.data(), c.first));
    ASSERT_TRUE(m.Append(expected.data() + c.first, c.second));
    EXPECT_EQ(m.Capacity(), c.capacity) << c.first << "+" << c.second;
    EXPECT_EQ(m.Length(), c.first + c.second);
    EXPECT_EQ(std::string(m.Text()), expected) << c.first << "+" << c.second;
    ExpectZeroTail(m);
  }
}

TEST(CStringMergeTest, ManySmallAppendsKeepTheText) {
  CStringMerge m;
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string piece = std::to_string(i);
    ASSERT_TRUE(m.AppendString(piece.c_str()));
    ASSERT_TRUE(m.AppendLineBreak());
    expected += piece + "\r\n";
  }
  EXPECT_EQ(m.Length(), expected.size());
  EXPECT_EQ(std::string(m.Text(), m.Length()), expected);
  EXPECT_EQ(m.Text()[m.Length()], '\0');
  ExpectZeroTail(m);
}

TEST(CStringMergeTest, EmbeddedZeroBytesCountAsText) {
  CStringMerge m;
  ASSERT_TRUE(m.Append("a\0b", 3));
  EXPECT_EQ(m.Length(), 3u);
  EXPECT_EQ(std::string(m.Text(), 3), std::string("a\0b", 3));
}

TEST(CStringMergeTest, AppendingItsOwnTextWhileGrowing) {
  CStringMerge m;
  ASSERT_TRUE(m.AppendString("0123456789abcd"));  // 14 bytes in 16
  ASSERT_TRUE(m.Append(m.Text(), m.Length()));    // 28 bytes need 32
  EXPECT_EQ(m.Capacity(), 32u);
  EXPECT_EQ(std::string(m.Text()), "0123456789abcd0123456789abcd");
}

TEST(CStringMergeTest, ImpossibleAppendsFailAndKeepTheText) {
  CStringMerge m;
  ASSERT_TRUE(m.AppendString("keep"));
  const char small[] = "x";
  // The length would overflow size_t: refused before anything is read.
  EXPECT_FALSE(m.Append(small, SIZE_MAX));
  EXPECT_FALSE(m.Append(small, SIZE_MAX - 4));
  // Countable, but no block of 2^62 bytes can be had: the allocation fails.
  EXPECT_FALSE(m.Append(small, SIZE_MAX / 4));
  EXPECT_FALSE(m.Append(nullptr, 3));
  EXPECT_FALSE(m.AppendString(nullptr));
  EXPECT_EQ(std::string(m.Text()), "keep");
  EXPECT_EQ(m.Length(), 4u);
  EXPECT_EQ(m.Capacity(), 16u);
  // And the buffer still works afterwards.
  EXPECT_TRUE(m.Append(small, 1));
  EXPECT_EQ(std::string(m.Text()), "keepx");
}

TEST(CStringMergeTest, ClearStartsOverAsFresh) {
  CStringMerge m;
  const std::string text(300, 'q');
  ASSERT_TRUE(m.AppendString(text.c_str()));
  ASSERT_EQ(m.Capacity(), 512u);
  m.Clear();
  EXPECT_EQ(m.Capacity(), 16u);
  EXPECT_EQ(m.Length(), 0u);
  ExpectZeroTail(m);
  ASSERT_TRUE(m.AppendString("ab"));
  EXPECT_EQ(std::string(m.Text()), "ab");
}

}  // namespace
}  // namespace pavo
