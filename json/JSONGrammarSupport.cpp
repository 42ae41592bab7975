#include "JSONGrammarSupport.h"

#include <cstddef>
#include <string>

#include "json_grammarLexer.h"
#include "json_grammarParser.h"

// Outside callers rely on the order of the first context members; the build moves the members
// the generator puts last into their places (see PatchGeneratedHeaders.cmake).
static_assert(offsetof(json_grammarLexer_Ctx_struct, events) == sizeof(void*));
static_assert(offsetof(json_grammarLexer_Ctx_struct, mColon) == 2 * sizeof(void*));
static_assert(offsetof(json_grammarLexer_Ctx_struct, reportLexerError) ==
              offsetof(json_grammarLexer_Ctx_struct, free) + sizeof(void*));
static_assert(offsetof(json_grammarLexer_Ctx_struct, strictNumbers) ==
              offsetof(json_grammarLexer_Ctx_struct, reportLexerError) + sizeof(void*));
static_assert(offsetof(json_grammarParser_Ctx_struct, events) == sizeof(void*));
static_assert(offsetof(json_grammarParser_Ctx_struct, jsonDocument) == 2 * sizeof(void*));
static_assert(offsetof(json_grammarParser_Ctx_struct, reportSyntaxError) ==
              offsetof(json_grammarParser_Ctx_struct, value) + sizeof(void*));
static_assert(offsetof(json_grammarParser_Ctx_struct, getGrammarFileName) ==
              offsetof(json_grammarParser_Ctx_struct, reportSyntaxError) + sizeof(void*));

namespace {
// A runtime string as UTF-16 for an event. The runtime's strings do not record their encoding
// (the field always says 8-bit): they are in the encoding of the input stream whose factory
// made them. Strings of a 16-bit stream are used as they are; others (a caller may lex an
// 8-bit, UTF-8 or UTF-32 stream) are converted into a copy.
class EventText
{
public:
    EventText(pANTLR3_STRING string, ANTLR3_UINT32 streamEncoding)
    {
        if (string == nullptr || string->chars == nullptr)
            return;
        switch (streamEncoding)
        {
        case ANTLR3_ENC_UTF16:
        case ANTLR3_ENC_UTF16BE:
        case ANTLR3_ENC_UTF16LE:
            text = reinterpret_cast<const char16_t*>(string->chars);
            length = static_cast<int32_t>(string->len);
            return;
        case ANTLR3_ENC_UTF32:
        case ANTLR3_ENC_UTF32BE:
        case ANTLR3_ENC_UTF32LE:
            FromUTF32(reinterpret_cast<const uint32_t*>(string->chars), string->len);
            break;
        case ANTLR3_ENC_UTF8:
            FromUTF8(string->chars, string->len);
            break;
        default:
            for (ANTLR3_UINT32 i = 0; i < string->len; ++i)
                copy.push_back(static_cast<char16_t>(string->chars[i]));
            break;
        }
        text = copy.c_str();
        length = static_cast<int32_t>(copy.size());
    }

    const char16_t* Get() const { return text; }
    int32_t Length() const { return length; }

private:
    void AddCodePoint(uint32_t c)
    {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c >= 0x10000)
        {
            copy.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            copy.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
        else
            copy.push_back(static_cast<char16_t>(c));
    }

    void FromUTF32(const uint32_t* units, ANTLR3_UINT32 count)
    {
        for (ANTLR3_UINT32 i = 0; i < count; ++i)
            AddCodePoint(units[i]);
    }

    // Malformed sequences become U+FFFD, one per offending byte.
    void FromUTF8(const uint8_t* bytes, ANTLR3_UINT32 count)
    {
        static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        ANTLR3_UINT32 i = 0;
        while (i < count)
        {
            const uint8_t lead = bytes[i];
            const int extra = lead < 0x80             ? 0
                              : (lead & 0xE0) == 0xC0 ? 1
                              : (lead & 0xF0) == 0xE0 ? 2
                              : (lead & 0xF8) == 0xF0 ? 3
                                                      : -1;
            bool ok = extra >= 0 && count - i > static_cast<ANTLR3_UINT32>(extra);
            uint32_t c = lead;
            if (ok && extra > 0)
            {
                c = lead & (0x3F >> extra);
                for (int k = 1; ok && k <= extra; ++k)
                {
                    ok = (bytes[i + k] & 0xC0) == 0x80;
                    c = (c << 6) | (bytes[i + k] & 0x3F);
                }
                ok = ok && c >= kSmallest[extra];
            }
            if (!ok)
            {
                AddCodePoint(0xFFFD);
                ++i;
                continue;
            }
            AddCodePoint(c);
            i += extra + 1;
        }
    }

