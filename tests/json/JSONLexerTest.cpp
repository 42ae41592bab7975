// The JSON lexer: token types and texts, the hidden whitespace channel, the number syntax with and
// without strictNumbers, and the errors it hands to OnLexerError.
#include <gtest/gtest.h>

#include "JSONTestSupport.h"

namespace {
// "Type:text" for tokens on the default channel, "~Type" for hidden ones.
std::vector<std::string> Describe(const std::vector<LexedToken>& tokens)
{
    std::vector<std::string> out;
    for (const LexedToken& token : tokens)
        out.push_back(token.channel == 0 ? token.type + ":" + ToUtf8(token.text) : "~" + token.type);
    return out;
}

struct LexCase
{
    const char* name;
    const char* input;
    bool strictNumbers;
    std::vector<std::string> tokens;
    std::vector<std::string> errors;
};

const std::string kEnd = ToUtf8(u"\uFFFF");

const LexCase kLexCases[] = {
    {"leading zero, strict", "01", true, {"Integer:0", "Integer:1"}, {}},
    {"leading zero, loose", "01", false, {"Integer:01"}, {}},
    {"integers",
     "-5 0 12",
     true,
     {"Integer:-5", "~WhiteSpace", "Integer:0", "~WhiteSpace", "Integer:12"},
     {}},
    {"doubles",
     "1.5 1e5 1.5E+3 -0.0",
     true,
     {"Double:1.5", "~WhiteSpace", "Double:1e5", "~WhiteSpace", "Double:1.5E+3", "~WhiteSpace",
      "Double:-0.0"},
     {}},
    {"punctuation and literals",
     "{\"k\":[true,false,null]}",
     true,
     {"LBrace:{", "String:\"k\"", "Colon::", "LBracket:[", "JSON_TRUE:true", "Comma:,", "JSON_FALSE:false",
      "Comma:,", "JSON_NULL:null", "RBracket:]", "RBrace:}"},
     {}},
    {"every whitespace character is a hidden token",
     " \t\r\n\f",
     true,
     {"~WhiteSpace", "~WhiteSpace", "~WhiteSpace", "~WhiteSpace", "~WhiteSpace"},
     {}},
    {"string keeps quotes and escapes", "\"a\\\"b\\u00e9\\n\"", true, {"String:\"a\\\"b\\u00e9\\n\""}, {}},
    {"control characters inside a string", "\"a\tb\x01\"", true, {"String:\"a\tb\x01\""}, {}},
    {"fraction without digits", "1.", true, {}, {"LexerError " + kEnd + " 1:2@2+0"}},
    {"exponent without digits", "1e", true, {}, {"LexerError " + kEnd + " 1:2@2+0"}},
    // The prediction fails at the letter; the runtime then drops the minus sign and fails again.
    {"minus before a letter", "-a", true, {}, {"LexerError a 1:1@1+0", "LexerError a 1:1@1+0"}},
    {"letter at a token start", "a", true, {}, {"LexerError a 1:0@0+0"}},
    {"bad hex digit", "\"\\u12G4\"", true, {}, {"LexerError G 1:5@5+0", "LexerError " + kEnd + " 1:8@8+0"}},
    {"bad escape", "\"\\x\"", true, {}, {"LexerError x 1:2@2+0", "LexerError " + kEnd + " 1:4@4+0"}},
    {"unterminated string", "\"abc", true, {}, {"LexerError " + kEnd + " 1:4@4+0"}},
    {"broken literal", "tru", true, {}, {"LexerError " + kEnd + " 1:3@3+0"}},
    {"lexing goes on after an error", "[x]", true, {"LBracket:[", "RBracket:]"}, {"LexerError x 1:1@1+0"}},
};

class JSONLexerCases : public ::testing::TestWithParam<StreamKind>
{};
} // namespace

TEST_P(JSONLexerCases, TokensAndErrors)
{
    for (const LexCase& c : kLexCases)
    {
        SCOPED_TRACE(c.name);
        JSONInput input(GetParam(), c.input);
        RecordingEvents events(&input);
        const std::vector<LexedToken> tokens = LexAll(input, &events, c.strictNumbers);
        EXPECT_EQ(Describe(tokens), c.tokens);
        EXPECT_EQ(events.log, c.errors);
    }
}

TEST_P(JSONLexerCases, PositionsCountFromMinusOneOnTheFirstLine)
{
    JSONInput input(GetParam(), "[1,\n  \"x\"]");
    const std::vector<LexedToken> tokens = LexAll(input, nullptr);
    ASSERT_EQ(tokens.size(), 8u);
    // '[' is the first character of the file: position in line -1; after LF the count restarts at 0.
    EXPECT_EQ(tokens[0].positionInLine, -1);
    EXPECT_EQ(tokens[1].positionInLine, 0);
    EXPECT_EQ(tokens[6].type, "String");
    EXPECT_EQ(tokens[6].line, 2u);
    EXPECT_EQ(tokens[6].positionInLine, 2);
    EXPECT_EQ(tokens[6].offset, 6);
    EXPECT_EQ(tokens[7].offset, 9);
}

TEST_P(JSONLexerCases, ErrorsWithoutEventObjectAreSilent)
{
    JSONInput input(GetParam(), "a \"x");
    const std::vector<LexedToken> tokens = LexAll(input, nullptr);
    EXPECT_EQ(Describe(tokens), std::vector<std::string>({"~WhiteSpace"}));
}

INSTANTIATE_TEST_SUITE_P(Streams, JSONLexerCases, ::testing::Values(StreamKind::Memory, StreamKind::File),
                         [](const ::testing::TestParamInfo<StreamKind>& info) {
                             return info.param == StreamKind::Memory ? std::string("Memory")
                                                                     : std::string("File");
                         });

TEST(JSONLexer, TokenNameTable)
{
    const std::vector<std::string> expected = {
        "<invalid>", "<EOR>",      "<DOWN>",      "<UP>",      "ARRAY",   "Colon",          "Comma",
        "DOUBLE",    "Digit",      "Dot",         "Double",    "ELEMENT", "EscapeSequence", "Exp",
        "Frac",      "HexDigit",   "INTEGER",     "Int",       "Integer", "JSON_FALSE",     "JSON_NULL",
        "JSON_TRUE", "LBrace",     "LBracket",    "OBJECT",    "RBrace",  "RBracket",       "STRING",
        "String",    "StringChar", "UnicodeChar", "WhiteSpace"};
    EXPECT_EQ(TokenNames(), expected);
}

TEST(JSONLexer, GrammarFileName)
{
    const std::string lexerName = LexerGrammarFileName();
    const std::string suffix = "json_grammar.g";
    ASSERT_GE(lexerName.size(), suffix.size());
    EXPECT_EQ(lexerName.substr(lexerName.size() - suffix.size()), suffix);
    EXPECT_EQ(ParserGrammarFileName(), lexerName);
}
