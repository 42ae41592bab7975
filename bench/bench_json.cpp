// csvq-bench json-gen / json: a deterministic JSON document, and the JSON lexer and parser over
// it through the paged file stream with every event counted.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchRegistry.h"
#include "LJSONParserEvents.h"
#include "PagedFileStream.h"
#include "json_grammarLexer.h"
#include "json_grammarParser.h"

namespace {
const char* const kWords[] = {"alpha", "Bravo",        "café",      "Zürich",         "straße", "Москва",
                              "東京",  "数据",         "😀",         "naïve",          "echo",   "golf",
                              "delta", "line\\nbreak", "q\\\"uote", "\\u00e9t\\u00e9"};

// {"items":[{...},...],"count":N}: one item per line; N is the number of items, which the json
// command checks.
int RunGenerate(const std::vector<std::string>& args)
{
    if (args.size() < 2)
    {
        std::fprintf(stderr, "usage: csvq-bench json-gen OUT SIZE [--seed N]\n");
        return 2;
    }
    const long long size = BenchParseSize(args[1]);
    uint64_t seed = 1;
    for (size_t i = 2; i + 1 < args.size(); i += 2)
    {
        if (args[i] == "--seed")
            seed = std::strtoull(args[i + 1].c_str(), nullptr, 10);
    }
    if (size < 0)
    {
        std::fprintf(stderr, "csvq-bench json-gen: bad size %s\n", args[1].c_str());
        return 2;
    }
    FILE* out = std::fopen(args[0].c_str(), "wb");
    if (out == nullptr)
    {
        std::fprintf(stderr, "csvq-bench json-gen: cannot create %s: %s\n", args[0].c_str(),
                     std::strerror(errno));
        return 1;
    }
    BenchRandom random{seed};
    std::string text = "{\"items\":[\n";
    uint64_t written = 0;
    uint64_t items = 0;
    char number[64];
    while (written + text.size() < static_cast<uint64_t>(size) || items == 0)
    {
        if (items > 0)
            text += ",\n";
        ++items;
        std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(items));
        text += "{\"id\":";
        text += number;
        text += ",\"name\":\"";
        text += kWords[random.Below(std::size(kWords))];
        text += ' ';
        text += kWords[random.Below(std::size(kWords))];
        text += "\",\"score\":";
        std::snprintf(number, sizeof number, "%.3f",
                      static_cast<double>(random.Below(2000000)) / 1000.0 - 1000.0);
        text += number;
        text += ",\"tags\":[";
        const uint32_t tags = random.Below(4);
        for (uint32_t t = 0; t < tags; ++t)
        {
            text += t > 0 ? ",\"" : "\"";
            text += kWords[random.Below(std::size(kWords))];
            text += '"';
        }
        text += "],\"ok\":";
        text += random.Below(2) != 0 ? "true" : "false";
        text += ",\"parent\":null}";
        if (text.size() >= (1u << 20))
        {
            written += std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    std::snprintf(number, sizeof number, "\n],\"count\":%llu}\n", static_cast<unsigned long long>(items));
    text += number;
    written += std::fwrite(text.data(), 1, text.size(), out);
    if (std::fclose(out) != 0)
    {
        std::fprintf(stderr, "csvq-bench json-gen: cannot write %s\n", args[0].c_str());
        return 1;
    }
    std::printf("{\"command\":\"json-gen\",\"file\":%s,\"bytes\":%llu,\"items\":%llu}\n",
                BenchJsonString(args[0]).c_str(), static_cast<unsigned long long>(written),
                static_cast<unsigned long long>(items));
    return 0;
}

// Counts every event; remembers the value of the top-level "count" member and the number of
// objects one level below the top.
class CountingEvents : public LJSONParserEvents
{
public:
    void OnKey(const char16_t* text, const JSONTokenPosition& position) override
    {
        ++keys;
        lastKeyIsCount = depth == 1 && std::u16string_view(text, position.length) == u"\"count\"";
    }
    void OnObjectStart(const JSONTokenPosition&) override
    {
        ++objects;
        if (++depth == 3)
            ++items;
    }
    void OnObjectEnd(const JSONTokenPosition&) override { --depth; }
    void OnArrayStart(const JSONTokenPosition&) override
    {
        ++arrays;
        ++depth;
    }
    void OnArrayEnd(const JSONTokenPosition&) override { --depth; }
    void OnComma(const JSONTokenPosition&) override { ++commas; }
    void OnString(const char16_t*, const JSONTokenPosition&) override { ++scalars; }
    void OnInteger(const char16_t* text, const JSONTokenPosition& position) override
    {
        ++scalars;
        if (lastKeyIsCount)
        {
            count = 0;
            for (int32_t i = 0; i < position.length; ++i)
                count = count * 10 + static_cast<uint64_t>(text[i] - u'0');
        }
    }
    void OnDouble(const char16_t*, const JSONTokenPosition&) override { ++scalars; }
    void OnTrue(const JSONTokenPosition&) override { ++scalars; }
    void OnFalse(const JSONTokenPosition&) override { ++scalars; }
    void OnNull(const JSONTokenPosition&) override { ++scalars; }
    void OnSyntaxError(bool, const char16_t*, const JSONTokenPosition&) override { ++errors; }
    void OnLexerError(const char16_t*, const JSONTokenPosition&, int64_t) override { ++errors; }
    bool StopAfterValue() override { return false; }
    bool WantsTokenAfterValue() override { return false; }
    void OnTokenAfterValue(const char16_t*, const JSONTokenPosition&, int64_t) override {}

    uint64_t keys = 0, objects = 0, arrays = 0, commas = 0, scalars = 0, errors = 0, items = 0;
    uint64_t count = UINT64_MAX;

private:
    int depth = 0;
    bool lastKeyIsCount = false;
};

struct RunResult
{
    double seconds;
    uint64_t streamPeakBytes;
    uint64_t tokens;
    CountingEvents events;
};

// The paged file stream over the file at `path` (`widePath` is the same path, widened).
pANTLR3_INPUT_STREAM OpenInput(const std::string& path, const std::wstring& widePath)
{
    return antlr3StringStreamFromFile(widePath.c_str(),
                                      reinterpret_cast<unsigned char*>(const_cast<char*>(path.c_str())));
}

bool ParseOnce(const std::string& path, RunResult& result)
{
    const std::wstring widePath(path.begin(), path.end());
    const auto start = std::chrono::steady_clock::now();
    pANTLR3_INPUT_STREAM input = OpenInput(path, widePath);
    if (input == nullptr)
        return false;
    pjson_grammarLexer lexer = json_grammarLexerNew(input);
    pANTLR3_COMMON_TOKEN_STREAM tokens =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokens);
    if (lexer == nullptr || tokens == nullptr || parser == nullptr)
        return false;
    lexer->events = &result.events;
    parser->events = &result.events;
    parser->jsonDocument(parser);
    result.seconds = BenchSecondsSince(start);
    result.streamPeakBytes = reinterpret_cast<PagedFileStream*>(input)->peakMemoryBytes;
    result.tokens = tokens->tokens->count;
    parser->free(parser);
    tokens->free(tokens);
    lexer->free(lexer);
    input->close(input);
    return true;
}

// Only the input stream: every character through LA(1) and consume, as the lexer reads them.
bool StreamOnce(const std::string& path, RunResult& result)
{
    const std::wstring widePath(path.begin(), path.end());
    const auto start = std::chrono::steady_clock::now();
    pANTLR3_INPUT_STREAM input = OpenInput(path, widePath);
    if (input == nullptr)
        return false;
    pANTLR3_INT_STREAM is = input->istream;
    uint64_t characters = 0;
    while (is->_LA(is, 1) != ANTLR3_CHARSTREAM_EOF)
    {
        is->consume(is);
        ++characters;
    }
    result.seconds = BenchSecondsSince(start);
    result.streamPeakBytes = reinterpret_cast<PagedFileStream*>(input)->peakMemoryBytes;
    result.tokens = characters;
    input->close(input);
    return true;
}

int RunParse(const std::vector<std::string>& args)
{
    if (args.empty())
    {
        std::fprintf(stderr, "usage: csvq-bench json FILE [--repeat N] [--stream-only]\n");
        return 2;
    }
    const std::string& path = args[0];
    int repeat = 3;
    bool streamOnly = false;
    for (size_t i = 1; i < args.size(); ++i)
    {
        if (args[i] == "--repeat" && i + 1 < args.size())
            repeat = std::max(1, std::atoi(args[++i].c_str()));
        else if (args[i] == "--stream-only")
            streamOnly = true;
    }
    FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr)
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::fseek(probe, 0, SEEK_END);
    const long long bytes = std::ftell(probe);
    std::fclose(probe);

