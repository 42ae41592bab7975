// Pieces of UTF-8 decoding shared by the code page decoder and the CSV reader's fast path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool IsUtf8Continuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// Copies ASCII from s[i] on to `o`, eight bytes at a time while all eight are ASCII. Returns the
// index of the first byte not copied; `o` moves behind the units written.
inline size_t CopyAsciiWords(const uint8_t* s, size_t i, size_t n, char16_t*& o)
{
    while (i + 8 <= n)
    {
        uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ULL)
            break;
        for (int k = 0; k < 8; ++k)
            o[k] = s[i + k];
        o += 8;
        i += 8;
    }
    return i;
}
