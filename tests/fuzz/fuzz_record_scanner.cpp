// libFuzzer target: the record scanner against ReadRecord. The input's text is written to a
// scratch file and read twice: by a reader with the fast paths off (the reference: every record's
// fields and the line after it), and by a reader that passes records with ScanRecords in steps
// and reads with ReadRecordInto wherever the scan stops, as the document does. Every record the
// scan passes must end where the reference ends it, every record read after a stop must hold the
// reference's fields, records over several lines must be told with their lines, and with a byte
// pattern no record whose bytes hold it may be passed.
//
// The fuzz build makes the reading library's reads, windows, line limit and checkpoint interval
// tiny (ReadingSizes.h), so a few hundred bytes cross all of their boundaries. The document's
// segment size is not among them: the scan is asked for a few records at a time instead.
//
// Layout: byte 0 options (bits 0-1 separator, 3 standing for an unknown kind; bit 2 a record cap
// of a few characters; bit 3 a byte pattern follows; bit 4 jumps back to earlier records now and
// then, as paging does); byte 1 the encoding (0..22 an encoding index, others keep what the
// reader detected); byte 2 seeds the step sizes; with bit 3, byte 3 the pattern's length (1..3)
// and two bytes for each of its places; the rest is the text.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "CSVReader.h"
#include "EncodingTable.h"
#include "MemChunkBuffer.h"

