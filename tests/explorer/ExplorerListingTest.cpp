// The folder listing worker: what a walk puts into the store, the commands it sends and in which
// order, cancelling, stopping, rapid re-listing, and the awkward folders.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ExplorerCoreSupport.h"
#include "FolderListing.h"

namespace {
// The tree of the window tests: a subfolder with a file, a hidden file, files of a few types, an
// archive, a link to the tree itself and a link that points nowhere.
void MakeSampleTree(const TempTree& tree)
{
    tree.Folder("sub");
    tree.File("sub/x.txt");
    tree.File(".hidden");
    tree.File("report.CSV");
    tree.File("old.csv");
    tree.File("tool.exe");
    tree.File("noext");
    tree.File("archive.zip");
    tree.Link("loop", tree.Root());
    tree.Link("dangling", "nowhere");
}

// Paths of the store's records relative to `root` (the parent entry as "<parent>"), sorted.
std::vector<std::string> Names(const WSFileStorage& store, const std::string& root)
{
    std::vector<std::string> names;
    for (const WSFileRecord* record : store)
    {
        const std::string path = ExplorerPathToNative(record->GetPath());
        if (path == root + "/..")
            names.push_back("<parent>");
        else if (path.rfind(root + "/", 0) == 0)
            names.push_back(path.substr(root.size() + 1));
        else
            names.push_back(path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void SetFolder(WSFileStorageThreadSafeAccess& access, const std::u16string& folder)
{
    WSFileStorageAccessGuard guard(access);
    guard.Get().SetFolder(folder);
}
} // namespace

TEST(ExplorerWalk, ListsAFolderWithHiddenEntriesOnlyWhenAskedAndTheParentEntryLast)
{
    TempTree tree;
    MakeSampleTree(tree);
    const std::vector<std::string> visible = {"<parent>", "archive.zip", "dangling", "loop",    "noext",
                                              "old.csv",  "report.CSV",  "sub",      "tool.exe"};
    struct Case
    {
        std::string typed;
        bool hidden;
        std::vector<std::string> expected;
    };
    std::vector<std::string> withHidden = visible;
    withHidden.push_back(".hidden");
    std::sort(withHidden.begin(), withHidden.end());
    const Case cases[] = {
        {tree.Root(), false, visible},
        {tree.Root() + "/", false, visible}, // a final '/' is dropped
        {tree.Root() + "//", false, visible},
        {tree.Root(), true, withHidden},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        WSFileStorage store;
        RecordingSink sink;
        EnumerateFolderIntoStorage(ExplorerPathFromNative(c.typed), c.hidden, store, false, true, &sink,
                                   nullptr);
        EXPECT_EQ(store.GetFolder(), tree.Path16());
        EXPECT_EQ(Names(store, tree.Root()), c.expected);
        EXPECT_EQ(ExplorerPathToNative(store.size() ? (*std::prev(store.end()))->GetPath() : u""),
                  tree.Root() + "/..");
        EXPECT_TRUE((*std::prev(store.end()))->isFolder);
        EXPECT_EQ(sink.Count(ID_FOLDER_LISTING_PROGRESS), static_cast<int>(store.size()) - 1);
        for (const WSFileRecord* record : store)
        {
            const std::string name = ExplorerPathToNative(record->GetDisplayName());
            EXPECT_EQ(record->isFolder, name == "sub" || name == "loop" || record->IsParentEntry()) << name;
            EXPECT_EQ((record->GetAttributes() & EXPLORER_ATTRIBUTE_HIDDEN) != 0, name == ".hidden") << name;
        }
    }
}

TEST(ExplorerWalk, FlatListingEntersSubfoldersButNeverFollowsLinkedFolders)
{
    TempTree tree;
    MakeSampleTree(tree);
    tree.Folder("sub/deeper");
    tree.File("sub/deeper/y.txt");
    tree.Link("sub/up", "..");
    tree.Folder("other");
    tree.File("other/z.txt");
    tree.Link("sub/side", "../other"); // a linked folder that is no ancestor is not entered either
    WSFileStorage store;
    EnumerateFolderIntoStorage(tree.Path16(), false, store, true, true, nullptr, nullptr);
    EXPECT_EQ(Names(store, tree.Root()),
              (std::vector<std::string>{"<parent>", "archive.zip", "dangling", "loop", "noext", "old.csv",
                                        "other", "other/z.txt", "report.CSV", "sub", "sub/deeper",
                                        "sub/deeper/y.txt", "sub/side", "sub/up", "sub/x.txt", "tool.exe"}));

    // Nested stores: the entries of a folder go below its record.
    WSFileStorage nested;
    EnumerateFolderIntoStorage(tree.Path16(), false, nested, true, false, nullptr, nullptr);
    EXPECT_EQ(Names(nested, tree.Root()).size(), 10u); // the top level and the parent entry
    const auto sub = std::find_if(nested.begin(), nested.end(),
                                  [](const WSFileRecord* r) { return r->GetDisplayName() == u"sub"; });
    ASSERT_NE(sub, nested.end());
    EXPECT_EQ(Names((*sub)->GetChildren(), tree.Root()),
              (std::vector<std::string>{"sub/deeper", "sub/side", "sub/up", "sub/x.txt"}));
}

TEST(ExplorerWalk, FoldersThatCannotBeListedLeaveAnEmptyStoreNamingThem)
{
    TempTree tree;
    tree.File("plain.txt");
    struct Case
    {
        std::u16string path;
        std::u16string folder;
    };
    const Case cases[] = {
        {tree.Path16("plain.txt"), tree.Path16("plain.txt")},
        {tree.Path16("vanished"), tree.Path16("vanished")},
        {tree.Path16("vanished") + u"/", tree.Path16("vanished")},
        {u"", u""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(ExplorerPathToNative(c.path));
        WSFileStorageThreadSafeAccess access;
        // The previous listing's records must not stay under the new folder's name.
        EnumerateFolderIntoStorage(tree.Path16(), false, access.GetStorage(), false, true, nullptr, nullptr);
        ASSERT_EQ(access.GetStorage().size(), 2u);
        access.GetStorage().SetFolder(c.path);
        access.Unlock();

        FolderListingWorker worker;
        RecordingSink sink;
        const int generation = worker.Start(access, &sink, false, false);
        ASSERT_TRUE(sink.WaitFor(ID_FOLDER_LISTING_ENDED));
        worker.StopWorkerAndWait();
        EXPECT_EQ(sink.Ids(), (std::vector<int>{ID_FOLDER_LISTING_DONE, ID_FOLDER_LISTING_ENDED}));
        for (const RecordingSink::Command& command : sink.Commands())
            EXPECT_EQ(command.generation, generation);
        WSFileStorageAccessGuard guard(access);
        EXPECT_EQ(guard.Get().size(), 0u);
        EXPECT_EQ(access.GetPublishedCount(), 0u);
        EXPECT_EQ(guard.Get().GetFolder(), c.folder);
        EXPECT_EQ(guard.Get().GetListingState(), 1);
    }
}

TEST(ExplorerWalk, TheRootKeepsItsSlash)
{
    WSFileStorage store;
    EnumerateFolderIntoStorage(u"/", false, store, false, true, nullptr, nullptr);
    EXPECT_EQ(store.GetFolder(), u"/");
    ASSERT_FALSE(store.empty());
    const WSFileRecord* parent = *std::prev(store.end());
    EXPECT_EQ(parent->GetPath(), u"//..");
    EXPECT_TRUE(parent->IsParentEntry());
    const bool hasTmp = std::any_of(store.begin(), store.end(),
                                    [](const WSFileRecord* r) { return r->GetPath() == u"/tmp"; });
    EXPECT_TRUE(hasTmp);
}

TEST(ExplorerWalk, NamesThatAreNotUtf8RoundTrip)
{
    TempTree tree;
    const std::string odd[] = {"latin1-\xe9t\xe9.csv", "\xff\xfe", "ok-\xc3\xa9"};
    for (const std::string& name : odd)
        tree.File(name, "12");
    tree.Folder("dir-\xff");
    tree.File("dir-\xff/inner\xfe");
    WSFileStorage store;
    EnumerateFolderIntoStorage(tree.Path16(), false, store, true, true, nullptr, nullptr);
    std::set<std::string> paths;
    for (const WSFileRecord* record : store)
    {
        const std::string native = ExplorerPathToNative(record->GetPath());
        paths.insert(native);
        if (!record->isFolder)
        {
            // The stored path finds the file again.
            struct stat info
            {};
            EXPECT_EQ(::stat(native.c_str(), &info), 0) << native;
            EXPECT_EQ(record->size, info.st_size);
        }
    }
    for (const std::string& name : odd)
        EXPECT_EQ(paths.count(tree.Path(name)), 1u) << name;
    EXPECT_EQ(paths.count(tree.Path("dir-\xff/inner\xfe")), 1u);
}

TEST(ExplorerWorker, SendsProgressPerEntryThenDoneThenEnded)
{
    TempTree tree;
    for (int i = 0; i < 300; ++i)
        tree.File("f" + std::to_string(i));
    WSFileStorageThreadSafeAccess access;
    SetFolder(access, tree.Path16());
    FolderListingWorker worker;
    RecordingSink sink;
    const int generation = worker.Start(access, &sink, false, false);
    EXPECT_TRUE(worker.AcceptsCommand(generation));
    ASSERT_TRUE(sink.WaitFor(ID_FOLDER_LISTING_ENDED));

    std::vector<int> expected(300, ID_FOLDER_LISTING_PROGRESS);
    expected.push_back(ID_FOLDER_LISTING_DONE);
    expected.push_back(ID_FOLDER_LISTING_ENDED);
    EXPECT_EQ(sink.Ids(), expected);
    {
        WSFileStorageAccessGuard guard(access);
        EXPECT_EQ(guard.Get().size(), 301u);
    }
    // The receiver still takes this listing's commands until it stops the worker.
    EXPECT_TRUE(worker.AcceptsCommand(generation));
    worker.StopWorkerAndWait();
    // A stop after the walk: the queued done command is no longer taken.
    EXPECT_FALSE(worker.AcceptsCommand(generation));
    EXPECT_FALSE(worker.HasWorker());
    WSFileStorageAccessGuard guard(access);
    EXPECT_EQ(guard.Get().size(), 301u); // a finished listing stays
}

TEST(ExplorerWorker, ACancelledWalkLeavesAnEmptyStoreAndSendsOnlyEnded)
{
    TempTree tree;
    for (int i = 0; i < 200; ++i)
        tree.File("f" + std::to_string(i));
    tree.Folder("sub");
    for (int i = 0; i < 50; ++i)
        tree.File("sub/g" + std::to_string(i));
    for (bool recurse : {false, true})
    {
        SCOPED_TRACE(recurse);
        WSFileStorageThreadSafeAccess access;
        SetFolder(access, tree.Path16());
        FolderListingWorker worker;
        RecordingSink sink;
        // The first entry holds the worker until the test has asked it to stop.
        std::mutex gate;
        std::condition_variable opened;
        bool firstSeen = false;
        bool mayGo = false;
        sink.onPost = [&](int id) {
            if (id != ID_FOLDER_LISTING_PROGRESS)
                return;
            std::unique_lock<std::mutex> lock(gate);
            if (!firstSeen)
            {
                firstSeen = true;
                opened.notify_all();
                opened.wait(lock, [&] { return mayGo; });
            }
        };
        const int generation = worker.Start(access, &sink, recurse, false);
        {
            std::unique_lock<std::mutex> lock(gate);
            ASSERT_TRUE(opened.wait_for(lock, std::chrono::seconds(10), [&] { return firstSeen; }));
            // While the worker walks it holds the store, yet the count is readable.
            EXPECT_TRUE(access.IsLocked());
            EXPECT_FALSE(access.IsHeldByCurrentThread());
            EXPECT_EQ(access.GetPublishedCount(), 1u);
            worker.RequestStop();
            mayGo = true;
            opened.notify_all();
        }
        worker.StopWorkerAndWait();
        EXPECT_FALSE(worker.AcceptsCommand(generation));
        EXPECT_EQ(sink.Ids(), (std::vector<int>{ID_FOLDER_LISTING_PROGRESS, ID_FOLDER_LISTING_ENDED}));
        EXPECT_FALSE(access.IsLocked());
        WSFileStorageAccessGuard guard(access);
        EXPECT_TRUE(guard.Get().empty());
        EXPECT_EQ(access.GetPublishedCount(), 0u);
    }
}

TEST(ExplorerWorker, RapidReListingsEndWithTheStoreOfTheLastFolder)
{
    TempTree tree;
    tree.Folder("a");
    tree.Folder("b");
    for (int i = 0; i < 400; ++i)
        tree.File("a/f" + std::to_string(i));
    for (int i = 0; i < 7; ++i)
        tree.File("b/g" + std::to_string(i));
    // 50 listings end on "a", 48 on "b": each of the two folders is the last one once.
    struct Case
    {
        int listings;
        std::string last;
        std::size_t entries;
    };
    const Case cases[] = {{50, "a", 401}, {48, "b", 8}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.last);
        WSFileStorageThreadSafeAccess access;
        RecordingSink sink;
        FolderListingWorker worker;
        int generation = 0;
        std::string folder;
        for (int i = 0; i < c.listings; ++i)
        {
            folder = i % 3 == 2 ? "b" : "a";
            worker.StopWorkerAndWait(); // as navigation does before it changes the folder
            SetFolder(access, tree.Path16(folder));
            generation = worker.Start(access, &sink, i % 2 == 0, i % 4 == 0);
        }
        ASSERT_EQ(folder, c.last);
        ASSERT_TRUE(sink.WaitFor(ID_FOLDER_LISTING_ENDED, generation));
        worker.StopWorkerAndWait();
        // Every listing ended exactly once, each stopped one without its done command being taken.
        EXPECT_EQ(sink.Count(ID_FOLDER_LISTING_ENDED), c.listings);
        WSFileStorageAccessGuard guard(access);
        EXPECT_EQ(guard.Get().GetFolder(), tree.Path16(c.last));
        EXPECT_EQ(guard.Get().size(), c.entries);
        for (const WSFileRecord* record : guard.Get())
            EXPECT_EQ(ExplorerPathToNative(record->GetPath()).rfind(tree.Path(c.last) + "/", 0), 0u);
    }
}

TEST(ExplorerWorker, ANullBlockDoesNothingAndANullStoreEndsAtOnce)
{
    FolderEnumerationThreadProc(nullptr); // returns at once, with nobody to tell

    // Without a store there is nothing to walk: a running listing is done and ends, a cancelled
    // one only ends.
    struct Case
    {
        bool running;
        std::vector<int> ids;
    };
    const Case cases[] = {
        {true, {ID_FOLDER_LISTING_DONE, ID_FOLDER_LISTING_ENDED}},
        {false, {ID_FOLDER_LISTING_ENDED}},
    };
    for (const Case& c : cases)
    {
        FolderListingThreadParams params;
        RecordingSink sink;
        params.running = c.running;
        params.target = &sink;
        params.doneId = ID_FOLDER_LISTING_DONE;
        params.endId = ID_FOLDER_LISTING_ENDED;
        params.generation = 7;
        FolderEnumerationThreadProc(&params);
        EXPECT_EQ(sink.Ids(), c.ids) << c.running;
        for (const RecordingSink::Command& command : sink.Commands())
            EXPECT_EQ(command.generation, 7);
    }
}

namespace {
// A chain of `depth` folders named "d" below `root`, with "leaf.txt" in the deepest. Made and
// removed through descriptors, as its paths are longer than a path may be.
void MakeDeepChain(const std::string& root, int depth)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level)
    {
        ASSERT_EQ(mkdirat(fd, "d", 0700), 0);
        const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    const int leaf = openat(fd, "leaf.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(leaf, 0);
    ::close(leaf);
    ::close(fd);
}

void RemoveDeepChain(const std::string& root, int depth)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < depth && fd >= 0; ++level)
    {
        const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
    }
    if (fd < 0)
        return;
    unlinkat(fd, "leaf.txt", 0);
    for (int level = 0; level < depth && fd >= 0; ++level)
    {
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd >= 0)
            unlinkat(fd, "d", AT_REMOVEDIR);
    }
    if (fd >= 0)
        ::close(fd);
}

// Runs `body` in a forked child and gives its wait status; the child's exit code is what `body`
// returns.
int InChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

struct DeepWalk
{
    std::u16string folder;
    std::size_t entries = 0;
    std::size_t unread = 0;
};

void* ListDeep(void* argument)
{
    auto* walk = static_cast<DeepWalk*>(argument);
    WSFileStorage store;
    EnumerateFolderIntoStorage(walk->folder, false, store, true, true, nullptr, nullptr);
    walk->entries = store.size();
    walk->unread = store.GetUnreadFolders().size();
    return nullptr;
}
} // namespace

