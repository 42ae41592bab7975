#include "MemChunkBuffer.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

namespace {
std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(first + i * 7);
    return bytes;
}

std::vector<uint32_t> Capacities(const LMemChunkBuffer& buffer)
{
    std::vector<uint32_t> list;
    for (const LMemChunk* chunk : buffer.GetChunks())
        list.push_back(chunk ? chunk->capacity : 0);
    return list;
}

std::vector<uint8_t> Content(LMemChunkBuffer& buffer)
{
    uint64_t length = 12345;
    uint8_t* data = buffer.GetData(false, length);
    std::vector<uint8_t> content;
    if (data)
        content.assign(data, data + length);
    std::free(data);
    return content;
}

TEST(LMemChunkBuffer, NewBufferIsEmpty)
{
    LMemChunkBuffer buffer;
    EXPECT_FALSE(buffer.HasData());
    EXPECT_EQ(0u, buffer.GetSize());
    uint64_t length = 77;
    EXPECT_EQ(nullptr, buffer.GetData(false, length));
    EXPECT_EQ(77u, length);
    uint8_t target[4];
    length = 4;
    EXPECT_EQ(nullptr, buffer.Read(0, length, target));
    EXPECT_EQ(0u, length);
}

TEST(LMemChunkBuffer, ChunkSizesFollowTheContent)
{
    struct Case
    {
        std::vector<int32_t> appends;
        std::vector<uint32_t> capacities;
    };
    const Case cases[] = {
        {{10}, {8192}},
        {{20000}, {24576}},
        {{8192}, {8192}},
        {{8193}, {16384}},
        {{8190, 3}, {8192, 8192}}, // a piece never splits: the last two bytes stay empty
        {{8190, 2}, {8192}},
        {{100000, 6496}, {106496}},
        {{100000, 6497}, {106496, 10000}}, // a new chunk: a tenth of the content
        {{1000000, 7617}, {1007616, 100000}},
        {{1000000, 200000}, {1007616, 206496}}, // a tenth, grown by 8192 until the piece fits
    };
    for (const Case& c : cases)
    {
        LMemChunkBuffer buffer;
        uint64_t total = 0;
        for (int32_t n : c.appends)
        {
            const std::vector<uint8_t> bytes = Bytes(n);
            EXPECT_TRUE(buffer.Append(bytes.data(), n));
            total += n;
        }
        EXPECT_EQ(c.capacities, Capacities(buffer)) << "first append " << c.appends[0];
        EXPECT_EQ(total, buffer.GetSize());
    }
}

TEST(LMemChunkBuffer, BadAppendsChangeNothing)
{
    LMemChunkBuffer buffer;
    const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_FALSE(buffer.Append(nullptr, 3));
    EXPECT_FALSE(buffer.Append(bytes, 0));
    EXPECT_FALSE(buffer.Append(bytes, -1));
    EXPECT_FALSE(buffer.Append(bytes, INT32_MIN));
    EXPECT_FALSE(buffer.HasData());
    ASSERT_TRUE(buffer.Append(bytes, 3));
    EXPECT_FALSE(buffer.Append(bytes, -5));
    EXPECT_EQ(1u, buffer.GetChunks().size());
    EXPECT_EQ(3u, buffer.GetSize());
}