    std::u16string copy;
    const char16_t* text = nullptr;
    int32_t length = 0;
};

// Lets the factory reclaim a text made for one event; a text the token keeps (the "<EOF>" of
// the end token) stays with the token.
void ReturnText(pANTLR3_COMMON_TOKEN token, pANTLR3_STRING text)
{
    if (text == nullptr || text->factory == nullptr)
        return;
    if (token->textState == ANTLR3_TEXT_STRING && token->tokText.text == text)
        return;
    text->factory->destroy(text->factory, text);
}

pANTLR3_INPUT_STREAM LexerInputOf(pjson_grammarParser ctx);

// Encoding of the stream a parser token came from; the end token carries no stream, the lexer
// behind the token stream has it.
ANTLR3_UINT32 EncodingOf(pjson_grammarParser ctx, pANTLR3_COMMON_TOKEN token)
{
    if (token != nullptr && token->input != nullptr)
        return token->input->encoding;
    if (pANTLR3_INPUT_STREAM input = LexerInputOf(ctx))
        return input->encoding;
    return ANTLR3_ENC_8BIT;
}

pANTLR3_INPUT_STREAM LexerInputOf(pjson_grammarParser ctx)
{
    pANTLR3_TOKEN_SOURCE source = ctx->pParser->tstream->tokenSource;
    auto* lexer = source != nullptr ? static_cast<pANTLR3_LEXER>(source->super) : nullptr;
    return lexer != nullptr ? lexer->input : nullptr;
}

// Line, position in line and start index of a token. The runtime's end token carries its token
// index as start index and no position; it is placed at the end of the input instead, where the
// lexer stopped (the common token stream has read all input before the parser runs).
struct TokenPlace
{
    uint64_t line;
    int64_t positionInLine;
    int64_t offset;
};

TokenPlace PlaceOf(pjson_grammarParser ctx, pANTLR3_COMMON_TOKEN token)
{
    if (token->getType(token) == ANTLR3_TOKEN_EOF)
    {
        if (pANTLR3_INPUT_STREAM input = LexerInputOf(ctx))
            return {input->getLine(input), input->charPositionInLine,
                    static_cast<int64_t>(input->istream->index(input->istream))};
    }
    return {token->getLine(token), token->getCharPositionInLine(token),
            static_cast<int64_t>(token->getStartIndex(token))};
}

JSONTokenPosition PositionOf(pjson_grammarParser ctx, pANTLR3_COMMON_TOKEN token, int32_t length)
{
    const TokenPlace place = PlaceOf(ctx, token);
    JSONTokenPosition position;
    position.line = place.line;
    position.column = place.positionInLine + 1;
    position.offset = place.offset;
    position.length = length;
    return position;
}

// The runtime's error display is replaced so that nothing is ever printed.
void DisplayNothing(pANTLR3_BASE_RECOGNIZER, pANTLR3_UINT8*) {}

pANTLR3_BASE_RECOGNIZER RecognizerOf(pjson_grammarParser ctx)
{
    return ctx->pParser->rec;
}

void FreeCurrentException(pANTLR3_RECOGNIZER_SHARED_STATE state)
{
    if (state->exception != nullptr)
        state->exception->freeEx(state->exception);
    state->exception = nullptr;
    state->error = ANTLR3_FALSE;
}

LJSONParserEvents* ActiveEvents(pjson_grammarParser ctx)
{
    return ctx->stopped ? nullptr : ctx->events;
}

// Neither skips nor invents a token: the rule sees the exception and reports it.
void* RecoverWithoutRepair(pANTLR3_BASE_RECOGNIZER recognizer, ANTLR3_UINT32, pANTLR3_BITSET_LIST)
{
    if (recognizer->state->exception == nullptr)
        antlr3RecognitionExceptionNew(recognizer);
    recognizer->state->error = ANTLR3_TRUE;
    return nullptr;
}

void ReportSyntaxError(pjson_grammarParser ctx)
{
    pANTLR3_RECOGNIZER_SHARED_STATE state = RecognizerOf(ctx)->state;
    if (ctx->stopped)
    {
        // The parse has been ended; what the unwinding rules still raise is dropped.
        FreeCurrentException(state);
        return;
    }
    if (state->error != ANTLR3_TRUE || state->exception == nullptr)
        return;
    // Every reported error counts in the recognizer state, where ANTLR3 callers read it
    // (getNumberOfSyntaxErrors), with or without an event object.
    if (ctx->events == nullptr)
    {
        // The exception stays, so every enclosing rule reports it again: it counts once. A match
        // clears errorRecovery, as in the runtime's own reportError.
        if (state->errorRecovery != ANTLR3_TRUE)
        {
            state->errorRecovery = ANTLR3_TRUE;
            ++state->errorCount;
        }
        return;
    }
    ++state->errorCount;
    pANTLR3_EXCEPTION exception = state->exception;
    auto* token = static_cast<pANTLR3_COMMON_TOKEN>(exception->token);
    pANTLR3_STRING text = token != nullptr ? token->getText(token) : nullptr;
    EventText eventText(text, EncodingOf(ctx, token));
    JSONTokenPosition position;
    position.line = exception->line;
    position.column = exception->charPositionInLine;
    position.offset = 0;
    position.length = 0;
    if (token != nullptr)
    {
        const TokenPlace place = PlaceOf(ctx, token);
        if (token->getType(token) == ANTLR3_TOKEN_EOF)
        {
            position.line = place.line;
            position.column = place.positionInLine;
        }
        position.offset = place.offset;
    }
    const bool trailingInput =
        exception->type == ANTLR3_NO_VIABLE_ALT_EXCEPTION && exception->decisionNum == 0;
    ctx->events->OnSyntaxError(trailingInput, eventText.Get(), position);
    FreeCurrentException(state);
}

// Frees an exception that was left pending (a parse without an event object ends at its first
// error with the exception still set) before the runtime parser goes.
void FreeParser(pjson_grammarParser ctx)
{
    FreeCurrentException(RecognizerOf(ctx)->state);
    ctx->pParser->free(ctx->pParser);
    ANTLR3_FREE(ctx);
}

void ReportTokenAfterValue(pjson_grammarParser ctx)
{
    pANTLR3_COMMON_TOKEN token = ctx->pParser->tstream->_LT(ctx->pParser->tstream, 1);
    if (token == nullptr || PlaceOf(ctx, token).offset == 0)
        return;
    pANTLR3_STRING text = token->getText(token);
    EventText eventText(text, EncodingOf(ctx, token));
    JSONTokenPosition position = PositionOf(ctx, token, eventText.Length());
    ctx->events->OnTokenAfterValue(eventText.Get(), position, position.offset);
    ReturnText(token, text);
}

void ReportLexerError(pjson_grammarLexer ctx)
{
    if (ctx->events == nullptr)
        return;
    pANTLR3_EXCEPTION exception = ctx->pLexer->rec->state->exception;
    if (exception == nullptr)
        return;
    std::u16string single;
    pANTLR3_STRING text = nullptr;
    auto* token = static_cast<pANTLR3_COMMON_TOKEN>(exception->token);
    if (token != nullptr)
        text = token->getText(token);
    EventText eventText(text, ctx->pLexer->input->encoding);
    const char16_t* chars = eventText.Get();
    if (token == nullptr)
    {
        // At the end of input the character is the runtime's EOF, whose low half is U+FFFF.
        single.push_back(static_cast<char16_t>(exception->c & 0xFFFF));
        chars = single.c_str();
    }
    JSONTokenPosition position;
    position.line = exception->line;
    position.column = static_cast<int64_t>(exception->charPositionInLine) + 1;
    position.offset = static_cast<int64_t>(exception->index);
    position.length = 0;
    ctx->events->OnLexerError(chars, position, position.offset);
}
} // namespace

