// The file store: records from the file system, the icon cache, ownership, the comparator in all
// its modes and the store's lock across threads.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>

#include "ExplorerCoreSupport.h"
#include "ExplorerPathCodec.h"
#include "WSFileStorage.h"

namespace {
std::atomic<int> g_liveIcons{0};

class FakeIcon : public ExplorerIcon
{
public:
    explicit FakeIcon(std::u16string from)
        : source(std::move(from))
    {
        ++g_liveIcons;
    }
    ~FakeIcon() override { --g_liveIcons; }
    std::u16string source;
};

// Gives every file an icon; executables and files without extension share a key per kind.
class FakeProvider : public ExplorerIconProvider
{
public:
    std::unique_ptr<ExplorerIcon> FetchIcon(const std::u16string& path, std::u16string& shareKey) override
    {
        ++fetches;
        const std::u16string name = path.substr(path.rfind(u'/') + 1);
        if (name.find(u'.') == std::u16string::npos)
            shareKey = unsharedOwnIcons ? u"" : u"own-file";
        else if (name.size() > 4 &&
                 (name.substr(name.size() - 4) == u".exe" || name.substr(name.size() - 4) == u".EXE"))
            shareKey = u"executable";
        return std::make_unique<FakeIcon>(path);
    }
    int fetches = 0;
    bool unsharedOwnIcons = false;
};

class FakeImageList : public ExplorerImageList
{
public:
    FakeImageList() { images.push_back(u"folder"); }
    int Append(const ExplorerIcon& icon) override
    {
        images.push_back(static_cast<const FakeIcon&>(icon).source);
        return static_cast<int>(images.size()) - 1;
    }
    int GetImageCount() const override { return static_cast<int>(images.size()); }
    std::vector<std::u16string> images;
};

std::string Native(const std::u16string& text)
{
    return ExplorerPathToNative(text);
}
} // namespace

// ---- the icon cache

TEST(ExplorerIconCache, OneImagePerExtensionAndNoneForExecutablesOrFilesWithoutExtension)
{
    FakeProvider provider;
    FakeImageList list;
    WSFileStorage::ExtensionIcons cache;
    std::unique_ptr<ExplorerIcon> icon;

    const int first = WSFileStorage::GetIconIndexForFile(u"/d/report.CSV", provider, &list, &cache, icon);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(icon, nullptr);
    const int second = WSFileStorage::GetIconIndexForFile(u"/d/old.csv", provider, &list, &cache, icon);
    EXPECT_EQ(second, first);
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(provider.fetches, 1);
    EXPECT_EQ(list.GetImageCount(), 2);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.count(u"csv"), 1u);

    // Executables keep their own icon and never enter the cache.
    for (const char16_t* exe : {u"/d/tool.exe", u"/d/other.EXE"})
    {
        std::u16string key;
        EXPECT_EQ(WSFileStorage::GetIconIndexForFile(exe, provider, &list, &cache, icon, &key), -1);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(static_cast<FakeIcon&>(*icon).source, exe);
        EXPECT_EQ(key, u"executable");
    }
    EXPECT_EQ(cache.count(u"exe"), 0u);

    // No extension (also a dot in the folder name only): no icon, nothing fetched.
    const int fetchesBefore = provider.fetches;
    for (const char16_t* plain : {u"/d/noext", u"/d.v2/noext", u"/d/trailingdot."})
    {
        EXPECT_EQ(WSFileStorage::GetIconIndexForFile(plain, provider, &list, &cache, icon), -1)
            << Native(plain);
        EXPECT_EQ(icon, nullptr);
    }
    EXPECT_EQ(provider.fetches, fetchesBefore);
    EXPECT_EQ(list.GetImageCount(), 2);

    // Without a list or a cache the icon is handed back.
    EXPECT_EQ(WSFileStorage::GetIconIndexForFile(u"/d/a.txt", provider, nullptr, &cache, icon), -1);
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(cache.count(u"txt"), 0u);
}

