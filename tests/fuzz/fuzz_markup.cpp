// libFuzzer target: the tip window's mark-up tokenizer over any text. Every token must lie inside
// the text, the reading position must move on (or the text end), and the number of tokens is
// bounded by the text's length; a font tag's colour is parsed from what the token spans.
// The input's bytes, two at a time, are the text's characters (little-endian), so that tags,
// white space and characters beyond ASCII all occur.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "MarkupTokenizer.h"

namespace {
constexpr size_t kMaxText = 4096;

[[noreturn]] void Wrong(const char* what, size_t position)
{
    std::fprintf(stderr, "mark-up tokenizer: %s at %zu\n", what, position);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size / 2 > kMaxText)
        return 0;
    static std::wstring& text = *new std::wstring; // kept: no allocation per input
    text.clear();
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::wstring_view view(text);

    bool pendingSpace = false;
    size_t position = 0;
    size_t tokens = 0;
    for (;;)
    {
        const MarkupToken token = NextMarkupToken(view, position, pendingSpace);
        if (token.start < position || token.start > view.size() || token.length > view.size() - token.start ||
            token.next > view.size())
            Wrong("a token outside the text", position);
        if (token.kind == MarkupTokenKind::End)
        {
            if (token.length != 0)
                Wrong("an end with a length", position);
            for (size_t i = position; i < view.size(); ++i)
                if (std::wstring_view(L" \t\n\r\f\v").find(view[i]) == std::wstring_view::npos)
                    Wrong("an end before the text's end", i);
            break;
        }
        if (token.length == 0 || token.next < token.start + token.length || token.next <= position)
            Wrong("a token that does not move on", position);
        if ((token.kind == MarkupTokenKind::StartTag || token.kind == MarkupTokenKind::EndTag) &&
            (token.tag == MarkupTag::None || view[token.start] != L'<'))
            Wrong("a tag without its tag", position);
        if (token.kind == MarkupTokenKind::StartTag && token.tag == MarkupTag::Font)
        {
            unsigned long colour = 0;
            ParseMarkupFontColour(view.substr(token.start, token.length), colour);
            if (colour > 0xFFFFFF)
                Wrong("a colour out of range", position);
        }
        if (token.kind == MarkupTokenKind::Word)
            pendingSpace = false;
        position = token.next;
        if (++tokens > view.size())
            Wrong("more tokens than characters", position);
    }
    return 0;
}
