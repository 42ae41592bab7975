// Decoding of text in the Windows code pages of the encoding table to UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Code pages: 65001 (UTF-8), 1200 (UTF-16 little-endian; an odd last byte is dropped), 932, 950,
// 1250 to 1258, 28591 to 28599 and 20127. The tables of a code page are built at its first use,
// safely from any thread; a text too large to hold throws std::bad_alloc.
//
// Decodes bytes of a Windows code page to UTF-16 as MultiByteToWideChar(codePage, 0, ...) does
// (no MB_ERR_INVALID_CHARS). Replaces `out`. Returns false when the code page has no decoder.
bool DecodeCodePage(int32_t codePage, const uint8_t* bytes, size_t length, std::u16string& out);
bool IsCodePageSupported(int32_t codePage);
// For a code page that decodes every byte to one character on its own (the single-byte pages and
// 20127): that character for each byte value. False for the others.
bool GetSingleByteTable(int32_t codePage, char16_t (&table)[256]);
// For a double-byte code page (932, 950): which bytes lead a pair, the character of each byte on
// its own (a lead byte on its own: the page's default character), and the character of each pair
// (lead * 256 + trail; 65,536 entries, valid for the process's lifetime). False for the others.
bool GetDoubleByteTables(int32_t codePage, bool (&lead)[256], char16_t (&single)[256],
                         const char16_t*& pairs);
