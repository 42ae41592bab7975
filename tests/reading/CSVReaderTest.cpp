#include "CSVReader.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

#include "CsvGen.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"
#include "TextConvert.h"

using scantest::Bytes;

// Fields shown as their UTF-16 units in hex, with a leading ^ when quoted.
void PrintTo(const CSVField& field, std::ostream* out)
{
    *out << (field.quoted ? "^" : "") << "[";
    for (char16_t c : field.text)
    {
        char unit[8];
        std::snprintf(unit, sizeof(unit), " %04X", static_cast<unsigned>(c));
        *out << unit;
    }
    *out << " ]";
}

namespace {
// A field written as text, with a leading '^' for a quoted one.
std::string Show(const CSVRecord& record)
{
    std::string out = "[";
    for (size_t i = 0; i < record.size(); ++i)
    {
        if (i)
            out += "|";
        if (record[i].quoted)
            out += "^";
        for (char16_t c : record[i].text)
            out += c == u'\n' ? std::string("\\n") : std::string(1, static_cast<char>(c));
    }
    return out + "]";
}

class CSVReaderTest : public ::testing::Test
{
protected:
    bool OpenText(const Bytes& bytes, SeparatorKind kind = SEPARATOR_SEMICOLON)
    {
        path = folder.Write("data.csv", bytes);
        LMemChunkBuffer none;
        bool ok = reader.Open(path.c_str(), none, nullptr);
        reader.SetSeparatorKind(kind);
        return ok;
    }

    // Every record until ReadRecord fails, as shown by Show().
    std::vector<std::string> ReadAll(size_t atMost = 1000000)
    {
        std::vector<std::string> records;
        for (size_t i = 0; i < atMost; ++i)
        {
            CSVRecord record;
            if (!reader.ReadRecord(record, false))
                break;
            records.push_back(Show(record));
        }
        return records;
    }

    scantest::TempFolder folder;
    std::string path;
    LCSVReader reader;
};

TEST_F(CSVReaderTest, RecordTable)
{
    struct Case
    {
        Bytes file;
        SeparatorKind kind;
        std::vector<std::string> records;
        int64_t lines; // GetCurrentLine after the last record
    };
    const Case cases[] = {
        {"a;b\r\nc;d\r\n", SEPARATOR_SEMICOLON, {"[a|b]", "[c|d]", "[]"}, 3},
        {"a;b\r\nc;d", SEPARATOR_SEMICOLON, {"[a|b]", "[c|d]"}, 2},
        {"a;b", SEPARATOR_SEMICOLON, {"[a|b]"}, 1},
        {"", SEPARATOR_SEMICOLON, {"[]"}, 1},
        {"a;b\r\n\r\nc", SEPARATOR_SEMICOLON, {"[a|b]", "[]", "[c]"}, 3},
        {"\"a;b\";c", SEPARATOR_SEMICOLON, {"[^a;b|c]"}, 1},
        {"\"x\";y;\"z\"", SEPARATOR_SEMICOLON, {"[^x|y|^z]"}, 1},
        {"\"a\r\nb\";c", SEPARATOR_SEMICOLON, {"[^a\\nb|c]"}, 2},
        {"\"a\r\n\r\nb\"", SEPARATOR_SEMICOLON, {"[^a\\n\\nb]"}, 3},
        {"a\"\"b", SEPARATOR_SEMICOLON, {"[a\"\"b]"}, 1},
        {"\"a\"\"b\"", SEPARATOR_SEMICOLON, {"[^a\"\"b]"}, 1},
        {"\"\"", SEPARATOR_SEMICOLON, {"[]"}, 1},
        {"\"\"\"a\"\"\"", SEPARATOR_SEMICOLON, {"[a]"}, 1},
        {"\"a\"b;c\nd;e\"\nf", SEPARATOR_SEMICOLON, {"[^a\"b;c\\nd;e]", "[f]"}, 3},
        {"a;", SEPARATOR_SEMICOLON, {"[a|]"}, 1},
        {";", SEPARATOR_SEMICOLON, {"[|]"}, 1},
        {"x\na;\"", SEPARATOR_SEMICOLON, {"[x]", "[a|^]"}, 2},
        {"a;b\tc", SEPARATOR_TAB, {"[a;b|c]"}, 1},
        {"a;b,c", SEPARATOR_COMMA, {"[a;b|c]"}, 1},
        {"a;b,c", static_cast<SeparatorKind>(7), {"[a|b,c]"}, 1},
        {"\"a,b\",\"c\"\"d\",e\r\n", SEPARATOR_COMMA, {"[^a,b|^c\"\"d|e]", "[]"}, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.file));
        ASSERT_TRUE(OpenText(c.file, c.kind));
        EXPECT_EQ(c.records, ReadAll());
        EXPECT_EQ(c.lines, reader.GetCurrentLine());
    }
}