void jsonLexerInstallHooks(json_grammarLexer_Ctx_struct* ctx)
{
    ctx->events = nullptr;
    ctx->reportLexerError = ReportLexerError;
    ctx->strictNumbers = true;
    ctx->pLexer->rec->displayRecognitionError = DisplayNothing;
}

void jsonParserInstallHooks(json_grammarParser_Ctx_struct* ctx)
{
    ctx->events = nullptr;
    ctx->reportSyntaxError = ReportSyntaxError;
    ctx->free = FreeParser;
    RecognizerOf(ctx)->displayRecognitionError = DisplayNothing;
    RecognizerOf(ctx)->recoverFromMismatchedToken = RecoverWithoutRepair;
}

void jsonParserBeginDocument(json_grammarParser_Ctx_struct* ctx)
{
    ctx->nestingDepth = 0;
    ctx->stopped = false;
}

void jsonParserOnMark(json_grammarParser_Ctx_struct* ctx, JSONMarkKind kind, pANTLR3_COMMON_TOKEN token)
{
    LJSONParserEvents* events = ActiveEvents(ctx);
    if (events == nullptr || token == nullptr)
        return;
    switch (kind)
    {
    case JSON_MARK_OBJECT_START:
        events->OnObjectStart(PositionOf(ctx, token, 1));
        break;
    case JSON_MARK_OBJECT_END:
        events->OnObjectEnd(PositionOf(ctx, token, 1));
        break;
    case JSON_MARK_ARRAY_START:
        events->OnArrayStart(PositionOf(ctx, token, 1));
        break;
    case JSON_MARK_ARRAY_END:
        events->OnArrayEnd(PositionOf(ctx, token, 1));
        break;
    case JSON_MARK_COMMA:
        events->OnComma(PositionOf(ctx, token, 1));
        break;
    case JSON_MARK_TRUE:
        events->OnTrue(PositionOf(ctx, token, 4));
        break;
    case JSON_MARK_FALSE:
        events->OnFalse(PositionOf(ctx, token, 5));
        break;
    case JSON_MARK_NULL:
        events->OnNull(PositionOf(ctx, token, 4));
        break;
    }
}

