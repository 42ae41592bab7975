// Runs the JSON lexer and parser over a text, through antlr3's own string stream or through the
// paged file stream, and records what they report as readable lines. Only this helper sees the
// generated headers (their token macros clash with names in gtest).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "LJSONParserEvents.h"

enum class StreamKind
{
    Memory, // antlr3StringStreamNew over the text as UTF-16
    File,   // antlr3StringStreamFromFile over the bytes written to a file
};

const char* StreamKindName(StreamKind kind);

// Names the stream kind in test output.
inline void PrintTo(StreamKind kind, std::ostream* out)
{
    *out << StreamKindName(kind);
}

std::string ToUtf8(const std::u16string& text);
// A path as the wide string antlr3StringStreamFromFile takes.
std::wstring WidePath(const std::string& path);
std::u16string ToUtf16(const std::string& text);

// A temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    std::string Write(const std::string& name, const std::string& bytes) const;
    const std::string& Path() const { return path; }

private:
    std::string path;
};

// An input stream over a text. Offsets the runtime reports are normalised to character indexes
// (antlr3's own stream reports addresses).
class JSONInput
{
public:
    // For StreamKind::Memory the bytes are taken as UTF-8.
    JSONInput(StreamKind kind, const std::string& bytes);
    // The paged file stream over an existing path (null stream never: see Stream()).
    explicit JSONInput(const std::string& path);
    ~JSONInput();
    JSONInput(const JSONInput&) = delete;
    JSONInput& operator=(const JSONInput&) = delete;

    struct ANTLR3_INPUT_STREAM_struct* Stream() const { return stream; }
    int64_t Offset(int64_t raw) const;

private:
    StreamKind kind;
    std::u16string units;
    std::unique_ptr<TempDir> dir;
    struct ANTLR3_INPUT_STREAM_struct* stream = nullptr;
};

struct LexedToken
{
    std::string type; // from the parser's token-name table
    std::u16string text;
    uint32_t channel;
    uint64_t line;
    int32_t positionInLine;
    int64_t offset;
};

// Records every event as one line, e.g. `Key "a" 1:1@1+3`. StopAfterValue answers with
// `stopAnswer` (given the 1-based number of the question); WantsTokenAfterValue with `wantsToken`.
class RecordingEvents : public LJSONParserEvents
{
public:
    explicit RecordingEvents(const JSONInput* input = nullptr)
        : input(input)
    {}
    virtual ~RecordingEvents() = default;

    std::vector<std::string> log;
    std::function<bool(int)> stopAnswer = [](int) { return false; };
    bool wantsToken = false;
    bool logStopQuestions = true;

    void OnKey(const char16_t* text, const JSONTokenPosition& position) override;
    void OnObjectStart(const JSONTokenPosition& position) override;
    void OnObjectEnd(const JSONTokenPosition& position) override;
    void OnArrayStart(const JSONTokenPosition& position) override;
    void OnArrayEnd(const JSONTokenPosition& position) override;
    void OnComma(const JSONTokenPosition& position) override;
    void OnString(const char16_t* text, const JSONTokenPosition& position) override;
    void OnInteger(const char16_t* text, const JSONTokenPosition& position) override;
    void OnDouble(const char16_t* text, const JSONTokenPosition& position) override;
    void OnTrue(const JSONTokenPosition& position) override;
    void OnFalse(const JSONTokenPosition& position) override;
    void OnNull(const JSONTokenPosition& position) override;
    void OnSyntaxError(bool trailingInput, const char16_t* text, const JSONTokenPosition& position) override;
    void OnLexerError(const char16_t* text, const JSONTokenPosition& position, int64_t offset) override;
    bool StopAfterValue() override;
    bool WantsTokenAfterValue() override;
    void OnTokenAfterValue(const char16_t* text, const JSONTokenPosition& position, int64_t offset) override;

    int stopQuestions = 0;
    int64_t checkedEvents = 0;

protected:
    void Add(const std::string& name, const char16_t* text, const JSONTokenPosition& position);
    const JSONInput* input;
};

// All tokens of the input (EOF excluded), lexer errors going to `events` when given.
std::vector<LexedToken> LexAll(JSONInput& input, LJSONParserEvents* events, bool strictNumbers = true);

enum class StartRule
{
    Document,
    Object,
    Array,
};

// The error counts the two recognizers keep in their state (getNumberOfSyntaxErrors).
struct RecognizerErrors
{
    uint32_t lexer = 0;
    uint32_t parser = 0;
};

// Builds lexer, token stream and parser over the input and runs one start rule. The lexer
// reports to `lexerEvents`, the parser to `parserEvents` (either may be null).
RecognizerErrors ParseInput(JSONInput& input, LJSONParserEvents* parserEvents, LJSONParserEvents* lexerEvents,
                            StartRule rule = StartRule::Document, bool strictNumbers = true);

// Convenience: parse a text through a stream of the given kind, both recognizers reporting to
// one recorder, and return its log.
std::vector<std::string> ParseLog(StreamKind kind, const std::string& text,
                                  const std::function<void(RecordingEvents&)>& setup = {},
                                  StartRule rule = StartRule::Document);

// The grammar-file names the lexer and the parser report.
std::string LexerGrammarFileName();
std::string ParserGrammarFileName();

// The parser's token-name table, indexed by token type.
std::vector<std::string> TokenNames();