TEST(ExplorerIconCache, RowsOfExecutablesAndOwnIconsShareOneImagePerKeyAcrossListings)
{
    TempTree tree;
    for (const char* name : {"a.exe", "b.exe", "c.exe", "noext1", "noext2", "x.csv", "y.csv"})
        tree.File(name);
    tree.Folder("sub");

    WSFileStorage store;
    FakeImageList list;
    store.SetImageList(&list);
    FakeProvider provider;
    for (const char* name : {"a.exe", "b.exe", "c.exe", "noext1", "noext2", "x.csv", "y.csv", "sub"})
        store.AddFile(tree.Path16(name), true);
    store.ResolveIcons(provider);

    const auto rowImages = [&] {
        std::vector<int> images;
        for (WSFileRecord* record : store)
            images.push_back(store.ImageIndexForRow(*record, record->GetDisplayName()));
        return images;
    };
    // Two fillings of the list, as two listings of the same folder give.
    const std::vector<int> firstFill = rowImages();
    const std::vector<int> secondFill = rowImages();
    EXPECT_EQ(firstFill, secondFill);
    // folder + csv + executable + own-file: the list does not grow with the rows.
    EXPECT_EQ(list.GetImageCount(), 4);
    EXPECT_EQ(firstFill[0], firstFill[1]);
    EXPECT_EQ(firstFill[1], firstFill[2]);
    EXPECT_EQ(firstFill[3], firstFill[4]);
    EXPECT_EQ(firstFill[5], firstFill[6]);
    EXPECT_EQ(firstFill[7], 0);
    EXPECT_NE(firstFill[0], firstFill[3]);
    for (int image : firstFill)
        EXPECT_GE(image, 0);

    // An icon that is a file's very own (no share key) is added for each row.
    WSFileStorage own;
    FakeImageList ownList;
    own.SetImageList(&ownList);
    provider.unsharedOwnIcons = true;
    own.AddFile(tree.Path16("noext1"), true);
    own.ResolveIcons(provider);
    WSFileRecord& record = **own.begin();
    EXPECT_NE(own.ImageIndexForRow(record, u"noext1"), own.ImageIndexForRow(record, u"noext1"));
}

TEST(ExplorerIconCache, ARowFindsTheImageCachedForItsExtensionInAnyCase)
{
    // The cache and the rows lower-case extensions alike, also beyond A to Z.
    for (const char16_t* name : {u"/d/b.\u00C4XT", u"/d/c.CSV", u"/d/d.\u0394\u0394"})
    {
        SCOPED_TRACE(ExplorerPathToNative(name));
        WSFileStorage store;
        FakeImageList list;
        store.SetImageList(&list);
        FakeProvider provider;
        std::unique_ptr<ExplorerIcon> icon;
        const int cached =
            WSFileStorage::GetIconIndexForFile(name, provider, &list, &store.GetExtensionIcons(), icon);
        ASSERT_GE(cached, 0);
        WSFileRecord* record = store.AddFile(name, false);
        const std::u16string path = name;
        EXPECT_EQ(store.ImageIndexForRow(*record, path.substr(path.rfind(u'/') + 1)), cached);
    }
}

TEST(ExplorerIconCache, ExtensionImagesComeFromTheRowTextOnlyBelow100000Records)
{
    WSFileStorage store;
    FakeImageList list;
    store.SetImageList(&list);
    FakeProvider provider;
    std::unique_ptr<ExplorerIcon> icon;
    const int csv =
        WSFileStorage::GetIconIndexForFile(u"/d/a.csv", provider, &list, &store.GetExtensionIcons(), icon);
    WSFileRecord* record = store.AddFile(u"/d/a.csv", false);
    EXPECT_EQ(store.ImageIndexForRow(*record, u"a.csv"), csv);
    EXPECT_EQ(store.ImageIndexForRow(*record, u"a"), -1); // the key comes from the row text
    while (store.size() < 100000)
        store.AddFile(u"/d/f", false);
    EXPECT_EQ(store.ImageIndexForRow(*record, u"a.csv"), -1);
}

// ---- records from the file system