// 16-bit text of odd length: the stray last byte is a line of its own behind every kind of line
// break, as it is behind CR LF (read as the low half of a unit).
TEST_F(CSVReaderTest, StrayLastByteOfUtf16TextIsALineOfItsOwn)
{
    struct Case
    {
        const char* name;
        Bytes file;
        std::vector<std::string> records;
        int64_t lines; // GetCurrentLine after the last record
    };
    const Case cases[] = {
        {"LF", Bytes("a\0;\0b\0\n\0c\0;\0d\0\n\0z", 17), {"[a|b]", "[c|d]", "[z]"}, 3},
        {"CR", Bytes("a\0;\0b\0\r\0c\0;\0d\0\r\0z", 17), {"[a|b]", "[c|d]", "[z]"}, 3},
        {"CR LF", Bytes("a\0;\0b\0\r\0\n\0c\0;\0d\0\r\0\n\0z", 21), {"[a|b]", "[c|d]", "[z]"}, 3},
        {"LF CR", Bytes("a\0;\0b\0\n\0\r\0c\0;\0d\0\n\0\r\0z", 21), {"[a|b]", "[c|d]", "[z]"}, 3},
        // A lone CR, then a stray quotation mark: its quote stays open to the end of the file.
        {"CR then a stray quote", Bytes("\r\0\"", 3), {"[]", "[^]"}, 2},
        {"CR LF then a stray quote", Bytes("\r\0\n\0\"", 5), {"[]", "[^]"}, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OpenText(c.file));
        reader.GetTextFile().SetCodePage(1200);
        EXPECT_EQ(c.records, ReadAll());
        EXPECT_EQ(c.lines, reader.GetCurrentLine());
    }
}

TEST_F(CSVReaderTest, DoubledQuotesInsideQuotesNeverCloseTheField)
{
    // Inside an open quoted field two quotation marks in a row are one escaped quotation mark,
    // whatever follows them; a single one closes the field before the separator, CR or LF.
    struct Case
    {
        Bytes file;
        std::vector<std::string> records;
        int64_t lines;
    };
    const Case cases[] = {
        // before the separator
        {"\"he said \"\"yes\"\"; then left\";x\n", {"[^he said \"\"yes\"\"; then left|x]", "[]"}, 2},
        // before CR LF and before LF: the field goes on on the next line
        {"\"a \"\"yes\"\"\r\nb\";c\r\n", {"[^a \"\"yes\"\"\\nb|c]", "[]"}, 3},
        {"\"a \"\"yes\"\"\nb\";c", {"[^a \"\"yes\"\"\\nb|c]"}, 2},
        // at the end of a line, and at the end of the file
        {"\"a\"\"\nb\";c", {"[^a\"\"\\nb|c]"}, 2},
        // at a field's start: opens nothing
        {"\"\";x\n\"\"a;b", {"[|x]", "[a|b]"}, 2},
        // in an unquoted field: text
        {"a\"\"b;c\"\";d", {"[a\"\"b|c|d]"}, 1},
        // three in a row: one escaped, then the closing one
        {"\"a\"\"\";b", {"[^a|b]"}, 1},
        {"\"a\"\"\"\r\nb", {"[^a]", "[b]"}, 2},
        {"\"a\"\"\" x\";b", {"[^a\"\"\" x|b]"}, 1},
        // four in a row: two escaped, the field stays open
        {"\"a\"\"\"\";b\nc\";d", {"[^a\"\"\"\";b\\nc|d]"}, 2},
        // the comma as separator
        {"\"x \"\"y\"\", z\",w", {"[^x \"\"y\"\", z|w]"}, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.file));
        const bool comma = c.file.find(',') != Bytes::npos;
        for (bool bytes : {true, false})
        {
            ASSERT_TRUE(OpenText(c.file, comma ? SEPARATOR_COMMA : SEPARATOR_SEMICOLON));
            reader.SetByteParsing(bytes);
            EXPECT_EQ(c.records, ReadAll());
            EXPECT_EQ(c.lines, reader.GetCurrentLine());
        }
    }
}

