// Hooks that the generated JSON lexer and parser call from their actions and set-up code. They
// are internal to the library; the generated headers include this one for the declarations.
#pragma once

#include <antlr3.h>

#include "LJSONParserEvents.h"

struct json_grammarLexer_Ctx_struct;
struct json_grammarParser_Ctx_struct;

// Deepest nesting of objects and arrays the parser follows before it reports an error and stops.
constexpr ANTLR3_UINT32 kJSONMaxNestingDepth = 1024;

enum JSONMarkKind
{
    JSON_MARK_OBJECT_START,
    JSON_MARK_OBJECT_END,
    JSON_MARK_ARRAY_START,
    JSON_MARK_ARRAY_END,
    JSON_MARK_COMMA,
    JSON_MARK_TRUE,
    JSON_MARK_FALSE,
    JSON_MARK_NULL,
};

enum JSONTextKind
{
    JSON_TEXT_KEY,
    JSON_TEXT_STRING,
    JSON_TEXT_INTEGER,
    JSON_TEXT_DOUBLE,
};

// Lexer construction: silent runtime reports, strict numbers, the error hook.
void jsonLexerInstallHooks(json_grammarLexer_Ctx_struct* ctx);

// Parser construction: silent runtime reports, no recovery, the error hook.
void jsonParserInstallHooks(json_grammarParser_Ctx_struct* ctx);

// Start rules: a fresh nesting count and no stop.
void jsonParserBeginDocument(json_grammarParser_Ctx_struct* ctx);

// Events for tokens without text (braces, brackets, commas, literals) and with text.
void jsonParserOnMark(json_grammarParser_Ctx_struct* ctx, JSONMarkKind kind, pANTLR3_COMMON_TOKEN token);
void jsonParserOnText(json_grammarParser_Ctx_struct* ctx, JSONTextKind kind, pANTLR3_COMMON_TOKEN token);

// The step after a value parsed without an error: the caller may stop the parse there.
void jsonParserAfterValue(json_grammarParser_Ctx_struct* ctx);

// The end of jsonDocument: reports input left after the top-level value.
void jsonParserCheckTrailingInput(json_grammarParser_Ctx_struct* ctx);

// Counts one level of object or array nesting for as long as the rule runs. Past
// kJSONMaxNestingDepth it reports a syntax error and ends the parse instead of recursing on.
class JSONNestingLevel
{
public:
    explicit JSONNestingLevel(json_grammarParser_Ctx_struct* ctx);
    ~JSONNestingLevel();
    JSONNestingLevel(const JSONNestingLevel&) = delete;
    JSONNestingLevel& operator=(const JSONNestingLevel&) = delete;

    bool Entered() const { return entered; }

private:
    json_grammarParser_Ctx_struct* ctx;
    bool entered;
};
