// libFuzzer target: the JSON lexer and parser over arbitrary bytes, read through the paged file
// stream (the bytes written to a file) and through antlr3's own 8-bit string stream. The first
// byte picks the options: strict numbers, start rule, when to stop after a value, whether the
// parser reports to an event object, and the stream. Inputs are capped at kMaxText bytes: the common token
// stream holds every token, and longer inputs find nothing shorter ones would not.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include <antlr3.h>

#include "LJSONParserEvents.h"
#include "PagedFileStream.h"
#include "json_grammarLexer.h"
#include "json_grammarParser.h"

namespace {
constexpr size_t kMaxText = 16384;

// Touches every text it is given, so that a bad pointer or length shows under ASan.
class CheckingEvents : public LJSONParserEvents
{
public:
    explicit CheckingEvents(int stopAt)
        : stopAt(stopAt)
    {}

    void Text(const char16_t* text, const JSONTokenPosition& position)
    {
        if (text == nullptr)
            return;
        for (int32_t i = 0; i < position.length; ++i)
            sum += text[i];
    }
    void Mark(const JSONTokenPosition& position) { sum += static_cast<uint64_t>(position.offset); }

    void OnKey(const char16_t* text, const JSONTokenPosition& position) override { Text(text, position); }
    void OnObjectStart(const JSONTokenPosition& position) override { Mark(position); }
    void OnObjectEnd(const JSONTokenPosition& position) override { Mark(position); }
    void OnArrayStart(const JSONTokenPosition& position) override { Mark(position); }
    void OnArrayEnd(const JSONTokenPosition& position) override { Mark(position); }
    void OnComma(const JSONTokenPosition& position) override { Mark(position); }
    void OnString(const char16_t* text, const JSONTokenPosition& position) override { Text(text, position); }
    void OnInteger(const char16_t* text, const JSONTokenPosition& position) override { Text(text, position); }
    void OnDouble(const char16_t* text, const JSONTokenPosition& position) override { Text(text, position); }
    void OnTrue(const JSONTokenPosition& position) override { Mark(position); }
    void OnFalse(const JSONTokenPosition& position) override { Mark(position); }
    void OnNull(const JSONTokenPosition& position) override { Mark(position); }
    void OnSyntaxError(bool, const char16_t* text, const JSONTokenPosition&) override
    {
        for (; text != nullptr && *text != 0; ++text)
            sum += *text;
    }
    void OnLexerError(const char16_t* text, const JSONTokenPosition&, int64_t) override { sum += text[0]; }
    bool StopAfterValue() override { return ++values == stopAt; }
    bool WantsTokenAfterValue() override { return (values & 1) != 0; }
    void OnTokenAfterValue(const char16_t* text, const JSONTokenPosition& position, int64_t) override
    {
        Text(text, position);
    }

    uint64_t sum = 0;

private:
    int stopAt;
    int values = 0;
};

void Parse(pANTLR3_INPUT_STREAM input, uint8_t options)
{
    if (input == nullptr)
        return;
    CheckingEvents events((options >> 3) & 7);
    pjson_grammarLexer lexer = json_grammarLexerNew(input);
    lexer->events = &events;
    lexer->strictNumbers = (options & 1) != 0;
    pANTLR3_COMMON_TOKEN_STREAM tokens =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokens);
    parser->events = (options & 0x40) != 0 ? nullptr : &events;
    switch ((options >> 1) & 3)
    {
    case 1:
        parser->jsonObject(parser);
        break;
    case 2:
        parser->jsonArray(parser);
        break;
    default:
        parser->jsonDocument(parser);
        break;
    }
    parser->free(parser);
    tokens->free(tokens);
    lexer->free(lexer);
    input->close(input);
}

// One scratch file per fuzzing process, rewritten for every input; in memory (/dev/shm) where
// there is one, since a file cut to nothing and written again is flushed to disk when closed.
std::string& ScratchPath()
{
    static std::string path = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz_json_XXXXXX" : "/tmp/fuzz_json_XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return pattern;
    }();
    return path;
}

void WriteScratch(const uint8_t* bytes, size_t size)
{
    static const int fd = open(ScratchPath().c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        std::abort();
    if (size > 0 && pwrite(fd, bytes, size, 0) != static_cast<ssize_t>(size))
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size - 1 > kMaxText)
        return 0;
    const uint8_t options = data[0];
    ++data;
    --size;

    // Bit 7: antlr3's own 8-bit string stream over a copy; otherwise the paged file stream.
    if ((options & 0x80) != 0)
    {
        std::string copy(reinterpret_cast<const char*>(data), size);
        Parse(antlr3StringStreamNew(reinterpret_cast<pANTLR3_UINT8>(copy.data()), ANTLR3_ENC_8BIT,
                                    static_cast<ANTLR3_UINT32>(copy.size()),
                                    reinterpret_cast<pANTLR3_UINT8>(const_cast<char*>("fuzz"))),
              options);
        return 0;
    }
    WriteScratch(data, size);
    static const std::wstring widePath(ScratchPath().begin(), ScratchPath().end());
    Parse(antlr3StringStreamFromFile(widePath.c_str(),
                                     reinterpret_cast<unsigned char*>(const_cast<char*>("fuzz"))),
          options);
    return 0;
}
