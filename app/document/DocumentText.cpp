// FormatNumber and the go-to-line parser.
#include <string>

#include <unicode/uchar.h>

#include "CsvDocumentCore.h"

void AppendFormattedNumber(std::u16string& out, int64_t value)
{
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    // The digits from the back, a "." before every third but the first.
    char16_t text[32];
    size_t at = sizeof text / sizeof text[0];
    uint64_t rest = magnitude;
    int digits = 0;
    do
    {
        if (digits > 0 && digits % 3 == 0)
            text[--at] = u'.';
        text[--at] = static_cast<char16_t>(u'0' + rest % 10);
        rest /= 10;
        ++digits;
    } while (rest != 0);
    if (value < 0)
        text[--at] = u'-';
    out.append(text + at, sizeof text / sizeof text[0] - at);
}

std::u16string FormatNumber(int64_t value)
{
    std::u16string out;
    AppendFormattedNumber(out, value);
    return out;
}

int64_t ParseRecordNumber(const std::u16string& text)
{
    size_t i = 0;
    while (i < text.size() && u_isspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
    {
        negative = text[i] == u'-';
        ++i;
    }
    // The magnitude may reach 2^63 for the negative limit.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool clamped = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    {
        const uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
        if (clamped || magnitude > (limit - digit) / 10)
        {
            clamped = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (clamped)
        magnitude = limit;
    if (!negative)
        return static_cast<int64_t>(magnitude);
    return magnitude == (uint64_t{1} << 63) ? INT64_MIN : -static_cast<int64_t>(magnitude);
}