TEST_F(CSVReaderTest, CountsAndPositionAfterEachRecord)
{
    ASSERT_TRUE(OpenText("a;b\r\n\"c\r\nd\";e\r\nf\r\n"));
    CSVRecord record;
    ASSERT_TRUE(reader.ReadRecord(record, false));
    EXPECT_EQ(1, reader.GetRecordCount());
    EXPECT_EQ(1, reader.GetCurrentLine());
    record.clear();
    ASSERT_TRUE(reader.ReadRecord(record, false));
    EXPECT_EQ(2, reader.GetRecordCount());
    EXPECT_EQ(3, reader.GetCurrentLine());
    EXPECT_EQ("[^c\\nd|e]", Show(record));
    record.clear();
    ASSERT_TRUE(reader.ReadRecord(record, false));
    record.clear();
    ASSERT_TRUE(reader.ReadRecord(record, false)); // the empty last line
    EXPECT_TRUE(record.empty());
    record.clear();
    EXPECT_FALSE(reader.ReadRecord(record, false));
    EXPECT_EQ(4, reader.GetRecordCount());
    EXPECT_EQ(READLINES_BAD_RANGE, reader.GetLastReadStatus());

    // Back to a recorded position: the same record again, with the count given.
    reader.SetPosition(1, 1);
    record.clear();
    ASSERT_TRUE(reader.ReadRecord(record, false));
    EXPECT_EQ("[^c\\nd|e]", Show(record));
    EXPECT_EQ(2, reader.GetRecordCount());
}

TEST_F(CSVReaderTest, JoinWithoutNewlineTrimsTheLineFeeds)
{
    ASSERT_TRUE(OpenText("\"a\r\nb\r\n\r\nc\";d"));
    CSVRecord record;
    ASSERT_TRUE(reader.ReadRecord(record, true));
    EXPECT_EQ("[^abc|d]", Show(record));
}

TEST_F(CSVReaderTest, ParseLineFollowsTheQuoteRules)
{
    struct Case
    {
        std::u16string line;
        bool inQuotesBefore;
        std::string fields;
        bool inQuotesAfter;
    };
    const Case cases[] = {
        {u"a;b\r\n", false, "[a|b]", false},
        {u"\"a;b\r\n", false, "[^\"a;b]", true},
        {u"x\";y\r\n", true, "[x\"|y]", false},    // closes before the separator
        {u"x\"y;z\r\n", true, "[x\"y;z]", true},   // a quote inside stays text
        {u"x\"\r\n", true, "[x\"]", false},        // closes before CR
        {u"\"", false, "[^\"]", true},             // last in the line: opens
        {u"\"\"a", false, "[\"\"a]", false},       // a doubled quote opens nothing
        {u"x\"\";y\r\n", true, "[x\"\";y]", true}, // an escaped quote closes nothing
        {u"x\"\"", true, "[x\"\"]", true},
        {u"x\"\"\"\n", true, "[x\"\"\"]", false}, // escaped, then the closing one
        {u"a\"b", false, "[a\"b]", false},
        {u"", true, "[]", true}, // an empty text: no field, state kept
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.line));
        CSVRecord fields{CSVField{u"stale", true}};
        bool inQuotes = c.inQuotesBefore;
        reader.ParseLine(c.line, fields, inQuotes);
        EXPECT_EQ(c.fields, Show(fields));
        EXPECT_EQ(c.inQuotesAfter, inQuotes);
    }
}

