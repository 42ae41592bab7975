#include "DocumentTestSupport.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <tuple>
#include <unistd.h>

#include "CSVReader.h"
#include "MemChunkBuffer.h"
#include "TextConvert.h"

namespace documenttest {
std::string Narrow(std::u16string_view text)
{
    return Utf16ToUtf8(std::u16string(text));
}

std::u16string Widen(const std::string& text)
{
    return Utf8ToUtf16(text);
}

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    root = std::filesystem::temp_directory_path() /
           ("csvq-document-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(root, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root, ignored);
}

std::string TempDir::Path(const std::string& name) const
{
    return (root / name).string();
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const
{
    const std::string path = Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string MakeRecords(int64_t n, const FixtureOptions& options)
{
    const std::string lineBreak = options.crlf ? "\r\n" : "\n";
    std::string out;
    out.reserve(static_cast<size_t>(n) * 20);
    for (int64_t i = 1; i <= n; ++i)
    {
        const std::string number = std::to_string(i);
        if (options.multiLine.count(i))
            out += "r" + number + ";\"m" + number + lineBreak + "x" + lineBreak + "y\";v" + number;
        else
            out += "r" + number + ";" + std::to_string(i % 7) + ";v" + number;
        if (i < n || options.finalBreak)
            out += lineBreak;
    }
    return out;
}

std::string ToUtf16LeWithBom(const std::u16string& text)
{
    std::string out = "\xFF\xFE";
    for (char16_t unit : text)
    {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::vector<CSVRecord> ReadAllRecords(const std::string& path, int32_t separator, int32_t codePage)
{
    LCSVReader reader;
    LMemChunkBuffer noSource;
    std::vector<CSVRecord> records;
    if (!reader.Open(path.c_str(), noSource, nullptr))
        return records;
    reader.SetSeparatorKind(static_cast<SeparatorKind>(separator));
    if (codePage > 0)
        reader.GetTextFile().SetCodePage(codePage);
    for (;;)
    {
        CSVRecord record;
        if (!reader.ReadRecord(record, false))
            break;
        records.push_back(std::move(record));
    }
    return records;
}

std::u16string JoinRecord(const CSVRecord& record, char16_t separator)
{
    std::u16string text;
    for (const CSVFieldView field : record)
    {
        if (field.quoted)
            text += u"\"" + std::u16string(field.text) + u"\"";
        else
            text += field.text;
        text += separator;
    }
    while (!text.empty() && text.back() == separator)
        text.pop_back();
    return text;
}

void ExpectSameState(const RecordedDocument& fast, const RecordedDocument& plain,
                     const ViewRecorder& fastView, const ViewRecorder& plainView)
{
    const auto& a = fast.core.GetSegments();
    const auto& b = plain.core.GetSegments();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
    {
        ASSERT_EQ(a[i].FileBufferEndLine, b[i].FileBufferEndLine) << "segment " << i;
        ASSERT_EQ(a[i].CSVEndLine, b[i].CSVEndLine) << "segment " << i;
        ASSERT_EQ(a[i].unloaded, b[i].unloaded) << "segment " << i;
        ASSERT_EQ(a[i].rows, b[i].rows) << "segment " << i;
    }
    ASSERT_EQ(fast.core.GetLoadedSegmentCount(), plain.core.GetLoadedSegmentCount());
    ASSERT_EQ(fast.core.GetPeakLoadedSegmentCount(), plain.core.GetPeakLoadedSegmentCount());
    ASSERT_EQ(fast.log.lines, plain.log.lines);
    ASSERT_EQ(fast.notifier.infos, plain.notifier.infos);
    ASSERT_EQ(fast.rowDetails.finds, plain.rowDetails.finds);
    ASSERT_EQ(fastView.calls.size(), plainView.calls.size());
    for (size_t i = 0; i < fastView.calls.size(); ++i)
    {
        const ViewRecorder::Call& x = fastView.calls[i];
        const ViewRecorder::Call& y = plainView.calls[i];
        ASSERT_EQ(std::tie(x.kind, x.row, x.firstRow, x.estimate, x.rowCount),
                  std::tie(y.kind, y.row, y.firstRow, y.estimate, y.rowCount))
            << "view call " << i;
    }
    ASSERT_EQ(fastView.hasSelection, plainView.hasSelection);
    ASSERT_EQ(fastView.selectedRow, plainView.selectedRow);
}
size_t OffsetAfterLines(const std::string& bytes, int lines)
{
    size_t offset = 0;
    for (int line = 0; line < lines; ++line)
        offset = bytes.find('\n', offset) + 1;
    return offset;
}

DocumentPagedToItsEnd::DocumentPagedToItsEnd(int64_t records, const std::string& name)
    : bytes(MakeRecords(records))
    , path(dir.Write(name, bytes))
{
    doc.core.AddView(&view);
    int64_t firstRow = 0;
    int64_t estimate = 0;
    ready = doc.core.ReadCSVFile(path) && doc.core.GetSegment(records, true, firstRow, estimate) != nullptr;
}

} // namespace documenttest
