#include "JSONTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <antlr3.h>

#include "PagedFileStream.h"
#include "json_grammarLexer.h"
#include "json_grammarParser.h"

const char* StreamKindName(StreamKind kind)
{
    return kind == StreamKind::Memory ? "string stream" : "file stream";
}

std::string ToUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string ToUtf16(const std::string& text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size())
    {
        const auto b = static_cast<uint8_t>(text[i]);
        uint32_t c = b;
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : 3;
        if (extra > 0)
            c = b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        i += extra + 1;
        if (c >= 0x10000)
        {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
            out += static_cast<char16_t>(c);
    }
    return out;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "csvq-json-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const
{
    const std::string file = path + "/" + name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::wstring WidePath(const std::string& path)
{
    std::u16string units = ToUtf16(path);
    std::wstring wide;
    for (size_t i = 0; i < units.size(); ++i)
    {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size())
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        wide += static_cast<wchar_t>(c);
    }
    return wide;
}

JSONInput::JSONInput(StreamKind streamKind, const std::string& bytes)
    : kind(streamKind)
{
    if (kind == StreamKind::Memory)
    {
        units = ToUtf16(bytes);
        stream = antlr3StringStreamNew(reinterpret_cast<pANTLR3_UINT8>(units.data()), ANTLR3_ENC_UTF16LE,
                                       static_cast<ANTLR3_UINT32>(units.size() * 2),
                                       reinterpret_cast<pANTLR3_UINT8>(const_cast<char*>("test input")));
    }
    else
    {
        dir = std::make_unique<TempDir>();
        const std::string path = dir->Write("input.json", bytes);
        stream = antlr3StringStreamFromFile(
            WidePath(path).c_str(), reinterpret_cast<unsigned char*>(const_cast<char*>("input.json")));
    }
    if (stream == nullptr)
        throw std::runtime_error("no input stream");
}

JSONInput::JSONInput(const std::string& path)
    : kind(StreamKind::File)
{
    stream = antlr3StringStreamFromFile(WidePath(path).c_str(),
                                        reinterpret_cast<unsigned char*>(const_cast<char*>("input.json")));
    if (stream == nullptr)
        throw std::runtime_error("no input stream");
}

JSONInput::~JSONInput()
{
    if (stream != nullptr)
        stream->close(stream);
}

int64_t JSONInput::Offset(int64_t raw) const
{
    // antlr3's UTF-16 string stream gives tokens the address of their first character, but the
    // end token a character index.
    const auto base = reinterpret_cast<int64_t>(units.data());
    if (kind == StreamKind::Memory && raw >= base && raw <= base + static_cast<int64_t>(units.size() * 2))
        return (raw - base) / 2;
    return raw;
}

void RecordingEvents::Add(const std::string& name, const char16_t* text, const JSONTokenPosition& position)
{
    std::string line = name;
    if (text != nullptr)
        line += " " + ToUtf8(text);
    else if (name == "SyntaxError" || name == "TrailingInput" || name == "TokenAfterValue")
        line += " (null)";
    const int64_t offset = input != nullptr ? input->Offset(position.offset) : position.offset;
    line += " " + std::to_string(position.line) + ":" + std::to_string(position.column) + "@" +
            std::to_string(offset) + "+" + std::to_string(position.length);
    if (text != nullptr && position.length != 0 &&
        std::u16string(text).size() != static_cast<size_t>(position.length))
        line += " LENGTH-MISMATCH";
    log.push_back(line);
}

void RecordingEvents::OnKey(const char16_t* text, const JSONTokenPosition& position)
{
    Add("Key", text, position);
}
void RecordingEvents::OnObjectStart(const JSONTokenPosition& position)
{
    Add("ObjectStart", nullptr, position);
}
void RecordingEvents::OnObjectEnd(const JSONTokenPosition& position)
{
    Add("ObjectEnd", nullptr, position);
}
void RecordingEvents::OnArrayStart(const JSONTokenPosition& position)
{
    Add("ArrayStart", nullptr, position);
}
void RecordingEvents::OnArrayEnd(const JSONTokenPosition& position)
{
    Add("ArrayEnd", nullptr, position);
}
void RecordingEvents::OnComma(const JSONTokenPosition& position)
{
    Add("Comma", nullptr, position);
}
void RecordingEvents::OnString(const char16_t* text, const JSONTokenPosition& position)
{
    Add("String", text, position);
}
void RecordingEvents::OnInteger(const char16_t* text, const JSONTokenPosition& position)
{
    Add("Integer", text, position);
}
void RecordingEvents::OnDouble(const char16_t* text, const JSONTokenPosition& position)
{
    Add("Double", text, position);
}
void RecordingEvents::OnTrue(const JSONTokenPosition& position)
{
    Add("True", nullptr, position);
}
void RecordingEvents::OnFalse(const JSONTokenPosition& position)
{
    Add("False", nullptr, position);
}
void RecordingEvents::OnNull(const JSONTokenPosition& position)
{
    Add("Null", nullptr, position);
}
void RecordingEvents::OnSyntaxError(bool trailingInput, const char16_t* text,
                                    const JSONTokenPosition& position)
{
    Add(trailingInput ? "TrailingInput" : "SyntaxError", text, position);
}
void RecordingEvents::OnLexerError(const char16_t* text, const JSONTokenPosition& position, int64_t offset)
{
    Add("LexerError", text, position);
    if (offset != position.offset)
        log.back() += " OFFSET-MISMATCH";
}
bool RecordingEvents::StopAfterValue()
{
    ++stopQuestions;
    const bool answer = stopAnswer(stopQuestions);
    if (logStopQuestions)
        log.push_back(answer ? "Stop? yes" : "Stop?");
    return answer;
}
bool RecordingEvents::WantsTokenAfterValue()
{
    return wantsToken;
}
void RecordingEvents::OnTokenAfterValue(const char16_t* text, const JSONTokenPosition& position,
                                        int64_t offset)
{
    Add("TokenAfterValue", text, position);
    if (offset != position.offset)
        log.back() += " OFFSET-MISMATCH";
}

std::vector<LexedToken> LexAll(JSONInput& input, LJSONParserEvents* events, bool strictNumbers)
{
    std::vector<LexedToken> tokens;
    pjson_grammarLexer lexer = json_grammarLexerNew(input.Stream());
    pANTLR3_COMMON_TOKEN_STREAM tokenStream =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokenStream); // for its token-name table
    lexer->events = events;
    lexer->strictNumbers = strictNumbers;
    pANTLR3_TOKEN_SOURCE source = TOKENSOURCE(lexer);
    pANTLR3_UINT8* names = parser->pParser->rec->state->tokenNames;
    for (;;)
    {
        pANTLR3_COMMON_TOKEN token = source->nextToken(source);
        if (token == nullptr || token->getType(token) == ANTLR3_TOKEN_EOF)
            break;
        LexedToken lexed;
        const ANTLR3_UINT32 type = token->getType(token);
        lexed.type = type < 32 ? reinterpret_cast<const char*>(names[type]) : std::to_string(type);
        pANTLR3_STRING text = token->getText(token);
        if (text != nullptr)
            lexed.text.assign(reinterpret_cast<const char16_t*>(text->chars), text->len);
        lexed.channel = token->getChannel(token);
        lexed.line = token->getLine(token);
        lexed.positionInLine = token->getCharPositionInLine(token);
        lexed.offset = input.Offset(static_cast<int64_t>(token->getStartIndex(token)));
        tokens.push_back(lexed);
    }
    parser->free(parser);
    tokenStream->free(tokenStream);
    lexer->free(lexer);
    return tokens;
}

