// libFuzzer target: find next's fast tests against the plain compare. Each input is a needle and a
// record's bytes in a code page. The record is decoded as the reader decodes it and split into
// fields at ';'. Then:
//   - FindNeedle::FoundIn on each field (a string, and a buffer of exactly the field's length, so
//     that a read past it shows under ASan) and FoundInAnyField on the record must give what
//     lower-casing both sides (match case off) and searching gives;
//   - the byte pattern of the needle (MakeBytePattern) must occur in the record's bytes whenever
//     the decoded record holds the needle: the scanner passes records whose bytes lack it.
//
// Layout: byte 0 options (bit 0 match case, bit 1 the AVX-512 scan allowed, bit 2 the needle is
// taken from the record's text, bits 3-7 with bit 2 the case changes made to it); byte 1 the code
// page (an encoding index, 0..22); byte 2 the needle's length in units (% 12), or with bit 2 its
// start in the record's text; then the needle's units (two bytes each, little-endian; none with
// bit 2); the rest is the record's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <unicode/uchar.h>

#include "CSVReader.h"
#include "CaseFolding.h"
#include "CodePageDecoder.h"
#include "EncodingTable.h"

namespace {
constexpr size_t kMaxRecord = 4096;

bool PlainFound(const std::u16string& text, const std::u16string& needle, bool matchCase)
{
    if (matchCase)
        return text.find(needle) != std::u16string::npos;
    return ToLowerCase(text).find(ToLowerCase(needle)) != std::u16string::npos;
}

[[noreturn]] void Wrong(const char* what)
{
    std::fprintf(stderr, "find disagrees with the plain compare: %s\n", what);
    std::abort();
}

// A needle prepared once, as find next prepares it once for all the records it searches.
struct Prepared
{
    Prepared(const std::u16string& needle, bool matchCase, int32_t codePage)
        : find(needle, matchCase)
        , pattern(MakeBytePattern(find, codePage))
    {}
    FindNeedle find;
    BytePattern pattern;
};

// Kept across inputs: the decoded text, the fields and the needles prepared so far (as find next
// prepares a needle once for many records).
struct State
{
    std::u16string text;
    std::vector<CSVField> fields;
    CSVRecord record;
    std::map<std::tuple<std::u16string, bool, int32_t>, std::unique_ptr<Prepared>> prepared;
};

State& Shared()
{
    static State* state = new State; // never freed: no destruction order at exit
    return *state;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    State& s = Shared();
    const uint8_t options = data[0];
    const bool matchCase = (options & 1) != 0;
    const int32_t codePage = GetEncodingCodePage(data[1] % kEncodingCount);
    const bool fromText = (options & 4) != 0;
    size_t at = 3;
    std::u16string needle;
    if (!fromText)
    {
        const size_t units = data[2] % 12;
        if (size < at + 2 * units)
            return 0;
        for (size_t k = 0; k < units; ++k, at += 2)
            needle.push_back(static_cast<char16_t>(data[at] | (data[at + 1] << 8)));
    }
    const uint8_t* bytes = data + at;
    const size_t length = size - at;
    if (length > kMaxRecord)
        return 0;
    if (!DecodeCodePage(codePage, bytes, length, s.text))
        return 0;
    if (fromText)
    {
        // A piece of the record's own text, some of its letters in another case.
        const size_t start = s.text.empty() ? 0 : data[2] % s.text.size();
        needle = s.text.substr(start, 1 + (options >> 5));
        for (size_t k = 0; k < needle.size(); ++k)
        {
            if ((options >> (3 + k % 2)) & 1)
            {
                const UChar32 upper = u_toupper(needle[k]);
                if (upper <= 0xFFFF)
                    needle[k] = static_cast<char16_t>(upper);
            }
        }
    }

    if (s.prepared.size() > 4096)
        s.prepared.clear();
    std::unique_ptr<Prepared>& entry = s.prepared[{needle, matchCase, codePage}];
    if (!entry)
        entry = std::make_unique<Prepared>(needle, matchCase, codePage);
    FindNeedle& find = entry->find;
    find.SetWideScan((options & 2) != 0);

    // The fields, split at ';' only: what matters is that no match spans two of them.
    s.fields.assign(1, CSVField());
    for (const char16_t c : s.text)
    {
        if (c == u';')
            s.fields.emplace_back();
        else
            s.fields.back().text.push_back(c);
    }
    s.record.clear();
    for (const CSVField& field : s.fields)
        s.record.push_back(field);
    bool anyField = false;
    for (size_t i = 0; i < s.fields.size(); ++i)
    {
        const CSVField& field = s.fields[i];
        const bool plain = PlainFound(field.text, needle, matchCase);
        anyField = anyField || plain;
        if (find.FoundIn(field.text) != plain)
            Wrong("a field's string");
        // The field as the record holds it (blocks may read on into the record's buffer).
        if (find.FoundIn(s.record[i]) != plain)
            Wrong("a field of the record");
        // A buffer of exactly the field's length: the fast scan must not read past it.
        const size_t units = field.text.size();
        std::unique_ptr<char16_t[]> exact(new char16_t[units == 0 ? 1 : units]);
        std::char_traits<char16_t>::copy(exact.get(), field.text.data(), units);
        if (find.FoundIn(exact.get(), units, units) != plain)
            Wrong("a field in a buffer of its own length");
    }
    if (find.FoundInAnyField(s.record) != anyField)
        Wrong("the record's fields");

    // The byte test never misses: the whole decoded text holds the needle only where the bytes
    // hold the pattern.
    const BytePattern& pattern = entry->pattern;
    if (!pattern.Empty() && PlainFound(s.text, needle, matchCase))
    {
        bool found = false;
        for (size_t i = 0; !found && i + pattern.bytes.size() <= length; ++i)
            found = pattern.MatchesAt(bytes + i);
        if (!found)
            Wrong("the byte pattern is not in bytes whose text holds the needle");
    }
    return 0;
}
