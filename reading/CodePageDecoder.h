// Decoding of text in the Windows code pages of the encoding table to UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decodes bytes of a Windows code page to UTF-16 as MultiByteToWideChar(codePage, 0, ...) does
// (no MB_ERR_INVALID_CHARS). Replaces `out`. Returns false when the code page has no decoder.
bool DecodeCodePage(int32_t codePage, const uint8_t* bytes, size_t length, std::u16string& out);
bool IsCodePageSupported(int32_t codePage);
