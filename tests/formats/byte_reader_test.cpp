#include <gtest/gtest.h>

#include "formats/common/byte_reader.h"

using imr::formats::ByteReader;
using imr::formats::MemorySource;
using imr::formats::SliceSource;

TEST(ByteReader, ReadsBothByteOrdersAndFailsPastTheEnd) {
  const unsigned char bytes[] = {0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00};
  MemorySource source(bytes, sizeof bytes);
  ByteReader little(source, true);
  EXPECT_EQ(little.U16(2), 42u);
  EXPECT_EQ(little.U32(4), 8u);
  EXPECT_EQ(little.U16BE(0), 0x4949u);
  EXPECT_FALSE(little.Failed());
  EXPECT_EQ(little.U32(6), 0u);  // two bytes short
  EXPECT_TRUE(little.Failed());
  EXPECT_EQ(little.Text(6, 10).size(), 2u);
  EXPECT_EQ(little.Text(100, 10), "");
}

TEST(ByteReader, EmptyReadsTouchNoMemory) {
  const unsigned char bytes[] = {1, 2, 3, 4};
  MemorySource source(bytes, sizeof bytes);
  // No copy of zero bytes: the sanitizers reject a null destination even then.
  EXPECT_EQ(source.Read(1, nullptr, 0), 0u);
  EXPECT_EQ(source.Read(4, nullptr, 0), 0u);
  MemorySource empty(nullptr, 0);
  EXPECT_EQ(empty.Read(0, nullptr, 0), 0u);
  ByteReader reader(source);
  EXPECT_TRUE(reader.Bytes(2, nullptr, 0));
  EXPECT_EQ(reader.Text(1, 0), "");
  EXPECT_FALSE(reader.Bytes(5, nullptr, 0));  // past the end, even for nothing
}

TEST(SliceSource, IsAWindowClampedToItsParent) {
  const unsigned char bytes[] = {0, 1, 2, 3, 4, 5, 6, 7};
  MemorySource parent(bytes, sizeof bytes);
  SliceSource slice(parent, 2, 4);
  ASSERT_EQ(slice.Size(), 4u);
  unsigned char out[8] = {};
  EXPECT_EQ(slice.Read(1, out, 8), 3u);  // stops at the window's end, not the parent's
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[2], 5);
  EXPECT_EQ(SliceSource(parent, 6, 100).Size(), 2u);
  EXPECT_EQ(SliceSource(parent, 9, 4).Size(), 0u);
  EXPECT_EQ(SliceSource(parent, 9, 4).Read(0, out, 4), 0u);
}