TEST(ExplorerWalk, AFlatListingOfAVeryDeepTreeListsEveryLevelWithFewDescriptorsAndASmallStack)
{
    // 3,000 levels: deeper than a path may be long, than a process may hold descriptors (the
    // child allows 32) and than a walk that recurses can go on a 256 KB stack.
    constexpr int depth = 3000;
    TempTree tree;
    MakeDeepChain(tree.Root(), depth);
    const int status = InChild([&tree] {
        const rlimit limit{32, 32};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 10;
        DeepWalk walk;
        walk.folder = tree.Path16();
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 256 * 1024);
        pthread_t thread;
        if (pthread_create(&thread, &attributes, ListDeep, &walk) != 0)
            return 11;
        pthread_join(thread, nullptr);
        // Every folder, the leaf file and the parent entry; nothing unread.
        if (walk.entries != depth + 2u)
            return 1;
        return walk.unread == 0 ? 0 : 2;
    });
    RemoveDeepChain(tree.Root(), depth);
    ASSERT_TRUE(WIFEXITED(status)) << "the walk ended with signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: entries lost, 2: folders reported unread";
}

TEST(ExplorerWalk, FoldersThatCannotBeReadAreReportedWithTheirReason)
{
    // As an ordinary user (uid 65534 in a child when the tests run as root): a folder without any
    // permission cannot be opened; a folder that may be read but not searched gives its names
    // but nothing about them. Both are reported, the rest of the walk goes on, whatever the order
    // the folders give their entries in: siblings are made before and after the folders that
    // cannot be read, next to the root and far below it, on the temporary folder's file system
    // and on a memory one.
    std::vector<std::filesystem::path> bases = {std::filesystem::temp_directory_path()};
    if (std::filesystem::is_directory("/dev/shm"))
        bases.push_back("/dev/shm");
    for (const std::filesystem::path& base : bases)
    {
        SCOPED_TRACE(base.string());
        TempTree tree(base);
        chmod(tree.Root().c_str(), 0755);
        std::vector<std::string> listed = {"<parent>"};
        std::vector<std::string> closedFolders;
        // Files and folders that anyone may read, `count` of them, named after `stem`.
        auto readable = [&](const std::string& folder, const std::string& stem, int count) {
            for (int i = 0; i < count; ++i)
            {
                const std::string name = folder + stem + std::to_string(i);
                if (i % 4 == 0)
                {
                    tree.Folder(name);
                    tree.File(name + "/inner.txt");
                    chmod(tree.Path(name).c_str(), 0755);
                    chmod(tree.Path(name + "/inner.txt").c_str(), 0644);
                    listed.push_back(name + "/inner.txt");
                }
                else
                {
                    tree.File(name);
                    chmod(tree.Path(name).c_str(), 0644);
                }
                listed.push_back(name);
            }
        };
        // A folder holding a file, with the given mode.
        auto unreadable = [&](const std::string& name, mode_t mode) {
            tree.Folder(name);
            tree.File(name + "/inside.txt");
            chmod(tree.Path(name).c_str(), mode);
            listed.push_back(name);
            closedFolders.push_back(name);
        };
        readable("", "before", 12);
        unreadable("closed", 0000);
        readable("", "between", 12);
        unreadable("readonly", 0444);
        readable("", "after", 12);
        // Forty levels down: deeper than the descriptors a walk keeps open.
        std::string deep;
        for (int level = 0; level < 40; ++level)
        {
            deep += level == 0 ? "d" : "/d";
            tree.Folder(deep);
            chmod(tree.Path(deep).c_str(), 0755);
            listed.push_back(deep);
        }
        readable(deep + "/", "before", 8);
        unreadable(deep + "/readonly", 0444);
        readable(deep + "/", "after", 8);
        std::sort(listed.begin(), listed.end());

        struct Case
        {
            std::string folder;
            std::vector<std::string> unread;
            std::vector<std::string> names;
        };
        std::vector<std::string> unreadPaths;
        for (const std::string& name : closedFolders)
            unreadPaths.push_back(tree.Path(name));
        std::sort(unreadPaths.begin(), unreadPaths.end());
        const Case cases[] = {
            {tree.Root(), unreadPaths, listed},
            // the folder itself cannot be opened: an empty store
            {tree.Path("closed"), {tree.Path("closed")}, {}},
            {tree.Path("readonly"), {tree.Path("readonly")}, {"<parent>"}},
        };
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.folder);
            const int status = InChild([&c] {
                if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                    return 10;
                WSFileStorage store;
                EnumerateFolderIntoStorage(ExplorerPathFromNative(c.folder), false, store, true, true,
                                           nullptr, nullptr);
                if (Names(store, c.folder) != c.names)
                    return 1;
                std::vector<std::string> unread;
                for (const WSFileStorage::UnreadFolder& folder : store.GetUnreadFolders())
                {
                    if (folder.reason != u"Permission denied")
                        return 3;
                    unread.push_back(ExplorerPathToNative(folder.path));
                }
                std::sort(unread.begin(), unread.end());
                return unread == c.unread ? 0 : 2;
            });
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0)
                << "1: wrong entries, 2: wrong folders reported, 3: wrong reason";
        }
        for (const std::string& name : closedFolders)
            chmod(tree.Path(name).c_str(), 0700);
    }
}

