#include "LGridEditText.h"

namespace {

std::u16string ReplaceBreaks(const std::u16string& text, const std::u16string& with)
{
    std::u16string result;
    result.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i];
        if (c == u'\r')
        {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            result += with;
        }
        else if (c == u'\n')
        {
            result += with;
        }
        else
        {
            result += c;
        }
    }
    return result;
}

} // namespace

std::u16string GridUnifyLineBreaks(const std::u16string& text)
{
    return ReplaceBreaks(text, u"\r\n");
}

std::u16string GridToEditorLineBreaks(const std::u16string& text)
{
    return ReplaceBreaks(text, u"\n");
}
