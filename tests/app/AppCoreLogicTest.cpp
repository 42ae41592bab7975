// The window-free parts of the application: the command line, the visual manager's colours,
// the Properties pane's layout, the open switch's messages and the Row details search.
#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "CommandLine.h"
#include "OpenSwitchMessage.h"
#include "PropertyLayout.h"
#include "RowDetailsSearch.h"
#include "VisualColours.h"

namespace {

TEST(CommandLineTest, Decisions)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        CommandLineAction action;
        std::vector<std::string> files;
        std::string printer;
    };
    const Case cases[] = {
        {"no argument opens nothing", {}, CommandLineAction::Nothing, {}, ""},
        {"a bare file name is not opened", {"/data/a.csv"}, CommandLineAction::Nothing, {}, ""},
        {"a relative bare name neither", {"a.csv"}, CommandLineAction::Nothing, {}, ""},
        {"/dde opens",
         {"/dde", "/data/a.csv", "b.csv"},
         CommandLineAction::Open,
         {"/data/a.csv", "b.csv"},
         ""},
        {"--open opens", {"--open", "a.csv"}, CommandLineAction::Open, {"a.csv"}, ""},
        {"switches ignore case", {"/DDE", "a.csv"}, CommandLineAction::Open, {"a.csv"}, ""},
        {"open without files is nothing", {"--open"}, CommandLineAction::Nothing, {}, ""},
        {"/p prints", {"/p", "a.csv"}, CommandLineAction::Print, {"a.csv"}, ""},
        {"/pt prints to",
         {"/pt", "a.csv", "Office", "drv", "port"},
         CommandLineAction::PrintTo,
         {"a.csv"},
         "Office"},
        {"register", {"/Register"}, CommandLineAction::Register, {}, ""},
        {"regserver per user", {"/RegServerPerUser"}, CommandLineAction::Register, {}, ""},
        {"--register", {"--register"}, CommandLineAction::Register, {}, ""},
        {"unregister", {"/Unregister"}, CommandLineAction::Unregister, {}, ""},
        {"unregserver", {"-unregserver"}, CommandLineAction::Unregister, {}, ""},
        {"restart manager is ignored", {"/RestartByRestartManager:abc"}, CommandLineAction::Nothing, {}, ""},
        {"embedding is ignored", {"-Embedding"}, CommandLineAction::Nothing, {}, ""},
        {"automation is ignored", {"/Automation", "a.csv"}, CommandLineAction::Nothing, {}, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CommandLineDecision d = DecideCommandLine(c.args);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.files, c.files);
        EXPECT_EQ(d.printerName, c.printer);
    }
}

TEST(VisualManagerTest, BarColourIsTheWindowColourLess12Clamped)
{
    EXPECT_EQ(VisualColours::BarColourFromWindow({5, 20, 255}), (RgbColour{0, 8, 243}));
    EXPECT_EQ(VisualColours::BarColourFromWindow({255, 255, 255}), (RgbColour{243, 243, 243}));
    EXPECT_EQ(VisualColours::BarColourFromWindow({0, 0, 0}), (RgbColour{0, 0, 0}));
}

TEST(VisualManagerTest, InactiveCaptionTextFollowsTheFill)
{
    using V = VisualColours;
    EXPECT_EQ(V::InactiveCaptionTextColour({192, 192, 192}), (RgbColour{255, 255, 255}));
    EXPECT_EQ(V::InactiveCaptionTextColour({193, 0, 0}), (RgbColour{0, 0, 0}));
    EXPECT_EQ(V::InactiveCaptionTextColour({0, 0, 193}), (RgbColour{0, 0, 0}));
    EXPECT_EQ(V::InactiveCaptionFill({200, 100, 0}), (RgbColour{174, 87, 0}));
    // A light face colour gives a light fill and so black text.
    EXPECT_EQ(V::InactiveCaptionTextColour(V::InactiveCaptionFill({240, 240, 240})), (RgbColour{0, 0, 0}));
}

TEST(PropertyLayoutTest, RectanglesFromTheTextHeight)
{
    PropertyLayout l = ComputePropertyLayout(16);
    EXPECT_EQ(l.spacing, 8);
    EXPECT_EQ(l.group, (PropertyRect{10, 8, 220, 104}));
    EXPECT_EQ(l.semicolon, (PropertyRect{20, 24, 200, 48}));
    EXPECT_EQ(l.comma, (PropertyRect{20, 48, 200, 72}));
    EXPECT_EQ(l.tabulator, (PropertyRect{20, 72, 200, 96}));
    EXPECT_EQ(l.label, (PropertyRect{228, 8, 340, 26}));
    EXPECT_EQ(l.list, (PropertyRect{228, 26, 340, 58}));
    EXPECT_EQ(l.apply, (PropertyRect{20, 108, 100, 132}));
    EXPECT_EQ(ComputePropertyLayout(15).spacing, 7);
    EXPECT_EQ(EncodingListWidth(400, 228), 168);
}

std::string Be32(uint32_t v)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xFF));
    return s;
}