namespace {
constexpr size_t kMaxText = 8192;

const std::string& ScratchPath()
{
    static const std::string path = [] {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/csvq-fuzz-scan-XXXXXX" : "/tmp/csvq-fuzz-scan-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        close(fd);
        return pattern;
    }();
    return path;
}

void WriteScratch(const uint8_t* bytes, size_t size)
{
    static const int fd = [] {
        const int opened = open(ScratchPath().c_str(), O_WRONLY | O_CLOEXEC);
        std::atexit([] { unlink(ScratchPath().c_str()); });
        return opened;
    }();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    if (size > 0 && pwrite(fd, bytes, size, 0) != static_cast<ssize_t>(size))
        std::abort();
}

[[noreturn]] void Disagree(const char* what, int64_t record)
{
    std::fprintf(stderr, "scanner and reader disagree: %s (record %lld)\n", what,
                 static_cast<long long>(record));
    std::abort();
}

struct Recorder : RecordScanObserver
{
    void OnMultiLineRecord(int64_t record, int64_t firstLine, int64_t nextLine) override
    {
        told.push_back({record, firstLine, nextLine});
    }
    std::vector<std::array<int64_t, 3>> told;
};

// Everything lives as long as the process: an input costs its reading only.
struct State
{
    LCSVReader reference;
    LCSVReader scanning;
    LMemChunkBuffer none;
    CSVRecord record;
    std::vector<int64_t> nextLine; // [r - 1]: the line after record r
    std::vector<CSVRecord> records;
    std::vector<uint64_t> lineStarts; // byte offset of each physical line, and the text's end
    Recorder recorder;
};

State& Shared()
{
    static State* state = new State; // never freed: no destruction order at exit
    return *state;
}

void Configure(LCSVReader& reader, SeparatorKind kind, int32_t codePage, bool lowCap)
{
    if (!reader.Open(ScratchPath().c_str(), Shared().none, nullptr))
        std::abort();
    reader.SetSeparatorKind(kind);
    if (codePage > 0)
        reader.GetTextFile().SetCodePage(codePage);
    reader.SetMaxRecordChars(lowCap ? 12 : LCSVReader::kMaxRecordChars);
}

// Where each physical line of 8-bit text starts, line breaks paired as the index pairs them.
void FindLineStarts(const uint8_t* text, size_t size, uint64_t first, std::vector<uint64_t>& starts)
{
    starts.clear();
    starts.push_back(first);
    for (size_t i = first; i < size; ++i)
    {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        if (i + 1 < size && text[i + 1] == (text[i] == '\r' ? '\n' : '\r'))
            ++i;
        starts.push_back(i + 1);
    }
    starts.push_back(size);
}

bool PatternAt(const BytePattern& pattern, const uint8_t* text, size_t size, uint64_t from, uint64_t to)
{
    for (uint64_t at = from; at < to && at + pattern.bytes.size() <= size; ++at)
    {
        if (pattern.MatchesAt(text + at))
            return true;
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    State& s = Shared();
    const uint8_t options = data[0];
    const SeparatorKind kind = static_cast<SeparatorKind>((options & 3) == 3 ? 7 : options & 3);
    const bool lowCap = (options & 0x04) != 0;
    const bool jumps = (options & 0x10) != 0;
    const int32_t codePage = data[1] < kEncodingCount ? GetEncodingCodePage(data[1]) : 0;
    uint32_t steps = data[2] * 2654435761u + 1;
    size_t at = 3;
    BytePattern pattern;
    if (options & 0x08)
    {
        if (size < at + 1)
            return 0;
        const size_t length = 1 + data[at++] % 3;
        if (size < at + 2 * length)
            return 0;
        for (size_t k = 0; k < length; ++k, at += 2)
        {
            // A search pattern never holds a line break: records end there.
            for (size_t b = 0; b < 2; ++b)
                if (data[at + b] == '\r' || data[at + b] == '\n')
                    return 0;
            pattern.bytes.push_back({data[at], data[at + 1]});
        }
    }
    const uint8_t* text = data + at;
    const size_t textSize = size - at;
    if (textSize > kMaxText)
        return 0;
    WriteScratch(text, textSize);

    // The reference: the reader alone.
    s.reference.SetFastPaths(false);
    Configure(s.reference, kind, codePage, lowCap);
    s.nextLine.clear();
    size_t count = 0;
    const int64_t lines = s.reference.GetTextFile().GetLineCount();
    for (;;)
    {
        if (s.records.size() <= count)
            s.records.emplace_back();
        if (!s.reference.ReadRecordInto(s.records[count], false))
            break;
        s.nextLine.push_back(s.reference.GetCurrentLine());
        if (static_cast<int64_t>(++count) > lines + 1)
            Disagree("more records than lines", static_cast<int64_t>(count));
    }
    const int64_t endLine = s.reference.GetCurrentLine();
    const ReadLinesStatus endStatus = s.reference.GetLastReadStatus();

    // The scanner where it can, the reader where it stops.
    s.scanning.SetFastPaths(true);
    Configure(s.scanning, kind, codePage, lowCap);
    if (!s.scanning.CanScanRecords())
        return 0;
    const BytePattern* searched = pattern.Empty() ? nullptr : &pattern;
    const LTextFileReader& file = s.scanning.PeekTextFile();
    const bool byteText = !(file.GetEncodingFlags() & TEXT_ENC_16BIT);
    if (searched && byteText)
    {
        // The reference's index: it is built (the scanning reader builds its own only on the
        // first scan), and its first line starts behind a byte order mark.
        const IndexList& built = s.reference.PeekTextFile().GetIndex();
        const uint64_t first = built.empty() ? 0 : built.front().byteOffset;
        FindLineStarts(text, textSize, first, s.lineStarts);
    }
    s.recorder.told.clear();
    std::vector<bool> passed(count + 1, false);
    // Each turn passes or reads a record, but for the (at most three) jumps back.
    int jumpsLeft = jumps ? 3 : 0;
    for (size_t guard = 0; guard < 8 * (count + 2); ++guard)
    {
        steps = steps * 1103515245u + 12345u;
        const int64_t before = s.scanning.GetRecordCount();
        const int64_t lineBefore = s.scanning.GetCurrentLine();
        if (jumpsLeft > 0 && before > 0 && (steps >> 28) == 0)
        {
            --jumpsLeft;
            // Back to the start of an earlier record, as the document does when it pages back.
            const int64_t r = static_cast<int64_t>((steps >> 8) % static_cast<uint32_t>(before));
            s.scanning.SetPosition(r == 0 ? 0 : s.nextLine[static_cast<size_t>(r - 1)], r);
            continue;
        }
        // The document asks for a segment's records at a time (5,000, in the fuzz build too):
        // asks of one to six records stand in for its segments, so that a segment's end falls on
        // every kind of record and at every read boundary; now and then all that is left in one go.
        const int64_t ask =
            (steps >> 24) % 5 == 0 ? INT64_MAX / 2 : 1 + static_cast<int64_t>((steps >> 16) % 6);
        int64_t advanced = -1;
        const ScanStop stop = s.scanning.ScanRecords(ask, searched, &s.recorder, advanced);
        if (advanced < 0 || advanced > ask || s.scanning.GetRecordCount() != before + advanced)
            Disagree("the count moved by another number than the records passed", before);
        if (advanced == 0 && s.scanning.GetCurrentLine() != lineBefore)
            Disagree("the line moved without a record passed", before);
        if (advanced > 0)
        {
            const int64_t after = s.scanning.GetRecordCount();
            if (after > static_cast<int64_t>(count))
                Disagree("the scan passed more records than the reader reads", after);
            if (s.scanning.GetCurrentLine() != s.nextLine[static_cast<size_t>(after - 1)])
                Disagree("a passed record ends on another line", after);
            for (int64_t r = before + 1; r <= after; ++r)
            {
                passed[static_cast<size_t>(r)] = true;
                if (searched && byteText)
                {
                    const size_t firstLine =
                        r == 1 ? 0 : static_cast<size_t>(s.nextLine[static_cast<size_t>(r - 2)]);
                    const size_t next = static_cast<size_t>(s.nextLine[static_cast<size_t>(r - 1)]);
                    if (next < s.lineStarts.size() &&
                        PatternAt(pattern, text, textSize, s.lineStarts[firstLine], s.lineStarts[next]))
                        Disagree("a record holding the pattern was passed", r);
                }
            }
        }
        if (stop == ScanStop::Done)
        {
            if (advanced != ask)
                Disagree("done before the records asked for", before);
            continue;
        }
        if (stop == ScanStop::Unavailable && advanced != 0)
            Disagree("unavailable after passing records", before);
        const bool read = s.scanning.ReadRecordInto(s.record, false);
        const int64_t r = s.scanning.GetRecordCount();
        if (!read)
        {
            if (r != static_cast<int64_t>(count) || s.scanning.GetCurrentLine() != endLine ||
                s.scanning.GetLastReadStatus() != endStatus)
                Disagree("the end is somewhere else", r);
            break;
        }
        if (r > static_cast<int64_t>(count))
            Disagree("more records than the reference", r);
        if (s.scanning.GetCurrentLine() != s.nextLine[static_cast<size_t>(r - 1)])
            Disagree("a record read after a stop ends on another line", r);
        if (s.record != s.records[static_cast<size_t>(r - 1)])
            Disagree("a record read after a stop holds other fields", r);
    }
    if (s.scanning.GetRecordCount() != static_cast<int64_t>(count))
        Disagree("the scan did not reach the end", s.scanning.GetRecordCount());
    // Every passed record over several lines was told once for each time it was passed.
    for (const std::array<int64_t, 3>& told : s.recorder.told)
    {
        const int64_t r = told[0];
        if (r < 1 || r > static_cast<int64_t>(count) || !passed[static_cast<size_t>(r)])
            Disagree("a record told that was not passed", r);
        const int64_t first = r == 1 ? 0 : s.nextLine[static_cast<size_t>(r - 2)];
        if (told[1] != first || told[2] != s.nextLine[static_cast<size_t>(r - 1)] || told[2] - told[1] < 2)
            Disagree("a record over several lines told with other lines", r);
    }
    if (!jumps)
    {
        size_t multi = 0;
        for (size_t r = 1; r <= count; ++r)
        {
            const int64_t first = r == 1 ? 0 : s.nextLine[r - 2];
            multi += passed[r] && s.nextLine[r - 1] - first > 1;
        }
        if (multi != s.recorder.told.size())
            Disagree("records over several lines passed untold", 0);
    }
    return 0;
}