TEST(ExplorerRecord, FillsFromTheFileSystem)
{
    TempTree tree;
    tree.File("data.csv", "12345");
    tree.File(".hidden", "");
    tree.File("a..", "ab");
    tree.Folder("sub");
    tree.Link("dangling", "does-not-exist");
    tree.File("bad\xff\xfe.txt", "abc");
    struct timeval times[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(utimes(tree.Path("data.csv").c_str(), times), 0);

    struct Case
    {
        const char* name;
        bool filled;
        bool folder;
        int64_t size;
        uint32_t attributes;
        ExplorerIconKind icon;
    };
    const Case cases[] = {
        {"data.csv", true, false, 5, 0, ExplorerIconKind::Extension},
        {".hidden", true, false, 0, EXPLORER_ATTRIBUTE_HIDDEN, ExplorerIconKind::Extension},
        // A file whose name ends in ".." is a file, not the parent entry.
        {"a..", true, false, 2, 0, ExplorerIconKind::Own},
        {"sub", true, true, 0, EXPLORER_ATTRIBUTE_DIRECTORY, ExplorerIconKind::Folder},
        {"dangling", true, false, static_cast<int64_t>(std::string("does-not-exist").size()), 0,
         ExplorerIconKind::Own},
        {"bad\xff\xfe.txt", true, false, 3, 0, ExplorerIconKind::Extension},
        {"missing", false, false, 0, 0, ExplorerIconKind::None},
    };
    WSFileStorage store;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WSFileRecord record;
        record.path = tree.Path16(c.name);
        EXPECT_EQ(record.FillShellInfo(true), c.filled);
        EXPECT_EQ(record.isFolder, c.folder);
        EXPECT_EQ(record.size, c.size);
        EXPECT_EQ(record.GetAttributes(), c.attributes);
        EXPECT_EQ(record.iconKind, c.icon);
        EXPECT_EQ(ExplorerPathToNative(record.GetDisplayName()), c.name);
        EXPECT_EQ(record.IsRegularFileRow(), !c.folder);
    }
    WSFileRecord dated;
    dated.path = tree.Path16("data.csv");
    ASSERT_TRUE(dated.FillShellInfo(false));
    EXPECT_EQ(dated.GetModified(), 1600000000);
    EXPECT_EQ(dated.iconKind, ExplorerIconKind::None);
}

TEST(ExplorerRecord, TheParentEntryIsAFolderWithoutLookingAtTheDisk)
{
    for (const char16_t* path : {u"/no/such/folder/..", u"//..", u"/tmp/.."})
    {
        WSFileRecord record;
        record.path = path;
        EXPECT_TRUE(record.FillShellInfo(true));
        EXPECT_TRUE(record.isFolder);
        EXPECT_TRUE(record.IsParentEntry());
        EXPECT_FALSE(record.IsRegularFileRow());
        EXPECT_TRUE(record.GetDisplayName().empty());
    }
}

TEST(ExplorerRecord, AddFileAppliesTheNamePatternAndKeepsOrder)
{
    WSFileStorage store;
    const std::u16string pattern = u"*.csv";
    EXPECT_NE(store.AddFile(u"/d/one.csv", false, 3, 4, &pattern), nullptr);
    EXPECT_EQ(store.AddFile(u"/d/two.txt", false, -1, -1, &pattern), nullptr);
    EXPECT_EQ(store.AddFile(u"/d.csv/two", false, -1, -1, &pattern), nullptr); // the name, not the path
    WSFileRecord* last = store.AddFile(u"/d/three", false);
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ((*store.begin())->GetPath(), u"/d/one.csv");
    EXPECT_EQ((*store.begin())->tag1, 3);
    EXPECT_EQ((*store.begin())->kind, 5);
    EXPECT_EQ(*std::next(store.begin()), last);
    EXPECT_GT(last->GetTimeAdded(), 0);
}

