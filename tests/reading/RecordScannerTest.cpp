// The record scanner against the record reader: every record the scanner passes must end where
// ReadRecord ends it (the same next line, the same count), records over several lines must be
// told the same, and a record whose bytes hold the search pattern must never be passed.
#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "CSVReader.h"
#include "CodePageDecoder.h"
#include "CsvGen.h"
#include "EncodingTable.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"
#include "TextConvert.h"

using scantest::Bytes;

namespace {
struct Options
{
    SeparatorKind separator = SEPARATOR_SEMICOLON;
    int32_t codePage = 0; // 0: what the reader chose
    size_t maxRecordChars = LCSVReader::kMaxRecordChars;
};

void Configure(LCSVReader& reader, const std::string& path, const Options& options)
{
    LMemChunkBuffer none;
    ASSERT_TRUE(reader.Open(path.c_str(), none, nullptr));
    reader.SetSeparatorKind(options.separator);
    if (options.codePage > 0)
        reader.GetTextFile().SetCodePage(options.codePage);
    reader.SetMaxRecordChars(options.maxRecordChars);
}

// What ReadRecord gives, record by record: the line after each record, and the text of its fields.
struct Reference
{
    std::vector<int64_t> nextLine; // [r - 1]: the current line after record r
    std::vector<std::u16string> texts;
    int64_t endLine = 0; // the current line once ReadRecord has failed
};

Reference ReadReference(const std::string& path, const Options& options)
{
    Reference out;
    LCSVReader reader;
    reader.SetFastPaths(false);
    Configure(reader, path, options);
    CSVRecord record;
    while (reader.ReadRecordInto(record, false))
    {
        out.nextLine.push_back(reader.GetCurrentLine());
        std::u16string text;
        for (const CSVFieldView field : record)
            text += std::u16string(field.text) + u'\x1F';
        out.texts.push_back(text);
    }
    out.endLine = reader.GetCurrentLine();
    return out;
}

struct Recorder : RecordScanObserver
{
    void OnMultiLineRecord(int64_t record, int64_t firstLine, int64_t nextLine) override
    {
        told.push_back({record, firstLine, nextLine});
    }
    std::vector<std::array<int64_t, 3>> told;
};

// Scans in random steps, reading with ReadRecord wherever the scanner stops, and checks every
// position against the reference. Returns the records the scanner passed.
std::set<int64_t> CheckScanning(const std::string& path, const Options& options, const Reference& reference,
                                std::mt19937& random, const BytePattern* pattern = nullptr)
{
    std::set<int64_t> passed;
    LCSVReader reader;
    reader.SetFastPaths(true);
    Configure(reader, path, options);
    Recorder recorder;
    CSVRecord record;
    for (int guard = 0; guard < 1000000; ++guard)
    {
        const int64_t before = reader.GetRecordCount();
        const int64_t lineBefore = reader.GetCurrentLine();
        const int64_t ask = random() % 4 == 0 ? 1000000 : 1 + static_cast<int64_t>(random() % 7);
        int64_t advanced = -1;
        const ScanStop stop = reader.ScanRecords(ask, pattern, &recorder, advanced);
        EXPECT_EQ(reader.GetRecordCount(), before + advanced);
        EXPECT_LE(advanced, ask);
        if (advanced > 0)
        {
            if (static_cast<size_t>(reader.GetRecordCount()) > reference.nextLine.size())
            {
                ADD_FAILURE() << "the scan passed more records than the file holds";
                return passed;
            }
            EXPECT_EQ(reader.GetCurrentLine(),
                      reference.nextLine[static_cast<size_t>(reader.GetRecordCount() - 1)])
                << "after record " << reader.GetRecordCount();
            for (int64_t r = before + 1; r <= before + advanced; ++r)
                passed.insert(r);
        }
        else
        {
            EXPECT_EQ(reader.GetCurrentLine(), lineBefore);
        }
        if (stop == ScanStop::Done)
        {
            EXPECT_EQ(advanced, ask);
            continue;
        }
        // Where the scan stops, the reader reads on.
        if (!reader.ReadRecordInto(record, false))
            break;
        const size_t r = static_cast<size_t>(reader.GetRecordCount());
        if (r > reference.nextLine.size())
        {
            ADD_FAILURE() << "more records than the reference";
            return passed;
        }
        EXPECT_EQ(reader.GetCurrentLine(), reference.nextLine[r - 1]) << "after read record " << r;
        if (::testing::Test::HasFailure())
            return passed;
    }
    EXPECT_EQ(static_cast<size_t>(reader.GetRecordCount()), reference.nextLine.size());
    EXPECT_EQ(reader.GetCurrentLine(), reference.endLine);
    // Every record over several lines that the scanner passed was told, with its lines.
    std::vector<std::array<int64_t, 3>> expected;
    for (int64_t r : passed)
    {
        const int64_t first = r == 1 ? 0 : reference.nextLine[static_cast<size_t>(r - 2)];
        const int64_t next = reference.nextLine[static_cast<size_t>(r - 1)];
        if (next - first > 1)
            expected.push_back({r, first, next});
    }
    EXPECT_EQ(recorder.told, expected);
    return passed;
}

class RecordScannerTest : public ::testing::Test
{
protected:
    scantest::TempFolder folder;
};
} // namespace

