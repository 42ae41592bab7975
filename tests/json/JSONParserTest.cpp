// The JSON parser: the order and contents of its events, its error handling without recovery,
// the early stop after a value and the three start rules. Every case runs over antlr3's own
// string stream and over the paged file stream.
#include <algorithm>
#include <gtest/gtest.h>

#include "JSONTestSupport.h"

namespace {
using Log = std::vector<std::string>;

struct ParseCase
{
    const char* name;
    const char* input;
    Log expected;
    bool wantsToken = false;
    int stopAt = 0; // the StopAfterValue question answered "yes" (0: none)
    StartRule rule = StartRule::Document;
};

const ParseCase kParseCases[] = {
    {"one member holding an array",
     "{\"a\":[1,true]}",
     {"ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3", "ArrayStart 1:5@5+1", "Integer 1 1:6@6+1", "Stop?",
      "Comma 1:7@7+1", "True 1:8@8+4", "Stop?", "ArrayEnd 1:12@12+1", "Stop?", "ObjectEnd 1:13@13+1",
      "Stop?"}},
    {"empty object", "{}", {"ObjectStart 1:0@0+1", "ObjectEnd 1:1@1+1", "Stop?"}},
    {"empty array", "[]", {"ArrayStart 1:0@0+1", "ArrayEnd 1:1@1+1", "Stop?"}},
    {"every kind of value",
     "[\"s\",-1.5e3,0,false,null]",
     {"ArrayStart 1:0@0+1", "String \"s\" 1:1@1+3", "Stop?", "Comma 1:4@4+1", "Double -1.5e3 1:5@5+6",
      "Stop?", "Comma 1:11@11+1", "Integer 0 1:12@12+1", "Stop?", "Comma 1:13@13+1", "False 1:14@14+5",
      "Stop?", "Comma 1:19@19+1", "Null 1:20@20+4", "Stop?", "ArrayEnd 1:24@24+1", "Stop?"}},
    {"members and later lines",
     "{\"a\": 1,\n \"b\": {}}",
     {"ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3", "Integer 1 1:6@6+1", "Stop?", "Comma 1:7@7+1",
      "Key \"b\" 2:2@10+3", "ObjectStart 2:7@15+1", "ObjectEnd 2:8@16+1", "Stop?", "ObjectEnd 2:9@17+1",
      "Stop?"}},
    {"key text keeps escapes",
     "{\"a\\u0041\":1}",
     {"ObjectStart 1:0@0+1", "Key \"a\\u0041\" 1:1@1+9", "Integer 1 1:11@11+1", "Stop?",
      "ObjectEnd 1:12@12+1", "Stop?"}},
    // value is entered for anything but ']' after '[', and reports what cannot start a value.
    {"array starting with a comma",
     "[,1]",
     {"ArrayStart 1:0@0+1", "SyntaxError , 1:0@1+0", "Comma 1:1@1+1", "Integer 1 1:2@2+1", "Stop?",
      "ArrayEnd 1:3@3+1", "Stop?"}},
    {"object holding only a comma",
     "{,}",
     {"ObjectStart 1:0@0+1", "SyntaxError , 1:0@1+0", "Stop?", "TrailingInput , 1:0@1+0",
      "TokenAfterValue , 1:1@1+1"},
     true},
    {"member without a colon",
     "{\"a\" 1}",
     {"ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3", "SyntaxError 1 1:4@5+0", "SyntaxError 1 1:4@5+0", "Stop?",
      "TrailingInput 1 1:4@5+0"}},
    {"two values", "1 2", {"Integer 1 1:0@0+1", "Stop?", "TrailingInput 2 1:1@2+0"}},
    {"two values, token after the value wanted",
     "1 2",
     {"Integer 1 1:0@0+1", "Stop?", "TrailingInput 2 1:1@2+0", "TokenAfterValue 2 1:2@2+1"},
     true},
    {"stop after the first value of an array",
     "[1,2,3]",
     {"ArrayStart 1:0@0+1", "Integer 1 1:1@1+1", "Stop? yes", "TokenAfterValue , 1:2@2+1",
      "SyntaxError <EOF> 1:6@7+0", "Stop?"},
     true,
     1},
    {"stop without the following token",
     "[1,2,3]",
     {"ArrayStart 1:0@0+1", "Integer 1 1:1@1+1", "Stop? yes", "SyntaxError <EOF> 1:6@7+0", "Stop?"},
     false,
     1},
    {"stop after the last value",
     "7",
     {"Integer 7 1:0@0+1", "Stop? yes", "TokenAfterValue <EOF> 1:1@1+5"},
     true,
     1},
    // The end token is placed at the end of the input (the runtime gives it its token index).
    {"stop at the end of an empty document",
     "[]",
     {"ArrayStart 1:0@0+1", "ArrayEnd 1:1@1+1", "Stop? yes", "TokenAfterValue <EOF> 1:2@2+5"},
     true,
     1},
    {"error at the very first token", "]", {"SyntaxError ] 1:-1@0+0", "TrailingInput ] 1:-1@0+0"}},
    {"empty input", "", {"SyntaxError <EOF> 1:-1@0+0"}},
    {"lone opening bracket",
     "[",
     {"ArrayStart 1:0@0+1", "SyntaxError <EOF> 1:0@1+0", "SyntaxError <EOF> 1:0@1+0", "Stop?"}},
    {"lone opening brace", "{", {"ObjectStart 1:0@0+1", "SyntaxError <EOF> 1:0@1+0", "Stop?"}},
    {"lone closing brace", "}", {"SyntaxError } 1:-1@0+0", "TrailingInput } 1:-1@0+0"}},
    {"truncated member",
     "{\"a\":",
     {"ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3", "SyntaxError <EOF> 1:4@5+0", "SyntaxError <EOF> 1:4@5+0",
      "Stop?"}},
    {"truncated array",
     "[1,",
     {"ArrayStart 1:0@0+1", "Integer 1 1:1@1+1", "Stop?", "Comma 1:2@2+1", "SyntaxError <EOF> 1:2@3+0",
      "SyntaxError <EOF> 1:2@3+0", "Stop?"}},
    // The common token stream lexes the whole input before the parser sees the first token.
    {"lexer error inside an array",
     "[1,x]",
     {"LexerError x 1:3@3+0", "ArrayStart 1:0@0+1", "Integer 1 1:1@1+1", "Stop?", "Comma 1:2@2+1",
      "SyntaxError ] 1:3@4+0", "ArrayEnd 1:4@4+1", "Stop?"}},
    // The start rules call object and array directly, without the after-value step of value.
    {"jsonObject over an object",
     "{}",
     {"ObjectStart 1:0@0+1", "ObjectEnd 1:1@1+1"},
     false,
     0,
     StartRule::Object},
    {"jsonObject over an array", "[1]", {"SyntaxError [ 1:-1@0+0"}, false, 0, StartRule::Object},
    {"jsonArray over an object", "{}", {"SyntaxError { 1:-1@0+0"}, false, 0, StartRule::Array},
    {"jsonArray ignores trailing input",
     "[] 1",
     {"ArrayStart 1:0@0+1", "ArrayEnd 1:1@1+1"},
     false,
     0,
     StartRule::Array},
};

class JSONParserCases : public ::testing::TestWithParam<StreamKind>
{};
} // namespace

