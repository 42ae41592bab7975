#include "MarkupTokenizer.h"

#include <cwctype>

namespace {

struct TagName
{
    std::wstring_view name;
    MarkupTag tag;
};

constexpr TagName TAG_TABLE[] = {
    {L"b", MarkupTag::Bold},        {L"br", MarkupTag::LineBreak},  {L"em", MarkupTag::Emphasis},
    {L"font", MarkupTag::Font},     {L"i", MarkupTag::Italic},      {L"p", MarkupTag::Paragraph},
    {L"strong", MarkupTag::Strong}, {L"sub", MarkupTag::Subscript}, {L"sup", MarkupTag::Superscript},
    {L"u", MarkupTag::Underline},
};

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f' || c == L'\v';
}

wchar_t Lower(wchar_t c)
{
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

MarkupTag MatchTagName(std::wstring_view name)
{
    for (size_t i = std::size(TAG_TABLE); i-- > 0;)
        if (StartsWithNoCase(name, TAG_TABLE[i].name))
            return TAG_TABLE[i].tag;
    return MarkupTag::None;
}

size_t SkipSpace(std::wstring_view text, size_t position)
{
    while (position < text.size() && IsSpace(text[position]))
        ++position;
    return position;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return 0;
}

} // namespace

bool IsMarkupBlockTag(MarkupTag tag)
{
    return tag == MarkupTag::LineBreak || tag == MarkupTag::Paragraph;
}

MarkupToken NextMarkupToken(std::wstring_view text, size_t position, bool& pendingSpace)
{
    const bool spaceBefore = pendingSpace;
    MarkupToken token;
    if (position < text.size() && IsSpace(text[position]))
        pendingSpace = true;
    position = SkipSpace(text, position);
    token.start = position;
    token.next = position;
    if (position >= text.size())
        return token;

    if (text[position] != L'<')
    {
        size_t end = position;
        while (end < text.size() && !IsSpace(text[end]) && text[end] != L'<')
            ++end;
        token.kind = MarkupTokenKind::Word;
        token.length = end - position;
        token.next = end;
        return token;
    }

    const bool endTag = text.size() - position >= 2 && text[position + 1] == L'/';
    const size_t nameStart = position + (endTag ? 2 : 1);
    size_t nameEnd = nameStart;
    while (nameEnd < text.size() && !IsSpace(text[nameEnd]) && text[nameEnd] != L'<' && text[nameEnd] != L'>')
        ++nameEnd;
    const std::wstring_view name = text.substr(nameStart, nameEnd - nameStart);
    const bool closedAfterName = nameEnd < text.size() && text[nameEnd] == L'>';

    MarkupTag tag = MatchTagName(name);
    size_t tagEnd = nameEnd; // one past the tag's last character
    if (tag == MarkupTag::Font && !endTag)
    {
        while (tagEnd < text.size() && text[tagEnd] != L'<' && text[tagEnd] != L'>')
            ++tagEnd;
        if (tagEnd < text.size() && text[tagEnd] == L'>')
            ++tagEnd;
    }
    else if (tag != MarkupTag::None && closedAfterName)
    {
        tagEnd = nameEnd + 1;
    }
    else
    {
        tag = MarkupTag::None;
    }

    if (tag == MarkupTag::None)
    {
        const size_t end = closedAfterName ? nameEnd + 1 : nameEnd;
        token.kind = endTag ? MarkupTokenKind::IgnoredEndTag : MarkupTokenKind::Word;
        token.length = end - position;
        token.next = end;
        return token;
    }

    token.kind = endTag ? MarkupTokenKind::EndTag : MarkupTokenKind::StartTag;
    token.tag = tag;
    token.length = tagEnd - position;
    token.next = tagEnd;
    if (IsMarkupBlockTag(tag))
        pendingSpace = false;
    if (IsMarkupBlockTag(tag) || spaceBefore)
        token.next = SkipSpace(text, tagEnd);
    return token;
}

bool ParseMarkupFontColour(std::wstring_view tag, unsigned long& colour)
{
    colour = 0;
    constexpr size_t ATTRIBUTE_START = 6; // after "<font" and one more character
    if (tag.size() < ATTRIBUTE_START || !StartsWithNoCase(tag.substr(ATTRIBUTE_START), L"color="))
        return false;
    size_t position = ATTRIBUTE_START + 6;
    if (position < tag.size() && (tag[position] == L'"' || tag[position] == L'\''))
        ++position;
    if (position < tag.size() && tag[position] == L'#')
        ++position;
    int digits[6] = {};
    for (int i = 0; i < 6 && position < tag.size(); ++i, ++position)
        digits[i] = HexValue(tag[position]);
    const unsigned long red = digits[0] * 16 + digits[1];
    const unsigned long green = digits[2] * 16 + digits[3];
    const unsigned long blue = digits[4] * 16 + digits[5];
    colour = red | (green << 8) | (blue << 16);
    return true;
}