TEST(LMemChunkBuffer, ContentIsTheConcatenationAcrossChunks)
{
    LMemChunkBuffer buffer;
    std::vector<uint8_t> expected;
    for (int32_t n : {8000, 500, 3000, 1, 20000})
    {
        const std::vector<uint8_t> piece = Bytes(n, static_cast<uint8_t>(n));
        ASSERT_TRUE(buffer.Append(piece.data(), n));
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    ASSERT_GE(buffer.GetChunks().size(), 3u);
    EXPECT_EQ(expected, Content(buffer));
    // The bytes behind `used` read as zeros.
    const LMemChunk* first = buffer.GetChunks()[0];
    for (uint32_t i = first->used; i < first->capacity; ++i)
        ASSERT_EQ(0, first->data[i]);
}

TEST(LMemChunkBuffer, ReadCopiesRangesAndCutsAtTheEnd)
{
    LMemChunkBuffer buffer;
    std::vector<uint8_t> all;
    for (int32_t n : {8000, 8000, 8000})
    {
        const std::vector<uint8_t> piece = Bytes(n, static_cast<uint8_t>(all.size() / 8000 + 1));
        ASSERT_TRUE(buffer.Append(piece.data(), n));
        all.insert(all.end(), piece.begin(), piece.end());
    }
    ASSERT_EQ(3u, buffer.GetChunks().size());

    struct Case
    {
        uint64_t offset;
        uint64_t length;
        uint64_t copied;
    };
    const Case cases[] = {
        {10000, 9000, 9000},                                    // inside the second chunk into the third
        {0, 24000, 24000},   {7999, 2, 2}, {23000, 5000, 1000}, // past the end: cut
        {24000, 10, 0},                                         // at the end: nothing
        {90000, 10, 0},      {5, 0, 0},
    };
    for (const Case& c : cases)
    {
        std::vector<uint8_t> target(c.length + 1, 0xEE);
        uint64_t length = c.length;
        EXPECT_EQ(target.data(), buffer.Read(c.offset, length, target.data())) << c.offset;
        ASSERT_EQ(c.copied, length) << c.offset;
        EXPECT_TRUE(std::equal(target.begin(), target.begin() + length, all.begin() + c.offset)) << c.offset;
        EXPECT_EQ(0xEE, target[length]);

        // Without a destination the block is new and belongs to the caller.
        length = c.length;
        uint8_t* block = buffer.Read(c.offset, length, nullptr);
        ASSERT_NE(nullptr, block);
        ASSERT_EQ(c.copied, length);
        EXPECT_TRUE(std::equal(block, block + length, all.begin() + c.offset));
        std::free(block);
    }
}

TEST(LMemChunkBuffer, AppendFromCopiesOnlyChunksWithBytes)
{
    LMemChunkBuffer source;
    const uint8_t five[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(source.Append(five, 5));
    ASSERT_TRUE(source.AddChunk(1));
    ASSERT_EQ(2u, source.GetChunks().size());

    LMemChunkBuffer target;
    EXPECT_TRUE(target.AppendFrom(source, true));
    EXPECT_EQ(std::vector<uint32_t>{5}, Capacities(target));
    EXPECT_EQ(std::vector<uint8_t>(five, five + 5), Content(target));
    EXPECT_EQ(2u, source.GetChunks().size());

    // Appending a buffer to itself doubles its content.
    EXPECT_TRUE(target.AppendFrom(target, true));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 1, 2, 3, 4, 5}), Content(target));
}

TEST(LMemChunkBuffer, AppendFromWithoutCopyTakesTheChunks)
{
    LMemChunkBuffer source;
    const uint8_t bytes[3] = {7, 8, 9};
    ASSERT_TRUE(source.Append(bytes, 3));
    ASSERT_TRUE(source.AddChunk(1));
    const LMemChunk* first = source.GetChunks()[0];

    LMemChunkBuffer target;
    ASSERT_TRUE(target.Append(bytes, 1));
    EXPECT_TRUE(target.AppendFrom(source, false));
    EXPECT_FALSE(source.HasData());
    ASSERT_EQ(3u, target.GetChunks().size());
    EXPECT_EQ(first, target.GetChunks()[1]);
    EXPECT_EQ((std::vector<uint8_t>{7, 7, 8, 9}), Content(target));
}

// An empty chunk in the middle (as a taken-over or failed chunk leaves) hides nothing behind it.
TEST(LMemChunkBuffer, GetDataSkipsEmptyChunks)
{
    LMemChunkBuffer buffer;
    const uint8_t a[2] = {1, 2};
    const uint8_t b[2] = {3, 4};
    ASSERT_TRUE(buffer.Append(a, 2));
    ASSERT_TRUE(buffer.AddChunk(1));
    ASSERT_TRUE(buffer.AddChunk(1));
    // Both pieces land in the last chunk; two empty chunks lie in between.
    ASSERT_TRUE(buffer.Append(b, 2));
    std::vector<LMemChunk*> chunks = buffer.GetChunks();
    ASSERT_EQ(3u, chunks.size());
    chunks[1]->FreeData();

    uint64_t length = 0;
    uint8_t* data = buffer.GetData(true, length);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(4u, length);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), std::vector<uint8_t>(data, data + length));
    std::free(data);
    EXPECT_FALSE(buffer.HasData());
    EXPECT_EQ(0u, buffer.GetSize());
}

