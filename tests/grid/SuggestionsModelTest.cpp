// The suggestions popup's entries without a window: adding, filtering and ordering, the folder
// variant, selection stepping, rows under the mouse, match runs and sizing.
#include <gtest/gtest.h>

#include "LSuggestionsModel.h"

namespace {

using Texts = std::vector<std::u16string>;

void AddAll(LSuggestionsModel& model, const Texts& texts)
{
    for (const std::u16string& text : texts)
        ASSERT_TRUE(model.AddSuggestion(text, true, -1));
}

} // namespace

TEST(SuggestionsModel, HoldsAtMost513Entries)
{
    LSuggestionsModel model;
    for (int i = 0; i < 512; ++i)
        ASSERT_TRUE(
            model.AddSuggestion(u"e" + std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(i), false, -1));
    EXPECT_TRUE(model.AddSuggestion(u"the 513th", true, -1));
    EXPECT_FALSE(model.AddSuggestion(u"the 514th", true, -1));
    EXPECT_FALSE(model.AddSuggestion(u"the 514th", false, -1));
    EXPECT_EQ(model.GetEntryCount(), 513u);
}

TEST(SuggestionsModel, RefusesEmptyTextsAndExactDuplicatesWhenUnique)
{
    LSuggestionsModel model;
    EXPECT_FALSE(model.AddSuggestion(u"", false, -1));
    EXPECT_TRUE(model.AddSuggestion(u"Value", true, 3));
    EXPECT_FALSE(model.AddSuggestion(u"Value", true, -1));
    EXPECT_TRUE(model.AddSuggestion(u"Value", false, -1)); // a second entry of the same text
    EXPECT_TRUE(model.AddSuggestion(u"value", true, -1));  // case counts
    EXPECT_TRUE(model.AddSuggestion(u"Value ", true, -1));
    ASSERT_EQ(model.GetEntryCount(), 4u);
    EXPECT_EQ(model.GetEntry(0).image, 3);
    EXPECT_FALSE(model.GetEntry(0).hot);
    EXPECT_FALSE(model.GetEntry(0).selected);
}

TEST(SuggestionsModel, AddingEmptiesTheVisibleRowsUntilTheNextRefilter)
{
    LSuggestionsModel model;
    AddAll(model, {u"a", u"b"});
    model.Refilter();
    EXPECT_TRUE(model.HasVisibleItems());
    model.AddSuggestion(u"c", true, -1);
    EXPECT_FALSE(model.HasVisibleItems());
    model.Refilter();
    EXPECT_EQ(model.GetVisibleCount(), 3u);
}

TEST(SuggestionsModel, MatchesComeFirstThenTheRestInTheOrderAdded)
{
    struct Case
    {
        const char* name;
        Texts entries;
        std::u16string filter;
        int maxRows;
        Texts expected;
    };
    const Case cases[] = {
        {"B and C match", {u"Apple", u"Berry", u"Cherry"}, u"rr", 5, {u"Berry", u"Cherry", u"Apple"}},
        {"case-sensitive", {u"ax", u"AX", u"bAX"}, u"AX", 5, {u"AX", u"bAX", u"ax"}},
        {"empty filter keeps the order", {u"c", u"b", u"a"}, u"", 5, {u"c", u"b", u"a"}},
        {"max rows cut the matches", {u"x1", u"x2", u"x3", u"y"}, u"x", 2, {u"x1", u"x2"}},
        {"max rows cut the rest", {u"a", u"xb", u"c", u"d"}, u"x", 3, {u"xb", u"a", u"c"}},
        {"nothing matches", {u"a", u"b"}, u"zz", 5, {u"a", u"b"}},
        {"no rows at all", {u"a", u"b"}, u"a", 0, {}},
    };
    for (const Case& c : cases)
    {
        LSuggestionsModel model;
        AddAll(model, c.entries);
        model.SetMaxRows(c.maxRows);
        model.SetFilterText(c.filter);
        model.Refilter();
        EXPECT_EQ(model.GetVisibleTexts(), c.expected) << c.name;
    }
}

TEST(SuggestionsModel, RefilterClearsHotAndSelectedFlags)
{
    LSuggestionsModel model;
    AddAll(model, {u"a", u"b"});
    model.Refilter();
    model.SelectNext();
    model.SetHotRow(1);
    ASSERT_TRUE(model.GetVisible(0).selected);
    ASSERT_TRUE(model.GetVisible(1).hot);
    model.Refilter();
    EXPECT_FALSE(model.GetVisible(0).selected);
    EXPECT_FALSE(model.GetVisible(1).hot);
    EXPECT_EQ(model.GetSelectedRow(), -1);
}

