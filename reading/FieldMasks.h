// The field masks the line splitter reads a line of UTF-16 units with, built by the widest
// kernel that SimdUse() allows (AVX-512 BW, SSE2 or the portable loop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr char16_t kQuoteMark = u'"';
inline constexpr char16_t kLineFeed = u'\n';
inline constexpr char16_t kCarriageReturn = u'\r';

// Where the quote, CR and LF (`quoteOrBreak`) and the separator lie in a line of units, one bit
// per unit in words of 64, so that the end of each plain run is found with a few bit operations.
class UnitMasks
{
public:
    UnitMasks(const char16_t* t, size_t n, char16_t separator)
    {
        const size_t words = (n + 63) / 64;
        uint64_t* store = local;
        if (words > kLocalWords)
        {
            heap.resize(2 * words);
            store = heap.data();
        }
        quoteOrBreak = store;
        separators = store + words;
        Build()(t, n, separator, quoteOrBreak, separators);
    }

    // The first unit at or after j that ends a run (the separator only outside quotes), or n.
    size_t RunEnd(size_t j, size_t n, bool inQuotes) const
    {
        size_t word = j >> 6;
        uint64_t stop = (quoteOrBreak[word] | (inQuotes ? 0 : separators[word])) & (~uint64_t(0) << (j & 63));
        const size_t words = (n + 63) / 64;
        while (!stop)
        {
            if (++word >= words)
                return n;
            stop = quoteOrBreak[word] | (inQuotes ? 0 : separators[word]);
        }
        return (word << 6) + static_cast<size_t>(__builtin_ctzll(stop));
    }

private:
    using BuildFunction = void (*)(const char16_t*, size_t, char16_t, uint64_t*, uint64_t*);
    static BuildFunction Build();

    static constexpr size_t kLocalWords = 32; // lines of up to 1,024 units need no allocation
    uint64_t local[2 * kLocalWords];
    std::vector<uint64_t> heap;
    uint64_t* quoteOrBreak;
    uint64_t* separators;
};
