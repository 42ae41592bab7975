// Renaming from the label editor: the target rules and the move that never overwrites.
#include "ExplorerRename.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ExplorerRename, TargetRules)
{
    std::string target;
    EXPECT_EQ(RenameTargetFor("/data/a.csv", "b.csv", target), RenameCheck::Ok);
    EXPECT_EQ(target, "/data/b.csv");
    EXPECT_EQ(RenameTargetFor("/a.csv", "b.csv", target), RenameCheck::Ok); // directly in "/"
    EXPECT_EQ(target, "/b.csv");
    EXPECT_EQ(RenameTargetFor("/data/a.csv", "", target), RenameCheck::EmptyName);
    EXPECT_EQ(RenameTargetFor("/data/a.csv", "x/y", target), RenameCheck::BadName);
    EXPECT_EQ(RenameTargetFor("/data/a.csv", ".", target), RenameCheck::BadName);
    EXPECT_EQ(RenameTargetFor("/data/a.csv", "..", target), RenameCheck::BadName);
    EXPECT_EQ(RenameTargetFor("a.csv", "b.csv", target), RenameCheck::NoFolder);
    EXPECT_TRUE(target.empty());
}

class ExplorerRenameOnDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/csvq-rename-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        Write("a.csv", "alpha");
        Write("b.csv", "beta");
        ASSERT_EQ(mkdir((root + "/sub").c_str(), 0700), 0);
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    void Write(const std::string& name, const std::string& text) { std::ofstream(root + "/" + name) << text; }
    std::string Read(const std::string& name)
    {
        std::ifstream in(root + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name)
    {
        struct stat info
        {};
        return lstat((root + "/" + name).c_str(), &info) == 0;
    }

    std::string root;
};

TEST_F(ExplorerRenameOnDisk, SimpleRename)
{
    const RenameOutcome outcome = RenameEntryNoReplace(root + "/a.csv", root + "/c.csv");
    EXPECT_TRUE(outcome.moved);
    EXPECT_EQ(outcome.newPath, root + "/c.csv");
    EXPECT_FALSE(Exists("a.csv"));
    EXPECT_EQ(Read("c.csv"), "alpha");
}

TEST_F(ExplorerRenameOnDisk, ExistingFileIsNeverOverwritten)
{
    const RenameOutcome outcome = RenameEntryNoReplace(root + "/a.csv", root + "/b.csv");
    EXPECT_FALSE(outcome.moved);
    EXPECT_EQ(outcome.error, EEXIST);
    EXPECT_EQ(Read("a.csv"), "alpha");
    EXPECT_EQ(Read("b.csv"), "beta");
}

TEST_F(ExplorerRenameOnDisk, ExistingFolderNameMovesTheEntryIntoIt)
{
    const RenameOutcome outcome = RenameEntryNoReplace(root + "/a.csv", root + "/sub");
    EXPECT_TRUE(outcome.moved);
    EXPECT_EQ(outcome.newPath, root + "/sub/a.csv");
    EXPECT_EQ(Read("sub/a.csv"), "alpha");

    // A file of that name already in the folder stays as it is.
    Write("a.csv", "again");
    const RenameOutcome second = RenameEntryNoReplace(root + "/a.csv", root + "/sub");
    EXPECT_FALSE(second.moved);
    EXPECT_EQ(Read("sub/a.csv"), "alpha");
    EXPECT_EQ(Read("a.csv"), "again");
}

TEST_F(ExplorerRenameOnDisk, FolderRenamedToItsOwnNameStays)
{
    const RenameOutcome outcome = RenameEntryNoReplace(root + "/sub", root + "/sub");
    EXPECT_FALSE(outcome.moved);
    EXPECT_TRUE(Exists("sub"));
}

} // namespace