TEST(SuggestionsModel, FolderVariantMatchesNormalisedPathsAndFillsToEleven)
{
    LSuggestionsModelFolderPaths model;
    model.SetMaxRows(5);
    Texts entries;
    for (int i = 0; i < 10; ++i)
        entries.push_back(u"/data/other" + std::u16string(1, char16_t(u'0' + i)));
    entries.insert(entries.begin() + 3, u"/Home/Alice/Projects");
    entries.push_back(u"/srv/home/alice/notes");
    AddAll(model, entries);
    ASSERT_EQ(model.GetEntryCount(), 12u);

    model.SetFilterText(u"  HOME/ALICE/  ");
    EXPECT_EQ(model.GetFilterText(), u"home/alice");
    model.Refilter();
    const Texts rows = model.GetVisibleTexts();
    ASSERT_EQ(rows.size(), 11u); // 2 matches + 9 others
    EXPECT_EQ(rows[0], u"/Home/Alice/Projects");
    EXPECT_EQ(rows[1], u"/srv/home/alice/notes");
    EXPECT_EQ(rows[2], u"/data/other0");
    EXPECT_EQ(rows[10], u"/data/other8");

    // The match position comes from the lower-case copy; the runs keep the entry's own text.
    const LSuggestionsModel::MatchRuns runs = model.GetMatchRuns(model.GetVisible(0));
    EXPECT_TRUE(runs.matched);
    EXPECT_EQ(runs.prefix, u"/");
    EXPECT_EQ(runs.match, u"Home/Alice");
    EXPECT_EQ(runs.rest, u"/Projects");
}

TEST(SuggestionsModel, FolderVariantEmptyFilterMatchesEverything)
{
    LSuggestionsModelFolderPaths model;
    model.SetMaxRows(5);
    Texts entries;
    for (int i = 0; i < 14; ++i)
        entries.push_back(u"/p" + std::u16string(1, char16_t(u'a' + i)));
    AddAll(model, entries);
    model.SetFilterText(u"");
    model.Refilter();
    EXPECT_EQ(model.GetVisibleCount(), 11u);
    EXPECT_EQ(model.GetVisibleTexts().front(), u"/pa");
}

TEST(SuggestionsModel, PathSuggestionsAreTrimmedAndGetTheFolderIcon)
{
    LSuggestionsModel model;
    EXPECT_TRUE(model.AddPathSuggestion(u"  /Home/Alice/  ", true));
    EXPECT_FALSE(model.AddPathSuggestion(u"/Home/Alice", true));
    EXPECT_EQ(model.GetEntry(0).text, u"/Home/Alice");
    EXPECT_EQ(model.GetEntry(0).image, -1);
    model.SetIconCount(1);
    EXPECT_TRUE(model.AddPathSuggestion(u"/", true));
    EXPECT_EQ(model.GetEntry(1).text, u"/");
    EXPECT_EQ(model.GetEntry(1).image, 0);
}

TEST(SuggestionsModel, SelectionStepsWrapAndNextFallsBackToTheFirstRow)
{
    LSuggestionsModel model;
    AddAll(model, {u"a", u"b", u"c"});
    model.Refilter();

    EXPECT_FALSE(model.SelectPrevious()); // no selected row: nothing
    EXPECT_EQ(model.GetSelectedRow(), -1);
    EXPECT_TRUE(model.SelectNext()); // falls back to the first
    EXPECT_EQ(model.GetSelectedRow(), 0);
    EXPECT_TRUE(model.SelectPrevious()); // before the first: the last
    EXPECT_EQ(model.GetSelectedRow(), 2);
    EXPECT_TRUE(model.SelectNext()); // after the last: the first
    EXPECT_EQ(model.GetSelectedRow(), 0);
    EXPECT_TRUE(model.SelectNext());
    EXPECT_EQ(model.GetSelectedRow(), 1);
    model.ClearSelection();
    EXPECT_EQ(model.GetSelectedRow(), -1);
}

TEST(SuggestionsModel, SelectionOnASingleRowAndOnNoRows)
{
    LSuggestionsModel empty;
    EXPECT_FALSE(empty.SelectNext());
    EXPECT_FALSE(empty.SelectPrevious());

    LSuggestionsModel one;
    AddAll(one, {u"only"});
    one.Refilter();
    EXPECT_TRUE(one.SelectNext());
    // The step lands on the same row: no move; Next then selects the first row again.
    EXPECT_FALSE(one.SelectPrevious());
    EXPECT_TRUE(one.SelectNext());
    EXPECT_EQ(one.GetSelectedRow(), 0);
}

