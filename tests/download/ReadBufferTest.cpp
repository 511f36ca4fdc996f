// How much a download thread asks WinInet for, and where the bytes go.
#include <gtest/gtest.h>

#include "download/ReadBuffer.h"

namespace {

TEST(ReadBuffer, AsksForWhatHasArrivedAtLeastOneByteAndNoMoreThanFits)
{
    ReadBuffer buffer;
    EXPECT_EQ(buffer.ReadSize(0), 1u);  // the end of the body shows as an empty read
    EXPECT_EQ(buffer.ReadSize(4096), 4096u);
    EXPECT_EQ(buffer.ReadSize(64 * ReadBuffer::kCapacity), ReadBuffer::kCapacity);

    char* start = buffer.Space();
    buffer.Filled(ReadBuffer::kCapacity - 100);
    EXPECT_EQ(buffer.Space(), start + ReadBuffer::kCapacity - 100);
    EXPECT_EQ(buffer.ReadSize(4096), 100u);
    EXPECT_FALSE(buffer.Full());
    buffer.Filled(100);
    EXPECT_TRUE(buffer.Full());
    EXPECT_EQ(buffer.Data(), start);

    // The same memory serves the next download.
    buffer.Clear();
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(buffer.Space(), start);
    EXPECT_EQ(buffer.ReadSize(4096), 4096u);
}

}  // namespace
