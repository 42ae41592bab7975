// The tokenizer of the tip window's small mark-up language: words, and the tags b, br, em,
// font, i, p, strong, sub, sup and u (matched as prefixes of the tag name, without case,
// searching from the last table entry). Every read is bounded by the characters left.
#pragma once

#include <cstddef>
#include <string_view>

enum class MarkupTag
{
    None = -1,
    Bold = 0,    // b
    LineBreak,   // br
    Emphasis,    // em
    Font,        // font
    Italic,      // i
    Paragraph,   // p
    Strong,      // strong
    Subscript,   // sub
    Superscript, // sup
    Underline,   // u
};

enum class MarkupTokenKind
{
    End,  // nothing but white space was left
    Word, // text to draw (a start tag that was not recognised is drawn literally)
    StartTag,
    EndTag,
    IgnoredEndTag,
};

struct MarkupToken
{
    MarkupTokenKind kind = MarkupTokenKind::End;
    MarkupTag tag = MarkupTag::None;
    size_t start = 0;  // first character of the word or of the tag's '<'
    size_t length = 0; // of the word, or of the tag as written (its '>' included)
    size_t next = 0;   // where the next token begins to be read
};

bool IsMarkupBlockTag(MarkupTag tag);

// Reads the token at `position`. `pendingSpace` is set when white space stands there; the
// caller clears it when it draws a word; a block tag clears it.
MarkupToken NextMarkupToken(std::wstring_view text, size_t position, bool& pendingSpace);

// For a font start tag: true with the colour (0x00BBGGRR) when the six characters from the
// tag's seventh on are "color=" (without case). One quote or apostrophe and one '#' may
// precede six hexadecimal digits; a missing or non-hexadecimal digit counts as 0.
bool ParseMarkupFontColour(std::wstring_view tag, unsigned long& colour);
