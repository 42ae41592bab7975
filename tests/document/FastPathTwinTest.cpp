// Twin documents: one finds record ends on the file's bytes and decodes only the records find next
// may hit, the other reads every record as the reader reads it. Random files of every quote and
// line-break shape in each of the 23 encodings, and random sequences of go to line, find next,
// scrolling and row texts: everything a caller sees must be the same after every call.
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "CsvDocumentCore.h"
#include "DocumentTestSupport.h"
#include "EncodingTable.h"

using namespace documenttest;

namespace {
// Unoptimized builds (the sanitizer run) take fewer and shorter sequences.
#if defined(NDEBUG)
constexpr bool kFullRun = true;
#else
constexpr bool kFullRun = false;
#endif

std::string RandomBreak(std::mt19937_64& random)
{
    switch (random() % 10)
    {
    case 0:
        return "\r\n";
    case 1:
        return "\r";
    case 2:
        return "\n\r";
    default:
        return "\n";
    }
}

// Records "r<i>;<middle>;v<i>", the middle field of some in one of many shapes.
std::string MakeShapedFile(std::mt19937_64& random, int64_t records, bool longLine, bool openQuoteNearEnd)
{
    const std::string nul(1, '\0');
    std::string out;
    out.reserve(static_cast<size_t>(records) * 16);
    const int64_t longAt = longLine ? records / 3 : -1;
    const int64_t openAt = openQuoteNearEnd ? records - 200 : -1;
    for (int64_t i = 1; i <= records; ++i)
    {
        const std::string number = std::to_string(i);
        out += "r" + number + ";";
        if (i == longAt)
        {
            out += "\"" + std::string(2100000, 'L') + "\"";
        }
        else if (i == openAt)
        {
            out += "\"open";
        }
        else
        {
            switch (random() % 40)
            {
            case 0:
                out += "\"a;b\"";
                break;
            case 1:
                out += "\"q \"\"w\"\"\"";
                break;
            case 2:
                out += "\"m" + number + RandomBreak(random) + "y\"";
                break;
            case 3:
                out += "\"p\"\"" + RandomBreak(random) + RandomBreak(random) + "z\"";
                break;
            case 4:
                out += "a\"b";
                break;
            case 5:
                out += "\"\"c";
                break;
            case 6:
                out += "n" + nul + "\"";
                break;
            case 7:
                out += "\"n" + nul + RandomBreak(random) + "t\"";
                break;
            case 8:
                out += "\xFF\xC3;\xE2\x82";
                break;
            case 9:
                out += "\xE9\xA2\x93\x8D\x8A\xBB\xAC";
                break;
            case 10:
                out += "\xC3\xA9t\xC3\x89 \xD0\x96\xD0\xB6"; // étÉ Жж
                break;
            case 11:
                out += "\xE2\x84\xAA \xC4\xB0 K k"; // Kelvin sign, dotted capital I
                break;
            case 12:
                out += RandomBreak(random); // the record ends early; the rest is the next one
                break;
            default:
                out += std::to_string(i % 7);
                break;
            }
        }
        out += ";v" + number;
        if (i < records || random() % 2 == 0)
            out += RandomBreak(random);
    }
    return out;
}

std::u16string PickNeedle(std::mt19937_64& random, int64_t records)
{
    const int64_t target = 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(records));
    switch (random() % 12)
    {
    case 0:
        return u"absent";
    case 1:
        return u"V" + Widen(std::to_string(target));
    case 2:
        return u"\u00E9t"; // ét
    case 3:
        return u"\u00C9T"; // ÉT
    case 4:
        return u"\u0436"; // ж
    case 5:
        return u"k";
    case 6:
        return u"i";
    case 7:
        return u"\"";
    case 8:
        return u"a;b";
    case 9:
        return u"\uFFFD";
    default:
        return u"v" + Widen(std::to_string(target));
    }
}

