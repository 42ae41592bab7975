// libFuzzer target: the JSON lexer and parser over arbitrary bytes, read through the paged file
// stream (the bytes written to a file) and through antlr3's own 8-bit string stream. The first
// byte picks the options: strict numbers, start rule, when to stop after a value, whether the
// parser reports to an event object, and the stream. Inputs are capped at kMaxText bytes: the
// common token stream holds every token, and longer inputs find nothing shorter ones would not;
// those read through the paged stream at kMaxPagedText, which in the fuzz build still spans a
// dozen of its blocks (each a few pseudo-lines of ReadingSizes.h's tiny size), while every block
// a token text needs costs a reading of the file.
//
// One lexer, token stream and parser serve every input, as the runtime allows: each input is
// bound to the lexer and everything the runtime keeps from the last one is put back as a new
// recognizer has it (a fresh one costs more than most inputs: its token pool alone is a quarter
// of a megabyte).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
constexpr size_t kMaxPagedText = 1024;

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

// Drops the exceptions a recognizer still holds (the runtime chains every one it raises) and its
// error counts and flags, which the lexer's reset leaves as they are.
void ClearErrors(pANTLR3_RECOGNIZER_SHARED_STATE state)
{
    if (state->exception != nullptr)
        state->exception->freeEx(state->exception);
    state->exception = nullptr;
    state->error = ANTLR3_FALSE;
    state->failed = ANTLR3_FALSE;
    state->errorRecovery = ANTLR3_FALSE;
    state->lastErrorIndex = -1;
    state->errorCount = 0;
}

// The runtime's end and skip tokens carry the string factory of the input they were made for and
// keep the text made from it.
void BindSpecialToken(ANTLR3_COMMON_TOKEN& token, pANTLR3_STRING_FACTORY factory)
{
    token.strFactory = factory;
    token.textState = ANTLR3_TEXT_NONE;
    token.tokText.text = nullptr;
}

// After a reset the runtime's token factory hands its pooled tokens out again as they were left,
// the last input's stream and string factory in them; it sets up only tokens it finds blank. The
// tokens handed out since the last reset are blanked, so that each is set up as a new factory
// sets up its own.
void BlankHandedOutTokens(pANTLR3_TOKEN_FACTORY factory)
{
    if (factory == nullptr || factory->pools == nullptr)
        return;
    for (ANTLR3_INT32 pool = 0; pool <= factory->thisPool && pool <= factory->maxPool; ++pool)
    {
        const ANTLR3_UINT32 used =
            pool < factory->thisPool ? ANTLR3_FACTORY_POOL_SIZE
                                     : std::min<ANTLR3_UINT32>(factory->nextToken, ANTLR3_FACTORY_POOL_SIZE);
        std::memset(static_cast<void*>(factory->pools[pool]), 0, used * sizeof(ANTLR3_COMMON_TOKEN));
    }
}

// The recognizers, made once over an input that lives as long as they do, so that nothing they
// keep between inputs ever points at a closed stream.
struct Recognizers
{
    Recognizers()
    {
        static char nothing[] = "";
        idle = antlr3StringStreamNew(reinterpret_cast<pANTLR3_UINT8>(nothing), ANTLR3_ENC_8BIT, 0,
                                     reinterpret_cast<pANTLR3_UINT8>(nothing));
        lexer = idle != nullptr ? json_grammarLexerNew(idle) : nullptr;
        tokens = lexer != nullptr ? antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer))
                                  : nullptr;
        parser = tokens != nullptr ? json_grammarParserNew(tokens) : nullptr;
        if (parser == nullptr)
            std::abort();
    }

    // Binds the lexer to `input` (or back to the idle input) and starts every recognizer afresh.
    void Bind(pANTLR3_INPUT_STREAM input)
    {
        pANTLR3_LEXER runtime = lexer->pLexer;
        runtime->setCharStream(runtime, input);
        pANTLR3_TOKEN_SOURCE source = runtime->rec->state->tokSource;
        source->strFactory = input->strFactory;
        BindSpecialToken(source->eofToken, input->strFactory);
        BindSpecialToken(source->skipToken, input->strFactory);
        ClearErrors(runtime->rec->state);
        BlankHandedOutTokens(runtime->rec->state->tokFactory);
        lexer->reset(lexer);
        tokens->reset(tokens);
        ClearErrors(parser->pParser->rec->state);
        parser->reset(parser);
        lexer->events = nullptr;
        parser->events = nullptr;
    }

    pANTLR3_INPUT_STREAM idle;
    pjson_grammarLexer lexer;
    pANTLR3_COMMON_TOKEN_STREAM tokens;
    pjson_grammarParser parser;
};

Recognizers& Shared()
{
    static Recognizers* recognizers = new Recognizers; // never freed: no destruction order at exit
    return *recognizers;
}

void Parse(pANTLR3_INPUT_STREAM input, uint8_t options)
{
    if (input == nullptr)
        return;
    Recognizers& r = Shared();
    CheckingEvents events((options >> 3) & 7);
    r.Bind(input);
    r.lexer->events = &events;
    r.lexer->strictNumbers = (options & 1) != 0;
    r.parser->events = (options & 0x40) != 0 ? nullptr : &events;
    switch ((options >> 1) & 3)
    {
    case 1:
        r.parser->jsonObject(r.parser);
        break;
    case 2:
        r.parser->jsonArray(r.parser);
        break;
    default:
        r.parser->jsonDocument(r.parser);
        break;
    }
    r.Bind(r.idle);
    input->close(input);
}

// One scratch file per fuzzing process, rewritten for every input; in memory (/dev/shm) where
// there is one, since a file cut to nothing and written again is flushed to disk when closed.
std::string& ScratchPath()
{
    static std::string path = [] {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz_json_XXXXXX" : "/tmp/fuzz_json_XXXXXX";
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
    if (size > kMaxPagedText)
        return 0;
    WriteScratch(data, size);
    static const std::wstring widePath(ScratchPath().begin(), ScratchPath().end());
    Parse(antlr3StringStreamFromFile(widePath.c_str(),
                                     reinterpret_cast<unsigned char*>(const_cast<char*>("fuzz"))),
          options);
    return 0;
}