TEST_P(JSONParserCases, EventSequences)
{
    for (const ParseCase& c : kParseCases)
    {
        SCOPED_TRACE(c.name);
        const Log log = ParseLog(
            GetParam(), c.input,
            [&](RecordingEvents& events) {
                events.wantsToken = c.wantsToken;
                const int stopAt = c.stopAt;
                events.stopAnswer = [stopAt](int question) { return question == stopAt; };
            },
            c.rule);
        EXPECT_EQ(log, c.expected);
    }
}

TEST_P(JSONParserCases, WithoutEventObjectNothingIsCalled)
{
    // The lexer still reports to its own event object; the parser has none and ends silently.
    JSONInput input(GetParam(), "[1,,x] 2");
    RecordingEvents lexerEvents(&input);
    ParseInput(input, nullptr, &lexerEvents);
    EXPECT_EQ(lexerEvents.log, Log({"LexerError x 1:4@4+0"}));
}

TEST_P(JSONParserCases, ErrorCountsInTheRecognizerStateMatchTheReportedErrors)
{
    // Every case above, with the events both recognizers report and then without any event
    // object: the lexer counts each error (events or not); the parser counts each error it
    // reports, and without events the parse ends at its first error, which counts once.
    const auto errorLines = [](const Log& log, const std::string& prefix) {
        return static_cast<uint32_t>(std::count_if(
            log.begin(), log.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    };
    std::vector<ParseCase> cases(std::begin(kParseCases), std::end(kParseCases));
    cases.push_back({"trailing comma", "[1,]", {}});
    cases.push_back({"no trailing comma", "[1]", {}});
    cases.push_back({"deep nesting", nullptr, {}});
    const std::string deep(1100, '[');
    for (const ParseCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string text = c.input != nullptr ? c.input : deep;
        JSONInput withEvents(GetParam(), text);
        RecordingEvents events(&withEvents);
        events.wantsToken = c.wantsToken;
        const int stopAt = c.stopAt;
        events.stopAnswer = [stopAt](int question) { return question == stopAt; };
        const RecognizerErrors counted = ParseInput(withEvents, &events, &events, c.rule);
        const uint32_t syntaxErrors =
            errorLines(events.log, "SyntaxError") + errorLines(events.log, "TrailingInput");
        EXPECT_EQ(counted.parser, syntaxErrors);
        EXPECT_EQ(counted.lexer, errorLines(events.log, "LexerError"));

        JSONInput silent(GetParam(), text);
        const RecognizerErrors quiet = ParseInput(silent, nullptr, nullptr, c.rule);
        EXPECT_EQ(quiet.lexer, counted.lexer);
        if (c.stopAt == 0)
        {
            EXPECT_EQ(quiet.parser, syntaxErrors > 0 ? 1u : 0u);
        }
    }
    // What a caller without an event object can now tell apart.
    JSONInput bad(GetParam(), "[1,]");
    JSONInput good(GetParam(), "[1]");
    EXPECT_EQ(ParseInput(bad, nullptr, nullptr).parser, 1u);
    EXPECT_EQ(ParseInput(good, nullptr, nullptr).parser, 0u);
}

TEST_P(JSONParserCases, SeparateEventObjectsForLexerAndParser)
{
    JSONInput input(GetParam(), "[a]");
    RecordingEvents lexerEvents(&input);
    RecordingEvents parserEvents(&input);
    ParseInput(input, &parserEvents, &lexerEvents);
    EXPECT_EQ(lexerEvents.log, Log({"LexerError a 1:1@1+0"}));
    EXPECT_EQ(parserEvents.log, Log({"ArrayStart 1:0@0+1", "ArrayEnd 1:2@2+1", "Stop?"}));
}

INSTANTIATE_TEST_SUITE_P(Streams, JSONParserCases, ::testing::Values(StreamKind::Memory, StreamKind::File),
                         [](const ::testing::TestParamInfo<StreamKind>& info) {
                             return info.param == StreamKind::Memory ? std::string("Memory")
                                                                     : std::string("File");
                         });