TEST(ExplorerRecord, RecordsOwnTheirIconsAndCheckResults)
{
    const int before = g_liveIcons.load();
    {
        WSFileStorage store;
        for (int i = 0; i < 3; ++i)
        {
            WSFileRecord* record = store.AddFile(u"/d/f" + std::u16string(1, char16_t(u'0' + i)), false);
            record->SetIcon(std::make_unique<FakeIcon>(u"x"), u"");
            record->validation = std::make_unique<ValidationResult>();
            record->GetChildren()
                .AddFile(u"/d/f/child", false)
                ->SetIcon(std::make_unique<FakeIcon>(u"y"), u"");
        }
        EXPECT_EQ(g_liveIcons.load(), before + 6);
        store.Clear(true);
        EXPECT_EQ(g_liveIcons.load(), before);
        store.AddFile(u"/d/again", false)->SetIcon(std::make_unique<FakeIcon>(u"z"), u"");
        EXPECT_EQ(g_liveIcons.load(), before + 1);
    }
    EXPECT_EQ(g_liveIcons.load(), before);
}

// ---- the comparator

namespace {
struct Entry
{
    std::u16string path;
    bool folder = false;
    int64_t added = 0;
    int64_t modified = 0;
    int64_t size = 0;
    int check = 0; // 0 none, 1 flagC clear, 2 flagC set and not valid, 3 flagC set and valid
};

std::unique_ptr<WSFileRecord> Make(const Entry& e)
{
    auto record = std::make_unique<WSFileRecord>();
    record->path = e.path;
    record->isFolder = e.folder;
    record->timeAdded = e.added;
    record->modified = e.modified;
    record->size = e.size;
    if (e.check != 0)
    {
        record->validation = std::make_unique<ValidationResult>();
        record->validation->flagC = e.check >= 2;
        record->validation->valid = e.check == 3;
    }
    return record;
}
} // namespace

// A mode as the comparison takes it, also one outside the enumerators.
ExplorerSortMode Mode(int value)
{
    return static_cast<ExplorerSortMode>(value);
}