    std::vector<double> times;
    RunResult last{};
    for (int i = 0; i < repeat; ++i)
    {
        RunResult run{};
        if (!(streamOnly ? StreamOnce(path, run) : ParseOnce(path, run)))
        {
            std::fprintf(stderr, "json: cannot build the stream, lexer or parser\n");
            return 1;
        }
        times.push_back(run.seconds);
        last = run;
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const CountingEvents& e = last.events;
    if (streamOnly)
    {
        std::printf(
            "{\"name\":\"json-stream\",\"file\":\"%s\",\"bytes\":%lld,\"repeat\":%d,\"median_s\":%.3f,"
            "\"mb_per_s\":%.1f,\"characters\":%llu,\"stream_peak_bytes\":%llu,\"peak_rss_bytes\":%lld}\n",
            path.c_str(), bytes, repeat, median, static_cast<double>(bytes) / 1e6 / median,
            static_cast<unsigned long long>(last.tokens),
            static_cast<unsigned long long>(last.streamPeakBytes), BenchPeakRssBytes());
        return last.tokens == 0 && bytes > 0 ? 1 : 0;
    }
    std::printf("{\"name\":\"json\",\"file\":\"%s\",\"bytes\":%lld,\"repeat\":%d,\"median_s\":%.3f,"
                "\"mb_per_s\":%.1f,\"tokens\":%llu,\"keys\":%llu,\"objects\":%llu,\"arrays\":%llu,"
                "\"scalars\":%llu,\"errors\":%llu,\"stream_peak_bytes\":%llu,\"peak_rss_bytes\":%lld}\n",
                path.c_str(), bytes, repeat, median, static_cast<double>(bytes) / 1e6 / median,
                static_cast<unsigned long long>(last.tokens), static_cast<unsigned long long>(e.keys),
                static_cast<unsigned long long>(e.objects), static_cast<unsigned long long>(e.arrays),
                static_cast<unsigned long long>(e.scalars), static_cast<unsigned long long>(e.errors),
                static_cast<unsigned long long>(last.streamPeakBytes), BenchPeakRssBytes());
    if (e.errors != 0)
    {
        std::fprintf(stderr, "json: %llu errors reported\n", static_cast<unsigned long long>(e.errors));
        return 1;
    }
    if (e.count != UINT64_MAX && e.count != e.items)
    {
        std::fprintf(stderr, "json: %llu items counted, the document says %llu\n",
                     static_cast<unsigned long long>(e.items), static_cast<unsigned long long>(e.count));
        return 1;
    }
    return 0;
}

const BenchCommand kJsonGen("json-gen", "OUT SIZE [--seed N]", RunGenerate);
const BenchCommand kJson("json", "FILE [--repeat N] [--stream-only]", RunParse);
} // namespace
