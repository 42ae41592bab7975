// The case folding and substring search of find next. Match case off folds by simple
// per-character lower-casing (u_tolower, one code point to one), so that a folded text is never
// longer than the text. The Row details pane should fold the same way, so that the hit find next
// reports is the one the pane selects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Appends the lower-cased text to out.
void AppendLowerCase(const char16_t* text, size_t length, std::u16string& out);
std::u16string ToLowerCase(const std::u16string& text);

// One search text, prepared for many fields: FoundIn(text) tells whether the text holds it, with
// match case as given, or else after both sides were lower-cased. Same answers as folding the
// whole text and searching it, faster: the text is scanned for the units that can start a match,
// and only those places are compared.
class FindNeedle
{
public:
    // needle: the search text as typed; it is lower-cased here when matchCase is off.
    FindNeedle(const std::u16string& needle, bool matchCase);

    const std::u16string& GetText() const { return needle; }

    bool FoundIn(const std::u16string& text)
    {
        // Folding never lengthens a text.
        if (needle.empty() || text.size() < needle.size())
            return needle.empty();
        return AnyCandidate(text.data(), text.size()) && FoundFromCandidates(text);
    }

private:
    void Mark(char16_t unit);
    bool MayStartAt(char16_t unit) const { return (starts[unit >> 3] >> (unit & 7)) & 1u; }
    // Without a branch per unit: most texts hold no unit that can start a match.
    bool AnyCandidate(const char16_t* text, size_t length) const
    {
        const uint8_t* map = starts.data();
        unsigned any = 0;
        for (size_t i = 0; i < length; ++i)
            any |= map[text[i] >> 3] >> (text[i] & 7);
        return any & 1u;
    }
    size_t NextCandidate(const char16_t* text, size_t from, size_t length) const;
    bool FoundFromCandidates(const std::u16string& text);

    std::u16string needle;
    bool matchCase;
    // A bitmap of the 65,536 units that may start a match: those that fold to the needle's first
    // unit and, folding, those the per-unit table does not settle (NUL, surrogates).
    std::vector<uint8_t> starts;
    std::u16string folded;
};