void jsonParserOnText(json_grammarParser_Ctx_struct* ctx, JSONTextKind kind, pANTLR3_COMMON_TOKEN token)
{
    LJSONParserEvents* events = ActiveEvents(ctx);
    if (events == nullptr || token == nullptr)
        return;
    pANTLR3_STRING text = token->getText(token);
    if (text == nullptr)
        return;
    {
        EventText eventText(text, EncodingOf(ctx, token));
        const JSONTokenPosition position = PositionOf(ctx, token, eventText.Length());
        switch (kind)
        {
        case JSON_TEXT_KEY:
            events->OnKey(eventText.Get(), position);
            break;
        case JSON_TEXT_STRING:
            events->OnString(eventText.Get(), position);
            break;
        case JSON_TEXT_INTEGER:
            events->OnInteger(eventText.Get(), position);
            break;
        case JSON_TEXT_DOUBLE:
            events->OnDouble(eventText.Get(), position);
            break;
        }
    }
    ReturnText(token, text);
}

void jsonParserAfterValue(json_grammarParser_Ctx_struct* ctx)
{
    LJSONParserEvents* events = ActiveEvents(ctx);
    if (events == nullptr || !events->StopAfterValue())
        return;
    if (events->WantsTokenAfterValue())
        ReportTokenAfterValue(ctx);
    RecognizerOf(ctx)->consumeUntil(RecognizerOf(ctx), ANTLR3_TOKEN_EOF);
}

void jsonParserCheckTrailingInput(json_grammarParser_Ctx_struct* ctx)
{
    if (ctx->stopped)
        return;
    pANTLR3_BASE_RECOGNIZER recognizer = RecognizerOf(ctx);
    pANTLR3_INT_STREAM tokens = ctx->pParser->tstream->istream;
    if (tokens->_LA(tokens, 1) == ANTLR3_TOKEN_EOF)
        return;
    recognizer->exConstruct(recognizer);
    pANTLR3_EXCEPTION exception = recognizer->state->exception;
    exception->type = ANTLR3_NO_VIABLE_ALT_EXCEPTION;
    exception->message = const_cast<char*>("");
    exception->decisionNum = 0;
    exception->state = 0;
    recognizer->state->error = ANTLR3_TRUE;
    ctx->reportSyntaxError(ctx);
    if (ctx->events != nullptr && ctx->events->WantsTokenAfterValue())
        ReportTokenAfterValue(ctx);
}

JSONNestingLevel::JSONNestingLevel(json_grammarParser_Ctx_struct* context)
    : ctx(context)
    , entered(false)
{
    if (ctx->nestingDepth < kJSONMaxNestingDepth)
    {
        ++ctx->nestingDepth;
        entered = true;
        return;
    }
    // Too deep: report at the opening token, then skip every remaining token and keep the
    // unwinding rules quiet, so that the parse ends instead of recursing on.
    pANTLR3_COMMON_TOKEN token = ctx->pParser->tstream->_LT(ctx->pParser->tstream, 1);
    if (!ctx->stopped)
        ++RecognizerOf(ctx)->state->errorCount;
    if (ctx->events != nullptr && !ctx->stopped && token != nullptr)
    {
        JSONTokenPosition position;
        position.line = token->getLine(token);
        position.column = token->getCharPositionInLine(token);
        position.offset = static_cast<int64_t>(token->getStartIndex(token));
        position.length = 0;
        ctx->events->OnSyntaxError(false, u"Nesting deeper than 1024 levels of objects and arrays", position);
    }
    ctx->stopped = true;
    RecognizerOf(ctx)->consumeUntil(RecognizerOf(ctx), ANTLR3_TOKEN_EOF);
}

JSONNestingLevel::~JSONNestingLevel()
{
    if (entered)
        --ctx->nestingDepth;
}
