// The folder watcher: changes are reported, a stop is immediate and silent, a watcher without
// folders ends by itself, and which folders a new watcher watches.
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "ExplorerCoreSupport.h"
#include "FolderWatcher.h"

TEST(ExplorerWatcher, ReportsChangesOfEveryKindInAWatchedFolder)
{
    TempTree tree;
    tree.Folder("w");
    tree.File("w/existing", "a");
    struct Change
    {
        const char* what;
        std::function<void()> make;
    };
    const Change changes[] = {
        {"create", [&] { tree.File("w/new"); }},
        {"write", [&] { std::ofstream(tree.Path("w/existing"), std::ios::app) << "more"; }},
        // `touch` on a file that exists: only its times change.
        {"touch",
         [&] {
             const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
             utimensat(AT_FDCWD, tree.Path("w/existing").c_str(), times, 0);
         }},
        {"rename", [&] { std::filesystem::rename(tree.Path("w/new"), tree.Path("w/renamed")); }},
        {"remove", [&] { std::filesystem::remove(tree.Path("w/renamed")); }},
        {"folder", [&] { tree.Folder("w/made"); }},
    };
    FolderWatcher watcher;
    RecordingSink sink;
    ASSERT_TRUE(watcher.Start({tree.Path16("w")}, &sink));
    ASSERT_TRUE(WaitUntil([&] { return watcher.IsArmed(); }));
    for (const Change& change : changes)
    {
        SCOPED_TRACE(change.what);
        const int before = sink.Count(ID_FOLDER_CHANGED);
        change.make();
        EXPECT_TRUE(WaitUntil([&] { return sink.Count(ID_FOLDER_CHANGED) > before; }));
    }
    // Changes below a subfolder are not the folder's own.
    tree.File("w/made/deep");
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // fixed: nothing is to come
    const int settled = sink.Count(ID_FOLDER_CHANGED);
    tree.File("w/made/deeper");
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // fixed: shows that nothing comes
    EXPECT_EQ(sink.Count(ID_FOLDER_CHANGED), settled);
    for (const RecordingSink::Command& command : sink.Commands())
        EXPECT_EQ(command.generation, watcher.GetGeneration());

    // Right after a change the watcher has just gone back to waiting: the stop must wake it
    // rather than let its wait run out. A stop that waited would take the whole wait; a woken one
    // takes a thread join, which stays well below it also under the sanitizers.
    const int beforeLast = sink.Count(ID_FOLDER_CHANGED);
    tree.File("w/last");
    ASSERT_TRUE(WaitUntil([&] { return sink.Count(ID_FOLDER_CHANGED) > beforeLast; }));
    const auto start = std::chrono::steady_clock::now();
    watcher.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kFolderWatcherPollMs));
    EXPECT_FALSE(watcher.HasWatcher());
    EXPECT_EQ(sink.Count(ID_FOLDER_WATCH_ENDED), 0); // a stopped watcher's target was cleared first
    const int afterStop = static_cast<int>(sink.Commands().size());
    tree.File("w/after-stop");
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // fixed: shows that nothing comes
    EXPECT_EQ(static_cast<int>(sink.Commands().size()), afterStop);
}

TEST(ExplorerWatcher, EndsByItselfWithoutFoldersOrWhenTheyVanish)
{
    TempTree tree;
    tree.File("file");
    {
        FolderWatcher watcher;
        RecordingSink sink;
        ASSERT_TRUE(watcher.Start({tree.Path16("missing"), tree.Path16("file"), u""}, &sink));
        ASSERT_TRUE(sink.WaitFor(ID_FOLDER_WATCH_ENDED));
        EXPECT_EQ(sink.Ids(), (std::vector<int>{ID_FOLDER_WATCH_ENDED}));
        EXPECT_TRUE(WaitUntil([&] { return !watcher.IsWatching(); }));
        EXPECT_FALSE(watcher.IsArmed()) << "no watch was ever in place";
        // Its block stays valid for the stop that comes later.
        watcher.Stop();
        EXPECT_EQ(sink.Ids(), (std::vector<int>{ID_FOLDER_WATCH_ENDED}));
    }
    {
        tree.Folder("gone");
        FolderWatcher watcher;
        RecordingSink sink;
        ASSERT_TRUE(watcher.Start({tree.Path16("gone")}, &sink));
        ASSERT_TRUE(WaitUntil([&] { return watcher.IsArmed(); }));
        std::filesystem::remove(tree.Path("gone"));
        ASSERT_TRUE(sink.WaitFor(ID_FOLDER_WATCH_ENDED));
        EXPECT_GE(sink.Count(ID_FOLDER_CHANGED), 1);
        EXPECT_EQ(sink.Ids().back(), ID_FOLDER_WATCH_ENDED);
    }
}

TEST(ExplorerWatcher, ASecondStartChangesNothing)
{
    TempTree tree;
    tree.Folder("one");
    tree.Folder("two");
    FolderWatcher watcher;
    RecordingSink first;
    RecordingSink second;
    ASSERT_TRUE(watcher.Start({tree.Path16("one")}, &first));
    const int generation = watcher.GetGeneration();
    EXPECT_FALSE(watcher.Start({tree.Path16("two")}, &second));
    EXPECT_EQ(watcher.GetFolders(), (std::vector<std::u16string>{tree.Path16("one")}));
    EXPECT_EQ(watcher.GetGeneration(), generation);
    ASSERT_TRUE(WaitUntil([&] { return watcher.IsArmed(); }));
    tree.File("one/x");
    EXPECT_TRUE(first.WaitFor(ID_FOLDER_CHANGED));
    EXPECT_TRUE(second.Commands().empty());
    watcher.Stop();
    // After a stop a new watcher may start.
    EXPECT_TRUE(watcher.Start({tree.Path16("two")}, &second));
    watcher.Stop();
}

TEST(ExplorerWatcher, WatchesTheStoreFolderFirstAndDistinctExtraFolders)
{
    struct Case
    {
        std::u16string store;
        std::vector<std::u16string> extra;
        std::u16string document;
        std::vector<std::u16string> expected;
    };
    const Case cases[] = {
        {u"/data", {}, u"", {u"/data"}},
        {u"/data", {}, u"/docs/table.csv", {u"/data", u"/docs/"}},
        {u"/data", {}, u"/data/table.csv", {u"/data"}},
        {u"/data", {u"/data/", u" /data", u"/other"}, u"", {u"/data", u"/other"}},
        {u"/data", {u"/DATA"}, u"table.csv", {u"/data", u"/DATA"}}, // names differ by case on this system
        {u"/", {u"/", u"//"}, u"/x.csv", {u"/"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(ExplorerPathToNative(c.store + u" " + c.document));
        EXPECT_EQ(ComposeWatchedFolders(c.store, c.extra, c.document), c.expected);
    }
}
