// The caller's side of the JSON lexer and parser: every key, structure, value and error leaves
// the generated recognizers as a call on this interface. The recognizers hold a pointer to it
// and never own or free it.
#pragma once

#include <cstdint>

// Where a token lies, passed with every event.
struct JSONTokenPosition
{
    uint64_t line;  // first line is 1
    int64_t column; // the input's position in line + 1 (errors: see each event)
    int64_t offset; // start index of the token in the input (UTF-16 units for the file stream)
    int32_t length; // UTF-16 units of the text passed with the event; 0 for errors
};

// Texts are UTF-16, zero-terminated and valid only during the call. A String token's text keeps
// its quotation marks and escape sequences as written.
class LJSONParserEvents
{
public:
    virtual void OnKey(const char16_t* text, const JSONTokenPosition& position) = 0;
    virtual void OnObjectStart(const JSONTokenPosition& position) = 0;
    virtual void OnObjectEnd(const JSONTokenPosition& position) = 0;
    virtual void OnArrayStart(const JSONTokenPosition& position) = 0;
    virtual void OnArrayEnd(const JSONTokenPosition& position) = 0;
    virtual void OnComma(const JSONTokenPosition& position) = 0;
    virtual void OnString(const char16_t* text, const JSONTokenPosition& position) = 0;
    virtual void OnInteger(const char16_t* text, const JSONTokenPosition& position) = 0;
    virtual void OnDouble(const char16_t* text, const JSONTokenPosition& position) = 0;
    virtual void OnTrue(const JSONTokenPosition& position) = 0;
    virtual void OnFalse(const JSONTokenPosition& position) = 0;
    virtual void OnNull(const JSONTokenPosition& position) = 0;
    // trailingInput is true for input left after the top-level value; text may be null.
    virtual void OnSyntaxError(bool trailingInput, const char16_t* text,
                               const JSONTokenPosition& position) = 0;
    virtual void OnLexerError(const char16_t* text, const JSONTokenPosition& position, int64_t offset) = 0;
    // Asked after every value parsed without an error; true ends the parse there.
    virtual bool StopAfterValue() = 0;
    // Asked when StopAfterValue said true, and after the trailing-input error.
    virtual bool WantsTokenAfterValue() = 0;
    // The token that follows; text may be null.
    virtual void OnTokenAfterValue(const char16_t* text, const JSONTokenPosition& position,
                                   int64_t offset) = 0;

protected:
    ~LJSONParserEvents() = default;
};
