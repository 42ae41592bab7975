// The explorer's navigation rules: parent folders, the folder a double-click enters, the history.
#include "ExplorerNavigation.h"

#include <gtest/gtest.h>

namespace {

TEST(ExplorerNavigation, ParentFolder)
{
    struct Case
    {
        const char16_t* path;
        const char16_t* parent;
    };
    const Case cases[] = {
        {u"/a/b", u"/a"},
        {u"/a", u"/"},
        {u"/", u"/"},
        {u"x", u"x"},
        {u"/a/b/", u"/a"},
        {u"/a/b//", u"/a"},
        {u"/a/", u"/"},
        {u"//", u"/"},
        {u"", u""},
        {u"a/b", u"a"},
        // The folder is taken by its steps: "sub/.." is the tree itself, "." stays where it is.
        {u"/tree/sub/..", u"/"},
        {u"/tree/.", u"/"},
        {u"/tree/sub/./", u"/tree"},
        {u"/tree/a/../sub", u"/tree"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetParentFolder(c.path), c.parent)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
}

TEST(ExplorerNavigation, FoldersAreNormalisedByTheirTextAlone)
{
    struct Case
    {
        const char16_t* path;
        const char16_t* normal;
    };
    const Case cases[] = {
        {u"/tree/sub/..", u"/tree"},
        {u"/tree/.", u"/tree"},
        {u"/tree//sub/", u"/tree/sub"},
        {u"/..", u"/"},
        {u"/", u"/"},
        {u"/a/b/../../..", u"/"},
        {u"a/../..", u".."},
        {u"./a", u"a"},
        {u"", u""},
        {u"/tree/sub/../sub", u"/tree/sub"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeFolderPath(c.path), c.normal)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
}

TEST(ExplorerNavigation, FolderToEnter)
{
    EXPECT_EQ(FolderToEnter(u"/data/.."), u"/");
    EXPECT_EQ(FolderToEnter(u"/data/sub/.."), u"/data");
    EXPECT_EQ(FolderToEnter(u"//.."), u"/");
    EXPECT_EQ(FolderToEnter(u"/data/sub"), u"/data/sub");
    EXPECT_EQ(FolderToEnter(u"/data/a.."), u"/data/a..");
}

TEST(ExplorerNavigation, HistoryKeepsEntriesAfterThePosition)
{
    std::vector<std::u16string> history;
    int position = -1;
    EXPECT_FALSE(ExplorerHistorySteps::Back(history, position));
    EXPECT_FALSE(ExplorerHistorySteps::Forward(history, position));
    EXPECT_EQ(position, -1);

    ExplorerHistorySteps::Record(history, position, u"A");
    ExplorerHistorySteps::Record(history, position, u"B");
    EXPECT_EQ(position, 1);
    EXPECT_FALSE(ExplorerHistorySteps::Forward(history, position)); // at the last entry
    EXPECT_EQ(ExplorerHistorySteps::Back(history, position), u"A");
    EXPECT_EQ(position, 0);
    EXPECT_FALSE(ExplorerHistorySteps::Back(history, position)); // at the first entry
    EXPECT_EQ(position, 0);

    ExplorerHistorySteps::Record(history, position, u"C");
    EXPECT_EQ(history, (std::vector<std::u16string>{u"A", u"B", u"C"}));
    EXPECT_EQ(position, 2);
    EXPECT_EQ(ExplorerHistorySteps::Back(history, position), u"B");
    EXPECT_EQ(ExplorerHistorySteps::Forward(history, position), u"C");

    ExplorerHistorySteps::Record(history, position, u"C"); // duplicates stay
    EXPECT_EQ(history.size(), 4u);
}

} // namespace