// One file, two documents, a random sequence of calls compared after each.
void RunTwins(const std::string& path, int32_t encodingIndex, int32_t separator, int64_t records, int steps,
              std::mt19937_64& random, uint64_t& scanned)
{
    RecordedDocument fast;
    RecordedDocument plain;
    fast.core.SetFastPaths(true);
    plain.core.SetFastPaths(false);
    ViewRecorder fastView;
    ViewRecorder plainView;
    fast.core.AddView(&fastView);
    plain.core.AddView(&plainView);
    DocumentReadOptions options;
    options.encodingIndex = encodingIndex;
    options.separator = separator;
    fast.core.SetReadOptions(options);
    plain.core.SetReadOptions(options);
    ASSERT_TRUE(fast.core.ReadCSVFile(path));
    ASSERT_TRUE(plain.core.ReadCSVFile(path));
    ExpectSameState(fast, plain, fastView, plainView);
    auto pickRow = [&]() -> int64_t {
        switch (random() % 8)
        {
        case 0:
            return records + static_cast<int64_t>(random() % 20000);
        case 1:
            return static_cast<int64_t>(random() % 3) - 1;
        default:
            return 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(records));
        }
    };
    for (int step = 0; step < steps; ++step)
    {
        SCOPED_TRACE("step " + std::to_string(step));
        const int64_t row = step == 0 ? records : pickRow();
        // A jump to the end and a search for nothing first: the longest passes without rows.
        switch (step == 0 ? 8 : step == 1 ? 4 : random() % 9)
        {
        case 0:
            ASSERT_TRUE(fast.core.ReadCSVFile(path));
            ASSERT_TRUE(plain.core.ReadCSVFile(path));
            break;
        case 1:
        case 2:
        {
            const bool allowUnload = random() % 4 != 0;
            fast.core.LoadRowsIntoView(&fastView, row, allowUnload);
            plain.core.LoadRowsIntoView(&plainView, row, allowUnload);
            break;
        }
        case 3:
        {
            std::u16string a;
            std::u16string b;
            fast.core.GetRowText(row, a);
            plain.core.GetRowText(row, b);
            ASSERT_EQ(a, b);
            break;
        }
        case 4:
        case 5:
        case 6:
        {
            if (random() % 3 == 0)
            {
                fast.core.OnMatchCase();
                plain.core.OnMatchCase();
            }
            const std::u16string needle = step == 1 ? u"absent" : PickNeedle(random, records);
            const int64_t from =
                random() % 3 == 0 || step == 1 ? 0 : 1 + static_cast<int64_t>(random() % 30000);
            for (ViewRecorder* view : {&fastView, &plainView})
            {
                view->Select(from);
                view->hasSelection = from > 0;
            }
            fast.core.OnFindNext(&fastView, needle);
            plain.core.OnFindNext(&plainView, needle);
            break;
        }
        default:
        {
            const std::u16string text = Widen(std::to_string(row));
            fast.core.OnGoToLine(&fastView, text);
            plain.core.OnGoToLine(&plainView, text);
            break;
        }
        }
        ExpectSameState(fast, plain, fastView, plainView);
        if (::testing::Test::HasFailure())
            return;
    }
    EXPECT_EQ(plain.core.GetScannedRecordCount(), 0u);
    scanned = fast.core.GetScannedRecordCount();
}
} // namespace

TEST(FastPathTwins, EveryEncodingGivesWhatThePlainPathGives)
{
    TempDir dir;
    std::mt19937_64 random(21);
    for (int32_t index = 0; index < kEncodingCount; ++index)
    {
        const int32_t codePage = GetEncodingCodePage(index);
        // The sanitizer run takes one encoding of each kind: UTF-8, UTF-16, the double-byte pages,
        // a single-byte page and 20127.
        if (!kFullRun && codePage != 65001 && codePage != 1200 && codePage != 932 && codePage != 950 &&
            codePage != 1252 && codePage != 20127)
            continue;
        SCOPED_TRACE("encoding " + std::to_string(codePage));
        // More than 21 segments, so that passes without rows and the byte test of find both run;
        // many more for the encodings where most passes must be scanned.
        const bool large =
            codePage == 65001 || codePage == 932 || (kFullRun && (codePage == 1252 || codePage == 1200));
        const int64_t records =
            (large ? (kFullRun ? 300000 : 160000) : 106000) + static_cast<int64_t>(random() % 9000);
        std::string bytes = MakeShapedFile(random, records, index == 6, index % 5 == 3);
        if (codePage == 1200)
        {
            std::u16string units;
            for (const char c : bytes)
                units += static_cast<char16_t>(static_cast<uint8_t>(c));
            bytes = ToUtf16LeWithBom(units);
        }
        const std::string path = dir.Write("twins-" + std::to_string(index) + ".csv", bytes);
        uint64_t scanned = 0;
        RunTwins(path, index, static_cast<int32_t>(random() % 3), records,
                 index == 0 ? (kFullRun ? 40 : 12)
                 : large    ? 12
                 : kFullRun ? 10
                            : 4,
                 random, scanned);
        if (HasFailure())
            return;
        // The fast document did take the fast paths where the encoding allows them.
        if (large)
        {
            EXPECT_GT(scanned, static_cast<uint64_t>(records) / 3);
        }
        // 20127 folds bytes onto the quotation mark and the separators: never on the bytes.
        if (codePage == 20127)
        {
            EXPECT_EQ(scanned, 0u);
        }
    }
}

