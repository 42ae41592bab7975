// The CSV that `csvq-bench gen` writes: deterministic records of ten fields (numbers, words of
// several scripts, quoted fields holding separators, escaped quotation marks and line breaks), so
// that the benchmarks and the tests read the same kind of file.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BenchRegistry.h"

namespace csvgen {
// Words without separators, quotes or line breaks, so that they need no quoting.
inline constexpr std::string_view kLatin[] = {
    "alpha",  "Bravo",  "charlie",  "delta",  "echo",     "foxtrot", "golf",   "hotel",  "india",
    "juliet", "kilo",   "lima",     "Mike",   "november", "oscar",   "papa",   "quebec", "romeo",
    "café",   "naïve",  "Zürich",   "straße", "smørbrød", "Łódź",    "garçon", "señor",  "Ærø",
    "crème",  "brûlée", "Ångström", "façade", "jalapeño", "Dvořák",  "Kraków", "über",   "élan",
};
inline constexpr std::string_view kGreek[] = {
    "άλφα", "βήτα",    "γάμμα", "δέλτα", "Ελλάδα", "θάλασσα",
    "ψυχή", "ωκεανός", "Αθήνα", "λόγος", "φως",    "χρόνος",
};
inline constexpr std::string_view kCyrillic[] = {
    "Москва", "данные", "строка", "файл",    "привет", "жизнь",
    "щука",   "ёлка",   "Київ",   "Београд", "мир",    "слово",
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
    explicit OutputBuffer(int fd)
        : fd(fd)
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
    // hh:mm:ss of a second of the day.
    void PutTimeOfDay(uint32_t seconds)
    {
        PutNumber(seconds / 3600, 2);
        Put(':');
        PutNumber(seconds / 60 % 60, 2);
        Put(':');
        PutNumber(seconds % 60, 2);
    }
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

// The two kinds of file: `Synthetic` is the fixed record of ten typed columns above;
// `Export` looks like a spreadsheet or database export (see ExportWriter).
enum class GenKind
{
    Synthetic,
    Export,
};

struct GenOptions
{
    std::string out;
    long long size = -1;
    char separator = ';';
    std::string separatorName = "semicolon";
    bool crlf = false;
    uint64_t seed = 1;
    GenKind kind = GenKind::Synthetic;
    // Export files only: the share in percent of non-ASCII bytes in the file, of the text fields
    // written between quotes and of the records that span several lines.
    int nonAsciiPercent = 18;
    int quotedPercent = 35;
    int multilinePercent = 6;
};

class RecordWriter
{
public:
    RecordWriter(OutputBuffer& out, const GenOptions& options)
        : out(out)
        , sep(options.separator)
        , eol(options.crlf ? "\r\n" : "\n")
        , random{options.seed}
    {}

    // Returns the bytes the record took.
    size_t Header()
    {
        const size_t before = out.Used();
        out.Put("id");
        const char* names[] = {"count", "amount", "name", "greek", "cyrillic",
                               "cjk",   "quoted", "date", "note"};
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
        out.PutTimeOfDay(random.Below(86400));
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
    void Word(const std::string_view* list, size_t count)
    {
        out.Put(list[random.Below(static_cast<uint32_t>(count))]);
    }
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
    uint64_t records = 0; // the header included
    uint64_t lineBreaks = 0;
    int error = 0; // errno of a failed write, 0 when all went well
    // Export files only (0 otherwise): non-ASCII bytes, fields, fields between quotes and
    // records that span several lines, the header not counted.
    uint64_t nonAsciiBytes = 0;
    uint64_t fields = 0;
    uint64_t quotedFields = 0;
    uint64_t multilineRecords = 0;
};

// Plain ASCII words, and words of other scripts (UTF-8 of two or three bytes a character).
inline constexpr std::string_view kAsciiWords[] = {
    "order",   "invoice",  "delivery", "customer", "account", "payment",  "refund",  "north",    "south",
    "east",    "west",     "central",  "premium",  "basic",   "standard", "express", "returned", "damaged",
    "Smith",   "Johnson",  "Miller",   "Brown",    "Garcia",  "Wilson",   "Taylor",  "Anderson", "Thomas",
    "Berlin",  "London",   "Madrid",   "Chicago",  "Toronto", "Sydney",   "Lagos",   "Lima",     "Oslo",
    "the",     "and",      "with",     "for",      "from",    "package",  "item",    "box",      "note",
    "checked", "approved", "pending",  "call",     "back",    "please",   "urgent",  "later",    "OK",
};
inline constexpr std::string_view kForeignWords[] = {
    // Latin with diacritics
    "café",
    "naïve",
    "Zürich",
    "straße",
    "smørbrød",
    "Łódź",
    "garçon",
    "señor",
    "Ærø",
    "crème",
    "brûlée",
    "Ångström",
    "façade",
    "jalapeño",
    "Dvořák",
    "Kraków",
    "über",
    "élan",
    "Göteborg",
    "São",
    "Müller",
    "Ørsted",
    "Škoda",
    "Çelik",
    "Niño",
    "Besançon",
    "Hải",
    "Đà Nẵng",
    // Greek
    "άλφα",
    "βήτα",
    "γάμμα",
    "δέλτα",
    "Ελλάδα",
    "θάλασσα",
    "ψυχή",
    "ωκεανός",
    "Αθήνα",
    "λόγος",
    "φως",
    "χρόνος",
    "παραγγελία",
    "πελάτης",
    // Cyrillic
    "Москва",
    "данные",
    "строка",
    "файл",
    "привет",
    "жизнь",
    "щука",
    "ёлка",
    "Київ",
    "Београд",
    "мир",
    "слово",
    "заказ",
    "доставка",
    "Новосибирск",
    "оплата",
    // CJK and kana, hangul
    "数据",
    "文件",
    "東京",
    "表格",
    "漢字",
    "日本語",
    "中文",
    "北京",
    "大阪",
    "上海",
    "한국어",
    "さくら",
    "注文",
    "配送",
    "顧客",
    "서울",
    "発送済み",
    "确认",
};
inline constexpr std::string_view kEmoji[] = {"😀", "🚀", "🎉", "🍣", "👍", "📦", "✅", "🔥"};
inline constexpr std::string_view kStatus[] = {"open",    "closed",    "pending",
                                               "shipped", "cancelled", "on hold"};

// Export files: ten fields under a header: id, customer, amount, quantity, date, timestamp,
// city, description, note, status. Numbers carry thousands separators, some fields are empty,
// text fields are quoted or not, quoted descriptions hold separators, doubled quotation marks
// and (in the share of multi-line records) line breaks, and the words are chosen so that the
// file holds the share of non-ASCII bytes asked for.
class ExportWriter
{
public:
    ExportWriter(OutputBuffer& out, const GenOptions& options)
        : out(out)
        , options(options)
        , sep(options.separator)
        , eol(options.crlf ? "\r\n" : "\n")
        , random{options.seed ^ 0x6578706F7274ULL}
    {}

    size_t Header()
    {
        const size_t before = out.Used();
        const char* names[] = {"id",        "customer", "amount",      "quantity", "date",
                               "timestamp", "city",     "description", "note",     "status"};
        for (size_t i = 0; i < CountOf(names); ++i)
        {
            if (i > 0)
                out.Put(sep);
            out.Put(names[i]);
        }
        EndLine();
        const size_t bytes = out.Used() - before;
        written += bytes;
        return bytes;
    }

    size_t Record(uint64_t number)
    {
        const size_t before = out.Used();
        fields += 10;
        // id
        out.PutNumber(number);
        out.Put(sep);
        // customer: one to three words
        TextField(1 + random.Below(3));
        out.Put(sep);
        // amount: thousands separators and two decimals, now and then negative
        const bool needsQuotes = sep == ',';
        Open(needsQuotes);
        if (random.Below(20) == 0)
            out.Put('-');
        Grouped(random.Below(50000000) / (1 + random.Below(100)));
        out.Put('.');
        out.PutNumber(random.Below(100), 2);
        Close(needsQuotes);
        out.Put(sep);
        // quantity: empty in one record of twelve
        if (random.Below(12) != 0)
        {
            Open(needsQuotes);
            Grouped(random.Below(3) == 0 ? random.Below(100000) : random.Below(100));
            Close(needsQuotes);
        }
        out.Put(sep);
        // date and timestamp
        const uint32_t year = 2015 + random.Below(11), month = 1 + random.Below(12),
                       day = 1 + random.Below(28);
        Date(year, month, day);
        out.Put(sep);
        Date(year, month, day);
        out.Put(random.Below(2) == 0 ? 'T' : ' ');
        out.PutTimeOfDay(random.Below(86400));
        out.Put(sep);
        // city: one word, empty in one record of twenty
        if (random.Below(20) != 0)
            TextField(1);
        out.Put(sep);
        // description
        Description();
        out.Put(sep);
        // note: empty in half of the records, else a reference or a word
        const uint32_t note = random.Below(4);
        if (note == 1)
        {
            out.Put("REF-");
            out.PutNumber(random.Below(1000000), 6);
        }
        else if (note == 2)
        {
            TextField(1);
        }
        out.Put(sep);
        // status: empty in one record of ten
        if (random.Below(10) != 0)
        {
            const bool quoted = Chance(options.quotedPercent);
            Open(quoted);
            out.Put(kStatus[random.Below(CountOf(kStatus))]);
            Close(quoted);
        }
        EndLine();
        const size_t bytes = out.Used() - before;
        written += bytes;
        return bytes;
    }

    uint64_t LineBreaks() const { return lineBreaks; }
    void Totals(GenResult& result) const
    {
        result.nonAsciiBytes = nonAscii;
        result.fields = fields;
        result.quotedFields = quotedFields;
        result.multilineRecords = multiline;
    }

private:
    static size_t NonAsciiBytes(std::string_view text)
    {
        size_t n = 0;
        for (const char c : text)
            n += static_cast<unsigned char>(c) >= 0x80;
        return n;
    }
    bool Chance(int percent) { return static_cast<int>(random.Below(100)) < percent; }
    void Open(bool quoted)
    {
        if (quoted)
        {
            out.Put('"');
            ++quotedFields;
        }
    }
    void Close(bool quoted)
    {
        if (quoted)
            out.Put('"');
    }
    // A word: non-ASCII mostly while the file is below the share asked for, seldom above it.
    void Word()
    {
        const uint64_t share = static_cast<uint64_t>(options.nonAsciiPercent);
        const bool below = nonAscii * 100 < share * (written + 1);
        const bool foreign = share > 0 && random.Below(8) < (below ? 7u : 1u);
        const std::string_view word = foreign ? kForeignWords[random.Below(CountOf(kForeignWords))]
                                              : kAsciiWords[random.Below(CountOf(kAsciiWords))];
        out.Put(word);
        nonAscii += NonAsciiBytes(word);
    }
    void Words(uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i)
        {
            if (i > 0)
                out.Put(' ');
            Word();
        }
    }
    void TextField(uint32_t words)
    {
        const bool quoted = Chance(options.quotedPercent);
        Open(quoted);
        Words(words);
        Close(quoted);
    }
    // 1234567 as 1,234,567.
    void Grouped(uint32_t value)
    {
        if (value >= 1000000)
        {
            out.PutNumber(value / 1000000);
            out.Put(',');
            out.PutNumber(value / 1000 % 1000, 3);
            out.Put(',');
            out.PutNumber(value % 1000, 3);
        }
        else if (value >= 1000)
        {
            out.PutNumber(value / 1000);
            out.Put(',');
            out.PutNumber(value % 1000, 3);
        }
        else
        {
            out.PutNumber(value);
        }
    }
    void Date(uint32_t year, uint32_t month, uint32_t day)
    {
        out.PutNumber(year);
        out.Put('-');
        out.PutNumber(month, 2);
        out.Put('-');
        out.PutNumber(day, 2);
    }
    // Two to eight words; between quotes it may hold separators, doubled quotation marks (also
    // as its last characters) and, in a multi-line record, line breaks; some carry an emoji.
    void Description()
    {
        const bool lines = Chance(options.multilinePercent);
        const bool quoted = lines || Chance(options.quotedPercent);
        Open(quoted);
        const uint32_t words = 2 + random.Below(7);
        const uint32_t breaks = lines ? 1 + random.Below(3) : 0;
        uint32_t breaksLeft = breaks;
        for (uint32_t i = 0; i < words; ++i)
        {
            if (i > 0)
            {
                if (breaksLeft > 0 && random.Below(words - i) < breaksLeft)
                {
                    out.Put(eol);
                    ++lineBreaks;
                    --breaksLeft;
                }
                else if (quoted && random.Below(6) == 0)
                {
                    out.Put(sep);
                    out.Put(' ');
                }
                else
                {
                    out.Put(' ');
                }
            }
            // (Not as the first word: a field that starts with three quotation marks is read as
            // one that is not quoted.)
            if (quoted && i > 0 && random.Below(12) == 0)
            {
                out.Put("\"\"");
                Word();
                out.Put("\"\"");
            }
            else
            {
                Word();
            }
        }
        while (breaksLeft > 0)
        {
            out.Put(eol);
            ++lineBreaks;
            --breaksLeft;
            Word();
        }
        if (random.Below(25) == 0)
        {
            const std::string_view emoji = kEmoji[random.Below(CountOf(kEmoji))];
            out.Put(' ');
            out.Put(emoji);
            nonAscii += NonAsciiBytes(emoji);
        }
        multiline += breaks > 0;
        Close(quoted);
    }
    void EndLine()
    {
        out.Put(eol);
        ++lineBreaks;
    }

    OutputBuffer& out;
    const GenOptions& options;
    char sep;
    std::string_view eol;
    BenchRandom random;
    uint64_t written = 0;
    uint64_t lineBreaks = 0;
    uint64_t nonAscii = 0;
    uint64_t fields = 0;
    uint64_t quotedFields = 0;
    uint64_t multiline = 0;
};

// The header, then records until the file holds options.size bytes or more.
template <typename Writer>
bool WriteRecords(OutputBuffer& out, Writer& writer, const GenOptions& options, GenResult& result)
{
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

// Writes whole records to fd: a header, then records until the file holds options.size bytes or
// more (nothing for size 0). False when a write failed.
inline bool WriteCsv(int fd, const GenOptions& options, GenResult& result)
{
    OutputBuffer out(fd);
    if (options.kind == GenKind::Export)
    {
        ExportWriter writer(out, options);
        const bool ok = WriteRecords(out, writer, options, result);
        writer.Totals(result);
        return ok;
    }
    RecordWriter writer(out, options);
    return WriteRecords(out, writer, options, result);
}
} // namespace csvgen
