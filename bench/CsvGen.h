// The CSV that `csvq-bench gen` writes: deterministic records of ten fields (numbers, words of
// several scripts, quoted fields holding separators, escaped quotation marks and line breaks), so
// that the benchmarks and the tests read the same kind of file.
#pragma once

#include "BenchRegistry.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace csvgen
{
// Words without separators, quotes or line breaks, so that they need no quoting.
inline constexpr std::string_view kLatin[] = {
    "alpha",  "Bravo",    "charlie", "delta",  "echo",     "foxtrot", "golf",    "hotel",   "india",
    "juliet", "kilo",     "lima",    "Mike",   "november", "oscar",   "papa",    "quebec",  "romeo",
    "café",   "naïve",    "Zürich",  "straße", "smørbrød", "Łódź",    "garçon",  "señor",   "Ærø",
    "crème",  "brûlée",   "Ångström", "façade", "jalapeño", "Dvořák",  "Kraków",  "über",    "élan",
};
inline constexpr std::string_view kGreek[] = {
    "άλφα", "βήτα", "γάμμα", "δέλτα", "Ελλάδα", "θάλασσα", "ψυχή", "ωκεανός", "Αθήνα", "λόγος", "φως", "χρόνος",
};
inline constexpr std::string_view kCyrillic[] = {
    "Москва", "данные", "строка", "файл", "привет", "жизнь", "щука", "ёлка", "Київ", "Београд", "мир", "слово",
};
inline constexpr std::string_view kCjk[] = {
    "数据", "文件", "東京", "表格", "漢字", "日本語", "中文", "北京", "大阪", "上海", "한국어", "さくら",
};
// Characters outside the basic plane: four bytes in UTF-8, a surrogate pair in UTF-16.
inline constexpr std::string_view kAstral[] = {
    "😀", "🚀", "𝄞", "𠀋", "🎉", "𝔘𝔫𝔦", "🍣", "𩸽",
};

template <typename T, size_t N>
constexpr size_t CountOf(const T (&)[N])
{
    return N;
}

// Records are built in one block while the previous block is written by a helper thread.
class OutputBuffer
{
public:
    explicit OutputBuffer(int fd) : fd(fd)
    {
        data.resize(kCapacity);
        spare.resize(kCapacity);
    }
    ~OutputBuffer() { Wait(); }

    void Put(std::string_view text)
    {
        std::memcpy(data.data() + used, text.data(), text.size());
        used += text.size();
    }
    void Put(char c) { data[used++] = c; }
    void PutNumber(uint64_t value, int minDigits = 1)
    {
        char digits[24];
        int n = 0;
        do
        {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 || n < minDigits);
        while (n > 0)
            data[used++] = digits[--n];
    }
    size_t Used() const { return used; }
    // Hands the block to the writer once a record of any size could no longer fit.
    bool FlushIfFull() { return used + kRecordRoom <= kCapacity || Flush(); }
    bool Flush()
    {
        if (!Wait())
            return false;
        data.swap(spare);
        const size_t size = used;
        used = 0;
        writer = std::thread([this, size] { WriteAll(spare.data(), size); });
        return true;
    }
    // Waits for the writer; false when a write failed (its errno in Error()).
    bool Wait()
    {
        if (writer.joinable())
            writer.join();
        return error == 0;
    }
    int Error() const { return error; }

private:
    void WriteAll(const char* bytes, size_t size)
    {
        size_t done = 0;
        while (done < size)
        {
            const ssize_t n = write(fd, bytes + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
            {
                error = n < 0 ? errno : EIO;
                return;
            }
            done += static_cast<size_t>(n);
        }
    }

    static constexpr size_t kCapacity = 8u << 20;
    static constexpr size_t kRecordRoom = 16u << 10;
    int fd;
    std::vector<char> data;
    std::vector<char> spare;
    size_t used = 0;
    std::thread writer;
    int error = 0;
};

struct GenOptions
{
    std::string out;
    long long size = -1;
    char separator = ';';
    std::string separatorName = "semicolon";
    bool crlf = false;
    uint64_t seed = 1;
};

class RecordWriter
{
public:
    RecordWriter(OutputBuffer& out, const GenOptions& options)
        : out(out), sep(options.separator), eol(options.crlf ? "\r\n" : "\n"), random{options.seed}
    {
    }

    // Returns the bytes the record took.
    size_t Header()
    {
        const size_t before = out.Used();
        out.Put("id");
        const char* names[] = {"count", "amount", "name", "greek", "cyrillic", "cjk", "quoted", "date", "note"};
        for (const char* name : names)
        {
            out.Put(sep);
            out.Put(name);
        }
        EndLine();
        return out.Used() - before;
    }

    size_t Record(uint64_t number)
    {
        const size_t before = out.Used();
        // 1: record number; 2: signed count; 3: amount with two decimals.
        out.PutNumber(number);
        out.Put(sep);
        const uint32_t count = random.Below(2000001);
        if (count < 1000000)
        {
            out.Put('-');
            out.PutNumber(1000000 - count);
        }
        else
        {
            out.PutNumber(count - 1000000);
        }
        out.Put(sep);
        const uint32_t cents = random.Below(100000000);
        out.PutNumber(cents / 100);
        out.Put('.');
        out.PutNumber(cents % 100, 2);
        out.Put(sep);
        // 4 to 7: Latin, Greek, Cyrillic, CJK with a character outside the basic plane.
        Words(kLatin, CountOf(kLatin), 1 + random.Below(3));
        out.Put(sep);
        Words(kGreek, CountOf(kGreek), 1 + random.Below(2));
        out.Put(sep);
        Words(kCyrillic, CountOf(kCyrillic), 1 + random.Below(2));
        out.Put(sep);
        out.Put(kCjk[random.Below(CountOf(kCjk))]);
        out.Put(kAstral[random.Below(CountOf(kAstral))]);
        out.Put(kCjk[random.Below(CountOf(kCjk))]);
        out.Put(sep);
        // 8: quoted text holding the separator, or escaped quotation marks (one in ten right
        // before the separator, as in "said ""yes""; then"), or plain.
        const uint32_t kind = random.Below(10);
        if (kind < 5)
        {
            out.Put('"');
            Word(kLatin, CountOf(kLatin));
            out.Put(sep);
            out.Put(' ');
            Word(kGreek, CountOf(kGreek));
            out.Put('"');
        }
        else if (kind < 6)
        {
            out.Put('"');
            Word(kLatin, CountOf(kLatin));
            out.Put(" \"\"");
            Word(kCyrillic, CountOf(kCyrillic));
            out.Put("\"\" ");
            Word(kLatin, CountOf(kLatin));
            out.Put(sep);
            out.Put('"');
        }
        else if (kind < 7)
        {
            out.Put('"');
            Word(kLatin, CountOf(kLatin));
            out.Put(" \"\"");
            Word(kCyrillic, CountOf(kCyrillic));
            out.Put("\"\"");
            out.Put(sep);
            out.Put(' ');
            Word(kGreek, CountOf(kGreek));
            out.Put('"');
        }
        else
        {
            Word(kLatin, CountOf(kLatin));
        }
        out.Put(sep);
        // 9: date and time.
        out.PutNumber(2000 + random.Below(26));
        out.Put('-');
        out.PutNumber(1 + random.Below(12), 2);
        out.Put('-');
        out.PutNumber(1 + random.Below(28), 2);
        out.Put(' ');
        const uint32_t seconds = random.Below(86400);
        out.PutNumber(seconds / 3600, 2);
        out.Put(':');
        out.PutNumber(seconds / 60 % 60, 2);
        out.Put(':');
        out.PutNumber(seconds % 60, 2);
        out.Put(sep);
        // 10: about 3 % of the records carry line breaks inside quotes; in half of them the
        // first line ends in an escaped quotation mark right before the break (a ""word"").
        if (random.Below(100) < 3)
        {
            out.Put('"');
            Words(kLatin, CountOf(kLatin), 2);
            const bool quotedWord = random.Below(2) == 0;
            const uint32_t breaks = 1 + random.Below(2);
            for (uint32_t i = 0; i < breaks; ++i)
            {
                if (i == 0 && quotedWord)
                {
                    out.Put(" \"\"");
                    Word(kGreek, CountOf(kGreek));
                    out.Put("\"\"");
                }
                out.Put(eol);
                ++lineBreaks;
                Word(kCyrillic, CountOf(kCyrillic));
                out.Put(' ');
                Word(kCjk, CountOf(kCjk));
            }
            out.Put('"');
        }
        else
        {
            Words(kLatin, CountOf(kLatin), 1 + random.Below(4));
        }
        EndLine();
        return out.Used() - before;
    }

    uint64_t LineBreaks() const { return lineBreaks; }

private:
    void Word(const std::string_view* list, size_t count) { out.Put(list[random.Below(static_cast<uint32_t>(count))]); }
    void Words(const std::string_view* list, size_t count, uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i)
        {
            if (i > 0)
                out.Put(' ');
            Word(list, count);
        }
    }
    void EndLine()
    {
        out.Put(eol);
        ++lineBreaks;
    }

    OutputBuffer& out;
    char sep;
    std::string_view eol;
    BenchRandom random;
    uint64_t lineBreaks = 0;
};

// What WriteCsv wrote.
struct GenResult
{
    uint64_t bytes = 0;
    uint64_t records = 0;  // the header included
    uint64_t lineBreaks = 0;
    int error = 0;         // errno of a failed write, 0 when all went well
};

// Writes whole records to fd: a header, then records until the file holds options.size bytes or
// more (nothing for size 0). False when a write failed.
inline bool WriteCsv(int fd, const GenOptions& options, GenResult& result)
{
    OutputBuffer out(fd);
    RecordWriter writer(out, options);
    const uint64_t target = static_cast<uint64_t>(options.size);
    bool ok = true;
    if (result.bytes < target)
    {
        result.bytes += writer.Header();
        ++result.records;
    }
    while (ok && result.bytes < target)
    {
        result.bytes += writer.Record(result.records);
        ++result.records;
        ok = out.FlushIfFull();
    }
    ok = ok && out.Flush() && out.Wait();
    result.error = out.Wait() ? 0 : out.Error();
    result.lineBreaks = writer.LineBreaks();
    return ok && result.error == 0;
}
}