// Lines of every length up to a few words of 64 units, with a separator, CR, LF or quotation
// mark at every place: each unit is seen where it lies, in whole words and in the last one.
TEST_F(CSVReaderTest, ParseLineSeesAMarkAtEveryPlace)
{
    for (size_t n = 1; n <= 140; ++n)
    {
        for (size_t at = 0; at < n; ++at)
        {
            for (const char16_t mark : {u';', u'\r', u'\n', u'"'})
            {
                std::u16string line(n, u'x');
                line[at] = mark;
                SCOPED_TRACE(::testing::Message() << "length " << n << " at " << at << " mark " << int(mark));
                CSVRecord expected;
                bool expectedInQuotes = false;
                if (mark == u';')
                    expected = CSVRecord{{std::u16string(at, u'x'), false},
                                         {std::u16string(n - at - 1, u'x'), false}};
                else if (mark == u'"')
                {
                    // At the start it opens a quote that stays open; elsewhere it is text.
                    expected = CSVRecord{{line, at == 0}};
                    expectedInQuotes = at == 0;
                }
                else
                    expected = CSVRecord{{std::u16string(n - 1, u'x'), false}};
                CSVRecord fields{CSVField{u"stale", true}};
                bool inQuotes = false;
                reader.ParseLine(line, fields, inQuotes);
                EXPECT_EQ(expected, fields);
                EXPECT_EQ(expectedInQuotes, inQuotes);
            }
        }
    }
}

TEST_F(CSVReaderTest, StripQuotesCutsTheOuterRuns)
{
    CSVRecord record{{u"\"\"a\"b\"\"\"", true}, {u"\"\"\"", false}, {u"plain", false}};
    LCSVReader::StripQuotes(record);
    EXPECT_EQ(u"a\"b", record[0].text);
    EXPECT_EQ(u"", record[1].text);
    EXPECT_EQ(u"plain", record[2].text);
}

// The quotation marks at the ends of each field are cut as the record is split; the records are
// those of splitting every line whole, joining the lines a quote holds open and cutting the marks
// of the whole record afterwards.
TEST_F(CSVReaderTest, FieldsHaveTheirOuterQuotesCutAsWhenTheWholeRecordIsCut)
{
    static const char* const kPieces[] = {"\"", "\"\"", "\"\"\"", ";", "a", "bc", "\n", "\r\n", "; \""};
    std::mt19937 random(4711);
    for (int round = 0; round < 3000; ++round)
    {
        std::string text;
        const int pieces = static_cast<int>(random() % 40);
        for (int i = 0; i < pieces; ++i)
            text += kPieces[random() % std::size(kPieces)];
        SCOPED_TRACE(::testing::PrintToString(text));

        // The lines, without their breaks, as the line index counts them.
        std::vector<std::u16string> lines;
        std::u16string line;
        for (size_t i = 0; i < text.size(); ++i)
        {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            if (text[i] == '\n')
            {
                lines.push_back(line);
                line.clear();
            }
            else
                line.push_back(static_cast<char16_t>(text[i]));
        }
        lines.push_back(line); // the text after the last break is a line, empty or not

        std::vector<std::string> expected;
        for (size_t at = 0; at < lines.size();)
        {
            bool inQuotes = false;
            CSVRecord record;
            reader.ParseLine(lines[at++], record, inQuotes);
            std::vector<CSVField> fields(record.begin(), record.end());
            while (inQuotes && at < lines.size())
            {
                CSVRecord more;
                reader.ParseLine(lines[at++], more, inQuotes);
                if (more.empty())
                {
                    // An empty line adds its break alone; the empty end of the text, nothing.
                    if (at < lines.size())
                        fields.back().text += u'\n';
                    continue;
                }
                fields.back().text += u'\n';
                fields.back().text += more[0].text;
                for (size_t k = 1; k < more.size(); ++k)
                    fields.emplace_back(more[k]);
            }
            CSVRecord whole;
            for (const CSVField& field : fields)
                whole.push_back(field);
            LCSVReader::StripQuotes(whole);
            expected.push_back(Show(whole));
        }

        ASSERT_TRUE(OpenText(text));
        EXPECT_EQ(expected, ReadAll());
        if (HasFailure())
            return;
    }
}