TEST(ExplorerComparator, EveryModeOrdersItsPair)
{
    using M = ExplorerSortMode;
    struct Case
    {
        ExplorerSortMode mode;
        Entry lhs;
        Entry rhs;
        int expected;     // CompareFileRecords(lhs, rhs)
        int expectedSwap; // CompareFileRecords(rhs, lhs)
    };
    const Case cases[] = {
        {Mode(-1), {u"/a", false, 1}, {u"/b", false, 2}, 1, -1},
        {M::NewestAddedFirst, {u"/a", false, 3}, {u"/b", false, 2}, -1, 1},
        {M::NewestAddedFirst, {u"/a", false, 2}, {u"/b", false, 2}, 1, 1},
        {M::PathAscending, {u"/Apple"}, {u"/banana"}, -1, 1},
        {M::PathAscending, {u"/apple"}, {u"/APPLE"}, 0, 0},
        {M::PathDescending, {u"/Apple"}, {u"/banana"}, 1, -1},
        {M::FoldersFirstPathAscending, {u"/z", true}, {u"/a"}, -1, 1},
        {M::FoldersFirstPathAscending, {u"/b", true}, {u"/A", true}, 1, -1},
        {M::FilesFirstPathDescending, {u"/z", true}, {u"/a"}, 1, -1},
        {M::FilesFirstPathDescending, {u"/a"}, {u"/B"}, 1, -1},
        {M::OldestAddedFirst, {u"/a", false, 1}, {u"/b", false, 2}, -1, 1},
        {M::OldestAddedFirst, {u"/a", false, 2}, {u"/b", false, 2}, 1, 1},
        {M::ModifiedOldestFirst, {u"/a", false, 0, 10}, {u"/b", false, 0, 20}, -1, 1},
        {M::ModifiedNewestFirst, {u"/a", false, 0, 10}, {u"/b", false, 0, 20}, 1, -1},
        {M::SizeSmallestFirst, {u"/a", false, 0, 0, 5}, {u"/b", false, 0, 0, 9}, -1, 1},
        {M::SizeLargestFirst, {u"/a", false, 0, 0, 5}, {u"/b", false, 0, 0, 9}, 1, -1},
        {M::SizeLargestFirst, {u"/a", false, 0, 0, 7}, {u"/b", false, 0, 0, 7}, 1, 1},
        {M::SizeSmallestFirst, {u"/a", false, 0, 0, -1}, {u"/b", false, 0, 0, 1LL << 40}, -1, 1},
        // check state: not a regular row < regular; none < some; flagC clear < set; invalid < valid
        {M::CheckState, {u"/f", true}, {u"/a", false, 0, 0, 0, 3}, -1, 1},
        {M::CheckState, {u"/a"}, {u"/b", false, 0, 0, 0, 1}, -1, 1},
        {M::CheckState, {u"/a", false, 0, 0, 0, 1}, {u"/b", false, 0, 0, 0, 2}, -1, 1},
        {M::CheckState, {u"/a", false, 0, 0, 0, 2}, {u"/b", false, 0, 0, 0, 3}, -1, 1},
        {M::CheckState, {u"/a", false, 0, 0, 0, 1}, {u"/b", false, 0, 0, 0, 1}, 0, 0},
        {M::CheckState, {u"/a"}, {u"/b"}, 0, 0},
        {M::CheckStateReversed, {u"/a", false, 0, 0, 0, 2}, {u"/b", false, 0, 0, 0, 3}, 1, -1},
        {M::CheckStateReversed, {u"/f", true}, {u"/a"}, 1, -1},
        {Mode(12), {u"/a"}, {u"/b"}, 0, 0},
        {Mode(100), {u"/a", false, 1}, {u"/b", false, 2}, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(static_cast<int>(c.mode)) + " " + Native(c.lhs.path) + " " +
                     Native(c.rhs.path));
        const auto lhs = Make(c.lhs);
        const auto rhs = Make(c.rhs);
        EXPECT_EQ(CompareFileRecords(lhs.get(), rhs.get(), c.mode), c.expected);
        EXPECT_EQ(CompareFileRecords(rhs.get(), lhs.get(), c.mode), c.expectedSwap);
        // The consistent form agrees where the two orders agree, and is 0 where both say +1.
        const int consistent = CompareFileRecordsConsistent(lhs.get(), rhs.get(), c.mode);
        EXPECT_EQ(consistent, c.expected == -c.expectedSwap ? c.expected : 0);
        EXPECT_EQ(CompareFileRecordsConsistent(rhs.get(), lhs.get(), c.mode), -consistent);
    }
    EXPECT_EQ(CompareFileRecords(nullptr, Make({u"/a"}).get(), M::PathAscending), 0);
}

TEST(ExplorerComparator, TheParentEntryComesFirstInEveryModeOnEitherSide)
{
    const auto parent = Make({u"/data/..", true, 0, 0, 0, 0});
    // A file named "x.." and a folder that only ends in ".." are ordinary entries.
    const auto notParentFile = Make({u"/data/x..", false, 5, 5, 5, 3});
    const auto notParentFolder = Make({u"/data/y..", true, 5, 5, 5});
    const auto other = Make({u"/data/a", false, 9, 9, 9, 3});
    for (int mode = -2; mode <= 12; ++mode)
    {
        SCOPED_TRACE(mode);
        for (const WSFileRecord* rhs : {notParentFile.get(), notParentFolder.get(), other.get()})
        {
            EXPECT_EQ(CompareFileRecords(parent.get(), rhs, Mode(mode)), -1);
            EXPECT_EQ(CompareFileRecords(rhs, parent.get(), Mode(mode)), 1);
            EXPECT_EQ(CompareFileRecordsConsistent(rhs, parent.get(), Mode(mode)), 1);
        }
    }
    // A short path that ends in ".." is not taken for the parent entry.
    const auto tiny = Make({u"..", true});
    EXPECT_EQ(CompareFileRecords(tiny.get(), other.get(), ExplorerSortMode::SizeLargestFirst), 1);
}

