// The application-side services: the date text, the progress row, deleting to the trash, the
// folder watcher's start, and which services object is the process's.
#include "ExplorerServices.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include "ExplorerCoreSupport.h"

namespace {
// GLib reads the home and data folders once, at its first use: point them into a private folder
// before anything in this process asks.
struct PrivateTrashHome
{
    PrivateTrashHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "csvq-trash-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root = pattern;
        std::filesystem::create_directories(root + "/home");
        std::filesystem::create_directories(root + "/data");
        std::filesystem::create_directories(root + "/files");
        setenv("HOME", (root + "/home").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    }
    ~PrivateTrashHome()
    {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root;
};
const PrivateTrashHome g_trashHome;

class FakeList : public ExplorerListAccess
{
public:
    void LockList() override { ++locks, ++depth; }
    void UnlockList() override { --depth; }
    int GetRowCount() override { return static_cast<int>(rows.size()); }
    void InsertTextRow(int row, const std::u16string& text) override
    {
        rows.insert(rows.begin() + row, text);
    }
    void SetRowText(int row, const std::u16string& text) override
    {
        rows[static_cast<std::size_t>(row)] = text;
    }
    std::vector<std::pair<int, WSFileRecord*>> GetSelectedRecords() override { return selection; }

    std::vector<std::u16string> rows;
    std::vector<std::pair<int, WSFileRecord*>> selection;
    int locks = 0;
    int depth = 0;
};

class FakeNotifier : public ExplorerNotifier
{
public:
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    bool ConfirmPermanentDelete(const std::u16string& text) override
    {
        questions.push_back(text);
        return answer;
    }
    bool answer = false;
    void ShowOutputLine(const std::u16string& text) override { lines.push_back(text); }
    std::vector<std::u16string> errors;
    std::vector<std::u16string> questions;
    std::vector<std::u16string> lines;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<WSFileRecord> RecordFor(const std::u16string& path, bool folder = false)
{
    auto record = std::make_unique<WSFileRecord>();
    record->path = path;
    record->isFolder = folder;
    return record;
}
} // namespace

// ---- the date text

TEST(ExplorerDateText, TheShortDateOrderComesFromTheLocaleFormat)
{
    struct Case
    {
        const char* format;
        int order;
        const char* separator;
        const char* dateTimeFormat;
    };
    const Case cases[] = {
        {"%m/%d/%y", 0, "/", "%m/%d/%Y %X"},
        {"%D", 0, "/", "%m/%d/%Y %X"},
        {"%d.%m.%Y", 1, ".", "%d.%m.%Y %X"},
        {"%e/%m/%Y", 1, "/", "%d/%m/%Y %X"},
        {"%Y-%m-%d", 2, "-", "%Y-%m-%d %X"},
        {"%F", 2, "-", "%Y-%m-%d %X"},
        {"%Ey/%m/%d", 2, "/", "%Y/%m/%d %X"},
        // A separator of several bytes is kept whole; blanks alone give a blank.
        {"%Y\u5E74%m\u6708%d\u65E5", 2, "\u5E74", "%Y\u5E74%m\u5E74%d %X"},
        {"%A %d %b %Y", 1, " ", "%d %m %Y %X"},
        {"%y %m", -1, "", ""},
        {"%d/%Y/%m", -1, "/", ""},
        {"", -1, "", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.format);
        std::string separator;
        EXPECT_EQ(ShortDateOrder(c.format, separator), c.order);
        EXPECT_EQ(separator, c.separator);
        EXPECT_EQ(DateTimeFormatForOrder(c.order, separator), c.dateTimeFormat);
    }
    EXPECT_EQ(DateTimeFormatForOrder(3, "/"), "");
}

namespace {
// Locales the date test needs, compiled with localedef into a folder of their own when the system
// does not have them; empty when that is not possible here.
class CompiledLocales
{
public:
    explicit CompiledLocales(const std::vector<std::pair<std::string, std::string>>& wanted)
    {
        char pattern[] = "/tmp/csvq-locales-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        m_folder = pattern;
        for (const auto& [source, name] : wanted)
        {
            const std::string command =
                "localedef -i " + source + " -f UTF-8 " + m_folder + "/" + name + " >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0)
                m_missing += name + " ";
        }
    }
    ~CompiledLocales()
    {
        std::error_code ec;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ec);
    }
    const std::string& Folder() const { return m_folder; }
    const std::string& Missing() const { return m_missing; }

private:
    std::string m_folder;
    std::string m_missing;
};
} // namespace

TEST(ExplorerDateText, EveryLocaleKeepsItsWholeSeparatorBetweenTheDateFields)
{
    // The locale's own time text (%X) follows the date: the check is on the date part.
    struct Case
    {
        const char* source;
        const char* name;
        const char16_t* datePart;
    };
    const Case cases[] = {
        {"ja_JP", "ja_JP.UTF-8", u"2023\u5E7411\u5E7414 "},
        {"ko_KR", "ko_KR.UTF-8", u"2023\uB14411\uB14414 "},
        // Fields kept apart by blanks only.
        {"ms_MY", "ms_MY.UTF-8", u"14 11 2023 "},
    };
    std::vector<std::pair<std::string, std::string>> wanted;
    for (const Case& c : cases)
        wanted.emplace_back(c.source, c.name);
    const CompiledLocales locales(wanted);
    if (locales.Folder().empty() || !locales.Missing().empty())
        GTEST_SKIP() << "localedef could not build the locales " << locales.Missing() << "here";

    const char* oldZone = std::getenv("TZ");
    const std::string savedZone = oldZone ? oldZone : "";
    const char* oldPath = std::getenv("LOCPATH");
    const std::string savedPath = oldPath ? oldPath : "";
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("LOCPATH", locales.Folder().c_str(), 1);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_NE(setlocale(LC_TIME, c.name), nullptr);
        const std::u16string text = FormatLocaleDateTime(1700000000);
        EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos);
        EXPECT_EQ(text.substr(0, std::char_traits<char16_t>::length(c.datePart)), c.datePart);
    }
    setlocale(LC_TIME, "C");
    if (oldPath)
        setenv("LOCPATH", savedPath.c_str(), 1);
    else
        unsetenv("LOCPATH");
    if (oldZone)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ExplorerDateText, FormatsLocalTimeInTheUsersOrder)
{
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case
    {
        const char* format;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"%m/%d/%y", u"11/14/2023 22:13:20"},
        {"%d.%m.%Y", u"14.11.2023 22:13:20"},
        {"%Y-%m-%d", u"2023-11-14 22:13:20"},
        {"%H", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLocaleDateTimeWith(1700000000, c.format), c.expected) << c.format;
    // The C locale's short date is month first with slashes.
    const int64_t time = 1700000000;
    EXPECT_EQ(FormatLocaleDateTime(time), u"11/14/2023 22:13:20");
    if (oldZone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// ---- the progress row

TEST(ExplorerProgressRow, InsertedThenReplacedThenLeftAlone)
{
    ExplorerServices services;
    FakeList list;
    services.SetList(&list);
    WSFileStorageThreadSafeAccess& store = services.GetFileStorageAccess();

    services.ShowExplorerEntryCount(); // an empty list: nothing
    EXPECT_TRUE(list.rows.empty());

    list.rows = {u"List is populated..."};
    store.GetStorage().AddFile(u"/a", false);
    store.Unlock();
    services.ShowExplorerEntryCount();
    EXPECT_EQ(list.rows, (std::vector<std::u16string>{u"List is populated...", u"1 entries found"}));

    store.GetStorage().AddFile(u"/b", false);
    store.GetStorage().AddFile(u"/c", false);
    store.Unlock();
    services.ShowExplorerEntryCount();
    EXPECT_EQ(list.rows, (std::vector<std::u16string>{u"List is populated...", u"3 entries found"}));

    list.rows = {u"..", u"a", u"b"};
    services.ShowExplorerEntryCount();
    EXPECT_EQ(list.rows, (std::vector<std::u16string>{u"..", u"a", u"b"}));
    EXPECT_EQ(list.depth, 0);
    EXPECT_EQ(list.locks, 4);
    services.SetList(nullptr);
    services.ShowExplorerEntryCount(); // no list: nothing, no crash
}

TEST(ExplorerProgressRow, DoesNotWaitForTheWorkerThatHoldsTheStore)
{
    ExplorerServices services;
    FakeList list;
    list.rows = {u"List is populated..."};
    services.SetList(&list);
    WSFileStorageThreadSafeAccess& store = services.GetFileStorageAccess();

    std::mutex m;
    std::condition_variable cv;
    bool holding = false;
    bool release = false;
    std::thread worker([&] {
        WSFileStorageAccessGuard guard(store);
        for (int i = 0; i < 42; ++i)
            guard.Get().AddFile(u"/w", false);
        std::unique_lock<std::mutex> lock(m);
        holding = true;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(5), [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return holding; });
    }
    services.ShowExplorerEntryCount();
    const bool stillHeld = store.IsLocked();
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
        cv.notify_all();
    }
    worker.join();
    EXPECT_TRUE(stillHeld);
    EXPECT_EQ(list.rows, (std::vector<std::u16string>{u"List is populated...", u"42 entries found"}));
}

// ---- delete to the trash

TEST(ExplorerDelete, TakesTheSelectedFilesAndFoldersButNeverTheParentEntry)
{
    const auto parent = RecordFor(u"/d/..", true);
    const auto a = RecordFor(u"/d/a.csv");
    const auto b = RecordFor(u"/d/b");
    const auto folder = RecordFor(u"/d/sub", true);
    const auto empty = RecordFor(u"");
    auto top = RecordFor(u"/d/top");
    top->isTopLevelShellItem = true;
    const auto oddFile = RecordFor(u"/d/x.."); // a file whose name ends in ".."

    EXPECT_TRUE(PathsToDelete({{0, parent.get()}}).empty());
    EXPECT_EQ(PathsToDelete({{0, parent.get()},
                             {1, a.get()},
                             {2, nullptr},
                             {3, folder.get()},
                             {4, empty.get()},
                             {5, top.get()},
                             {6, b.get()},
                             {7, oddFile.get()}}),
              (std::vector<std::u16string>{u"/d/a.csv", u"/d/sub", u"/d/b", u"/d/x.."}));
}

TEST(ExplorerDelete, MovesTwoFilesAndAFolderToTheTrashInOneGo)
{
    const std::string files = g_trashHome.root + "/files";
    std::ofstream(files + "/one.csv") << "1";
    std::ofstream(files + "/two \xff.txt") << "2";
    std::filesystem::create_directories(files + "/folder/inner");
    std::ofstream(files + "/folder/inner/x") << "x";

    ExplorerServices services;
    FakeList list;
    FakeNotifier notifier;
    services.SetList(&list);
    services.SetNotifier(&notifier);
    const auto parent = RecordFor(ExplorerPathFromNative(files) + u"/..", true);
    const auto one = RecordFor(ExplorerPathFromNative(files + "/one.csv"));
    const auto two = RecordFor(ExplorerPathFromNative(files + "/two \xff.txt"));
    const auto folder = RecordFor(ExplorerPathFromNative(files + "/folder"), true);

    // Only the parent entry: nothing happens, nothing is said.
    list.selection = {{0, parent.get()}};
    services.DeleteSelectedExplorerItems();
    EXPECT_TRUE(notifier.errors.empty());
    EXPECT_TRUE(std::filesystem::exists(files + "/one.csv"));

    list.selection = {{0, parent.get()}, {1, one.get()}, {2, two.get()}, {3, folder.get()}};
    services.DeleteSelectedExplorerItems();
    EXPECT_TRUE(notifier.errors.empty())
        << ExplorerPathToNative(notifier.errors.empty() ? u"" : notifier.errors[0]);
    EXPECT_TRUE(notifier.questions.empty());
    EXPECT_EQ(list.depth, 0);
    EXPECT_FALSE(std::filesystem::exists(files + "/one.csv"));
    EXPECT_FALSE(std::filesystem::exists(files + "/two \xff.txt"));
    EXPECT_FALSE(std::filesystem::exists(files + "/folder"));

    // In the trash, with the information to put them back.
    const std::string trash = g_trashHome.root + "/data/Trash";
    EXPECT_EQ(ReadFile(trash + "/files/one.csv"), "1");
    EXPECT_EQ(ReadFile(trash + "/files/folder/inner/x"), "x");
    const std::string info = ReadFile(trash + "/info/one.csv.trashinfo");
    EXPECT_NE(info.find("Path=" + files + "/one.csv"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(trash + "/files/two \xff.txt"));
}

TEST(ExplorerDelete, AFailureIsReportedAndNothingElseIsLost)
{
    const std::string files = g_trashHome.root + "/files";
    std::ofstream(files + "/keep.csv") << "k";
    std::ofstream(files + "/goes.csv") << "g";
    FakeNotifier notifier;
    const std::vector<std::u16string> paths = {ExplorerPathFromNative(files + "/missing.csv"),
                                               ExplorerPathFromNative(files + "/goes.csv")};
    EXPECT_EQ(MoveToTrash(paths, &notifier), 1u);
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_NE(ExplorerPathToNative(notifier.errors[0]).find("missing.csv"), std::string::npos);
    EXPECT_TRUE(notifier.questions.empty()); // a missing file is no reason to delete anything for good
    EXPECT_TRUE(std::filesystem::exists(files + "/keep.csv"));
    EXPECT_FALSE(std::filesystem::exists(files + "/goes.csv"));
    EXPECT_EQ(MoveToTrash({}, &notifier), 0u);
    EXPECT_EQ(notifier.errors.size(), 1u);
}

TEST(ExplorerDelete, WhereThereIsNoTrashItAsksAndDeletesForGoodOnlyOnYes)
{
    // /dev/shm is a file system of its own without a trash folder: the trash cannot take its files.
    char pattern[] = "/dev/shm/csvq-explorer-XXXXXX";
    if (!std::filesystem::is_directory("/dev/shm") || mkdtemp(pattern) == nullptr)
        GTEST_SKIP() << "no /dev/shm here";
    const std::string folder = pattern;
    for (const bool answer : {false, true})
    {
        SCOPED_TRACE(answer);
        const std::string file = folder + "/doomed.csv";
        std::ofstream(file) << "d";
        FakeNotifier notifier;
        notifier.answer = answer;
        EXPECT_EQ(MoveToTrash({ExplorerPathFromNative(file)}, &notifier), answer ? 1u : 0u);
        ASSERT_EQ(notifier.questions.size(), 1u);
        EXPECT_NE(ExplorerPathToNative(notifier.questions[0]).find("doomed.csv"), std::string::npos);
        EXPECT_EQ(std::filesystem::exists(file), !answer);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// ---- the services object

TEST(ExplorerServicesObject, TheFirstOneIsTheProcesssUntilItEnds)
{
    ASSERT_EQ(ExplorerServices::Current(), nullptr);
    {
        ExplorerServices first;
        EXPECT_EQ(ExplorerServices::Current(), &first);
        {
            ExplorerServices second;
            EXPECT_EQ(ExplorerServices::Current(), &first);
        }
        EXPECT_EQ(ExplorerServices::Current(), &first);
        EXPECT_EQ(first.GetNavigationState().historyPosition, -1);
        EXPECT_TRUE(first.GetNavigationState().extraFlag1);
        EXPECT_EQ(first.GetNavigationState().extraInt1, 1);
    }
    EXPECT_EQ(ExplorerServices::Current(), nullptr);
}

TEST(ExplorerServicesObject, StartsOneWatcherOnTheStoreFolderAndTheDocumentsFolder)
{
    TempTree tree;
    tree.Folder("listed");
    tree.Folder("docs");
    ExplorerServices services;
    RecordingSink sink;
    services.SetWatcherTarget(&sink);
    services.GetFileStorageAccess().GetStorage().SetFolder(tree.Path16("listed"));
    services.GetFileStorageAccess().Unlock();

    services.StartFolderWatcher(tree.Path16("docs/table.csv"), {});
    EXPECT_EQ(services.GetFolderWatcher().GetFolders(),
              (std::vector<std::u16string>{tree.Path16("listed"), tree.Path16("docs/")}));
    services.StartFolderWatcher(u"", {tree.Path16("elsewhere")});
    EXPECT_EQ(services.GetFolderWatcher().GetFolders().size(), 2u);
    EXPECT_FALSE(services.GetFileStorageAccess().IsLocked());

    ASSERT_TRUE(WaitUntil([&] { return services.GetFolderWatcher().IsArmed(); }));
    tree.File("docs/new.csv");
    EXPECT_TRUE(sink.WaitFor(ID_FOLDER_CHANGED));
    services.StopFolderWatcher();
    EXPECT_FALSE(services.GetFolderWatcher().HasWatcher());
    services.StartFolderWatcher(u"", {});
    EXPECT_EQ(services.GetFolderWatcher().GetFolders(), (std::vector<std::u16string>{tree.Path16("listed")}));
    // Ending the services ends the watcher (and the test would hang on a joinable thread otherwise).
}

TEST(ExplorerServicesObject, FoldersTheListingCouldNotReadAreReportedOneLineEach)
{
    ExplorerServices services;
    FakeNotifier notifier;
    services.SetNotifier(&notifier);
    WSFileStorage store;
    store.AddUnreadFolder(u"/data/closed", u"Permission denied");
    store.AddUnreadFolder(u"/data/deep", u"Too many open files");
    services.ReportUnreadFolders(store);
    EXPECT_EQ(notifier.lines,
              (std::vector<std::u16string>{u"Could not read folder /data/closed: Permission denied",
                                           u"Could not read folder /data/deep: Too many open files"}));
    store.Clear(true);
    EXPECT_TRUE(store.GetUnreadFolders().empty());
}