// Shapes of quotes and line breaks, each as a small file, scanned in random steps.
TEST_F(RecordScannerTest, PassesRecordsWhereTheReaderEndsThemTable)
{
    struct Case
    {
        const char* name;
        Bytes bytes;
        Options options;
        bool scans; // the scanner must pass at least one record
    };
    const std::string nul(1, '\0');
    const std::vector<Case> cases = {
        {"plain", "a;b\nc;d\ne;f\n", {}, true},
        {"no final break", "a;b\nc;d\ne;f", {}, true},
        {"crlf and blank lines", "a;b\r\n\r\nc\r\n\r\n\r\nd\r\n", {}, true},
        {"lf cr pairs, cr cr", "a\n\rb\r\rc\n\nd\r\n\re\n", {}, true},
        {"quoted over lines", "x;\"a\nb\r\nc\";y\nz\n\"p\nq\"\nend\n", {}, true},
        {"doubled quotes inside", "\"a\"\"\";b\n\"x\"\"\ny\"\"\";z\n\"\"\"\"\nq\n", {}, true},
        {"escaped before separator and break",
         "\"he said \"\"yes\"\"; then\"\n\"w \"\"x\"\"\nmore\"\nk\n",
         {},
         true},
        {"quote inside a field", "ab\"c;d\"\ne\"\nf;\"g\"h\ni\"\nj\n", {}, true},
        {"two quotes at a field start", "\"\"a;b\n\"\"\"a\nb\"\nc\n", {}, true},
        {"quote opens at the end of a line", "a;\"\nb\";c\nd\n", {}, true},
        {"quote closes only before separator or break", "\"a\"b;c\nd\"\ne\n", {}, true},
        {"nul ends the text", "a;\"b" + nul + "\"c\nd\"\ne\n\"x" + nul + "\ny\"\nz\n", {}, true},
        {"quote before nul closes", "\"a\"" + nul + "b\nc\n", {}, true},
        {"nul at a field start", "a;" + nul + "\"\nb\n", {}, true},
        {"open quote to the end", "a\nb;\"c\nd\ne\n", {}, true},
        {"final empty line in quotes", "a\n\"b\n", {}, true},
        {"byte order mark", "\xEF\xBB\xBF\"a\";b\nc\nd\n", {}, true},
        {"comma separator",
         "\"a,b\",c\n\"d\ne\",f\ng\n",
         {SEPARATOR_COMMA, 0, LCSVReader::kMaxRecordChars},
         true},
        {"tab separator",
         "\"a\tb\"\tc\n\"d\"\"\te\"\tf\ng\n",
         {SEPARATOR_TAB, 0, LCSVReader::kMaxRecordChars},
         true},
        {"other separators are text", "\"a\",b\nc\"\nd\n", {}, true},
        {"invalid utf-8", "\xFF\"a\n\xC3\";\"\xE2\x82\n\"b\nc\n", {}, true},
        {"windows-1252",
         "\xE9;\"\x93q\x94\n\xA0\";x\ny\n",
         {SEPARATOR_SEMICOLON, 1252, LCSVReader::kMaxRecordChars},
         true},
        {"cap of an open quote",
         "\"aaaa\nbbbb\ncccc\ndddd\n\"\ne\nf\ng\n",
         {SEPARATOR_SEMICOLON, 0, 7},
         true},
        {"empty file", "", {}, false},
        {"one line", "a;b", {}, false},
        {"us-ascii folds bytes onto quotes",
         "a;\xA2x\nb\n",
         {SEPARATOR_SEMICOLON, 20127, LCSVReader::kMaxRecordChars},
         false},
        {"utf-16 little-endian",
         scantest::Utf16(u"\uFEFFa;\"b\nc\";\u0A22\r\n\"\"\"x\"\nd\ne\n", true),
         {},
         true},
        {"utf-16 big-endian",
         scantest::Utf16(u"\uFEFF\"a\u2200\"\";b\n\u220A\"\n\"q\u0022\u0000\"\nz\n", false),
         {},
         true},
        // 16-bit text of odd length: the stray last byte is the file's last line.
        {"utf-16 LF and a stray byte",
         Bytes("a\0;\0b\0\n\0c\0;\0d\0\n\0z", 17),
         {SEPARATOR_SEMICOLON, 1200, LCSVReader::kMaxRecordChars},
         true},
        {"utf-16 CR and a stray quote",
         Bytes("\r\0\"", 3),
         {SEPARATOR_SEMICOLON, 1200, LCSVReader::kMaxRecordChars},
         true},
        {"utf-16 read as utf-8",
         scantest::Utf16(u"\uFEFFa;b\nc\nd\n", true),
         {SEPARATOR_SEMICOLON, 65001, LCSVReader::kMaxRecordChars},
         false},
        // Shift-JIS: a lead byte takes the byte after it, whatever it is.
        {"shift-jis lead before a quote",
         "\x81\";a\nb\n\"c\x82\"\nd\"\ne\n",
         {SEPARATOR_SEMICOLON, 932, LCSVReader::kMaxRecordChars},
         true},
        {"shift-jis lead before a separator",
         "a;\x81;\"x\nb\"\nc\n\"\x81\n;y\"\nz\n",
         {SEPARATOR_SEMICOLON, 932, LCSVReader::kMaxRecordChars},
         true},
        {"shift-jis half-width and nul",
         "\xB1;\"\xDF\x81" + nul + "\"\nq\"\nw\n",
         {SEPARATOR_SEMICOLON, 932, LCSVReader::kMaxRecordChars},
         true},
        {"big5 pairs",
         "\xA4\"\xA4\x40;\"\xA4\x22\nb\"\nc\n",
         {SEPARATOR_SEMICOLON, 950, LCSVReader::kMaxRecordChars},
         true},
    };
    std::mt19937 random(3);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Write("case.csv", c.bytes);
        const Reference reference = ReadReference(path, c.options);
        for (int round = 0; round < 8; ++round)
        {
            const std::set<int64_t> passed = CheckScanning(path, c.options, reference, random);
            if (HasFailure())
                return;
            if (round == 0)
            {
                EXPECT_EQ(!passed.empty(), c.scans);
            }
        }
    }
}

