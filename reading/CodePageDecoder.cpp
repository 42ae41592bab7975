#include "CodePageDecoder.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <unicode/ucnv.h>

#include "Utf8Decode.h"

namespace {
// A byte that ICU maps differently from Windows, with the Windows value.
struct ByteOverride
{
    uint8_t byte;
    char16_t value;
};

enum class PageKind
{
    SingleByte,
    DoubleByte,
    Ascii7,
    Utf8,
    Utf16Le,
};

struct PageInfo
{
    int32_t codePage;
    PageKind kind;
    const char* converter; // canonical ICU name; aliases of these names are ambiguous
    std::vector<ByteOverride> overrides;
    char16_t defaultChar; // double-byte pages: value of an undefined or cut pair
};

// Runs from..to mapped to consecutive values starting at first.
void AddRun(std::vector<ByteOverride>& list, uint8_t from, uint8_t to, char16_t first)
{
    for (unsigned b = from; b <= to; ++b)
        list.push_back({static_cast<uint8_t>(b), static_cast<char16_t>(first + (b - from))});
}

std::vector<ByteOverride> ShiftJisOverrides()
{
    std::vector<ByteOverride> list = {
        {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0x80, 0x0080}, {0xA0, 0xF8F0}};
    AddRun(list, 0xFD, 0xFF, 0xF8F1);
    return list;
}

std::vector<ByteOverride> HebrewWindowsOverrides()
{
    std::vector<ByteOverride> list = {{0xCA, 0x05BA}};
    AddRun(list, 0xD9, 0xDF, 0xF88D);
    list.push_back({0xFB, 0xF894});
    list.push_back({0xFC, 0xF895});
    list.push_back({0xFF, 0xF896});
    return list;
}

std::vector<ByteOverride> Latin3Overrides()
{
    const uint8_t holes[] = {0xA5, 0xAE, 0xBE, 0xC3, 0xD0, 0xE3, 0xF0};
    std::vector<ByteOverride> list;
    char16_t value = 0xF7F5;
    for (uint8_t b : holes)
        list.push_back({b, value++});
    return list;
}

std::vector<ByteOverride> ArabicIsoOverrides()
{
    // The bytes ISO-8859-6 leaves undefined, numbered in byte order into the private use area.
    std::vector<ByteOverride> list;
    char16_t value = 0xF7C8;
    auto run = [&](uint8_t from, uint8_t to) {
        for (unsigned b = from; b <= to; ++b)
            list.push_back({static_cast<uint8_t>(b), value++});
    };
    run(0xA1, 0xA3);
    run(0xA5, 0xAB);
    run(0xAE, 0xBA);
    run(0xBC, 0xBE);
    run(0xC0, 0xC0);
    run(0xDB, 0xDF);
    run(0xF3, 0xFF);
    return list;
}

std::vector<ByteOverride> HebrewIsoOverrides()
{
    std::vector<ByteOverride> list = {{0xA1, 0xF79C}, {0xAF, 0x203E}};
    AddRun(list, 0xBF, 0xDE, 0xF79D);
    AddRun(list, 0xFB, 0xFF, 0xF7BD);
    return list;
}

const std::vector<PageInfo>& Pages()
{
    static const std::vector<PageInfo> pages = {
        {65001, PageKind::Utf8, nullptr, {}, 0},
        {1200, PageKind::Utf16Le, nullptr, {}, 0},
        {932, PageKind::DoubleByte, "ibm-943_P15A-2003", ShiftJisOverrides(), 0x30FB},
        {950, PageKind::DoubleByte, "windows-950-2000", {}, 0x003F},
        {1250, PageKind::SingleByte, "ibm-5346_P100-1998", {}, 0},
        {1251, PageKind::SingleByte, "ibm-5347_P100-1998", {}, 0},
        {1252, PageKind::SingleByte, "ibm-5348_P100-1997", {}, 0},
        {1253,
         PageKind::SingleByte,
         "ibm-5349_P100-1998",
         {{0xAA, 0xF8F9}, {0xD2, 0xF8FA}, {0xFF, 0xF8FB}},
         0},
        {1254, PageKind::SingleByte, "ibm-5350_P100-1998", {}, 0},
        {1255, PageKind::SingleByte, "ibm-9447_P100-2002", HebrewWindowsOverrides(), 0},
        {1256, PageKind::SingleByte, "ibm-9448_X100-2005", {}, 0},
        {1257, PageKind::SingleByte, "ibm-9449_P100-2002", {{0xA1, 0xF8FC}, {0xA5, 0xF8FD}}, 0},
        {1258, PageKind::SingleByte, "ibm-5354_P100-1998", {}, 0},
        {28591, PageKind::SingleByte, "ISO-8859-1", {}, 0},
        {28592, PageKind::SingleByte, "ibm-912_P100-1995", {}, 0},
        {28593, PageKind::SingleByte, "ibm-913_P100-2000", Latin3Overrides(), 0},
        {28594, PageKind::SingleByte, "ibm-914_P100-1995", {}, 0},
        {28595, PageKind::SingleByte, "ibm-915_P100-1995", {}, 0},
        {28596, PageKind::SingleByte, "ibm-1089_P100-1995", ArabicIsoOverrides(), 0},
        {28597,
         PageKind::SingleByte,
         "ibm-9005_X110-2007",
         {{0xA1, 0x02BD},
          {0xA2, 0x02BC},
          {0xA4, 0xF7C2},
          {0xA5, 0xF7C3},
          {0xAA, 0xF7C4},
          {0xAE, 0xF7C5},
          {0xD2, 0xF7C6},
          {0xFF, 0xF7C7}},
         0},
        {28598, PageKind::SingleByte, "ibm-5012_P100-1999", HebrewIsoOverrides(), 0},
        {28599, PageKind::SingleByte, "ibm-920_P100-1995", {}, 0},
        {20127, PageKind::Ascii7, nullptr, {}, 0},
    };
    return pages;
}

// The decoding tables of one code page, built at first use.
struct PageTables
{
    std::once_flag once;
    bool usable = false;
    std::array<char16_t, 256> single{};
    std::array<bool, 256> lead{};
    std::vector<char16_t> pairs; // double-byte pages: 256 x 256, indexed lead * 256 + trail
};

struct ConverterCloser
{
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// The one UTF-16 unit ICU gives for the bytes, or false when it reports an error or gives
// anything else.
bool ConvertOne(UConverter* converter, const uint8_t* bytes, int32_t length, char16_t& value)
{
    UErrorCode status = U_ZERO_ERROR;
    UChar buffer[4];
    ucnv_reset(converter);
    int32_t produced =
        ucnv_toUChars(converter, buffer, 4, reinterpret_cast<const char*>(bytes), length, &status);
    if (U_FAILURE(status) || produced != 1)
        return false;
    value = buffer[0];
    return true;
}

bool IsShiftJisLead(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsBig5Lead(unsigned b)
{
    return b >= 0x81 && b <= 0xFE;
}

void BuildTables(const PageInfo& info, PageTables& tables)
{
    if (info.kind == PageKind::Ascii7)
    {
        for (unsigned b = 0; b < 256; ++b)
            tables.single[b] = static_cast<char16_t>(b & 0x7F);
        tables.usable = true;
        return;
    }
    if (info.kind != PageKind::SingleByte && info.kind != PageKind::DoubleByte)
    {
        tables.usable = true;
        return;
    }

    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(info.converter, &status));
    if (U_FAILURE(status) || !converter)
        return;
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return;

    if (info.kind == PageKind::DoubleByte)
    {
        for (unsigned b = 0; b < 256; ++b)
            tables.lead[b] = info.codePage == 932 ? IsShiftJisLead(b) : IsBig5Lead(b);
    }

    for (unsigned b = 0; b < 256; ++b)
    {
        if (tables.lead[b])
            continue;
        const uint8_t byte = static_cast<uint8_t>(b);
        char16_t value = 0;
        if (!ConvertOne(converter.get(), &byte, 1, value))
            value = info.kind == PageKind::DoubleByte ? info.defaultChar : 0xFFFD;
        tables.single[b] = value;
    }
    for (const ByteOverride& o : info.overrides)
        tables.single[o.byte] = o.value;

    if (info.kind == PageKind::DoubleByte)
    {
        tables.pairs.assign(256 * 256, info.defaultChar);
        for (unsigned lead = 0; lead < 256; ++lead)
        {
            if (!tables.lead[lead])
                continue;
            tables.single[lead] = info.defaultChar;
            for (unsigned trail = 1; trail < 256; ++trail)
            {
                const uint8_t pair[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
                char16_t value = 0;
                if (ConvertOne(converter.get(), pair, 2, value))
                    tables.pairs[lead * 256 + trail] = value;
            }
        }
    }
    tables.usable = true;
}

const PageInfo* FindPage(int32_t codePage, PageTables** tables)
{
    static std::vector<PageTables> allTables(Pages().size());
    const std::vector<PageInfo>& pages = Pages();
    for (size_t i = 0; i < pages.size(); ++i)
    {
        if (pages[i].codePage == codePage)
        {
            *tables = &allTables[i];
            return &pages[i];
        }
    }
    return nullptr;
}

size_t DecodeDoubleByte(const PageTables& tables, const uint8_t* s, size_t n, char16_t* out)
{
    const char16_t* pairs = tables.pairs.data();
    char16_t* o = out;
    size_t i = 0;
    while (i < n)
    {
        const uint8_t b = s[i];
        if (!tables.lead[b])
        {
            *o++ = tables.single[b];
            ++i;
        }
        else if (i + 1 < n && s[i + 1] != 0)
        {
            *o++ = pairs[b * 256 + s[i + 1]];
            i += 2;
        }
        else
        {
            // A lead byte at the end or before a zero byte stands alone.
            *o++ = tables.single[b];
            ++i;
        }
    }
    return static_cast<size_t>(o - out);
}
} // namespace

bool IsCodePageSupported(int32_t codePage)
{
    PageTables* tables = nullptr;
    const PageInfo* info = FindPage(codePage, &tables);
    if (!info)
        return false;
    std::call_once(tables->once, [&] { BuildTables(*info, *tables); });
    return tables->usable;
}

bool GetSingleByteTable(int32_t codePage, char16_t (&table)[256])
{
    PageTables* tables = nullptr;
    const PageInfo* info = FindPage(codePage, &tables);
    if (!info || (info->kind != PageKind::SingleByte && info->kind != PageKind::Ascii7))
        return false;
    std::call_once(tables->once, [&] { BuildTables(*info, *tables); });
    if (!tables->usable)
        return false;
    for (size_t b = 0; b < 256; ++b)
        table[b] = tables->single[b];
    return true;
}

bool GetDoubleByteTables(int32_t codePage, bool (&lead)[256], char16_t (&single)[256], const char16_t*& pairs)
{
    PageTables* tables = nullptr;
    const PageInfo* info = FindPage(codePage, &tables);
    if (!info || info->kind != PageKind::DoubleByte)
        return false;
    std::call_once(tables->once, [&] { BuildTables(*info, *tables); });
    if (!tables->usable)
        return false;
    for (size_t b = 0; b < 256; ++b)
    {
        lead[b] = tables->lead[b];
        single[b] = tables->single[b];
    }
    pairs = tables->pairs.data();
    return true;
}

bool DecodeCodePage(int32_t codePage, const uint8_t* bytes, size_t length, std::u16string& out)
{
    out.clear();
    PageTables* tables = nullptr;
    const PageInfo* info = FindPage(codePage, &tables);
    if (!info)
        return false;
    std::call_once(tables->once, [&] { BuildTables(*info, *tables); });
    if (!tables->usable)
        return false;

    switch (info->kind)
    {
    case PageKind::Utf8:
        // Neither decoder ever writes more units than it reads bytes.
        out.resize(length);
        out.resize(DecodeUtf8(bytes, length, out.data()));
        break;
    case PageKind::Utf16Le:
        out.resize(length / 2);
        for (size_t i = 0; i < length / 2; ++i)
            out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        break;
    case PageKind::DoubleByte:
        out.resize(length);
        out.resize(DecodeDoubleByte(*tables, bytes, length, out.data()));
        break;
    case PageKind::SingleByte:
    case PageKind::Ascii7:
        out.resize(length);
        for (size_t i = 0; i < length; ++i)
            out[i] = tables->single[bytes[i]];
        break;
    }
    return true;
}
