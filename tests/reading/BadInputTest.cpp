// Bad input for the readers: missing, unreadable and changing files, binary data, endless lines,
// unclosed quotes and the wrong encoding. Each ends in a documented status, never a crash or hang.
#include "CSVReader.h"
#include "MemChunkBuffer.h"
#include "ScanTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using scantest::Bytes;

namespace
{
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

TEST_F(BadInputTest, DirectoryReadsNothing)
{
    ASSERT_TRUE(Open(folder.path));
    CSVRecord record;
    EXPECT_FALSE(reader.ReadRecord(record, false));
    EXPECT_EQ(READLINES_NO_INDEX, reader.GetLastReadStatus());
    EXPECT_EQ("Is a directory", reader.GetTextFile().GetLastError());
}

// Opens an unreadable file and tells whether the reader reported it as such.
bool UnreadableFileIsReported(const std::string& file)
{
    LCSVReader unreadable;
    LMemChunkBuffer none;
    if (!unreadable.Open(file.c_str(), none, nullptr))
        return false;
    CSVRecord record;
    return !unreadable.ReadRecord(record, false) &&
           unreadable.GetLastReadStatus() == READLINES_NO_INDEX &&
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

TEST_F(BadInputTest, FileTruncatedAfterIndexingIsAReadError)
{
    Bytes text;
    for (int i = 0; i < 30000; ++i)
        text += "record;" + std::to_string(i) + "\n";
    std::string file = folder.Write("shrinking.csv", text);
    ASSERT_TRUE(Open(file));
    EXPECT_EQ(10001, Drain(10001));  // the whole first window
    ASSERT_EQ(0, truncate(file.c_str(), static_cast<off_t>(text.size() / 2)));
    CSVRecord record;
    EXPECT_FALSE(reader.ReadRecord(record, false));
    EXPECT_EQ(READLINES_READ_ERROR, reader.GetLastReadStatus());
    EXPECT_FALSE(reader.GetTextFile().GetLastError().empty());

    std::vector<LineEntry> lines;
    ReadLinesStatus status = READLINES_OK;
    EXPECT_FALSE(reader.GetTextFile().ReadLines(0, 5, lines, status, nullptr));
    EXPECT_EQ(READLINES_READ_ERROR, status);
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
            for (const CSVField& field : record)
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
    EXPECT_EQ(202, records);  // 201 lines and the empty one behind the last break
    ASSERT_EQ(2u, longRecord.size());
    EXPECT_EQ(u"long", longRecord[0].text);
    EXPECT_EQ(LTextFileReader::kMaxLineBytes - 5, longRecord[1].text.size());
    ASSERT_EQ(2u, last.size());
    EXPECT_EQ(u"after", last[0].text);
    EXPECT_EQ(u"99", last[1].text);
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
    EXPECT_GE(cutLength, 999u);  // the cap counts the opening quote, which is stripped
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

TEST_F(BadInputTest, QuoteOpenAtTheEndOfTheFileGivesFalse)
{
    ASSERT_TRUE(Open(folder.Write("tail.csv", "a;b\nc;\"d\ne;f")));
    EXPECT_EQ(1, Drain());
    EXPECT_EQ(1, reader.GetRecordCount());
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
    EXPECT_EQ(1001, Drain() + 1);  // 1000 lines and the empty one, all read
}
}