TEST(LMemChunkBuffer, NullEntriesAreSkipped)
{
    std::vector<LMemChunk*> chunks = {new LMemChunk(8), nullptr, new LMemChunk(8)};
    const uint8_t a[3] = {1, 2, 3};
    const uint8_t b[2] = {4, 5};
    ASSERT_TRUE(chunks[0]->Append(a, 3));
    ASSERT_TRUE(chunks[2]->Append(b, 2));
    LMemChunkBuffer buffer;
    buffer.SwapChunks(chunks);
    EXPECT_EQ(5u, buffer.GetSize());

    uint8_t target[4] = {};
    uint64_t length = 4;
    ASSERT_EQ(target, buffer.Read(2, length, target));
    EXPECT_EQ(3u, length);
    EXPECT_EQ((std::vector<uint8_t>{3, 4, 5}), std::vector<uint8_t>(target, target + 3));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5}), Content(buffer));

    // A new chunk follows a null last entry.
    std::vector<LMemChunk*> tail = {nullptr};
    LMemChunkBuffer other;
    other.SwapChunks(tail);
    const uint8_t c[1] = {6};
    EXPECT_TRUE(other.Append(c, 1));
    EXPECT_EQ(std::vector<uint8_t>{6}, Content(other));
}

TEST(LMemChunkBuffer, GetDataOfEmptyChunksGivesAnEmptyBlock)
{
    LMemChunkBuffer buffer;
    ASSERT_TRUE(buffer.AddChunk(1));
    EXPECT_TRUE(buffer.HasData());
    uint64_t length = 99;
    uint8_t* data = buffer.GetData(false, length);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(0u, length);
    std::free(data);
    EXPECT_TRUE(buffer.HasData());
}

TEST(LMemChunkBuffer, ClearOfManyChunksLeavesTheBufferReusable)
{
    for (size_t count : {2000u, 2001u, 2600u})
    {
        LMemChunkBuffer buffer;
        for (size_t i = 0; i < count; ++i)
            ASSERT_TRUE(buffer.AddChunk(1));
        ASSERT_EQ(count, buffer.GetChunks().size());
        buffer.Clear();
        EXPECT_FALSE(buffer.HasData());
        const uint8_t bytes[1] = {42};
        ASSERT_TRUE(buffer.Append(bytes, 1));
        EXPECT_EQ(std::vector<uint8_t>{42}, Content(buffer));
    }
}

TEST(LMemChunkBuffer, SwapChunksExchangesArrays)
{
    LMemChunkBuffer buffer;
    const uint8_t bytes[2] = {5, 6};
    ASSERT_TRUE(buffer.Append(bytes, 2));
    std::vector<LMemChunk*> other;
    other.push_back(new LMemChunk(16));
    ASSERT_TRUE(other[0]->Append(bytes, 1));
    buffer.SwapChunks(other);
    EXPECT_EQ(std::vector<uint8_t>{5}, Content(buffer));
    ASSERT_EQ(1u, other.size());
    EXPECT_EQ(2u, other[0]->used);
    delete other[0];
}

TEST(LMemChunk, AppendFreeDataAndClone)
{
    LMemChunk chunk(4);
    ASSERT_NE(nullptr, chunk.data);
    EXPECT_EQ(4u, chunk.capacity);
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(chunk.Append(bytes, 0));
    EXPECT_FALSE(chunk.Append(bytes, 5));
    EXPECT_TRUE(chunk.Append(bytes, 3));
    EXPECT_FALSE(chunk.Append(bytes, 2));
    EXPECT_TRUE(chunk.Append(bytes, 1));
    EXPECT_EQ(4u, chunk.GetUsed());

    LMemChunk* clone = chunk.Clone();
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(4u, clone->capacity);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 1}),
              std::vector<uint8_t>(clone->data, clone->data + clone->used));
    delete clone;

    chunk.FreeData();
    EXPECT_EQ(nullptr, chunk.data);
    EXPECT_EQ(0u, chunk.capacity);
    EXPECT_EQ(0u, chunk.used);
    EXPECT_FALSE(chunk.Append(bytes, 1));
    EXPECT_EQ(nullptr, chunk.Clone());
    LMemChunk empty(8);
    EXPECT_EQ(nullptr, empty.Clone());
}
} // namespace