RecognizerErrors ParseInput(JSONInput& input, LJSONParserEvents* parserEvents, LJSONParserEvents* lexerEvents,
                            StartRule rule, bool strictNumbers)
{
    pjson_grammarLexer lexer = json_grammarLexerNew(input.Stream());
    lexer->events = lexerEvents;
    lexer->strictNumbers = strictNumbers;
    pANTLR3_COMMON_TOKEN_STREAM tokenStream =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokenStream);
    parser->events = parserEvents;
    switch (rule)
    {
    case StartRule::Document:
        parser->jsonDocument(parser);
        break;
    case StartRule::Object:
        parser->jsonObject(parser);
        break;
    case StartRule::Array:
        parser->jsonArray(parser);
        break;
    }
    RecognizerErrors errors;
    errors.lexer = lexer->pLexer->rec->getNumberOfSyntaxErrors(lexer->pLexer->rec);
    errors.parser = parser->pParser->rec->getNumberOfSyntaxErrors(parser->pParser->rec);
    parser->free(parser);
    tokenStream->free(tokenStream);
    lexer->free(lexer);
    return errors;
}

std::vector<std::string> ParseLog(StreamKind kind, const std::string& text,
                                  const std::function<void(RecordingEvents&)>& setup, StartRule rule)
{
    JSONInput input(kind, text);
    RecordingEvents events(&input);
    if (setup)
        setup(events);
    ParseInput(input, &events, &events, rule);
    return events.log;
}

std::string LexerGrammarFileName()
{
    JSONInput input(StreamKind::Memory, "");
    pjson_grammarLexer lexer = json_grammarLexerNew(input.Stream());
    std::string name = lexer->getGrammarFileName();
    lexer->free(lexer);
    return name;
}

std::string ParserGrammarFileName()
{
    JSONInput input(StreamKind::Memory, "");
    pjson_grammarLexer lexer = json_grammarLexerNew(input.Stream());
    pANTLR3_COMMON_TOKEN_STREAM tokenStream =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokenStream);
    std::string name = parser->getGrammarFileName();
    parser->free(parser);
    tokenStream->free(tokenStream);
    lexer->free(lexer);
    return name;
}

std::vector<std::string> TokenNames()
{
    JSONInput input(StreamKind::Memory, "");
    pjson_grammarLexer lexer = json_grammarLexerNew(input.Stream());
    pANTLR3_COMMON_TOKEN_STREAM tokenStream =
        antlr3CommonTokenStreamSourceNew(ANTLR3_SIZE_HINT, TOKENSOURCE(lexer));
    pjson_grammarParser parser = json_grammarParserNew(tokenStream);
    std::vector<std::string> names;
    for (int type = 0; type < 32; ++type)
        names.emplace_back(reinterpret_cast<const char*>(parser->pParser->rec->state->tokenNames[type]));
    parser->free(parser);
    tokenStream->free(tokenStream);
    lexer->free(lexer);
    return names;
}