// A line longer than the reader's line limit is read by the reader; the records around it are scanned.
TEST_F(RecordScannerTest, LongLinesAreLeftToTheReader)
{
    Bytes bytes = "a;b\nc\n\"";
    bytes += std::string(LTextFileReader::kMaxLineBytes + 10, 'x');
    bytes += "\";y\nd\n\"q\n" + std::string(LTextFileReader::kMaxLineBytes - 1, 'z') + "\n\"\ne\nf\n";
    const std::string path = folder.Write("long.csv", bytes);
    const Reference reference = ReadReference(path, {});
    std::mt19937 random(4);
    const std::set<int64_t> passed = CheckScanning(path, {}, reference, random);
    EXPECT_FALSE(passed.empty());
}

// Random files of every shape in several encodings, scanned in random steps.
TEST_F(RecordScannerTest, RandomFilesMatchTheReader)
{
    const std::vector<std::string> pieces = {
        "a",    "bc",   "\xC3\xA9", "\"",       "\"",   "\"\"", ";",    ";",
        ",",    "\t",   "\n",       "\n",       "\r\n", "\r",   "\n\r", std::string(1, '\0'),
        "\xFF", "\xA2", "\x93",     "\xE2\x82", "     "};
    const int32_t pages[] = {0, 65001, 1252, 28591, 1251, 20127, 932, 950};
    std::mt19937 random(7);
    int scanned = 0;
    for (int file = 0; file < 300; ++file)
    {
        Bytes bytes = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
        const int count = static_cast<int>(random() % 400);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % pieces.size()];
        Options options;
        options.separator = static_cast<SeparatorKind>(random() % 3);
        options.codePage = pages[random() % std::size(pages)];
        if (random() % 6 == 0)
        {
            // The same shapes in 16-bit units, either byte order, read as UTF-16.
            const bool little = random() % 2 == 0;
            std::u16string text = u"\uFEFF";
            for (const char c : bytes)
                text += static_cast<char16_t>(static_cast<uint8_t>(c) | (random() % 8 == 0 ? 0x2200 : 0));
            bytes = scantest::Utf16(text, little);
            if (random() % 3 == 0)
                bytes += static_cast<char>(random() % 2 == 0 ? '"' : 'x'); // a stray last byte
            options.codePage = 0;
        }
        if (random() % 4 == 0)
            options.maxRecordChars = 1 + random() % 60;
        SCOPED_TRACE("file " + std::to_string(file));
        const std::string path = folder.Write("random.csv", bytes);
        const Reference reference = ReadReference(path, options);
        const std::set<int64_t> passed = CheckScanning(path, options, reference, random);
        scanned += !passed.empty();
        if (HasFailure())
            return;
    }
    EXPECT_GT(scanned, 150);
}