TEST(SuggestionsModel, RowsUnderTheMouse)
{
    const int rowHeight = 22;
    struct Case
    {
        int y;
        int rowHeight;
        int row;
    };
    const Case cases[] = {
        {-5, rowHeight, 0},
        {0, rowHeight, 0},
        {2, rowHeight, 0},
        {3, rowHeight, 0},
        {2 + rowHeight - 1, rowHeight, 0},
        {2 + rowHeight, rowHeight, 1},
        {2 + 3 * rowHeight, rowHeight, 3},
        {50, 0, 0},
        {50, -4, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LSuggestionsModel::RowFromY(c.y, c.rowHeight), c.row) << "y " << c.y;
}

TEST(SuggestionsModel, HotRowFollowsTheMouseAndClickRowsPickEntries)
{
    LSuggestionsModel model;
    AddAll(model, {u"a", u"b"});
    model.Refilter();

    EXPECT_TRUE(model.SetHotRow(1));
    EXPECT_TRUE(model.GetVisible(1).hot);
    EXPECT_FALSE(model.SetHotRow(1));
    EXPECT_TRUE(model.SetHotRow(5)); // past the last row: hot row moves, no entry is hot
    EXPECT_EQ(model.GetHotRow(), 5);
    EXPECT_FALSE(model.GetVisible(0).hot);
    EXPECT_FALSE(model.GetVisible(1).hot);
    model.SetHotRow(0);
    model.ClearHot();
    EXPECT_EQ(model.GetHotRow(), -1);
    EXPECT_FALSE(model.GetVisible(0).hot);

    SuggestionEntry entry;
    EXPECT_TRUE(model.GetEntryAtRow(1, entry));
    EXPECT_EQ(entry.text, u"b");
    EXPECT_FALSE(model.GetEntryAtRow(2, entry));
    EXPECT_FALSE(model.GetEntryAtRow(-1, entry));
}

TEST(SuggestionsModel, MatchRunsOfARow)
{
    LSuggestionsModel model;
    AddAll(model, {u"R&D budget", u"plain"});
    model.SetFilterText(u"bud");
    model.Refilter();
    LSuggestionsModel::MatchRuns runs = model.GetMatchRuns(model.GetVisible(0));
    EXPECT_TRUE(runs.matched);
    EXPECT_EQ(runs.prefix, u"R&D "); // kept literally
    EXPECT_EQ(runs.match, u"bud");
    EXPECT_EQ(runs.rest, u"get");
    runs = model.GetMatchRuns(model.GetVisible(1));
    EXPECT_FALSE(runs.matched);
    EXPECT_EQ(runs.prefix, u"plain");

    // An empty filter matches at 0 with length 0: the whole text is the rest run.
    model.SetFilterText(u"");
    runs = model.GetMatchRuns(model.GetVisible(1));
    EXPECT_TRUE(runs.matched);
    EXPECT_EQ(runs.prefix, u"");
    EXPECT_EQ(runs.match, u"");
    EXPECT_EQ(runs.rest, u"plain");
    EXPECT_EQ(model.GetEntry(0).text, u"R&D budget");
}

TEST(SuggestionsModel, SizeFromTheWidestRowAndTheLimits)
{
    LSuggestionsModel model;
    AddAll(model, {u"short", u"the widest", u"mid"});
    model.Refilter();
    auto widths = [](const SuggestionEntry& entry) { return entry.text == u"the widest" ? 150 : 40; };
    struct Case
    {
        int minWidth;
        int maxWidth;
        int width;
    };
    const Case cases[] = {{0, 100, 100},  {0, -1, 158},  {120, -1, 158},
                          {200, -1, 208}, {0, 500, 158}, {0, 0, 158}};
    for (const Case& c : cases)
    {
        int width = 0;
        int height = 0;
        model.ComputeSize(widths, c.minWidth, c.maxWidth, 20, width, height);
        EXPECT_EQ(width, c.width) << c.minWidth << " " << c.maxWidth;
        EXPECT_EQ(height, 3 * 20 + 6);
    }
    LSuggestionsModel empty;
    int width = 0;
    int height = 0;
    empty.ComputeSize(widths, 30, -1, 20, width, height);
    EXPECT_EQ(width, 38);
    EXPECT_EQ(height, 6);
}
