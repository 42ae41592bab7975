#include "EncodingTable.h"

namespace {
const EncodingEntry kEncodings[kEncodingCount] = {
    {0, u"UTF-8", 65001},
    {1, u"UTF-16", 1200},
    {2, u"Shift-Jis", 932},
    {3, u"Big5", 950},
    {4, u"Windows-1250 Central European", 1250},
    {5, u"Windows-1251 Cyrillic", 1251},
    {6, u"Windows-1252 Western European", 1252},
    {7, u"Windows-1253 Greek", 1253},
    {8, u"Windows-1254 Turkish", 1254},
    {9, u"Windows-1255 Hebrew", 1255},
    {10, u"Windows-1256 Arabic", 1256},
    {11, u"Windows-1257 Baltic", 1257},
    {12, u"Windows-1258 Vietnamese", 1258},
    {13, u"ISO-8859-1 Western European", 28591},
    {14, u"ISO-8859-2 Central European", 28592},
    {15, u"ISO-8859-3 Latin 3", 28593},
    {16, u"ISO-8859-4 Baltic", 28594},
    {17, u"ISO-8859-5 Cyrillic", 28595},
    {18, u"ISO-8859-6 Arabic", 28596},
    {19, u"ISO-8859-7 Greek", 28597},
    {20, u"ISO-8859-8 Hebrew", 28598},
    {21, u"ISO-8859-9 Turkish", 28599},
    {22, u"ASCII US", 20127},
};
}

const EncodingEntry* GetEncodingTable()
{
    return kEncodings;
}

int32_t DetectTextEncoding(const uint8_t* b, uint64_t n, int32_t mode)
{
    enum
    {
        Eight,
        BigEndian,
        LittleEndian
    } kind = Eight;
    if (n > 2)
    {
        if (b[0] == 0xFE && b[1] == 0xFF)
            return TEXT_ENC_16BIT | TEXT_ENC_BOM;
        if (b[0] == 0xFF && b[1] == 0xFE)
            return TEXT_ENC_16BIT | TEXT_ENC_LITTLE_ENDIAN | TEXT_ENC_BOM;
        if (n > 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
            return TEXT_ENC_8BIT | TEXT_ENC_BOM;
        if (b[0] == 0 && b[1] != 0)
            kind = BigEndian;
        else if (b[0] != 0 && b[1] == 0)
            kind = LittleEndian;
    }
    else if (n == 2)
    {
        if (b[0] == 0 || b[1] == 0)
            kind = LittleEndian;
    }

    auto at = [&](uint64_t i, uint8_t c) { return i < n && b[i] == c; };
    // Mode 1 leaves out the "<?" test; it looks for the two characters in the text's own form.
    const bool xmlTest = mode != 1;
    switch (kind)
    {
    case BigEndian:
        return TEXT_ENC_16BIT | (xmlTest && at(1, '<') && at(3, '?') ? TEXT_ENC_XML_DECL : 0);
    case LittleEndian:
        return TEXT_ENC_16BIT | TEXT_ENC_LITTLE_ENDIAN |
               (xmlTest && at(0, '<') && at(2, '?') ? TEXT_ENC_XML_DECL : 0);
    default:
        return TEXT_ENC_8BIT | (xmlTest && at(0, '<') && at(1, '?') ? TEXT_ENC_XML_DECL : 0);
    }
}

int32_t GetEncodingCodePage(int32_t index)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(kEncodingCount))
        return 0;
    return kEncodings[index].codePage;
}

std::u16string GetEncodingName(int32_t index)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(kEncodingCount))
        return std::u16string();
    return kEncodings[index].name;
}