TEST(ExplorerWalk, AFolderThatLosesItsSearchPermissionDuringTheWalkIsLeftWithoutLosingTheFolderAbove)
{
    // As an ordinary user: a chain of 60 folders "d" with a file at the end; the 39th holds
    // files and folders made before and after the next folder, so that some come after it
    // whatever the order the folder gives them in. Once the walk has reached the end, the 40th
    // folder may no longer be searched: the walk still gets back into the 39th and lists every
    // entry below it, with nothing reported. On the temporary folder's file system and on a
    // memory one.
    std::vector<std::filesystem::path> bases = {std::filesystem::temp_directory_path()};
    if (std::filesystem::is_directory("/dev/shm"))
        bases.push_back("/dev/shm");
    for (const std::filesystem::path& base : bases)
    {
        SCOPED_TRACE(base.string());
        const int status = InChild([&base] {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                return 10;
            std::vector<std::string> listed = {"<parent>"};
            TempTree tree(base);
            std::string path;
            std::string fortieth;
            // Files and folders with a file next to the 40th folder, made before and after it.
            auto siblings = [&](const std::string& stem) {
                for (int i = 0; i < 24; ++i)
                {
                    const std::string name = path + "/" + stem + std::to_string(i);
                    if (i % 4 == 0)
                    {
                        tree.Folder(name);
                        tree.File(name + "/inner.txt");
                        listed.push_back(name + "/inner.txt");
                    }
                    else
                    {
                        tree.File(name);
                    }
                    listed.push_back(name);
                }
            };
            for (int level = 1; level <= 60; ++level)
            {
                if (level == 40)
                    siblings("before");
                const std::string above = path;
                path += level == 1 ? "d" : "/d";
                tree.Folder(path);
                listed.push_back(path);
                if (level == 40)
                {
                    fortieth = path;
                    path = above;
                    siblings("after");
                    path = fortieth;
                }
            }
            listed.push_back(path + "/leaf.txt");
            tree.File(path + "/leaf.txt");
            std::sort(listed.begin(), listed.end());

            WSFileStorage store;
            RecordingSink sink;
            const std::string search = tree.Path(fortieth);
            bool changed = false;
            // Called on the walking thread after each entry is added.
            sink.onPost = [&](int) {
                if (changed || store.empty())
                    return;
                const std::string last = ExplorerPathToNative((*std::prev(store.end()))->GetPath());
                if (last.size() > 9 && last.compare(last.size() - 9, 9, "/leaf.txt") == 0)
                    changed = chmod(search.c_str(), 0444) == 0;
            };
            EnumerateFolderIntoStorage(tree.Path16(), false, store, true, true, &sink, nullptr);
            chmod(search.c_str(), 0755);
            if (!changed)
                return 11;
            if (Names(store, tree.Root()) != listed)
                return 1;
            return store.GetUnreadFolders().empty() ? 0 : 2;
        });
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "1: entries lost, 2: folders reported unread, 11: the folder kept its mode";
    }
}
