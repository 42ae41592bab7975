// Bad input for the readers: missing, unreadable and changing files, binary data, endless lines,
// unclosed quotes and the wrong encoding. Each ends in a documented status, never a crash or hang.
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CSVReader.h"
#include "LineIndex.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"

using scantest::Bytes;

namespace {
class BadInputTest : public ::testing::Test
{
protected:
    bool Open(const std::string& file)
    {
        LMemChunkBuffer none;
        return reader.Open(file.c_str(), none, nullptr);
    }

    // Reads until ReadRecord fails; returns the number of records.
    int64_t Drain(int64_t atMost = 10000000)
    {
        int64_t records = 0;
        CSVRecord record;
        while (records < atMost)
        {
            record.clear();
            if (!reader.ReadRecord(record, false))
                break;
            ++records;
        }
        return records;
    }

    scantest::TempFolder folder;
    LCSVReader reader;
};

TEST_F(BadInputTest, MissingPathOpensAndReadsNothing)
{
    ASSERT_TRUE(Open(folder.path + "/missing.csv"));
    CSVRecord record;
    EXPECT_FALSE(reader.ReadRecord(record, false));
    EXPECT_EQ(READLINES_NO_INDEX, reader.GetLastReadStatus());
    EXPECT_EQ("No such file or directory", reader.GetTextFile().GetLastError());
    EXPECT_EQ(0, reader.GetTextFile().GetLineCount());
}

// A socket bound to a path in the folder (closed when the test ends).
struct BoundSocket
{
    explicit BoundSocket(const std::string& path)
    {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~BoundSocket()
    {
        if (fd >= 0)
            close(fd);
    }
    int fd = -1;
    bool bound = false;
};

TEST_F(BadInputTest, WhatIsNotARegularFileIsRefusedAtOnce)
{
    // A FIFO without a writer would block open(2); /dev/zero never ends; a socket cannot be read;
    // a folder holds no text. Open fails with the reason, nothing is read, and the scan of such a
    // path fails the same way. Each open runs on a thread of its own so that a hang fails the
    // test instead of stopping it.
    const std::string fifo = folder.path + "/fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    BoundSocket socketFile(folder.path + "/socket");
    ASSERT_TRUE(socketFile.bound);
    struct Case
    {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {fifo, "Not a regular file"},
        {"/dev/zero", "Not a regular file"},
        {folder.path + "/socket", "Not a regular file"},
        {folder.path, "Is a directory"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        // Left to the thread (and leaked) should it hang.
        auto* shared = new LCSVReader;
        auto done = std::make_shared<std::promise<bool>>();
        std::future<bool> opened = done->get_future();
        std::thread([shared, done, path = c.path] {
            LMemChunkBuffer none;
            done->set_value(shared->Open(path.c_str(), none, nullptr));
        }).detach();
        ASSERT_EQ(std::future_status::ready, opened.wait_for(std::chrono::seconds(20))) << "Open hangs";
        std::unique_ptr<LCSVReader> refused(shared);
        EXPECT_FALSE(opened.get());
        EXPECT_EQ(c.reason, refused->GetTextFile().GetLastError());
        EXPECT_FALSE(refused->GetTextFile().IsOpen());
        CSVRecord record;
        EXPECT_FALSE(refused->ReadRecord(record, false));

        if (std::string(c.reason) != "Is a directory")
        {
            TextScanContext context;
            IndexList list;
            EXPECT_FALSE(BuildLineIndex(context, c.path.c_str(), nullptr, list, false, 1, false, IndexNode(),
                                        nullptr));
            EXPECT_EQ(c.reason, context.error);
            EXPECT_TRUE(list.empty());
        }
    }
}

// Opens an unreadable file and tells whether the reader reported it as such.
bool UnreadableFileIsReported(const std::string& file)
{
    LCSVReader unreadable;
    LMemChunkBuffer none;
    if (!unreadable.Open(file.c_str(), none, nullptr))
        return false;
    CSVRecord record;
    return !unreadable.ReadRecord(record, false) && unreadable.GetLastReadStatus() == READLINES_NO_INDEX &&
           unreadable.GetTextFile().GetLastError() == "Permission denied";
}

TEST_F(BadInputTest, FileWithoutReadPermissionReadsNothing)
{
    std::string file = folder.Write("secret.csv", "a;b\n");
    ASSERT_EQ(0, chmod(file.c_str(), 0));
    if (geteuid() != 0)
    {
        EXPECT_TRUE(UnreadableFileIsReported(file));
        return;
    }
    // Permissions do not stop root: check as the unprivileged user in a child process.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(UnreadableFileIsReported(file) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(BadInputTest, FileTruncatedAfterIndexingKeepsTheLinesStillInIt)
{
    // Records of 13 bytes: record;NNNNN LF. The file is cut inside line 14,999, right before
    // its line break, and right in front of it.
    Bytes text;
    for (int i = 0; i < 30000; ++i)
        text += "record;" + std::to_string(10000 + i) + "\n";
    for (const size_t cut : {size_t{14999 * 13 + 5}, size_t{14999 * 13 + 12}, size_t{14999 * 13}})
    {
        SCOPED_TRACE(cut);
        std::string file = folder.Write("shrinking.csv", text);
        for (bool bytes : {true, false})
        {
            ASSERT_TRUE(Open(file));
            reader.SetByteParsing(bytes);
            EXPECT_EQ(10001, Drain(10001)); // the whole first window
            ASSERT_EQ(0, truncate(file.c_str(), static_cast<off_t>(cut)));
            // The whole lines still in the file are read; a partly cut line is not a record.
            CSVRecord record;
            int64_t more = 0;
            CSVRecord last;
            while (reader.ReadRecord(record, false))
            {
                ++more;
                last.swap(record);
                record.clear();
            }
            EXPECT_EQ(14999 - 10001, more);
            ASSERT_EQ(2u, last.size());
            EXPECT_EQ(u"24998", last[1].text);
            EXPECT_EQ(READLINES_READ_ERROR, reader.GetLastReadStatus());
            EXPECT_EQ("The file has become shorter since it was indexed",
                      reader.GetTextFile().GetLastError());

            // Lines before the cut read as they were, from anywhere; lines behind it are gone.
            std::vector<LineEntry> lines;
            ReadLinesStatus status = READLINES_OK;
            ASSERT_TRUE(reader.GetTextFile().ReadLines(5, 6, lines, status, nullptr));
            ASSERT_EQ(2u, lines.size());
            EXPECT_EQ(u"record;10005\n", lines[0].text);
            ASSERT_TRUE(reader.GetTextFile().ReadLines(14990, 15005, lines, status, nullptr));
            EXPECT_EQ(9u, lines.size());
            EXPECT_FALSE(reader.GetTextFile().ReadLines(14999, 15005, lines, status, nullptr));
            EXPECT_EQ(READLINES_READ_ERROR, status);
            EXPECT_FALSE(reader.GetTextFile().ReadLines(25000, 25005, lines, status, nullptr));
            EXPECT_EQ(READLINES_READ_ERROR, status);
            reader.SetPosition(20, 20);
            reader.ResetCache();
            ASSERT_TRUE(reader.ReadRecord(record, false));
            EXPECT_EQ(u"10020", record[1].text);
            // Written back whole, the file reads to its end again.
            folder.Write("shrinking.csv", text);
            reader.SetPosition(29999, 29999);
            reader.ResetCache();
            record.clear();
            ASSERT_TRUE(reader.ReadRecord(record, false));
            EXPECT_EQ(u"39999", record[1].text);
        }
    }
}

TEST_F(BadInputTest, LinesAppendedAfterIndexingAreNotRead)
{
    // What the index covers is the text: lines appended while the file is open are not read,
    // not even into the empty last line behind the final break, until the file is opened again.
    Bytes text = "id;name\n";
    for (int i = 1; i <= 15000; ++i)
        text += std::to_string(i) + ";n" + std::to_string(i) + "\n";
    const std::string file = folder.Write("growing.csv", text);
    for (const bool fast : {false, true})
    {
        for (const bool bytes : {true, false})
        {
            SCOPED_TRACE(std::string(fast ? "fast " : "") + (bytes ? "bytes" : "decoded"));
            folder.Write("growing.csv", text);
            ASSERT_TRUE(Open(file));
            reader.SetByteParsing(bytes);
            reader.SetFastPaths(fast);
            ASSERT_EQ(15002, reader.GetTextFile().GetLineCount());
            EXPECT_EQ(9000, Drain(9000));
            {
                const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                ASSERT_GE(fd, 0);
                const std::string more = "15001;NEW1\n15002;NEW2\n15003;NEW3\n";
                ASSERT_EQ(static_cast<ssize_t>(more.size()), write(fd, more.data(), more.size()));
                close(fd);
            }
            // Read on, and read the end again from a new position (a new window).
            for (int pass = 0; pass < 2; ++pass)
            {
                if (pass == 1)
                {
                    reader.SetPosition(14990, 14990);
                    reader.ResetCache();
                    int64_t advanced = 0;
                    reader.ScanRecords(5, nullptr, nullptr, advanced);
                    EXPECT_EQ(fast ? 5 : 0, advanced);
                }
                std::vector<CSVRecord> records;
                CSVRecord record;
                while (reader.ReadRecordInto(record, false))
                    records.push_back(record);
                ASSERT_GE(records.size(), 2u);
                EXPECT_NE(READLINES_READ_ERROR, reader.GetLastReadStatus());
                EXPECT_EQ(15002, reader.GetRecordCount());
                EXPECT_EQ(15002, reader.GetCurrentLine());
                // The last record is the empty line behind the final break, as before the append.
                EXPECT_TRUE(records.back().empty());
                const CSVRecord& last = records[records.size() - 2];
                ASSERT_EQ(2u, last.size());
                EXPECT_EQ(u"n15000", last[1].text);
            }
            std::vector<LineEntry> lines;
            ReadLinesStatus status = READLINES_OK;
            ASSERT_TRUE(reader.GetTextFile().ReadLines(15000, 15010, lines, status, nullptr));
            ASSERT_EQ(2u, lines.size());
            EXPECT_EQ(u"15000;n15000\n", lines[0].text);
            EXPECT_EQ(u"", lines[1].text);

            // Opened again, the file shows them.
            ASSERT_TRUE(Open(file));
            EXPECT_EQ(15005, reader.GetTextFile().GetLineCount());
            reader.SetPosition(15002, 15001);
            CSVRecord record;
            ASSERT_TRUE(reader.ReadRecord(record, false));
            ASSERT_EQ(2u, record.size());
            EXPECT_EQ(u"NEW2", record[1].text);
        }
    }
}

TEST_F(BadInputTest, FileRemovedAfterIndexingIsAReadError)
{
    std::string file = folder.Write("gone.csv", "a\nb\nc\n");
    ASSERT_TRUE(Open(file));
    ASSERT_EQ(4, reader.GetTextFile().GetLineCount());
    ASSERT_EQ(0, unlink(file.c_str()));
    CSVRecord record;
    EXPECT_FALSE(reader.ReadRecord(record, false));
    EXPECT_EQ(READLINES_READ_ERROR, reader.GetLastReadStatus());
}

TEST_F(BadInputTest, BinaryDataWithNulBytesEnds)
{
    std::mt19937 random(42);
    Bytes bytes(300000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() % 7 == 0 ? 0 : random() & 0xFF);
    std::string file = folder.Write("binary.bin", bytes);
    struct stat before;
    ASSERT_EQ(0, stat(file.c_str(), &before));
    for (SeparatorKind kind : {SEPARATOR_SEMICOLON, SEPARATOR_COMMA, SEPARATOR_TAB})
    {
        ASSERT_TRUE(Open(file));
        reader.SetSeparatorKind(kind);
        int64_t lines = reader.GetTextFile().GetLineCount();
        int64_t records = Drain();
        EXPECT_GT(records, 0);
        EXPECT_LE(records, lines);
        // No field holds a NUL: each line's text ends at its first one.
        reader.SetPosition(0, 0);
        CSVRecord record;
        while (reader.ReadRecord(record, false))
        {
            for (const CSVFieldView field : record)
                ASSERT_EQ(std::u16string::npos, field.text.find(u'\0'));
            record.clear();
        }
    }
    // Reading never writes the file.
    struct stat after;
    ASSERT_EQ(0, stat(file.c_str(), &after));
    EXPECT_EQ(before.st_size, after.st_size);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST_F(BadInputTest, LongLineInTheMiddleIsCutAndTheRecordsAfterItRemain)
{
    Bytes text;
    for (int i = 0; i < 100; ++i)
        text += "before;" + std::to_string(i) + "\r\n";
    text += "long;" + Bytes(2500000, 'x') + "\r\n";
    for (int i = 0; i < 100; ++i)
        text += "after;" + std::to_string(i) + "\r\n";
    ASSERT_TRUE(Open(folder.Write("long.csv", text)));
    int64_t records = 0;
    CSVRecord record;
    CSVRecord longRecord;
    CSVRecord last;
    while (true)
    {
        record.clear();
        if (!reader.ReadRecord(record, false))
            break;
        ++records;
        if (records == 101)
            longRecord = record;
        if (!record.empty())
            last = record;
    }
    EXPECT_EQ(202, records); // 201 lines and the empty one behind the last break
    ASSERT_EQ(2u, longRecord.size());
    EXPECT_EQ(u"long", longRecord[0].text);
    EXPECT_EQ(LTextFileReader::kMaxLineBytes - 5, longRecord[1].text.size());
    ASSERT_EQ(2u, last.size());
    EXPECT_EQ(u"after", last[0].text);
    EXPECT_EQ(u"99", last[1].text);
}

TEST_F(BadInputTest, LinesReadCutAreToldWithTheirRecord)
{
    const Bytes longLine(2500000, 'x');
    const Bytes fullLine(LTextFileReader::kMaxLineBytes, 'y');
    struct Case
    {
        const char* name;
        Bytes file;
        std::vector<std::vector<int64_t>> cutLines; // per record
    };
    const Case cases[] = {
        {"in the middle", "first\n" + longLine + "\nafter\n", {{}, {1}, {}, {}}},
        {"two in a row", "l\r\n" + longLine + "\r\n" + longLine + "\r\nz", {{}, {1}, {2}, {}}},
        {"the last line", "a\n" + longLine, {{}, {1}}},
        {"a last line of the limit's length", "a\n" + fullLine, {{}, {}}},
        {"inside a quoted field", "\"q\n" + longLine + "\nz\";w\nend", {{1}, {}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string file = folder.Write("cut.csv", c.file);
        for (int mode = 0; mode < 3; ++mode)
        {
            // byte path, decoded path, memory copy
            LMemChunkBuffer source;
            if (mode == 2)
            {
                ASSERT_TRUE(source.Append(c.file.data(), static_cast<int32_t>(c.file.size())));
                ASSERT_TRUE(reader.Open(nullptr, source, nullptr));
            }
            else
            {
                ASSERT_TRUE(Open(file));
            }
            reader.SetByteParsing(mode == 0);
            std::vector<std::vector<int64_t>> told;
            CSVRecord record;
            while (reader.ReadRecordInto(record, false))
                told.push_back(reader.GetCutLinesOfLastRecord());
            EXPECT_EQ(c.cutLines, told) << "mode " << mode;
        }
    }
}

TEST_F(BadInputTest, UnclosedQuoteInTheThirdRecordEndsAtTheCap)
{
    Bytes text;
    for (int i = 1; i <= 50000; ++i)
        text += (i == 3 ? "\"open;" : "r;") + std::to_string(i) + "\n";
    ASSERT_TRUE(Open(folder.Write("quote.csv", text)));
    reader.SetMaxRecordChars(1000);
    std::vector<CSVRecord> records;
    CSVRecord record;
    bool thirdCut = false;
    while (true)
    {
        record.clear();
        if (!reader.ReadRecord(record, false))
            break;
        records.push_back(record);
        if (records.size() == 3)
            thirdCut = reader.WasLastRecordCut();
        else
            ASSERT_FALSE(reader.WasLastRecordCut());
    }
    ASSERT_GT(records.size(), 49000u);
    EXPECT_TRUE(thirdCut);
    ASSERT_EQ(1u, records[2].size());
    EXPECT_TRUE(records[2][0].quoted);
    const size_t cutLength = records[2][0].text.size();
    EXPECT_GE(cutLength, 999u); // the cap counts the opening quote, which is stripped
    EXPECT_LT(cutLength, 1100u);
    // The record after the cut starts on the next physical line, outside quotes.
    ASSERT_EQ(2u, records[3].size());
    EXPECT_EQ(u"r", records[3][0].text);
    EXPECT_FALSE(records[3][0].quoted);
    // The last line's record is there, then the empty line behind the final break.
    EXPECT_TRUE(records.back().empty());
    const CSVRecord& lastRecord = records[records.size() - 2];
    ASSERT_EQ(2u, lastRecord.size());
    EXPECT_EQ(u"50000", lastRecord[1].text);
    EXPECT_EQ(static_cast<int64_t>(records.size()), reader.GetRecordCount());
}

TEST_F(BadInputTest, QuoteOpenAtTheEndOfTheFileEndsTheLastRecord)
{
    // The unfinished record is delivered and counted, its open field holding the rest of the
    // file; the reader tells where the quote that stayed open began.
    struct Case
    {
        Bytes file;
        std::vector<CSVRecord> records;
        int64_t quoteLine; // of the last record
        int64_t lines;     // the current line at the end
    };
    const Case cases[] = {
        {"a;b\nc;\"d\ne;f", {{{u"a", false}, {u"b", false}}, {{u"c", false}, {u"d\ne;f", true}}}, 1, 3},
        // a quote opened at the end of the last line
        {"x\na;\"", {{{u"x", false}}, {{u"a", false}, {u"", true}}}, 1, 2},
        {"\"", {{{u"", true}}}, 0, 1},
        // behind the final line break: the empty last line belongs to the open record
        {"x\r\n\"y\r\nz\r\n", {{{u"x", false}}, {{u"y\nz", true}}}, 1, 4},
        // closed on line 1 and opened again there: the quote that stays open began on line 1
        {"\"a\nb\";\"c\nd", {{{u"a\nb", true}, {u"c\nd", true}}}, 1, 3},
        // an escaped quotation mark closes nothing, also at the very end
        {"k;\"v \"\"w\"\"", {{{u"k", false}, {u"v \"\"w", true}}}, 0, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(c.file));
        const std::string file = folder.Write("tail.csv", c.file);
        for (bool bytes : {true, false})
        {
            for (bool reuse : {false, true})
            {
                ASSERT_TRUE(Open(file));
                reader.SetByteParsing(bytes);
                std::vector<CSVRecord> records;
                CSVRecord reused{{u"stale", true}, {u"x", false}, {u"y", false}};
                for (int guard = 0; guard < 100; ++guard)
                {
                    CSVRecord fresh;
                    const bool ok =
                        reuse ? reader.ReadRecordInto(reused, false) : reader.ReadRecord(fresh, false);
                    if (!ok)
                        break;
                    records.push_back(reuse ? reused : fresh);
                    const bool last = reader.GetCurrentLine() == c.lines;
                    EXPECT_EQ(last, reader.WasLastRecordUnclosed());
                    EXPECT_EQ(last ? c.quoteLine : -1, reader.GetOpenQuoteLine());
                    EXPECT_FALSE(reader.WasLastRecordCut());
                }
                EXPECT_EQ(c.records, records);
                EXPECT_EQ(static_cast<int64_t>(c.records.size()), reader.GetRecordCount());
                EXPECT_EQ(c.lines, reader.GetCurrentLine());
                EXPECT_FALSE(reader.WasLastRecordUnclosed()); // the failed read after it
            }
        }
    }
}

TEST_F(BadInputTest, StrayQuoteKeepsTheRestOfTheFileInItsRecord)
{
    // One stray quotation mark in record 3 of 50,000: the rest of the file is record 3's last
    // field, within the record length cap.
    Bytes text;
    for (int i = 1; i <= 50000; ++i)
        text += (i == 3 ? "\"open;" : "r;") + std::to_string(i) + "\n";
    ASSERT_TRUE(Open(folder.Write("stray.csv", text)));
    std::vector<CSVRecord> records;
    std::vector<bool> unclosed;
    CSVRecord record;
    while (reader.ReadRecordInto(record, false))
    {
        records.push_back(record);
        unclosed.push_back(reader.WasLastRecordUnclosed());
    }
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ((std::vector<bool>{false, false, true}), unclosed);
    ASSERT_EQ(1u, records[2].size());
    const std::u16string rest(records[2][0].text);
    EXPECT_EQ(0u, rest.find(u"open;3\nr;4\n"));
    EXPECT_EQ(rest.size() - 8, rest.find(u"\nr;50000"));
    EXPECT_EQ(3, reader.GetRecordCount());
    EXPECT_EQ(50001, reader.GetCurrentLine());
}

TEST_F(BadInputTest, Utf16FileReadAsUtf8StopsEachLineAtItsFirstZero)
{
    std::u16string text = u"\uFEFF";
    for (int i = 0; i < 1000; ++i)
        text += u"ab;cd\r\n";
    ASSERT_TRUE(Open(folder.Write("wide.csv", scantest::Utf16(text, true))));
    ASSERT_EQ(1200, reader.GetTextFile().GetCodePage());
    reader.GetTextFile().SetCodePage(65001);
    CSVRecord record;
    ASSERT_TRUE(reader.ReadRecord(record, false));
    ASSERT_EQ(1u, record.size());
    EXPECT_EQ(u"a", record[0].text);
    EXPECT_EQ(1001, Drain() + 1); // 1000 lines and the empty one, all read
}
} // namespace