TEST(ExplorerComparator, SortingIsWellDefinedAndStable)
{
    std::vector<std::unique_ptr<WSFileRecord>> owned;
    for (const Entry& e : std::vector<Entry>{{u"/d/b", false, 0, 0, 7},
                                             {u"/d/..", true},
                                             {u"/d/a", false, 0, 0, 7},
                                             {u"/d/c", false, 0, 0, 1},
                                             {u"/d/sub", true, 0, 0, 0},
                                             {u"/d/e", false, 0, 0, 7}})
        owned.push_back(Make(e));
    std::vector<WSFileRecord*> records;
    for (auto& r : owned)
        records.push_back(r.get());

    // Largest first; equal sizes keep their order.
    SortFileRecords(records, ExplorerSortMode::SizeLargestFirst);
    std::vector<std::u16string> paths;
    for (WSFileRecord* r : records)
        paths.push_back(r->path);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"/d/..", u"/d/b", u"/d/a", u"/d/e", u"/d/c", u"/d/sub"}));

    SortFileRecords(records, ExplorerSortMode::FoldersFirstPathAscending);
    paths.clear();
    for (WSFileRecord* r : records)
        paths.push_back(r->path);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"/d/..", u"/d/sub", u"/d/a", u"/d/b", u"/d/c", u"/d/e"}));

    SortFileRecords(records, ExplorerSortMode::FilesFirstPathDescending);
    paths.clear();
    for (WSFileRecord* r : records)
        paths.push_back(r->path);
    EXPECT_EQ(paths, (std::vector<std::u16string>{u"/d/..", u"/d/e", u"/d/c", u"/d/b", u"/d/a", u"/d/sub"}));
}

TEST(ExplorerComparator, TheFileListsEntryOrdersAreTheRecordSort)
{
    // The file list sorts its entries through ExplorerSortKeys over SortEntryOf: the same order
    // as a stable sort with the record comparison, for records of every kind, in every mode.
    static const char16_t* const PIECES[] = {
        u"a", u"B", u"b",      u"A",      u"10",     u"9",      u".",      u".csv", u".CSV",       u"_",
        u"-", u"/", u"\u00e9", u"\u00c9", u"\u03a9", u"\u03c9", u"\u212a", u"k",    u"\U00010400", u".."};
    static const int64_t NUMBERS[] = {0, 1, 5, -1, 1LL << 40, INT64_MAX, INT64_MIN};
    for (unsigned seed = 1; seed <= 8; ++seed)
    {
        std::mt19937 random(seed);
        auto below = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        std::vector<std::unique_ptr<WSFileRecord>> owned;
        for (int i = 0, count = 100 + below(2000); i < count; ++i)
        {
            Entry e;
            e.path = below(20) == 0 ? u"/elsewhere/" : u"/d/";
            for (int n = 1 + below(4); n > 0; --n)
                e.path += PIECES[below(20)];
            e.folder = below(4) == 0;
            e.added = NUMBERS[below(7)];
            e.modified = NUMBERS[below(7)];
            e.size = NUMBERS[below(7)];
            e.check = below(4);
            owned.push_back(Make(e));
            owned.back()->isTopLevelShellItem = below(20) == 0;
        }
        // The parent entry (a folder ending in "/.."), and a file that only looks like one.
        owned.insert(owned.begin() + below(static_cast<int>(owned.size())), Make({u"/d/..", true}));
        owned.push_back(Make({u"/d/x/..", false, 0, 0, 3, 1}));
        std::vector<WSFileRecord*> records;
        ExplorerSortKeys keys;
        for (auto& record : owned)
        {
            records.push_back(record.get());
            keys.Add(SortEntryOf(*record));
        }
        keys.SetFolder(u"/d");
        for (int mode = -2; mode <= 13; ++mode)
        {
            std::vector<WSFileRecord*> expected = records;
            SortFileRecords(expected, Mode(mode));
            std::vector<WSFileRecord*> got;
            for (int index : keys.Order(Mode(mode)))
                got.push_back(records[index]);
            EXPECT_EQ(got, expected) << "seed " << seed << " mode " << mode;
        }
    }
}

// ---- the lock