// Generated files of many segments, UTF-8 with each separator and line ending: long forward jumps
// and searches for text near the end, with and without a hit.
TEST(FastPathTwins, LongJumpsAndSearchesOverAGeneratedFile)
{
    TempDir dir;
    std::mt19937_64 random(22);
    for (const bool crlf : {false, true})
    {
        SCOPED_TRACE(crlf);
        FixtureOptions options;
        options.crlf = crlf;
        options.finalBreak = true;
        const int64_t records = kFullRun ? 300000 : 160000;
        for (int i = 0; i < 40; ++i)
            options.multiLine.insert(1 + static_cast<int64_t>(random() % static_cast<uint64_t>(records)));
        const std::string path = dir.Write("long.csv", MakeRecords(records, options));
        uint64_t scanned = 0;
        RunTwins(path, 0, 0, records, kFullRun ? 25 : 8, random, scanned);
        if (HasFailure())
            return;
        EXPECT_GT(scanned, static_cast<uint64_t>(records) / 3);
    }
}

// Two UTF-16LE files without a byte order mark, separator ';', whose last byte is left over from a
// 16-bit unit: alone, and at the end of a run of generated records. The twins are told the long
// file holds twice the records it has: their first step, a go to line that far, reads the whole
// file, the stray byte's line among it, in passes without rows, the fast twin on the file's bytes
// (find next has no byte test in UTF-16 and reads every record there).
TEST(FastPathTwins, Utf16FilesEndingInAStrayByte)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        int64_t records; // about how many there are, for the rows the steps pick
    };
    const Case cases[] = {
        // "a;b" LF "c;d" LF, then the byte of "z" alone.
        {"lf-then-stray-byte",
         std::string("\x61\x00\x3B\x00\x62\x00\x0A\x00\x63\x00\x3B\x00\x64\x00\x0A\x00\x7A", 17), 3},
        // A lone CR, then the byte of a quotation mark alone.
        {"cr-then-stray-quote", std::string("\x0D\x00\x22", 3), 2},
    };
    int32_t utf16 = -1;
    for (int32_t index = 0; index < kEncodingCount; ++index)
    {
        if (GetEncodingCodePage(index) == 1200)
            utf16 = index;
    }
    ASSERT_GE(utf16, 0);
    TempDir dir;
    std::mt19937_64 random(23);
    for (const Case& c : cases)
    {
        for (const bool afterRecords : {false, true})
        {
            SCOPED_TRACE(std::string(c.name) + (afterRecords ? " after generated records" : " alone"));
            std::string bytes;
            int64_t records = c.records;
            if (afterRecords)
            {
                const int64_t generated = 110000;
                std::string lines = MakeShapedFile(random, generated, false, false);
                if (lines.back() != '\n' && lines.back() != '\r')
                    lines += '\n';
                for (const char ch : lines)
                {
                    bytes += ch;
                    bytes += '\0';
                }
                records = generated * 2;
            }
            bytes += c.bytes;
            const std::string path =
                dir.Write(std::string(c.name) + (afterRecords ? "-long" : "") + ".csv", bytes);
            uint64_t scanned = 0;
            RunTwins(path, utf16, 0, records, afterRecords ? 16 : 40, random, scanned);
            if (HasFailure())
                return;
            if (afterRecords)
            {
                EXPECT_GT(scanned, static_cast<uint64_t>(records) / 2 * 9 / 10);
            }
        }
    }
}
