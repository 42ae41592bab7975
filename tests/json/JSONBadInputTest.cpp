// Bad and unusual input through the paged file stream: truncated documents, encodings, NUL, the
// limits of numbers and nesting, files over 10 MB, missing and empty files; and each place where
// the grammar accepts or rejects a document differently from RFC 8259.
#include <algorithm>
#include <gtest/gtest.h>

#include "JSONTestSupport.h"

namespace {
using Log = std::vector<std::string>;

bool IsError(const std::string& line)
{
    return line.rfind("SyntaxError", 0) == 0 || line.rfind("TrailingInput", 0) == 0 ||
           line.rfind("LexerError", 0) == 0;
}

bool Accepted(const Log& log)
{
    return std::none_of(log.begin(), log.end(), IsError);
}

std::string Utf16(const std::string& ascii, bool bigEndian)
{
    std::string out;
    for (char c : ascii)
    {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

Log ParseFile(const std::string& bytes, const std::function<void(RecordingEvents&)>& setup = {})
{
    return ParseLog(StreamKind::File, bytes, setup);
}
} // namespace

TEST(JSONBadInput, TruncatedDocumentsEndWithErrors)
{
    const char* inputs[] = {"{\"a\":[1,{\"b\":tr", "[\"abc", "{\"a\"", "[1,2",
                            "{\"a\":{\"b\":[",     "-",      "[1e",    "\"\\u12"};
    for (const char* input : inputs)
    {
        SCOPED_TRACE(input);
        const Log log = ParseFile(input);
        ASSERT_FALSE(log.empty());
        EXPECT_FALSE(Accepted(log));
    }
    EXPECT_EQ(
        ParseFile("{\"a\":[1,{\"b\":tr"),
        Log({"LexerError " + ToUtf8(u"\uFFFF") + " 1:15@15+0", "ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3",
             "ArrayStart 1:5@5+1", "Integer 1 1:6@6+1", "Stop?", "Comma 1:7@7+1", "ObjectStart 1:8@8+1",
             "Key \"b\" 1:9@9+3", "SyntaxError <EOF> 1:14@15+0", "SyntaxError <EOF> 1:14@15+0", "Stop?",
             "SyntaxError <EOF> 1:14@15+0", "Stop?", "SyntaxError <EOF> 1:14@15+0", "Stop?"}));
}

TEST(JSONBadInput, EmptyFileAndMissingPath)
{
    const Log expected = {"SyntaxError <EOF> 1:-1@0+0"};
    EXPECT_EQ(ParseFile(""), expected);
    TempDir dir;
    JSONInput missing(dir.Path() + "/no such file.json");
    RecordingEvents events(&missing);
    ParseInput(missing, &events, &events);
    EXPECT_EQ(events.log, expected);
}

TEST(JSONBadInput, Utf16WithAndWithoutByteOrderMark)
{
    const std::string document = "{\"a\":[1,\"x\"]}";
    const Log expected = ParseFile(document);
    ASSERT_TRUE(Accepted(expected));
    for (bool bigEndian : {false, true})
    {
        for (bool mark : {false, true})
        {
            SCOPED_TRACE(std::string(bigEndian ? "big" : "little") + "-endian" + (mark ? " with mark" : ""));
            std::string bytes = Utf16(document, bigEndian);
            if (mark)
                bytes = (bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE")) + bytes;
            EXPECT_EQ(ParseFile(bytes), expected);
        }
    }
}

TEST(JSONBadInput, InvalidUtf8)
{
    const std::string replacement = ToUtf8(u"\uFFFD");
    // Inside a string each bad byte becomes U+FFFD and the string is a valid token.
    EXPECT_EQ(ParseFile("[\"a\xFF\xC3(\"]"),
              Log({"ArrayStart 1:0@0+1", "String \"a" + replacement + replacement + "(\" 1:1@1+6", "Stop?",
                   "ArrayEnd 1:7@7+1", "Stop?"}));
    // Outside a string it is a character no token starts with.
    const Log outside = ParseFile("[1,\xFF]");
    ASSERT_FALSE(outside.empty());
    EXPECT_EQ(outside[0], "LexerError " + replacement + " 1:3@3+0");
}

// A NUL ends the decoded text of its block: what follows it in the block is never seen.
TEST(JSONBadInput, NulInsideTheFile)
{
    EXPECT_EQ(ParseFile(std::string("[1,\0 2]", 7)),
              Log({"ArrayStart 1:0@0+1", "Integer 1 1:1@1+1", "Stop?", "Comma 1:2@2+1",
                   "SyntaxError <EOF> 1:2@3+0", "SyntaxError <EOF> 1:2@3+0", "Stop?"}));
}

TEST(JSONBadInput, NumbersAtTheLimitsKeepTheirText)
{
    const char* numbers[] = {"18446744073709551616",
                             "-9223372036854775809",
                             "1e400",
                             "-1E-400",
                             "123456789012345678901234567890.123456789012345678901234567890",
                             "-0"};
    std::string document = "[";
    for (const char* number : numbers)
        document += std::string(document.size() > 1 ? "," : "") + number;
    document += "]";
    Log values;
    for (const std::string& line : ParseFile(document))
    {
        if (line.rfind("Integer", 0) == 0 || line.rfind("Double", 0) == 0)
            values.push_back(line.substr(0, line.find(' ', line.find(' ') + 1)));
    }
    EXPECT_EQ(
        values,
        Log({"Integer 18446744073709551616", "Integer -9223372036854775809", "Double 1e400", "Double -1E-400",
             "Double 123456789012345678901234567890.123456789012345678901234567890", "Integer -0"}));
}

TEST(JSONBadInput, DeepNestingStopsWithOneError)
{
    const std::string brackets = std::string(100'000, '[') + std::string(100'000, ']');
    EXPECT_EQ(ParseFile(brackets, [](RecordingEvents& events) { events.logStopQuestions = false; }).size(),
              1025u);
    const Log log = ParseFile(brackets, [](RecordingEvents& events) { events.wantsToken = true; });
    ASSERT_EQ(log.size(), 1025u);
    EXPECT_EQ(log[1023], "ArrayStart 1:1023@1023+1");
    EXPECT_EQ(log[1024], "SyntaxError Nesting deeper than 1024 levels of objects and arrays 1:1023@1024+0");

    std::string members;
    for (int i = 0; i < 100'000; ++i)
        members += "{\"a\":";
    const Log objects = ParseFile(members); // unclosed as well
    ASSERT_EQ(objects.size(), 2 * 1024 + 1u);
    EXPECT_TRUE(objects.back().rfind("SyntaxError Nesting deeper than 1024 levels", 0) == 0);

    // 1024 levels are still followed.
    const std::string deepest = std::string(1024, '[') + std::string(1024, ']');
    const Log whole = ParseFile(deepest, [](RecordingEvents& events) { events.logStopQuestions = false; });
    EXPECT_EQ(whole.size(), 2048u);
    EXPECT_TRUE(Accepted(whole));

    // Without an event object the parse ends as well.
    JSONInput input(StreamKind::File, brackets);
    ParseInput(input, nullptr, nullptr);
}

// The common token stream lexes the whole file before the parser asks for the first text, so the
// first key's text lies far behind the stream's current block.
TEST(JSONBadInput, FirstKeyOfAFileOver10MB)
{
    const std::string big(11'000'000, 'x');
    const std::string document = "{\"first\": \"" + big + "\", \"last\": [1]}";
    JSONInput input(StreamKind::File, document);
    struct Texts : RecordingEvents
    {
        using RecordingEvents::RecordingEvents;
        std::vector<std::u16string> keys;
        std::u16string value;
        void OnKey(const char16_t* text, const JSONTokenPosition& position) override
        {
            keys.emplace_back(text, position.length);
        }
        void OnString(const char16_t* text, const JSONTokenPosition& position) override
        {
            value.assign(text, position.length);
        }
    } events(&input);
    ParseInput(input, &events, &events);
    EXPECT_EQ(events.keys, std::vector<std::u16string>({u"\"first\"", u"\"last\""}));
    ASSERT_EQ(events.value.size(), big.size() + 2);
    EXPECT_EQ(events.value.front(), u'"');
    EXPECT_EQ(events.value.find_first_not_of(u'x', 1), big.size() + 1);
}

// Where this grammar and RFC 8259 judge a document differently.
TEST(JSONBadInput, DifferencesFromRfc8259)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        bool rfcAccepts;
        bool accepted;
    };
    const Case cases[] = {
        // Same verdict, for contrast.
        {"trailing comma in an array", "[1,]", false, false},
        {"trailing comma in an object", "{\"a\":1,}", false, false},
        {"leading zero with strict numbers", "01", false, false},
        {"fraction without digits", "1.", false, false},
        {"scalar document", "\"x\"", true, true},
        {"byte-order mark (RFC: may be ignored)", "\xEF\xBB\xBF[1]", true, true},
        // Differences.
        {"raw control character inside a string", "[\"a\tb\x01\"]", false, true},
        {"form feed as whitespace", "[1,\f2]", false, true},
        {"invalid UTF-8 inside a string, read as U+FFFD", "[\"\xFF\"]", false, true},
        {"UTF-16 text", std::string("[\0001\0]\0", 6), false, true},
        {"a NUL hides the rest of its block", std::string("[1]\0 garbage", 12), false, true},
        {"byte-order mark alone is not skipped", "\xEF\xBB\xBF", false, false},
        {"more than 1024 levels of nesting", std::string(1025, '[') + std::string(1025, ']'), true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Accepted(ParseFile(c.bytes)), c.accepted);
    }
    // The file stream skips a UTF-8 byte-order mark when anything follows it; a mark alone is read
    // as the character U+FEFF, which no token starts with.
    EXPECT_EQ(ParseFile("\xEF\xBB\xBF[1]"), ParseFile("[1]"));
    EXPECT_EQ(ParseFile("\xEF\xBB\xBF"),
              Log({"LexerError \xEF\xBB\xBF 1:0@0+0", "SyntaxError <EOF> 1:0@1+0"}));
    // Leading zeros are taken into the number when strictNumbers is off.
    JSONInput input(StreamKind::File, "[007]");
    RecordingEvents events(&input);
    ParseInput(input, &events, &events, StartRule::Document, false);
    EXPECT_TRUE(Accepted(events.log));
    EXPECT_EQ(events.log[1], "Integer 007 1:1@1+3");
}
