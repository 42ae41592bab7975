// The encodings a document can be read in, and detection of a text's unit size, byte order
// and byte-order mark from its first bytes.
#pragma once

#include <cstdint>
#include <string>

enum : int32_t
{
    TEXT_ENC_BOM = 0x01,
    TEXT_ENC_LITTLE_ENDIAN = 0x02,
    TEXT_ENC_XML_DECL = 0x04,
    TEXT_ENC_8BIT = 0x10,
    TEXT_ENC_16BIT = 0x20,
};

struct EncodingEntry
{
    int32_t index;
    const char16_t* name;
    int32_t codePage;
};

constexpr int32_t kEncodingCount = 23;

// The fixed table of the 23 encodings, in index order.
const EncodingEntry* GetEncodingTable();

// TEXT_ENC_* flags of a text from its first n bytes. Mode 1 leaves out the "<?" test.
int32_t DetectTextEncoding(const uint8_t* bytes, uint64_t n, int32_t mode);

// Code page of the row, 0 outside 0..22.
int32_t GetEncodingCodePage(int32_t index);

// Display name of the row, empty outside 0..22.
std::u16string GetEncodingName(int32_t index);
