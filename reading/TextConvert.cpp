#include "TextConvert.h"

#include <unicode/ustring.h>

std::u16string Utf8ToUtf16(const std::string& text)
{
    // A UTF-8 text never has more UTF-16 units than bytes.
    std::u16string out(text.size(), u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                         text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    out.resize(U_FAILURE(status) ? 0 : static_cast<size_t>(length));
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text)
{
    // A UTF-16 unit never needs more than three UTF-8 bytes.
    std::string out(text.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                       reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), 0xFFFD,
                       nullptr, &status);
    out.resize(U_FAILURE(status) ? 0 : static_cast<size_t>(length));
    return out;
}
