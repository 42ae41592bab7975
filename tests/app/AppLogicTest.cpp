// The window-free parts of the application: the command line, the visual manager's colours,
// the Properties pane's layout, the fonts, the desktop entry and the string conversions.
#include <gtest/gtest.h>

#include "AppFonts.h"
#include "CMFCVisualManagerCustom.h"
#include "CPropertyView.h"
#include "CommandLine.h"
#include "DesktopEntry.h"
#include "StringConvert.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

#include <stdlib.h>

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
        {"/dde opens", {"/dde", "/data/a.csv", "b.csv"}, CommandLineAction::Open, {"/data/a.csv", "b.csv"}, ""},
        {"--open opens", {"--open", "a.csv"}, CommandLineAction::Open, {"a.csv"}, ""},
        {"switches ignore case", {"/DDE", "a.csv"}, CommandLineAction::Open, {"a.csv"}, ""},
        {"open without files is nothing", {"--open"}, CommandLineAction::Nothing, {}, ""},
        {"/p prints", {"/p", "a.csv"}, CommandLineAction::Print, {"a.csv"}, ""},
        {"/pt prints to", {"/pt", "a.csv", "Office", "drv", "port"}, CommandLineAction::PrintTo, {"a.csv"}, "Office"},
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
    EXPECT_EQ(CMFCVisualManagerCustom::BarColourFromWindow({5, 20, 255}), (RgbColour{0, 8, 243}));
    EXPECT_EQ(CMFCVisualManagerCustom::BarColourFromWindow({255, 255, 255}), (RgbColour{243, 243, 243}));
    EXPECT_EQ(CMFCVisualManagerCustom::BarColourFromWindow({0, 0, 0}), (RgbColour{0, 0, 0}));
}

TEST(VisualManagerTest, InactiveCaptionTextFollowsTheFill)
{
    using V = CMFCVisualManagerCustom;
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

TEST(FontTest, SixFontsFromTheSystemHeight)
{
    auto fonts = MakeAppFontDescriptions(16);
    EXPECT_EQ(fonts[0], (FontDescription{"MS Shell Dlg", 14, 400, false}));
    EXPECT_EQ(fonts[1], (FontDescription{"MS Shell Dlg", 18, 500, false}));
    EXPECT_EQ(fonts[2], (FontDescription{"Segoe UI", 18, 500, false}));
    EXPECT_EQ(fonts[3], (FontDescription{"Segoe UI", 18, 700, false}));
    EXPECT_EQ(fonts[4], (FontDescription{"MS Shell Dlg", 16, 700, false}));
    EXPECT_EQ(fonts[5], (FontDescription{"Lucida Sans Unicode", 16, 400, false}));
    EXPECT_EQ(FontPointSize(fonts[5], 96), 12);
    EXPECT_EQ(FontPointSize({"x", -13, 400, false}, 96), 13);
}

TEST(DesktopEntryTest, ExecUsesTheOpenSwitchAndNoMimeType)
{
    wxString text = DesktopEntryText("/opt/csv quibbo/csvquibbo");
    EXPECT_NE(text.Find("Exec=\"/opt/csv quibbo/csvquibbo\" --open %F\n"), wxNOT_FOUND) << text;
    EXPECT_NE(text.Find("CSVQuibboApp.Document"), wxNOT_FOUND);
    EXPECT_EQ(text.Find("MimeType"), wxNOT_FOUND);
    EXPECT_NE(DesktopEntryText("/a/$x\"y").Find("Exec=\"/a/\\$x\\\"y\""), wxNOT_FOUND);
}

TEST(StringConvertTest, PairsJoinAndSplitAndLoneHalvesBecomeReplacement)
{
    std::u16string text = u"a\xD83D\xDE00\x00E9z";
    wxString wx = ToWxString(text);
    EXPECT_EQ(wx.length(), 4u);
    EXPECT_EQ(static_cast<unsigned>(wx[1].GetValue()), 0x1F600u);
    EXPECT_EQ(ToU16String(wx), text);
    EXPECT_EQ(static_cast<unsigned>(ToWxString(u"\xD800x")[0].GetValue()), 0xFFFDu);
    EXPECT_EQ(static_cast<unsigned>(ToWxString(u"\xDC00")[0].GetValue()), 0xFFFDu);
}

} // namespace

namespace {

TEST(DesktopEntryTest, RegisterWritesAndUnregisterRemovesTheEntry)
{
    char folder[] = "/tmp/csvq-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    wxString old;
    bool hadOld = wxGetEnv("XDG_DATA_HOME", &old);
    wxSetEnv("XDG_DATA_HOME", folder);
    wxString error;
    wxString path = DesktopEntryPath();
    EXPECT_TRUE(path.StartsWith(folder));
    ASSERT_TRUE(WriteDesktopEntry("/usr/bin/csvquibbo", error)) << error;
    EXPECT_TRUE(wxFileExists(path));
    EXPECT_TRUE(RemoveDesktopEntry(error)) << error;
    EXPECT_FALSE(wxFileExists(path));
    EXPECT_TRUE(RemoveDesktopEntry(error)) << "nothing to remove is no error";
    if (hadOld)
        wxSetEnv("XDG_DATA_HOME", old);
    else
        wxUnsetEnv("XDG_DATA_HOME");
    wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE);
}

} // namespace
