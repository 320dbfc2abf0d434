#include <gtest/gtest.h>

#include "formats/common/byte_reader.h"

using imr::formats::ByteReader;
using imr::formats::MemorySource;

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