TEST(ExplorerStoreLock, IsOwnerTrackedAndDoesNotCount)
{
    WSFileStorageThreadSafeAccess access;
    EXPECT_FALSE(access.IsLocked());
    access.Lock();
    access.Lock(); // the holder: returns at once
    EXPECT_TRUE(access.IsLocked());
    EXPECT_TRUE(access.IsHeldByCurrentThread());

    // Another thread can neither release it nor take it.
    std::atomic<bool> otherHeld{false};
    std::thread other([&] {
        EXPECT_FALSE(access.IsHeldByCurrentThread());
        access.Unlock(); // not the holder: nothing
        EXPECT_TRUE(access.IsLocked());
        WSFileStorageAccessGuard guard(access);
        otherHeld = true;
        EXPECT_TRUE(access.IsHeldByCurrentThread());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // fixed: shows that the other waits
    EXPECT_FALSE(otherHeld.load());
    EXPECT_TRUE(access.IsHeldByCurrentThread());

    access.Unlock(); // one release ends the hold, however often it was taken
    other.join();
    EXPECT_TRUE(otherHeld.load());
    EXPECT_FALSE(access.IsLocked());

    // A nested guard's end releases the store as well.
    {
        WSFileStorageAccessGuard outer(access);
        {
            WSFileStorageAccessGuard inner(access);
            inner.Get().AddFile(u"/x", false);
        }
        EXPECT_FALSE(access.IsLocked());
    }
    // GetStorage takes the store for a caller that does not hold it.
    EXPECT_EQ(access.GetStorage().size(), 1u);
    EXPECT_TRUE(access.IsHeldByCurrentThread());
    access.Unlock();
}

TEST(ExplorerStoreLock, TwoThreadsAddingUnderTheLockLoseNothing)
{
    WSFileStorageThreadSafeAccess access;
    auto add = [&](char16_t tag) {
        for (int i = 0; i < 2000; ++i)
        {
            WSFileStorageAccessGuard guard(access);
            guard.Get().AddFile(std::u16string(u"/t/") + tag, false);
            EXPECT_EQ(access.GetPublishedCount(), guard.Get().size());
        }
    };
    std::thread a(add, u'a');
    std::thread b(add, u'b');
    a.join();
    b.join();
    WSFileStorageAccessGuard guard(access);
    EXPECT_EQ(guard.Get().size(), 4000u);
    EXPECT_EQ(access.GetPublishedCount(), 4000u);
}

TEST(ExplorerStoreLock, DestroyingAHeldStoreDeletesEveryRecordAndItsIcons)
{
    const int before = g_liveIcons.load();
    auto access = std::make_unique<WSFileStorageThreadSafeAccess>();
    access->Lock();
    for (int i = 0; i < 5; ++i)
        access->GetStorage().AddFile(u"/r", false)->SetIcon(std::make_unique<FakeIcon>(u"r"), u"");
    EXPECT_EQ(g_liveIcons.load(), before + 5);
    access.reset();
    EXPECT_EQ(g_liveIcons.load(), before);
}

// ---- names that are not UTF-8

TEST(ExplorerPathCodec, EveryByteSequenceComesBackUnchanged)
{
    const std::string cases[] = {
        "plain.csv",
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac \xf0\x9f\x98\x80",
        "latin1-\xe9t\xe9",
        "\xff\xfe",
        "\xc0\x80overlong",
        "\xed\xa0\x80surrogate",
        "cut\xe2\x82",
        "\x80lone",
        "\xf4\x80\x80\x80plane16",
        "\xf4\x90\x80\x80"
        "beyond",
    };
    for (const std::string& bytes : cases)
    {
        const std::u16string text = ExplorerPathFromNative(bytes);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(ExplorerPathToNative(text), bytes);
    }
    EXPECT_EQ(ExplorerPathFromNative("Gr\xc3\xbc\xc3\x9f"
                                     "e"),
              u"Grüße");
    EXPECT_EQ(ExplorerPathFromNative("\xf0\x9f\x98\x80"), u"\U0001F600");
    EXPECT_EQ(ExplorerPathFromNative("a\xff"), u"a\U001000FF");
}