// A generated file of many segments: scanned whole, in big steps, as the document pages.
TEST_F(RecordScannerTest, GeneratedFileMatchesTheReader)
{
    const std::string path = folder.path + "/gen.csv";
    csvgen::GenOptions options;
    options.size = 3 << 20;
    csvgen::GenResult result;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const bool written = csvgen::WriteCsv(fd, options, result);
    ::close(fd);
    ASSERT_TRUE(written);
    const Reference reference = ReadReference(path, {});
    std::mt19937 random(8);
    const std::set<int64_t> passed = CheckScanning(path, {}, reference, random);
    EXPECT_GT(passed.size(), reference.nextLine.size() * 9 / 10);

    // The same text in UTF-16, both byte orders: many reads, units across their ends.
    std::ifstream in(path, std::ios::binary);
    const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string text = u"\uFEFF" + Utf8ToUtf16(utf8);
    for (const bool little : {true, false})
    {
        SCOPED_TRACE(little);
        const std::string wide = folder.Write("gen16.csv", scantest::Utf16(text, little));
        const Reference wideReference = ReadReference(wide, {});
        ASSERT_EQ(wideReference.nextLine, reference.nextLine);
        const std::set<int64_t> widePassed = CheckScanning(wide, {}, wideReference, random);
        EXPECT_GT(widePassed.size(), reference.nextLine.size() * 9 / 10);
    }
}

// With a pattern, no record whose text holds it is passed; records that do not are.
TEST_F(RecordScannerTest, RecordsHoldingThePatternAreNeverPassed)
{
    std::mt19937 random(9);
    const std::vector<std::string> pieces = {"a", "zq", "Zq", "ZQ",   "z",        "q",    "\"",
                                             ";", "\n", "\n", "\r\n", "\xC3\xA9", "z\nq", "\"z\"\"q\""};
    BytePattern pattern;
    pattern.bytes = {{'z', 'Z'}, {'q', 'Q'}};
    for (int file = 0; file < 150; ++file)
    {
        Bytes bytes;
        const int count = static_cast<int>(random() % 300);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % pieces.size()];
        SCOPED_TRACE("file " + std::to_string(file));
        const std::string path = folder.Write("pattern.csv", bytes);
        const Reference reference = ReadReference(path, {});
        const std::set<int64_t> passed = CheckScanning(path, {}, reference, random, &pattern);
        for (int64_t r : passed)
        {
            std::u16string text = reference.texts[static_cast<size_t>(r - 1)];
            for (char16_t& c : text)
                c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
            EXPECT_EQ(text.find(u"zq"), std::u16string::npos) << "record " << r;
        }
        if (HasFailure())
            return;
    }
}

// Which encodings can be scanned: decided from the decode tables, for the separator in use.
TEST(RecordScannerSupport, FollowsTheDecodeTables)
{
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_8BIT, 65001, u';'));
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_8BIT | TEXT_ENC_BOM, 65001, u'\t'));
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_16BIT | TEXT_ENC_LITTLE_ENDIAN, 1200, u';'));
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_16BIT | TEXT_ENC_BOM, 1200, u','));
    // 16-bit text decoded by another code page, or 8-bit text taken as 16-bit units: not on units.
    EXPECT_FALSE(LRecordScanner::Supports(TEXT_ENC_16BIT, 65001, u';'));
    EXPECT_FALSE(LRecordScanner::Supports(TEXT_ENC_8BIT, 1200, u';'));
    EXPECT_FALSE(LRecordScanner::Supports(TEXT_ENC_8BIT, 20127, u';'));
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_8BIT, 932, u';'));
    EXPECT_TRUE(LRecordScanner::Supports(TEXT_ENC_8BIT, 950, u'\t'));
    for (int32_t index = 4; index <= 21; ++index)
    {
        const int32_t page = GetEncodingCodePage(index);
        SCOPED_TRACE(page);
        // The answer must be what the table says: no byte but the ASCII ones decodes onto a
        // quotation mark, a separator, CR, LF or NUL.
        char16_t table[256];
        ASSERT_TRUE(GetSingleByteTable(page, table));
        for (char16_t separator : {u';', u',', u'\t'})
        {
            bool clean = true;
            for (unsigned b = 0; b < 256; ++b)
            {
                const char16_t c = table[b];
                const bool special = c == 0 || c == u'"' || c == separator || c == u'\r' || c == u'\n';
                if (special != (b == 0 || b == '"' || b == separator || b == '\r' || b == '\n') ||
                    (special && c != b))
                    clean = false;
            }
            EXPECT_EQ(LRecordScanner::Supports(TEXT_ENC_8BIT, page, separator), clean);
        }
    }
}