TEST_F(CSVReaderTest, WindowsAreRefilledEveryTenThousandAndOneLines)
{
    // Lines of equal length; the file is rewritten in place while records are read, so a
    // record shows the new text exactly when its line came from a window read after the change.
    auto fileOf = [](char tag) {
        Bytes text;
        char line[16];
        for (int i = 0; i < 25000; ++i)
        {
            std::snprintf(line, sizeof(line), "%c%05d\n", tag, i);
            text += line;
        }
        return text;
    };
    ASSERT_TRUE(OpenText(fileOf('o')));
    auto readOne = [&] {
        CSVRecord record;
        EXPECT_TRUE(reader.ReadRecord(record, false));
        return record.empty() ? std::string() : Show(record);
    };
    EXPECT_EQ("[o00000]", readOne()); // window of lines 0..10000
    folder.Write("data.csv", fileOf('n'));
    for (int i = 1; i < 10001; ++i)
        readOne();
    EXPECT_EQ(10001, reader.GetCurrentLine());
    EXPECT_EQ("[n10001]", readOne()); // window of lines 10001..20001
    folder.Write("data.csv", fileOf('o'));
    for (int i = 10002; i < 20002; ++i)
        ASSERT_EQ('n', readOne()[1]);
    EXPECT_EQ("[o20002]", readOne()); // window of lines 20002..25000

    // A position inside the current window is served from it.
    folder.Write("data.csv", fileOf('n'));
    reader.SetPosition(20002, 20002);
    EXPECT_EQ("[o20002]", readOne());
    // GetTextFile empties the cache: the next record is read again.
    reader.GetTextFile();
    EXPECT_EQ("[n20003]", readOne());
}

TEST_F(CSVReaderTest, CodePageSetThroughGetTextFileApplies)
{
    ASSERT_TRUE(OpenText("caf\xE9;x\n"));
    reader.GetTextFile().SetCodePage(1252);
    CSVRecord record;
    ASSERT_TRUE(reader.ReadRecord(record, false));
    ASSERT_EQ(2u, record.size());
    EXPECT_EQ(u"caf\u00E9", record[0].text);
}

TEST_F(CSVReaderTest, MemoryModeAndClosedReader)
{
    LCSVReader closed;
    CSVRecord record{CSVField{u"kept", false}};
    EXPECT_FALSE(closed.ReadRecord(record, false));
    EXPECT_EQ(1u, record.size());

    LMemChunkBuffer source;
    ASSERT_TRUE(source.Append("a;b\nc", 5));
    ASSERT_TRUE(reader.Open(nullptr, source, nullptr));
    EXPECT_EQ("", reader.GetPath());
    EXPECT_EQ((std::vector<std::string>{"[a|b]", "[c]"}), ReadAll());
    ASSERT_TRUE(reader.Open("", source, nullptr));
    EXPECT_EQ((std::vector<std::string>{"[a|b]", "[c]"}), ReadAll());
}
} // namespace

