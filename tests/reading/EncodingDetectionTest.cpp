#include <gtest/gtest.h>
#include <vector>

#include "EncodingTable.h"

namespace {
struct DetectCase
{
    std::vector<uint8_t> bytes;
    int32_t mode;
    int32_t expected;
};

TEST(DetectTextEncoding, FirstBytesGiveFlags)
{
    const DetectCase cases[] = {
        {{0xFF, 0xFE, 0x41, 0x00}, 5, 0x23},
        {{0xFE, 0xFF, 0x00, 0x41}, 5, 0x21},
        {{0xEF, 0xBB, 0xBF, 0x41}, 5, 0x11},
        {{0xEF, 0xBB, 0xBF}, 5, 0x10},
        {{0x41, 0x00, 0x42, 0x00}, 5, 0x22},
        {{0x00, 0x41, 0x00, 0x42}, 5, 0x20},
        {{0x00, 0x00, 0x41, 0x42}, 5, 0x10},
        {{0x3C, 0x00, 0x3F, 0x00}, 5, 0x26},
        {{0x00, 0x3C, 0x00, 0x3F}, 5, 0x24},
        {{'<', '?', 'x', 'm', 'l'}, 5, 0x14},
        {{0x3C, 0x00, 0x3F, 0x00}, 1, 0x22},
        {{0x00, 0x3C, 0x00, 0x3F}, 1, 0x20},
        {{'<', '?', 'x', 'm', 'l'}, 1, 0x10},
        {{0x41, 0x00}, 5, 0x22},
        {{0x00, 0x41}, 5, 0x22},
        {{0xFF, 0xFE}, 5, 0x10},
        {{}, 5, 0x10},
        {{0x41}, 5, 0x10},
        {{0xFE, 0x41, 0x00}, 5, 0x10},
        {{0xFE, 0x00, 0x41}, 5, 0x22},
        {{0x00, '<', 0x00}, 5, 0x20},                  // the '?' would lie past the end
        {{0xFF, 0xFE, '<', 0x00, '?', 0x00}, 5, 0x23}, // a mark ends detection before the "<?" test
        {{0xFE, 0xFF, '<', 0x00}, 1, 0x21},
        {{0xEF, 0xBB, 0xBF, '<', '?'}, 5, 0x11},
        {{0xFE, 0xFF, 0x00}, 5, 0x21},
        {{0xFE, 0xFF}, 5, 0x10},
        {{0x00, 0x00}, 5, 0x22},
        {{'<', '?'}, 5, 0x14},
        {{'<', 0x00}, 5, 0x22}, // the '?' would lie past the end
        {{0x00, 0x00, 0x00, 0x00}, 5, 0x10},
        {{'<', '?', 'x'}, 0, 0x14}, // every mode but 1 tests for "<?"
        {{'<', '?', 'x'}, -7, 0x14},
        {{0x00, '<', 0x00, '?'}, 2, 0x24},
    };
    for (const DetectCase& c : cases)
    {
        EXPECT_EQ(c.expected, DetectTextEncoding(c.bytes.data(), c.bytes.size(), c.mode))
            << "case of " << c.bytes.size() << " bytes, first " << (c.bytes.empty() ? -1 : c.bytes[0]);
    }
}

TEST(EncodingTable, IndexGivesCodePageAndName)
{
    EXPECT_EQ(65001, GetEncodingCodePage(0));
    EXPECT_EQ(1200, GetEncodingCodePage(1));
    EXPECT_EQ(20127, GetEncodingCodePage(22));
    EXPECT_EQ(0, GetEncodingCodePage(23));
    EXPECT_EQ(0, GetEncodingCodePage(-1));
    EXPECT_EQ(u"Shift-Jis", GetEncodingName(2));
    EXPECT_EQ(u"", GetEncodingName(23));
    EXPECT_EQ(u"", GetEncodingName(-1));
    for (int32_t i = 0; i < kEncodingCount; ++i)
        EXPECT_EQ(i, GetEncodingTable()[i].index);
}
} // namespace
