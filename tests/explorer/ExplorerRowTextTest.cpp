// Row texts, "Valid" pictures, row filters, extra columns and the search pattern of the file list.
#include "ExplorerRowText.h"

#include <gtest/gtest.h>

namespace {

TEST(ExplorerRowText, FlatTextIsRelativeToTheListedFolder)
{
    struct Case
    {
        const char16_t* path;
        const char16_t* folder;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"/data/sub/a.txt", u"/data", u"sub/a.txt"},
        {u"/data/a.txt", u"/data/", u"a.txt"},
        {u"/etc/x", u"/", u"etc/x"},
        {u"/data/..", u"/data", u".."},
        {u"//..", u"/", u".."},
        {u"/database/a.txt", u"/data", u"/database/a.txt"}, // not below the folder: shown whole
        {u"/other/a.txt", u"/data", u"/other/a.txt"},
        {u"/data", u"/data", u"/data"},
        {u"/data/a..", u"/data", u"a.."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordDisplayText(c.path, u"", false, c.folder, true), c.expected)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
}

TEST(ExplorerRowText, NonFlatTextIsTheLastComponent)
{
    EXPECT_EQ(RecordDisplayText(u"/data/sub/a.txt", u"", false, u"/data", false), u"a.txt");
    EXPECT_EQ(RecordDisplayText(u"/data/a.txt", u"shown name", false, u"/data", false), u"shown name");
    EXPECT_EQ(RecordDisplayText(u"/data/..", u"", false, u"/data", false), u"..");
    EXPECT_EQ(RecordDisplayText(u"//..", u"", false, u"/", false), u"..");
    EXPECT_EQ(RecordDisplayText(u"/", u"", false, u"/", false), u"/");
    EXPECT_EQ(RecordDisplayText(u"noslash", u"", false, u"/", false), u"noslash");
    EXPECT_EQ(RecordDisplayText(u"/data/a.txt", u"", true, u"/data", false), u"/data/a.txt");
}

TEST(ExplorerRowText, ParentEntryNeedsTheExactSuffix)
{
    EXPECT_TRUE(IsParentEntryPath(u"/data/.."));
    EXPECT_TRUE(IsParentEntryPath(u"//.."));
    EXPECT_FALSE(IsParentEntryPath(u"/data/a.."));
    EXPECT_FALSE(IsParentEntryPath(u".."));
    EXPECT_FALSE(IsParentEntryPath(u"/data/..x"));
}

TEST(ExplorerRowText, ExtensionOfTheRowText)
{
    EXPECT_EQ(RowTextExtension(u"report.CSV"), u"csv");
    EXPECT_EQ(RowTextExtension(u"archive.tar.GZ"), u"gz");
    EXPECT_EQ(RowTextExtension(u"noext"), u"");
    EXPECT_EQ(RowTextExtension(u"dot."), u"");
}

TEST(ExplorerRowText, ValidPictureTable)
{
    struct Case
    {
        ValidationFacts facts;
        int image;
    };
    auto facts = [](bool a, bool b, bool c, bool d, bool valid, int messages, bool text, unsigned details) {
        ValidationFacts f;
        f.flagA = a;
        f.flagB = b;
        f.flagC = c;
        f.flagD = d;
        f.valid = valid;
        f.messageCount = messages;
        f.hasMessageText = text;
        f.detailCount = details;
        return f;
    };
    const Case cases[] = {
        {facts(false, true, true, true, true, 0, false, 0), EXPLORER_IMAGE_ERROR_DETAIL},
        {facts(true, true, true, false, true, 0, false, 0), EXPLORER_IMAGE_WARNING},
        {facts(true, false, false, false, true, 1, false, 0), EXPLORER_IMAGE_WARNING},
        {facts(true, false, false, false, true, 0, true, 0), EXPLORER_IMAGE_WARNING},
        {facts(true, false, false, false, true, 0, false, 0), EXPLORER_IMAGE_NONE},
        {facts(true, false, true, false, false, 0, false, 0), EXPLORER_IMAGE_VALID},
        {facts(true, false, true, false, true, 2, false, 3), EXPLORER_IMAGE_INVALID},
        {facts(true, false, true, false, true, 2, false, 0), EXPLORER_IMAGE_NO_DETAIL},
        {facts(false, false, true, false, true, 5, false, 0), EXPLORER_IMAGE_VALID},
        {facts(false, false, true, false, false, 0, false, 0), EXPLORER_IMAGE_INVALID},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ValidImageFor(&cases[i].facts), cases[i].image) << i;
    EXPECT_EQ(ValidImageFor(nullptr), EXPLORER_IMAGE_NONE);
    // The status pictures never share an index with the folder or a file icon.
    EXPECT_LT(EXPLORER_IMAGE_FOLDER, EXPLORER_IMAGE_VALID);
    EXPECT_GT(EXPLORER_FIRST_FILE_ICON_IMAGE, EXPLORER_IMAGE_NO_DETAIL);
}

TEST(ExplorerRowText, RowFilters)
{
    ValidationFacts valid;
    valid.completed = true;
    valid.valid = true;
    ValidationFacts invalid;
    invalid.completed = true;
    ValidationFacts warned;
    warned.valid = true;
    warned.hasMessageText = true;

    const ExplorerRowFilters all;
    for (const ValidationFacts* f : {&valid, &invalid, &warned})
        EXPECT_FALSE(RowHiddenByFilters(all, f));
    EXPECT_FALSE(RowHiddenByFilters(ExplorerRowFilters{false, false, false}, nullptr));

    EXPECT_TRUE(RowHiddenByFilters(ExplorerRowFilters{false, true, true}, &valid));
    EXPECT_FALSE(RowHiddenByFilters(ExplorerRowFilters{false, true, true}, &invalid));
    EXPECT_TRUE(RowHiddenByFilters(ExplorerRowFilters{true, false, true}, &invalid));
    EXPECT_FALSE(RowHiddenByFilters(ExplorerRowFilters{true, false, true}, &valid));
    EXPECT_TRUE(RowHiddenByFilters(ExplorerRowFilters{true, true, false}, &warned));
    EXPECT_FALSE(RowHiddenByFilters(ExplorerRowFilters{true, true, false}, &valid));
}

TEST(ExplorerRowText, ExtraColumnsAndSearchCandidates)
{
    ExplorerFileInfo info;
    info.column4Text = u"four";
    info.namespacePrefixes = {u"a", u"b"};
    info.namespaceUris = {u"urn:a", u"urn:b"};
    info.column5Values = {u"five", u"ignored"};
    info.hasQualifiedName = true;
    info.localName = u"local";
    info.column9Text = u"nine";

    const auto texts = InfoColumnTexts(info);
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(*texts[0], u"four");
    EXPECT_EQ(*texts[1], u"five");
    EXPECT_EQ(*texts[2], u"");
    EXPECT_EQ(*texts[3], u""); // no column 7 text
    EXPECT_EQ(*texts[4], u"xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"");
    EXPECT_EQ(*texts[7], u"local");
    info.namePrefix = u"p";
    EXPECT_EQ(*QualifiedNameText(info), u"p:local");
    info.hasQualifiedName = false;
    EXPECT_FALSE(QualifiedNameText(info).has_value());
    info.namespacePrefixes.pop_back();
    EXPECT_FALSE(NamespaceDeclarationsText(info).has_value());
    EXPECT_FALSE(InfoColumnTexts(info)[4].has_value());

    const auto candidates = SearchCandidates(u"row", &info);
    EXPECT_EQ(candidates.front(), u"row");
    EXPECT_TRUE(SearchMatches(candidates, MakeSearchPattern(u"nine")));
    EXPECT_TRUE(SearchMatches(candidates, MakeSearchPattern(u"five")));
    EXPECT_FALSE(SearchMatches(candidates, MakeSearchPattern(u"four"))); // column 4 is not searched
    EXPECT_FALSE(SearchMatches(candidates, MakeSearchPattern(u"local")));
    EXPECT_EQ(SearchCandidates(u"row", nullptr), std::vector<std::u16string>{u"row"});
}

TEST(ExplorerRowText, SearchPattern)
{
    EXPECT_EQ(MakeSearchPattern(u"abc"), u"*abc*");
    EXPECT_EQ(MakeSearchPattern(u"a?c"), u"a?c");
    EXPECT_EQ(MakeSearchPattern(u"*.csv"), u"*.csv");
    EXPECT_EQ(MakeSearchPattern(u""), u"**");
    EXPECT_TRUE(SearchMatches({u"report.CSV"}, MakeSearchPattern(u"*.csv")));
    EXPECT_TRUE(SearchMatches({u"old.csv"}, MakeSearchPattern(u"")));
    EXPECT_FALSE(SearchMatches({u""}, MakeSearchPattern(u"")));
    EXPECT_FALSE(SearchMatches({u"tool.exe"}, MakeSearchPattern(u"csv")));
}

} // namespace
