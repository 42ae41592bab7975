// The tip window's mark-up tokenizer: tags matched as prefixes from the end of the table,
// literal tags, white space taken into tags, and colours read within the text's bounds.
#include "MarkupTokenizer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Seen
{
    MarkupTokenKind kind;
    MarkupTag tag;
    std::wstring text;
    bool spaceBefore;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s)
{
    return out << static_cast<int>(s.kind) << "/" << static_cast<int>(s.tag) << " '"
               << std::string(s.text.begin(), s.text.end()) << "' " << s.spaceBefore;
}

// Runs the tokenizer to the end as the renderer does: a word clears the pending space.
std::vector<Seen> Tokens(std::wstring_view text)
{
    std::vector<Seen> out;
    bool pending = false;
    size_t position = 0;
    for (int guard = 0; guard < 1000; ++guard)
    {
        const MarkupToken token = NextMarkupToken(text, position, pending);
        if (token.kind == MarkupTokenKind::End)
            break;
        EXPECT_GT(token.next, position) << "no progress";
        EXPECT_LE(token.next, text.size());
        out.push_back({token.kind, token.tag, std::wstring(text.substr(token.start, token.length)), pending});
        if (token.kind == MarkupTokenKind::Word)
            pending = false;
        position = token.next;
    }
    return out;
}

using K = MarkupTokenKind;
using T = MarkupTag;

TEST(MarkupTokenizer, WordsAndTags)
{
    const std::vector<Seen> expected = {
        {K::Word, T::None, L"plain", false}, {K::StartTag, T::Bold, L"<b>", true},
        {K::Word, T::None, L"bold", true},   {K::EndTag, T::Bold, L"</b>", false},
        {K::Word, T::None, L"x", false},
    };
    EXPECT_EQ(Tokens(L"plain <b>bold</b>x"), expected);
}

TEST(MarkupTokenizer, TagNamesMatchAsPrefixesFromTheLastEntry)
{
    struct Case
    {
        const wchar_t* text;
        MarkupTokenKind kind;
        MarkupTag tag;
    };
    const Case cases[] = {
        {L"<bold>", K::StartTag, T::Bold},     {L"<BR/>", K::StartTag, T::LineBreak},
        {L"<br>", K::StartTag, T::LineBreak},  {L"<strong>", K::StartTag, T::Strong},
        {L"<sub>", K::StartTag, T::Subscript}, {L"<sup>", K::StartTag, T::Superscript},
        {L"<em>", K::StartTag, T::Emphasis},   {L"<I>", K::StartTag, T::Italic},
        {L"<u>", K::StartTag, T::Underline},   {L"<p>", K::StartTag, T::Paragraph},
        {L"</strong>", K::EndTag, T::Strong},  {L"<font color=#102030>", K::StartTag, T::Font},
        {L"</font>", K::EndTag, T::Font},      {L"</q>", K::IgnoredEndTag, T::None},
    };
    for (const Case& c : cases)
    {
        const std::vector<Seen> tokens = Tokens(c.text);
        ASSERT_EQ(tokens.size(), 1u) << std::string(c.text, c.text + wcslen(c.text));
        EXPECT_EQ(tokens[0].kind, c.kind) << std::string(c.text, c.text + wcslen(c.text));
        EXPECT_EQ(tokens[0].tag, c.tag) << std::string(c.text, c.text + wcslen(c.text));
    }
}

TEST(MarkupTokenizer, UnrecognisedStartTagsAreWords)
{
    // A b tag with an attribute: "<b" and then "x>" as words.
    const std::vector<Seen> attributed = {
        {K::Word, T::None, L"<b", false},
        {K::Word, T::None, L"x>", true},
    };
    EXPECT_EQ(Tokens(L"<b x>"), attributed);
    const std::vector<Seen> unknown = {{K::Word, T::None, L"<q>", false}, {K::Word, T::None, L"z", false}};
    EXPECT_EQ(Tokens(L"<q>z"), unknown);
    // An unknown end tag is passed over: the renderer ignores it.
    const std::vector<Seen> vanished = {{K::Word, T::None, L"a", false},
                                        {K::IgnoredEndTag, T::None, L"</q>", false},
                                        {K::Word, T::None, L"b", false}};
    EXPECT_EQ(Tokens(L"a</q>b"), vanished);
}

TEST(MarkupTokenizer, BlockTagsClearThePendingSpaceAndTakeTheSpaceAfterThem)
{
    const std::vector<Seen> tokens = Tokens(L"one <br>  two");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1].tag, T::LineBreak);
    EXPECT_FALSE(tokens[1].spaceBefore);
    EXPECT_EQ(tokens[2], (Seen{K::Word, T::None, L"two", false}));

    // After an inline tag the following space stays pending unless one was pending before.
    const std::vector<Seen> inlineTag = Tokens(L"a<b> c");
    ASSERT_EQ(inlineTag.size(), 3u);
    EXPECT_TRUE(inlineTag[2].spaceBefore);
}

TEST(MarkupTokenizer, ShortTagsAtTheEndStayInsideTheText)
{
    for (const wchar_t* text :
         {L"<", L"</", L"<>", L"<font", L"<font ", L"<font color=", L"<font color=#1", L"x <"})
    {
        const std::vector<Seen> tokens = Tokens(text);
        EXPECT_FALSE(tokens.empty()) << std::string(text, text + wcslen(text));
    }
    // A view that stops inside a longer buffer: nothing past its end is read.
    const std::wstring buffer = L"<font color=#ff0000>";
    const std::wstring_view cut(buffer.data(), 14); // "<font color=#f"
    bool pending = false;
    const MarkupToken token = NextMarkupToken(cut, 0, pending);
    EXPECT_EQ(token.kind, K::StartTag);
    EXPECT_EQ(token.length, 14u);
    unsigned long colour = 1;
    EXPECT_TRUE(ParseMarkupFontColour(cut.substr(0, token.length), colour));
    EXPECT_EQ(colour, 0xF0u); // only "f" was there: red 0xF0, the rest 0
}

TEST(MarkupTokenizer, FontColours)
{
    struct Case
    {
        const wchar_t* tag;
        bool ok;
        unsigned long colour;
    };
    const Case cases[] = {
        {L"<font color=#FF8000>", true, 0x0080FF},
        {L"<font color=\"#FF8000\">", true, 0x0080FF},
        {L"<font color='FF8000'>", true, 0x0080FF},
        {L"<font color=FF8000>", true, 0x0080FF},
        {L"<font COLOR=#0000ff>", true, 0xFF0000},
        {L"<font color=#zz0000>", true, 0x000000},
        {L"<font size=3>", false, 0},
        {L"<font>", false, 0},
    };
    for (const Case& c : cases)
    {
        unsigned long colour = 12345;
        EXPECT_EQ(ParseMarkupFontColour(c.tag, colour), c.ok) << std::string(c.tag, c.tag + wcslen(c.tag));
        if (c.ok)
        {
            EXPECT_EQ(colour, c.colour) << std::string(c.tag, c.tag + wcslen(c.tag));
        }
    }
}

} // namespace