TEST(OpenSwitchMessageTest, ReaderTakesOurMessagesAndRefusesTheRest)
{
    using State = COpenSwitchMessageReader::State;
    const std::string body = Be32(6) + "/a.csv" + Be32(8) + "/b c.csv";
    struct Case
    {
        const char* name;
        std::string bytes;
        State state;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"two paths",
         "CSVQ" + Be32(static_cast<uint32_t>(body.size())) + body,
         State::Complete,
         {"/a.csv", "/b c.csv"}},
        {"header only", "CSVQ" + Be32(15), State::Incomplete, {}},
        {"half a header", "CSV", State::Incomplete, {}},
        {"other magic", "HTTP" + Be32(10) + "0123456789", State::Refused, {}},
        {"4 GB declared", "CSVQ" + Be32(0xFFFFFFFFu), State::Refused, {}},
        {"just over 1 MiB declared", "CSVQ" + Be32(kOpenSwitchMaxBody + 1), State::Refused, {}},
        {"empty body", "CSVQ" + Be32(0), State::Refused, {}},
        {"relative path", "CSVQ" + Be32(9) + Be32(5) + "a.csv", State::Refused, {}},
        {"path length past the body", "CSVQ" + Be32(10) + Be32(50) + "/a.csv", State::Refused, {}},
        {"empty path", "CSVQ" + Be32(4) + Be32(0), State::Refused, {}},
        {"NUL inside a path", "CSVQ" + Be32(10) + Be32(6) + std::string("/a\0csv", 6), State::Refused, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // All at once, and one byte at a time.
        for (size_t step : {c.bytes.size(), size_t(1)})
        {
            COpenSwitchMessageReader reader;
            for (size_t at = 0; at < c.bytes.size(); at += step)
                reader.Feed(c.bytes.data() + at, std::min(step, c.bytes.size() - at));
            EXPECT_EQ(reader.GetState(), c.state);
            EXPECT_EQ(reader.Paths(), c.paths);
        }
    }
}

TEST(OpenSwitchMessageTest, PathListsOverOneMessageAreSplit)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 600; ++i)
        paths.push_back("/" + std::string(4000, static_cast<char>('a' + i % 26)) + std::to_string(i));
    std::vector<std::string> messages = EncodeOpenSwitchMessages(paths);
    ASSERT_GE(messages.size(), 3u);
    std::vector<std::string> decoded;
    for (const std::string& m : messages)
    {
        EXPECT_LE(m.size(), kOpenSwitchMaxBody + 8);
        COpenSwitchMessageReader reader;
        ASSERT_EQ(reader.Feed(m.data(), m.size()), COpenSwitchMessageReader::State::Complete);
        decoded.insert(decoded.end(), reader.Paths().begin(), reader.Paths().end());
    }
    EXPECT_EQ(decoded, paths);
    EXPECT_EQ(AbsolutePathBytes("/x/y"), "/x/y");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(AbsolutePathBytes("r\xC3\xA9.csv"), std::string(cwd) + "/r\xC3\xA9.csv");
}

// The Row details pane finds what find next found: with match case off both sides are folded
// as find next folds them, beyond Latin too; the hit comes back as the pane's byte range.
TEST(RowDetailsSearchTest, FindsAsFindNextFoldsAndReturnsByteOffsets)
{
    struct Case
    {
        const char* name;
        const char* text;
        const char* needle;
        bool matchCase;
        bool found;
        size_t start, end;
    } cases[] = {
        {"Cyrillic, other case", "4;\xD0\xA1\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2 P.\n",
         "\xD1\x81\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2", false, true, 2, 16},
        {"Cyrillic, other case, match case on",
         "4;\xD0\xA1\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2\n",
         "\xD1\x81\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBD\xD0\xBE\xD0\xB2", true, false, 0, 0},
        {"Cyrillic upper-case needle",
         "3;\xD0\xB3. \xD0\x92\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xB3\xD0\xB4\xD0\xB0\n",
         "\xD0\x92\xD0\x9E\xD0\x9B\xD0\x9E\xD0\x93\xD0\x94\xD0\x90", false, true, 6, 20},
        {"Latin accents", "\xC3\xA9t\xC3\xA9;caf\xC3\xA9", "CAF\xC3\x89", false, true, 6, 11},
        {"the first hit", "ABC;abc", "abc", false, true, 0, 3},
        {"match case on", "ABC;abc", "abc", true, true, 4, 7},
        {"after a pair", "\xF0\x9F\x98\x80x;\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD",
         "\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD", false, true, 6, 14},
        {"a character outside the basic plane folds too",
         "a\xF0\x90\x90\x80"
         "b",
         "\xF0\x90\x90\xA8", false, true, 1, 5},
        {"after bytes that are not UTF-8", "\xFF\xC3;abc", "ABC", false, true, 3, 6},
        {"at the end", "xyz", "Z", false, true, 2, 3},
        {"empty needle", "abc", "", false, false, 0, 0},
        {"longer than the text", "ab", "abc", false, false, 0, 0},
        {"not there", "abc", "abd", false, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        RowDetailsHit hit;
        ASSERT_EQ(FindInRowDetailsText(c.text, c.needle, c.matchCase, hit), c.found);
        if (c.found)
        {
            EXPECT_EQ(hit.start, c.start);
            EXPECT_EQ(hit.end, c.end);
        }
    }
}

} // namespace