namespace {
// Records of a file read once with the byte-level splitting and once through decoded lines.
void ExpectBothPathsAgree(const scantest::TempFolder& folder, const Bytes& text, SeparatorKind kind,
                          bool join, size_t cap)
{
    std::string file = folder.Write("paths.csv", text);
    std::vector<CSVRecord> results[2];
    std::vector<int64_t> counts[2];
    for (int path = 0; path < 2; ++path)
    {
        LCSVReader reader;
        LMemChunkBuffer none;
        ASSERT_TRUE(reader.Open(file.c_str(), none, nullptr));
        reader.SetSeparatorKind(kind);
        reader.SetByteParsing(path == 0);
        reader.SetMaxRecordChars(cap);
        for (int guard = 0; guard < 100000; ++guard)
        {
            CSVRecord record;
            bool ok = reader.ReadRecord(record, join);
            results[path].push_back(record);
            counts[path].push_back(reader.GetCurrentLine());
            if (!ok)
                break;
        }
    }
    ASSERT_EQ(results[1].size(), results[0].size()) << ::testing::PrintToString(text);
    for (size_t i = 0; i < results[0].size(); ++i)
    {
        ASSERT_EQ(results[1][i], results[0][i]) << "record " << i << " of " << ::testing::PrintToString(text);
        ASSERT_EQ(counts[1][i], counts[0][i]);
    }
}

TEST(CSVReaderPaths, ByteSplittingGivesTheDecodedPathsRecords)
{
    // Quotes, separators, breaks, valid and malformed UTF-8 of every length.
    static const char* const kPieces[] = {"\"",
                                          "\"\"",
                                          ";",
                                          ",",
                                          "\t",
                                          "\r\n",
                                          "\n",
                                          "\r",
                                          "a",
                                          "bc",
                                          "\xC3\xA9",
                                          "\xE2\x82\xAC",
                                          "\xF0\x9D\x84\x9E",
                                          "\xE0\x80\x80",
                                          "\xED\xA0\x80",
                                          "\xF4\x90\x80\x80",
                                          "\xC0\xAF",
                                          "\x80",
                                          "\xFF",
                                          "\xE2\x82",
                                          "\xF0\x9D",
                                          "\xEF\xBB\xBF",
                                          "0123456789abcdef0123",
                                          std::string(1, '\0').c_str()};
    scantest::TempFolder folder;
    std::mt19937 random(1105);
    for (int round = 0; round < 1500; ++round)
    {
        Bytes text;
        int pieces = static_cast<int>(random() % 60);
        for (int i = 0; i < pieces; ++i)
        {
            size_t which = random() % 24;
            if (which == 23)
                text.push_back('\0');
            else
                text += kPieces[which];
        }
        if (!text.empty() && static_cast<unsigned char>(text[0]) < 0x80 && text.size() > 1 && text[1] == '\0')
            text[1] = 'x'; // keep the text 8-bit
        SeparatorKind kind = static_cast<SeparatorKind>(random() % 4);
        ExpectBothPathsAgree(folder, text, kind, random() % 4 == 0, random() % 3 == 0 ? 8 : 1000);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}
} // namespace

namespace {
TEST(CSVReaderPaths, LongRunsOfMixedUtf8DecodeAlike)
{
    // Fields of up to 120 bytes of valid characters of every length and malformed forms, so that
    // runs are decoded in many-byte steps and every cut between steps is met.
    static const char* const kChars[] = {"a",
                                         "Z",
                                         " ",
                                         "\xC3\xA9",
                                         "\xCE\xB1",
                                         "\xD0\x96",
                                         "\xDF\xBF",
                                         "\xE2\x82\xAC",
                                         "\xE6\x97\xA5",
                                         "\xEF\xBF\xBD",
                                         "\xE0\xA0\x80",
                                         "\xED\x9F\xBF",
                                         "\xEE\x80\x80",
                                         "\xF0\x9F\x98\x80",
                                         "\xF4\x8F\xBF\xBF",
                                         "\xE0\x80\x80",
                                         "\xED\xA0\x80",
                                         "\xC0\x80",
                                         "\xC1\xBF",
                                         "\x80",
                                         "\xBF",
                                         "\xE2\x82",
                                         "\xF0\x9F\x98",
                                         "\xF5\x80\x80\x80",
                                         "\xFF",
                                         "\xC2",
                                         "\xF0\x8F\xBF\xBF",
                                         "\xF4\x90\x80\x80",
                                         "\xF0\x90\x80\x80"};
    constexpr size_t kCount = sizeof(kChars) / sizeof(kChars[0]);
    scantest::TempFolder folder;
    std::mt19937 random(65001);
    for (int file = 0; file < 6; ++file)
    {
        Bytes text;
        for (int line = 0; line < 1500; ++line)
        {
            size_t target = random() % 121;
            // Mostly well-formed text; now and then a malformed piece.
            while (target > 0)
            {
                size_t which = random() % 8 == 0 ? random() % kCount : random() % 15;
                text += kChars[which];
                target = target > 3 ? target - 3 : 0;
            }
            text += (line % 3 == 0) ? "\r\n" : ";x\n";
        }
        ExpectBothPathsAgree(folder, text, SEPARATOR_SEMICOLON, false, 1000000);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}
} // namespace

namespace {
struct ReadStep
{
    bool ok;
    CSVRecord record;
    int64_t line;
    int64_t count;
    bool cut;
    ReadLinesStatus status;

    bool operator==(const ReadStep&) const = default;
};

void PrintTo(const ReadStep& step, std::ostream* out)
{
    *out << (step.ok ? "ok " : "false ") << ::testing::PrintToString(step.record) << " line " << step.line
         << " count " << step.count << (step.cut ? " cut" : "") << " status " << step.status;
}

// Every step of reading a file to its end, each record read fresh or into one reused record
// that starts out holding stale fields.
std::vector<ReadStep> ReadSteps(const std::string& file, SeparatorKind kind, bool bytes, bool join,
                                size_t cap, bool reuse)
{
    std::vector<ReadStep> steps;
    LCSVReader reader;
    LMemChunkBuffer none;
    if (!reader.Open(file.c_str(), none, nullptr))
        return steps;
    reader.SetSeparatorKind(kind);
    reader.SetByteParsing(bytes);
    reader.SetMaxRecordChars(cap);
    CSVRecord reused{{u"stale", true}, {std::u16string(40, u'x'), false}, {u"\"q\"", true}};
    for (int guard = 0; guard < 100000; ++guard)
    {
        CSVRecord fresh;
        CSVRecord& record = reuse ? reused : fresh;
        const bool ok = reuse ? reader.ReadRecordInto(record, join) : reader.ReadRecord(record, join);
        steps.push_back({ok, record, reader.GetCurrentLine(), reader.GetRecordCount(),
                         reader.WasLastRecordCut(), reader.GetLastReadStatus()});
        if (!ok)
            break;
    }
    return steps;
}

TEST(CSVReaderReuse, ReusedRecordGivesTheFreshRecordsFields)
{
    // Records of varying field counts, fields of varying lengths (inline and allocated texts),
    // quoted fields across lines, malformed UTF-8 and NULs.
    static const char* const kPieces[] = {
        "\"",
        "\"\"",
        ";",
        ";",
        ",",
        "\t",
        "\r\n",
        "\n",
        "\n",
        "a",
        "\xC3\xA9\xCE\xB1",
        "\xF0\x9F\x98\x80",
        "\xE0\x80\x80",
        "\xFF",
        "0123456789abcdef0123456789",
        "\xD0\x96\xD0\x96\xD0\x96\xD0\x96\xD0\x96\xD0\x96\xD0\x96\xD0\x96\xD0\x96"};
    constexpr size_t kCount = sizeof(kPieces) / sizeof(kPieces[0]);
    scantest::TempFolder folder;
    std::mt19937 random(4242);
    for (int round = 0; round < 400; ++round)
    {
        Bytes text;
        const int pieces = static_cast<int>(random() % 200);
        for (int i = 0; i < pieces; ++i)
        {
            const size_t which = random() % (kCount + 1);
            if (which == kCount)
                text += std::string(random() % 300, static_cast<char>('A' + random() % 26));
            else
                text += kPieces[which];
        }
        if (random() % 10 == 0)
            text.push_back('\0');
        const std::string file = folder.Write("reuse.csv", text);
        const SeparatorKind kind = static_cast<SeparatorKind>(random() % 3);
        const bool bytes = random() % 3 != 0;
        const bool join = random() % 4 == 0;
        const size_t cap = random() % 3 == 0 ? 50 : 1000000;
        const std::vector<ReadStep> fresh = ReadSteps(file, kind, bytes, join, cap, false);
        const std::vector<ReadStep> reused = ReadSteps(file, kind, bytes, join, cap, true);
        ASSERT_EQ(fresh, reused) << ::testing::PrintToString(text);
    }
}

TEST_F(CSVReaderTest, ACopyKeepsItsFieldsWhileTheRecordIsReadIntoAgain)
{
    // A copy shares the record's buffer (as a row box does); reading into either of them gives it a
    // buffer of its own.
    ASSERT_TRUE(OpenText("\"a\";bb;\"c\";;\nx;\"y\nz\"\nlast"));
    CSVRecord record;
    ASSERT_TRUE(reader.ReadRecordInto(record, false));
    const CSVRecord kept = record;
    EXPECT_EQ(kept.Text().data(), record.Text().data()) << "the copy shares the buffer";
    ASSERT_TRUE(reader.ReadRecordInto(record, false));
    EXPECT_EQ("[^a|bb|^c||]", Show(kept));
    EXPECT_EQ("[x|^y\\nz]", Show(record));
    CSVRecord other = record;
    ASSERT_TRUE(reader.ReadRecord(other, false)) << "appends to the copy";
    EXPECT_EQ("[x|^y\\nz|last]", Show(other));
    EXPECT_EQ("[x|^y\\nz]", Show(record));
    ASSERT_EQ(5u, kept.size());
    EXPECT_EQ(u"bb", kept[1].text);
    EXPECT_TRUE(kept[2].quoted);
    EXPECT_FALSE(kept[4].quoted);
}

TEST_F(CSVReaderTest, ReusedRecordShrinksAndGrowsWithTheFieldCount)
{
    const std::string longA(100, 'a');
    const std::string longB(30, 'b');
    ASSERT_TRUE(OpenText(longA + ";" + longA + ";" + longA + ";x\n" + "\"q\";b\n" + longB + ";" + longB +
                         ";;\"" + longB + "\n" + longB + "\";" + longA + "\nz"));
    CSVRecord record{{u"stale", true}};
    std::vector<std::string> seen;
    while (reader.ReadRecordInto(record, false))
        seen.push_back(Show(record));
    EXPECT_EQ((std::vector<std::string>{
                  "[" + longA + "|" + longA + "|" + longA + "|x]", "[^q|b]",
                  "[" + longB + "|" + longB + "||^" + longB + "\\n" + longB + "|" + longA + "]", "[z]"}),
              seen);
    // At the end of the file the record is emptied, as a fresh one would stay.
    EXPECT_TRUE(record.empty());
    EXPECT_EQ(4, reader.GetRecordCount());
}
} // namespace

namespace {
TEST(CSVReaderGenerated, EveryGeneratedRecordHasTenFields)
{
    // Files of the benchmark generator, of both kinds: quoted fields hold separators, escaped
    // quotation marks (also right before a separator and right before a line break) and line breaks.
    scantest::TempFolder folder;
    const std::tuple<char, bool, csvgen::GenKind> shapes[] = {
        {';', false, csvgen::GenKind::Synthetic},
        {',', true, csvgen::GenKind::Synthetic},
        {';', false, csvgen::GenKind::Export},
        {'\t', true, csvgen::GenKind::Export},
    };
    for (const auto& [separator, crlf, kind] : shapes)
    {
        csvgen::GenOptions options;
        options.size = 3 << 20;
        options.separator = separator;
        options.crlf = crlf;
        options.seed = 15;
        options.kind = kind;
        const std::string file = folder.path + "/gen.csv";
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        csvgen::GenResult written;
        ASSERT_TRUE(csvgen::WriteCsv(fd, options, written));
        close(fd);
        ASSERT_GT(written.records, 10000u);

        // The shapes that split records when an escaped quotation mark closed a field.
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string eol = crlf ? "\r\n" : "\n";
        EXPECT_NE(std::string::npos, text.find(std::string("\"\"") + separator + ' '));
        EXPECT_NE(std::string::npos, text.find("\"\"" + eol));

        for (bool bytes : {true, false})
        {
            SCOPED_TRACE(std::string("separator ") + separator + (bytes ? ", byte path" : ", decoded path"));
            LCSVReader reader;
            LMemChunkBuffer none;
            ASSERT_TRUE(reader.Open(file.c_str(), none, nullptr));
            reader.SetSeparatorKind(separator == ','    ? SEPARATOR_COMMA
                                    : separator == '\t' ? SEPARATOR_TAB
                                                        : SEPARATOR_SEMICOLON);
            reader.SetByteParsing(bytes);
            CSVRecord record;
            uint64_t records = 0;
            uint64_t wrong = 0;
            while (reader.ReadRecordInto(record, false))
            {
                ++records;
                if (records > written.records)
                {
                    // The empty line behind the final break.
                    EXPECT_TRUE(record.empty());
                    continue;
                }
                // Each data record starts with its number: a record split in two shows here too.
                const std::u16string id = records == 1 ? u"id" : Utf8ToUtf16(std::to_string(records - 1));
                if (record.size() != 10 || record[0].text != id)
                    ++wrong;
            }
            EXPECT_EQ(0u, wrong);
            EXPECT_EQ(written.records + 1, records);
            EXPECT_EQ(static_cast<int64_t>(written.lineBreaks + 1), reader.GetCurrentLine());
        }
    }
}
} // namespace
